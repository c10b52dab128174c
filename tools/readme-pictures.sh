#!/bin/bash
# The README's pictures of the windows (docs/images/), taken by the windows'
# own tests with neutral folders: the Qt window with its home folder at
# /home/you (a tmpfs on /home in a mount namespace of its own: run as root),
# kelvod.exe under Wine with its folders on drive C: (C:\Games\...).
#
#   tools/readme-pictures.sh [LINUX_BUILD [WINDOWS_BUILD]]
#
# The builds (default build-test and build-win) must be built, the Windows
# one with its tests (tools/wine-tests.sh builds both).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
linux=$(realpath "${1:-build-test}")
win=$(realpath "${2:-build-win}")

echo "== the Qt window, home folder /home/you"
unshare -m bash -c 'mount -t tmpfs tmpfs /home &&
  KELVOD_PICTURE_HOME=/home/you "$1/tests/test_qt" \
    --gtest_filter=WindowTest.MainWindowFollowsItsTemplateInBothModes >/dev/null' pictures "$linux"
cp "$linux/tests/screenshots/main-make.png" docs/images/main-window.png

echo "== kelvod.exe under Wine, folders in C:\\Games"
export WINEPREFIX="$win/wine-prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
out="$WINEPREFIX/drive_c/Games"
python3 tools/wine_gui_test.py "$win/kelvod.exe" "$win/tests/gui_driver.exe" "$out" >/dev/null
cp "$out/screenshots/main-make.png" docs/images/main-window-make.png
rm -rf "$out"
echo "docs/images/main-window.png, docs/images/main-window-make.png"
