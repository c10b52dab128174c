# shellcheck shell=bash
# Sourced by the tools/*.sh scripts: installs missing Debian packages.
#
#   kv_need_packages PKG...
#
# Checks each package with dpkg and installs only the missing ones through
# apt-get (after apt-get update), non-interactively. As root it calls apt-get
# directly (CI runs as root with no terminal); otherwise through sudo when
# there is one. On a system without dpkg it only warns: the build then needs
# the tools to be present already.

kv_need_packages() {
  if ! command -v dpkg >/dev/null 2>&1; then
    echo "note: no dpkg here; make sure these are installed: $*" >&2
    return 0
  fi
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg -s "$pkg" 2>/dev/null | grep -q '^Status: install ok installed'; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "error: missing packages ${missing[*]}; install them as root" >&2
      return 1
    fi
    as_root=(sudo)
  fi
  echo "== installing ${missing[*]}"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
}
