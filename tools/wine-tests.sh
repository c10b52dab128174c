#!/bin/bash
# kelvod.exe: cross-builds it and its tests for 32-bit Windows with mingw-w64
# and runs them under Wine:
#   1. the core test suites, through ctest;
#   2. the black-box tests of a Linux build (the terminal make-and-extract
#      cycle, the single-file commands) against kelvod.exe;
#   3. real floppy disks in drive A: and sets crossing between Linux and
#      Windows (tools/wine_disk_test.py);
#   4. the desktop window under Xvfb (tools/wine_gui_test.py), which leaves
#      screenshots in BUILD/gui-test/screenshots;
#   5. the imports of kelvod.exe against docs/windows-imports.md
#      (tools/check_imports.py), first of all;
#   6. Wine posing as Windows 98: the disk and window checks once more (the
#      program takes the A interfaces there), and a traced make run that
#      must make no call to a W interface; Wine posing as Windows NT 4.0 and
#      XP: the black-box tests once more.
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
kv_need_packages cmake ninja-build python3 g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 \
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
# Wine maps the Japanese file names through the Unix locale: a UTF-8 one,
# whatever the environment has (none at all on a minimal system). The tests
# that need Japanese set their own.
export LC_ALL=C.UTF-8
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
size=$(stat -c %s "$exe")
echo "kelvod.exe: $size bytes, stripped"
# It shares the last floppy with the list and the Linux program.
if [ "$size" -ge $((600 * 1024)) ]; then
  echo "kelvod.exe has grown to 600 KiB or more" >&2
  exit 1
fi

# Without wine32 a 32-bit program does not run, and wine still exits 0.
version=$(wine "$exe" --version 2>/dev/null || true)
if [ "$version" != "kelvod $(sed -n 's/^project(kelvod VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ]; then
  echo "kelvod.exe does not run under Wine (it printed '$version'); is wine32:i386 installed?" >&2
  exit 1
fi

echo "== imports of kelvod.exe (docs/windows-imports.md)"
python3 tools/check_imports.py imports "$exe"

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

black_box() {
  # Wine would put its server's socket into the tests' TMPDIR.
  KELVOD_TEST_PROGRAM="$exe" KELVOD_TEST_LAUNCHER="env -u TMPDIR wine" \
    "$linux/tests/test_app" --gtest_filter='TerminalCycleTest.*'
  # The batch commands: Linux only.
  KELVOD_TEST_PROGRAM="$exe" KELVOD_TEST_LAUNCHER="env -u TMPDIR wine" \
    "$linux/tests/test_cli" --gtest_filter=-BatchTest.*
}

echo "== black-box tests of $linux against kelvod.exe"
black_box

echo "== floppy disks in drive A:, sets between Linux and Windows"
python3 tools/wine_disk_test.py "$exe" "$linux/kelvod" "$build/disk-test"

echo "== the desktop window under Xvfb"
python3 tools/wine_gui_test.py "$exe" "$build/tests/gui_driver.exe" "$build/gui-test"
echo "screenshots: $build/gui-test/screenshots"

wineserver -w

# A prefix of its own in which Wine poses as another Windows ($1: win98,
# nt40, winxp), with XDG folders of its own for Wine's menu builder.
pose_as() {
  wineserver -k >/dev/null 2>&1 || true
  export WINEPREFIX="$build/wine-prefix-$1" XDG_DATA_HOME="$build/xdg-data-$1" \
    XDG_CONFIG_HOME="$build/xdg-config-$1"
  rm -rf "$WINEPREFIX" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
  mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
  wineserver -w
  local shown
  shown=$(wine cmd /c ver 2>/dev/null | tr -d '\r' | grep -o 'Windows [0-9.]*' || true)
  case "$shown" in
    "Windows $2".*) ;;
    *)
      echo "Wine does not pose as $1 (its version is '$shown')" >&2
      exit 1
      ;;
  esac
}

# Windows 98: GetVersion reports Windows 9x, and the program takes the A
# interfaces with the system's ANSI code page, 932 in a Japanese locale (the
# sample's names need it). Wine's A interfaces are real ones; its W
# interfaces work too, so the trace shows that the program does not use them.
pass_started=$SECONDS
echo "== Wine posing as Windows 98: floppy disks, sets between Linux and Windows"
pose_as win98 4.10
KELVOD_WINE_LOCALE=ja_JP.UTF-8 python3 tools/wine_disk_test.py "$exe" "$linux/kelvod" \
  "$build/disk-test-98"
echo "== Wine posing as Windows 98: the desktop window under Xvfb"
python3 tools/wine_gui_test.py "$exe" "$build/tests/gui_driver.exe" "$build/gui-test-98"
echo "screenshots: $build/gui-test-98/screenshots"
echo "== Wine posing as Windows 98: a traced make run calls A interfaces only"
trace=$build/trace-98
rm -rf "$trace"
python3 tools/make_sample.py "$trace/work" >/dev/null
rm "$trace/work/data/bgm/theme.wav"  # a short run
(cd "$trace/work" && printf 'dest %s\nrun\nok\n' "Z:${trace//\//\\}\\set" |
  env -u TMPDIR LC_ALL=ja_JP.UTF-8 WINEDEBUG=+pid,+loaddll,+relay wine "$exe" --tty . >/dev/null 2>"$trace/relay.log")
[ -f "$trace/set/kelvod.lst" ] || { echo "the traced make run made no set" >&2; exit 1; }
python3 tools/check_imports.py relay "$exe" "$trace/relay.log"
rm -f "$trace/relay.log"
wineserver -w
echo "== the Windows 98 pass took $((SECONDS - pass_started)) s"

for pose in nt40:4.0 winxp:5.1; do
  echo "== Wine posing as ${pose%:*}: black-box tests of $linux against kelvod.exe"
  pose_as "${pose%:*}" "${pose#*:}"
  black_box
  wineserver -w
done

echo "== Windows tests passed ($((SECONDS - started)) s)"
