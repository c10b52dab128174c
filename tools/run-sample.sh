#!/bin/bash
# Builds kelvod (Release), sets up the sample work folder examples/sample and
# sends every file of it through kelvod and back, comparing byte for byte.
#
# Build folder: build-release (KELVOD_BUILD_PREFIX=dir/ puts it in dir/release).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/deps.sh

kv_need_packages cmake ninja-build g++ python3

build="${KELVOD_BUILD_PREFIX:-build-}release"
echo "== building kelvod in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKELVOD_TESTS=OFF -DKELVOD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target kelvod

echo "== setting up examples/sample"
python3 tools/make_sample.py examples/sample

echo "== round trip of every file of examples/sample"
bash tools/round-trip.sh "$build/kelvod" examples/sample "$build/sample-out"
echo "program:     $build/kelvod"
echo "work folder: examples/sample (the empty folder save/ holds no file to compress)"
