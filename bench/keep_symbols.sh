#!/bin/bash
# A link launcher that leaves the symbol table in a Release kelvod (it drops
# the link's -s and nothing else), so that callgrind_annotate can name the
# functions of whole runs; the code is the same as that of the stripped build.
#
#   cmake -S . -B build-syms -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVOD_TESTS=OFF \
#     -DCMAKE_CXX_LINKER_LAUNCHER="$PWD/bench/keep_symbols.sh"
args=()
for a in "$@"; do [ "$a" = -s ] || args+=("$a"); done
exec "${args[@]}"
