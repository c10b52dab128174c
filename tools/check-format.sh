#!/bin/bash
# The sources as clang-format lays them out (.clang-format); names each file
# that differs. The generated message table is left as it is made.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
find app codec digest fileops images platform runs text tests bench \
  \( -name '*.cpp' -o -name '*.h' \) ! -path 'app/dialogue/resources/messages.h' -print0 |
  xargs -0 clang-format --dry-run --Werror
echo "format: every source as clang-format lays it out"
