#!/bin/bash
# Builds the libFuzzer targets (codec, list side, each floppy image format)
# with clang, AddressSanitizer and UndefinedBehaviorSanitizer in its own folder and runs a short, fixed number
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
image_formats=(img fdi d88 nfd dim)
cmake --build "$build" -j2 --target fuzz_codec fuzz_list fuzz_listing \
  "${image_formats[@]/#/fuzz_image_}"

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

# Seeds of the list side: a good list and the hostile ones of the tests.
lists="$build/fuzz-lists"
mkdir -p "$lists"
printf '       3\nsample\nID1\n1:sample.qzm_lzs\n1:data\\title.bmp_lzs\n1:movie.avi_lzs\n1:movie.avi_lzs1\nID2\n2:movie.avi_lzs2\n2:readme.txt_lzs\nID0\n' >"$lists/good"
printf '       2\n..\\..\\.config\\autostart\\game\nID1\n1:a.txt_lzs\nID0\n' >"$lists/title"
printf '       2\ngame\nID1\n1:..\\..\\x_lzs\n1:sub/a_lzs\n1:c:x_lzs\nID0\n' >"$lists/names"
printf '      -5\ngame\nID1\nID1\n1:a_lzs\n\n1:b_lzs\n' >"$lists/unreached"
printf '       2\rgame\rID1\r1:a_lzs\r' >"$lists/bare-cr"
printf '       2\n\x83\x5c\nID1\n1:\x83\x5c\\CON.txt_lzs\n1:\x8a:..\\x_lzs\nID0\n' >"$lists/double-byte"
"$build/tests/fuzz/fuzz_list" -runs=20000 -max_len=2048 -timeout=20 -seed=1 "$@" "$lists"

# Seeds of the image formats, one small image each (a single track where the
# format allows it). Images up to 3 MB; no allocation of more than 4 MB.
images="$build/fuzz-images"
rm -rf "$images"
python3 - "$images" <<'EOF'
import pathlib, struct, sys
root = pathlib.Path(sys.argv[1])
def save(fmt, data):
    (root / fmt).mkdir(parents=True, exist_ok=True)
    (root / fmt / ("seed." + fmt)).write_bytes(data)
raw = bytearray(737280)  # 720 KB: a boot sector and the start of the FAT
raw[0], raw[11:13], raw[21], raw[512:515] = 0xEB, struct.pack("<H", 512), 0xF9, b"\xf9\xff\xff"
save("img", bytes(raw))
save("fdi", struct.pack("<8I", 0, 0x10, 32, len(raw), 512, 9, 2, 80) + raw)
track = b"".join(struct.pack("<4BHBBB5xH", 0, 0, r, 2, 9, 0, 0x10 * (r == 2), 0, 512)
                 + bytes([r]) * 512 for r in range(9, 0, -1))
save("d88", bytes(0x1B) + b"\x10" + struct.pack("<2I", 0x2B0 + len(track), 0x2B0) + bytes(0x28C)
     + track)
ids = b"".join(struct.pack("<11B5x", 0, 0, r, 2, 1, r == 2, 0, 0, 0, 0, 0x10) for r in range(1, 10))
table = ids + (b"\xff" * 11 + bytes(5)) * (163 * 26 - 9)
save("nfd", b"T98FDDIMAGE.R0\0\0" + bytes(256) + struct.pack("<IBB10x", 68112, 0, 2) + table
     + bytes(16) + raw[:9 * 512])
save("dim", b"\0\1" + bytes(169) + b"DIFC HEADER  " + bytes(256 - 184) + bytes(range(256)) * 32)
EOF
for format in "${image_formats[@]}"; do
  "$build/tests/fuzz/fuzz_image_$format" -runs=10000 -max_len=3145728 -malloc_limit_mb=4 \
    -timeout=20 -seed=1 "$@" "$images/$format"
done

# Seeds of the image tools' listings: one as mdir prints it, a boot sector.
listings="$build/fuzz-listings"
mkdir -p "$listings"
printf ' Volume in drive : has no label\nDirectory for ::/\n\nSUB          <DIR>     2024-01-02  03:04 \nREADME   TXT         3 2024-01-02  03:04 \nLONGNA~1 TXT        12 2024-01-02  03:04  long name.txt\n        3 files              15 bytes\n\nDirectory for ::/SUB\n\n.            <DIR>     2024-01-02  03:04 \n..           <DIR>     2024-01-02  03:04 \nX        Y           1 2024-01-02  03:04 \n        3 files               1 bytes\n\nTotal files listed:\n        4 files              16 bytes\n                          1 457 152 bytes free\n\n' >"$listings/listing"
printf '\xeb\x3c\x90MTOO4032\x00\x02\x01\x01\x00\x02\xe0\x00\x40\x0b\xf0\x09\x00\x12\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$listings/boot"
"$build/tests/fuzz/fuzz_listing" -runs=20000 -max_len=4096 -timeout=20 -seed=1 "$@" "$listings"
