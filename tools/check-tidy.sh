#!/bin/bash
# clang-tidy (.clang-tidy) over the sources of the layers where the runs,
# the coders and the batch commands live. BUILD: a configured build folder
# (its compile_commands.json).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:?usage: tools/check-tidy.sh BUILD}
find codec text fileops runs app/commands -name '*.cpp' ! -name '*_win32.cpp' -print0 |
  xargs -0 -P"$(nproc)" -n4 clang-tidy -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option 2>/dev/null
echo "tidy: no findings"
