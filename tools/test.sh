#!/bin/bash
# Builds and runs the whole test suite: a normal build, the Windows build
# under Wine (tools/wine-tests.sh) and an AddressSanitizer +
# UndefinedBehaviorSanitizer build, each with all its CTest tests, then the
# short fuzzing run. Installs what it needs (Debian packages) when missing.
#
# Build folders: build-test, build-win and build-asan (KELVOD_BUILD_PREFIX=dir/
# puts them in dir/test, dir/win and dir/asan). Two parallel jobs: CI machines have 2 cores.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/deps.sh

# clang and its runtime libraries (libclang-rt-dev) build the fuzz target;
# desktop-file-utils checks the desktop entry of the desktop front end. The
# desktop window: Qt 6 Widgets (qt6-base-dev) and the Japanese Gothic font
# it is drawn with; xvfb, xauth and xdotool run it on an X server. mtools
# reads and writes the floppy images of the batch commands; zlib and nettle
# (static archives in their -dev packages) compute the content hashes.
kv_need_packages cmake ninja-build g++ clang libclang-rt-dev libgtest-dev libgmock-dev \
  libbenchmark-dev python3 desktop-file-utils qt6-base-dev fonts-ipafont-gothic xvfb xauth \
  xdotool mtools zlib1g-dev nettle-dev

prefix=${KELVOD_BUILD_PREFIX:-build-}
jobs=2

echo "== layer order of the includes"
python3 tools/check_layers.py

build_and_test() {
  local dir=$1
  shift
  echo "== configure $dir"
  cmake -S . -B "$dir" -G Ninja "$@"
  echo "== build $dir"
  cmake --build "$dir" -j"$jobs"
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j"$jobs")
}

build_and_test "${prefix}test" -DCMAKE_BUILD_TYPE=RelWithDebInfo

# kelvod.exe, cross-built and tested under Wine, and the black-box tests of
# the build above run against it.
bash tools/wine-tests.sh "${prefix}test"

# Optimised, so that the sanitised round trip of the large sample file stays
# quick; the benchmarks are left out of this build.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
build_and_test "${prefix}asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVOD_SANITIZE=ON \
  -DKELVOD_BENCH=OFF

if [ -f tests/fuzz/run.sh ]; then
  echo "== fuzz smoke run"
  bash tests/fuzz/run.sh
else
  echo "== no tests/fuzz/run.sh yet: fuzz smoke run skipped"
fi
echo "== all tests passed"
