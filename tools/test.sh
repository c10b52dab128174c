#!/bin/bash
# Builds and runs the whole test suite: a normal build, the Windows build
# under Wine (tools/wine-tests.sh) and an AddressSanitizer +
# UndefinedBehaviorSanitizer build, each with all its CTest tests, then the
# short fuzzing run. Installs what it needs (Debian packages) when missing.
#
# Build folders: build-test, build-win, build-deb and build-asan
# (KELVOD_BUILD_PREFIX=dir/ puts them in dir/test, dir/win, dir/deb and dir/asan). Two parallel jobs: CI machines have 2 cores.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/deps.sh

# clang and its runtime libraries (libclang-rt-dev) build the fuzz target;
# desktop-file-utils checks the desktop entries. The desktop window: Qt 6
# Widgets (qt6-base-dev), Qt's Japanese texts (qt6-translations-l10n) and
# the Japanese Gothic font it is drawn with; xvfb, xauth and xdotool run it
# on an X server. mtools reads and writes the floppy images of the batch
# commands; zlib and nettle (static archives in their -dev packages) compute
# the content hashes. icoutils takes the icon out of a game's launcher, and
# mingw-w64's binutils make a launcher with one for its test. dpkg-dev and
# file make the Debian packages (tools/deb-test.sh).
kv_need_packages cmake ninja-build g++ clang libclang-rt-dev libgtest-dev libgmock-dev \
  libbenchmark-dev python3 desktop-file-utils qt6-base-dev qt6-translations-l10n \
  fonts-ipafont-gothic xvfb xauth xdotool mtools zlib1g-dev nettle-dev icoutils \
  binutils-mingw-w64-i686 dpkg-dev file clang-format clang-tidy

prefix=${KELVOD_BUILD_PREFIX:-build-}
jobs=2

echo "== layer order of the includes"
python3 tools/check_layers.py
echo "== code format"
bash tools/check-format.sh

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

# kelvod.exe for the installation comes from the Windows build below
# (-DKELVOD_WINDOWS_EXE=OFF: not cross-built twice).
build_and_test "${prefix}test" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVOD_WINDOWS_EXE=OFF

echo "== clang-tidy"
bash tools/check-tidy.sh "${prefix}test"

echo "== the program a set carries: glibc symbols"
bash tools/check-glibc.sh "${prefix}test/kelvod"

# kelvod.exe, cross-built and tested under Wine, and the black-box tests of
# the build above run against it.
bash tools/wine-tests.sh "${prefix}test"

# The Debian packages, with that kelvod.exe; CI (as root) installs them,
# uses the installed program and removes them again.
deb_install=()
[ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ] && deb_install=(--install)
bash tools/deb-test.sh "${deb_install[@]}" "${prefix}win/kelvod.exe"

# Optimised, so that the sanitised round trip of the large sample file stays
# quick; the benchmarks are left out of this build.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
build_and_test "${prefix}asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVOD_SANITIZE=ON \
  -DKELVOD_BENCH=OFF -DKELVOD_WINDOWS_EXE=OFF

if [ -f tests/fuzz/run.sh ]; then
  echo "== fuzz smoke run"
  bash tests/fuzz/run.sh
else
  echo "== no tests/fuzz/run.sh yet: fuzz smoke run skipped"
fi
echo "== all tests passed"
