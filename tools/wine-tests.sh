#!/bin/bash
# kelvod.exe: cross-builds it and its tests for 32-bit Windows with mingw-w64
# and runs them under Wine:
#   1. the core test suites, through ctest;
#   2. the black-box tests of a Linux build (the terminal make-and-extract
#      cycle, the single-file commands) against kelvod.exe;
#   3. real floppy disks in drive A: and sets crossing between Linux and
#      Windows (tools/wine_disk_test.py);
#   4. the desktop window under Xvfb (tools/wine_gui_test.py), which leaves
#      screenshots in BUILD/gui-test/screenshots.
#
#   tools/wine-tests.sh [LINUX_BUILD]
#
# LINUX_BUILD: a built Linux build folder (default build-test). Build folder:
# build-win (KELVOD_BUILD_PREFIX=dir/ puts it in dir/win), with the Wine
# prefix and the XDG folders inside it. Installs what it needs (Debian).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/deps.sh

prefix=${KELVOD_BUILD_PREFIX:-build-}
linux=${1:-${prefix}test}
build=${prefix}win
started=$SECONDS

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
# 32-bit programs need Wine's i386 half.
if command -v dpkg >/dev/null 2>&1 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
fi
kv_need_packages cmake ninja-build python3 g++-mingw-w64-i686-posix binutils-mingw-w64-i686 \
  googletest wine wine32:i386 wine64 fonts-wine fonts-ipafont-gothic xvfb xauth locales
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  "${as_root[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

mkdir -p "$build"
build=$(cd "$build" && pwd)
export WINEPREFIX="$build/wine-prefix" WINEARCH=win32 WINEDEBUG=-all
# Nothing goes into the user's home: Wine's menu builder writes there.
export XDG_DATA_HOME="$build/xdg-data" XDG_CONFIG_HOME="$build/xdg-config"
# No installer dialogs for Wine's .NET and HTML engines.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
rm -rf "$WINEPREFIX" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
echo "== Wine prefix $WINEPREFIX"
# Test discovery runs the test programs during the build: the prefix must
# exist first.
wineboot -i >/dev/null 2>&1
wineserver -w

echo "== configure and build $build (mingw-w64, i686)"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKELVOD_BENCH=OFF
cmake --build "$build" -j2
exe="$build/kelvod.exe"
echo "kelvod.exe: $(stat -c %s "$exe") bytes, stripped"

# Without wine32 a 32-bit program does not run, and wine still exits 0.
version=$(wine "$exe" --version 2>/dev/null || true)
if [ "$version" != "kelvod $(sed -n 's/^project(kelvod VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ]; then
  echo "kelvod.exe does not run under Wine (it printed '$version'); is wine32:i386 installed?" >&2
  exit 1
fi

echo "== core test suites under Wine"
# A failed test program is run once more: once in many runs a test program
# crashed under Wine after its (skipped) test had ended, in Wine's process
# exit. A real failure fails twice.
(cd "$build" && ctest --output-on-failure --no-tests=error -j2 --repeat until-pass:2 | tee ctest.log)
ran=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2/p' "$build/ctest.log")
if [ -z "$ran" ] || [ "$ran" -lt 100 ]; then
  echo "only '${ran:-no}' tests ran under Wine; test discovery must have failed" >&2
  exit 1
fi

echo "== black-box tests of $linux against kelvod.exe"
# Wine would put its server's socket into the tests' TMPDIR.
export KELVOD_TEST_PROGRAM="$exe" KELVOD_TEST_LAUNCHER="env -u TMPDIR wine"
"$linux/tests/test_app" --gtest_filter='TerminalCycleTest.*'
"$linux/tests/test_cli" --gtest_filter=-BatchTest.*  # the batch commands: Linux only
unset KELVOD_TEST_PROGRAM KELVOD_TEST_LAUNCHER

echo "== floppy disks in drive A:, sets between Linux and Windows"
python3 tools/wine_disk_test.py "$exe" "$linux/kelvod" "$build/disk-test"

echo "== the desktop window under Xvfb"
python3 tools/wine_gui_test.py "$exe" "$build/tests/gui_driver.exe" "$build/gui-test"
echo "screenshots: $build/gui-test/screenshots"

wineserver -w
echo "== Windows tests passed ($((SECONDS - started)) s)"
