#!/bin/bash
# The Debian packages as a user gets them: builds kelvod (Release, prefix
# /usr) with kelvod.exe beside it, checks that the program a set carries
# asks for no glibc newer than 2.31, makes kelvod_*.deb and kelvod-qt_*.deb
# with CPack and checks what they hold. With --install (CI does this; it
# changes the system) it then installs both with apt-get from a clean
# folder, runs the installed program: --version, a make and an extract of
# the sample (the trees compared), the set's own copy finding the installed
# window module; and removes the packages again.
#
#   tools/deb-test.sh [--install] [WINDOWS_EXE]
#
# WINDOWS_EXE: a built kelvod.exe (tools/test.sh passes that of the Wine
# tests); without it the build cross-builds one. Build folder: build-deb
# (KELVOD_BUILD_PREFIX=dir/ puts it in dir/deb).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/deps.sh

install=false
if [ "${1:-}" = "--install" ]; then
  install=true
  shift
fi
exe=${1:-}
kv_need_packages cmake ninja-build g++ python3 dpkg-dev file icoutils desktop-file-utils \
  qt6-base-dev zlib1g-dev nettle-dev
[ -n "$exe" ] || kv_need_packages g++-mingw-w64-i686-win32 binutils-mingw-w64-i686

build="${KELVOD_BUILD_PREFIX:-build-}deb"
echo "== configure and build $build (Release, prefix /usr)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DKELVOD_TESTS=OFF -DKELVOD_BENCH=OFF -DKELVOD_WINDOWS_EXE="${exe:+$(realpath "$exe")}" >/dev/null
cmake --build "$build" -j2

echo "== the program a set carries: glibc symbols"
bash tools/check-glibc.sh "$build/kelvod"

echo "== cpack -G DEB"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
main_deb=$(ls "$build"/kelvod_*.deb)
qt_deb=$(ls "$build"/kelvod-qt_*.deb)
failures=0
expect_file() { # DEB PATH
  if ! dpkg-deb -c "$1" | awk '{print $NF}' | grep -qx "./$2"; then
    echo "$(basename "$1") lacks /$2" >&2
    failures=$((failures + 1))
  fi
}
for f in usr/bin/kelvod usr/bin/kelvod.exe usr/share/man/man1/kelvod.1; do expect_file "$main_deb" "$f"; done
for f in usr/lib/kelvod/kelvod-qt.so usr/share/applications/kelvod.desktop \
  usr/share/icons/hicolor/32x32/apps/kelvod.png; do expect_file "$qt_deb" "$f"; done
for deb in "$main_deb" "$qt_deb"; do
  echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done
if ! dpkg-deb -f "$main_deb" Depends | grep -q 'libc6'; then
  echo "kelvod declares no dependency on the C library" >&2
  failures=$((failures + 1))
fi
if ! dpkg-deb -f "$qt_deb" Depends | grep -q 'libqt6widgets6'; then
  echo "kelvod-qt declares no dependency on Qt" >&2
  failures=$((failures + 1))
fi
unpacked=$(mktemp -d)
dpkg-deb -x "$qt_deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/kelvod.desktop" || failures=$((failures + 1))
rm -rf "$unpacked"
[ "$failures" -eq 0 ] || exit 1
echo "packages: $main_deb ($(stat -c %s "$main_deb") bytes), $qt_deb ($(stat -c %s "$qt_deb") bytes)"
$install || exit 0

echo "== apt-get install of both packages from a clean folder"
work=$(mktemp -d)
chmod 755 "$work"  # apt's download user reads the packages there
trap 'rm -rf "$work"' EXIT
cp "$main_deb" "$qt_deb" "$work/"
python3 tools/make_sample.py "$work/sample" >/dev/null
cd "$work"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q ./kelvod_*.deb ./kelvod-qt_*.deb </dev/null \
  >apt.log 2>&1 || { cat apt.log; exit 1; }
remove() { DEBIAN_FRONTEND=noninteractive apt-get purge -y -q kelvod kelvod-qt >/dev/null 2>&1 || true; }
trap 'remove; rm -rf "$work"' EXIT
kelvod=$(command -v kelvod)
[ "$kelvod" = /usr/bin/kelvod ] || { echo "kelvod is $kelvod, not /usr/bin/kelvod" >&2; exit 1; }
kelvod --version
# Nothing of the runs goes into root's home.
export HOME="$work/home" XDG_DATA_HOME="$work/xdg" TMPDIR="$work/tmp"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$TMPDIR"
kelvod -q --make sample --to set --title sample
last=$(dirname "$(find set -name kelvod.lst)")
[ -f "$last/kelvod.exe" ] || { echo "the set made by the installed kelvod has no kelvod.exe" >&2; exit 1; }
kelvod -q --extract --to game set
diff -r sample game
# The set's copy of the program, started on a desktop, finds the installed
# window module (the display answers nobody, so it then says so).
line=$(cd "$last" && echo exit | env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:4242 ./kelvod 2>&1 >/dev/null || true)
case "$line" in
  *"cannot connect to the X display :4242"*) ;;
  *) echo "the set's kelvod did not find /usr/lib/kelvod/kelvod-qt.so: $line" >&2; exit 1 ;;
esac
echo "installed packages: make, extract and the set's copy work; removed again"
