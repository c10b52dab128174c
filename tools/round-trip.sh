#!/bin/bash
# Sends every file of a work folder through `kelvod --compress` and
# `kelvod --expand` and compares the result with the original, byte for byte.
#
#   round-trip.sh KELVOD WORK_FOLDER OUT_FOLDER
#
# Compressed files go to OUT_FOLDER/packed under the names a disk set uses
# (title.wav -> title.wav_lzs, readme -> readme._lzs), expanded files to
# OUT_FOLDER/expanded under their own names. Every file is tried; the status
# is non-zero when any of them failed. The work folder must hold at least one
# file whose code stream reaches 1 MiB (the sample always does), so that the
# sample keeps exercising pieces.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 KELVOD WORK_FOLDER OUT_FOLDER" >&2
  exit 2
fi
if [ ! -x "$1" ] || [ -d "$1" ]; then
  echo "error: $1 is not a program (build kelvod first)" >&2
  exit 2
fi
kelvod=$(realpath "$1")
work=$(realpath "$2")
out=$3
signature='LZS_____________(c)1997_ulvane_'
piece_bytes=1048576
header_bytes=320

rm -rf "$out/packed" "$out/expanded"
mkdir -p "$out/packed" "$out/expanded"
out=$(realpath "$out")

files=0
failures=0
large=0
fail() {
  echo "FAIL $1: $2" >&2
  failures=$((failures + 1))
}

while IFS= read -r -d '' src; do
  rel=${src#"$work"/}
  name=${rel##*/}
  # A name without extension gets the extension "._lzs".
  if [[ $name == *.* ]]; then
    packed="$out/packed/${rel}_lzs"
  else
    packed="$out/packed/${rel}._lzs"
  fi
  expanded="$out/expanded/$rel"
  mkdir -p "$(dirname "$packed")" "$(dirname "$expanded")"
  files=$((files + 1))

  if ! "$kelvod" --compress "$src" "$packed"; then
    fail "$rel" "--compress failed"
    continue
  fi
  if [ "$(head -c ${#signature} "$packed")" != "$signature" ]; then
    fail "$rel" "compressed file does not begin with the signature"
    continue
  fi
  packed_size=$(stat -c %s "$packed")
  if [ "$packed_size" -ge $((header_bytes + piece_bytes)) ]; then
    large=$((large + 1))
  fi
  if ! "$kelvod" --expand "$packed" "$expanded"; then
    fail "$rel" "--expand failed"
    continue
  fi
  if ! cmp "$src" "$expanded"; then
    fail "$rel" "expanded file differs from the original"
    continue
  fi
  echo "ok   $rel ($(stat -c %s "$src") -> $packed_size bytes)"
done < <(find "$work" -type f -print0 | sort -z)

if [ "$files" -eq 0 ]; then
  fail "$work" "no files found"
fi
if [ "$large" -eq 0 ]; then
  fail "$work" "no file with a code stream of 1 MiB or more (run tools/make_sample.py)"
fi
echo "compressed files: $out/packed"
echo "expanded files:   $out/expanded"
if [ "$failures" -ne 0 ]; then
  echo "round trip of $files files: $failures failures" >&2
  exit 1
fi
echo "all $files files came back unchanged ($large with a code stream of 1 MiB or more)"
