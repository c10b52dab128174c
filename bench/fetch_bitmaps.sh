#!/bin/bash
# Collects 4 MiB of real, uncompressed bitmap data for the benchmarks and
# the instruction counts of docs/performance.md: the .bmp files of three
# Debian game packages (downloaded with apt-get, never installed), those
# without pixel compression, sorted by package and path, concatenated and
# cut to 4,194,304 bytes.
#
#   bench/fetch_bitmaps.sh [OUTPUT]     (default: build-bench/bitmaps.bin)
#
# Needs the package lists (apt-get update) and dpkg-deb.
set -euo pipefail
out=${1:-build-bench/bitmaps.bin}
packages=(lmarbles ltris lgeneral-data)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt-get downloads as its own user
mkdir -p "$(dirname "$out")"
(cd "$work" && apt-get download "${packages[@]}" >/dev/null)
for p in "${packages[@]}"; do
  mkdir -p "$work/x/$p"
  dpkg-deb -x "$work"/"${p}"_*.deb "$work/x/$p"
done

: >"$work/all"
for p in "${packages[@]}"; do
  while IFS= read -r -d '' f; do
    # BITMAPINFOHEADER compression field (offset 30): 0 = plain pixels.
    if [ "$(head -c 2 "$f")" = BM ] &&
      [ "$(od -An -tu4 -j30 -N4 "$f" | tr -d ' ')" = 0 ]; then
      cat "$f" >>"$work/all"
    fi
  done < <(find "$work/x/$p" -iname '*.bmp' -type f -print0 | LC_ALL=C sort -z)
done
size=$(stat -c %s "$work/all")
if [ "$size" -lt 4194304 ]; then
  echo "only $size bytes of bitmaps found" >&2
  exit 1
fi
head -c 4194304 "$work/all" >"$out"
echo "$out: $(stat -c %s "$out") bytes, sha256 $(sha256sum "$out" | cut -d' ' -f1)"
