#!/bin/bash
# Builds the codec's libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in its own folder and runs a short, fixed number
# of iterations from a small seed corpus. Extra arguments go to the fuzzer
# (for example -runs=1000000 for a longer session).
#
# Build folder: build-fuzz (KELVOD_BUILD_PREFIX=dir/ puts it in dir/fuzz).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

build="${KELVOD_BUILD_PREFIX:-build-}fuzz"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
  -DKELVOD_FUZZ=ON -DKELVOD_SANITIZE=ON -DKELVOD_TESTS=OFF -DKELVOD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_codec

# Seeds: size bytes + the code streams of the format's examples, a header.
corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
printf '\x02\x00\x07abc' >"$corpus/literals"
printf '\x09\x00\x01a\xee\xf6' >"$corpus/run"
printf '\x1d\x00\x00\xdc\xff\xff\xf9' >"$corpus/zeros"
{ printf 'LZS_____________(c)1997_ulvane_\0@\1\0\0d\0\0\0'; head -c 280 /dev/zero; } >"$corpus/header"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$build/tests/fuzz/fuzz_codec" -runs=20000 -max_len=8192 -timeout=20 -seed=1 \
  "$@" "$corpus"
