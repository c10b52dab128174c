#!/bin/bash
# Builds a real game work folder for the whole-run figures of
# docs/performance.md: the data files of two Debian game packages
# (downloaded with apt-get, never installed), about 540 files and 99 MB of
# level files, pictures, bitmaps and scenario texts in 34 folders, and a
# project file game.qzm. Nothing of it is part of the repository.
#
#   bench/fetch_game_folder.sh [FOLDER]     (default: build-bench/game-folder)
#
# Needs the package lists (apt-get update) and dpkg-deb.
set -euo pipefail
out=${1:-build-bench/game-folder}
packages=(neverball-data lgeneral-data)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt-get downloads as its own user
(cd "$work" && apt-get download "${packages[@]}" >/dev/null)
rm -rf "$out"
mkdir -p "$out"
for p in "${packages[@]}"; do
  dpkg-deb -x "$work"/"${p}"_*.deb "$work/x"
done
cp -r "$work"/x/usr/share/games/. "$out"/
printf 'game\r\n' >"$out/game.qzm"
echo "$out: $(find "$out" -type f | wc -l) files, $(du -sb "$out" | cut -f1) bytes," \
  "$(find "$out" -type d | wc -l) folders"
