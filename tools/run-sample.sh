#!/bin/bash
# Builds kelvod (Release) and kelvod.exe beside it, sets up the sample work
# folder examples/sample, makes a disk set of it with kelvod (the set carries
# both programs), expands the set again with the kelvod the set carries, and
# compares the game folder with the work folder.
#
# Build folders: build-release and build-release-win (KELVOD_BUILD_PREFIX=dir/
# puts them in dir/release and dir/release-win).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/deps.sh

kv_need_packages cmake ninja-build g++ python3 g++-mingw-w64-i686-posix binutils-mingw-w64-i686

build="${KELVOD_BUILD_PREFIX:-build-}release"
echo "== building kelvod in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKELVOD_TESTS=OFF -DKELVOD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target kelvod

# kelvod.exe beside kelvod: the disk set then carries both and expands on
# Windows too.
echo "== building kelvod.exe in $build-win"
cmake -S . -B "$build-win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKELVOD_TESTS=OFF -DKELVOD_BENCH=OFF >/dev/null
cmake --build "$build-win" -j2 --target kelvod
cp "$build-win/kelvod.exe" "$build/kelvod.exe"

echo "== setting up examples/sample"
python3 tools/make_sample.py examples/sample

kelvod="$(pwd)/$build/kelvod"
out="$(pwd)/$build/sample-run"
set_dir="$out/disk-set"
game="$out/game"
rm -rf "$out"
mkdir -p "$out"
# The Start-menu entry of the demo goes into the run's own folder, not the
# user's applications folder.
export XDG_DATA_HOME="$out/xdg"

echo "== make: a disk set of examples/sample in $set_dir"
# The terminal front end reads its answers from standard input: the
# destination, Run, OK to the confirmation; end of input answers OK to the
# remaining OK-only boxes.
if ! (cd examples/sample && printf 'dest %s\nrun\nok\n' "$set_dir" |
  "$kelvod" --tty . >"$out/make.log" 2>&1); then
  cat "$out/make.log"
  echo "the make run failed (log above)" >&2
  exit 1
fi

echo "== extract: the disk set into $game, by the kelvod on the set"
if ! (cd "$set_dir" && printf 'dest %s\nrun\nok\nok\n' "$game" |
  ./kelvod --tty >"$out/extract.log" 2>&1); then
  cat "$out/extract.log"
  echo "the extract run failed (log above)" >&2
  exit 1
fi

echo "== comparing examples/sample with $game"
failures=0
while IFS= read -r -d '' f; do
  rel=${f#examples/sample/}
  if ! cmp -s "$f" "$game/$rel"; then
    echo "differs or missing: $rel" >&2
    failures=$((failures + 1))
  fi
done < <(find examples/sample -type f -print0)
extra=$(cd "$game" && find . -type f | wc -l)
expected=$(find examples/sample -type f | wc -l)
if [ "$extra" -ne "$expected" ]; then
  echo "the game folder holds $extra files, the work folder $expected" >&2
  failures=$((failures + 1))
fi
if [ ! -d "$game/save" ]; then
  echo "the empty folder save/ did not come back" >&2
  failures=$((failures + 1))
fi
if [ "$failures" -ne 0 ]; then
  echo "$failures difference(s)" >&2
  exit 1
fi
echo "every file came back byte for byte ($expected files), and the empty folder save/ too"
echo "program:     $kelvod"
echo "disk set:    $set_dir ($(ls "$set_dir" | wc -l) entries: disk1.id, *_lzs files, kelvod, kelvod.exe, kelvod.lst)"
echo "game folder: $game"
echo "logs:        $out/make.log, $out/extract.log"
