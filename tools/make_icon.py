#!/usr/bin/env python3
"""Draws the program's icon (resource 102): a floppy disk with a label and an
arrow, 32x32 pixels in the 16 colours of the standard palette, written as a
Windows .ico file.

  tools/make_icon.py [OUTPUT]   (default app/frontends/win32/kelvod.ico)"""
import pathlib
import struct
import sys

# The 16-colour palette, by index: 0 black, 1 dark red, 2 dark green,
# 3 olive, 4 navy, 5 purple, 6 teal, 7 silver, 8 grey, 9 red, 10 green,
# 11 yellow, 12 blue, 13 magenta, 14 cyan, 15 white.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# One character per pixel: '.' is transparent, otherwise a hex palette index.
PICTURE = """
................................
..000000000000000000000000000...
..0444477777777777777777444400..
..0444477777777788877777444440..
..0444477777777788877777444440..
..0444477777777788877777444440..
..0444477777777788877777444440..
..0444477777777777777777444440..
..0444444444444444444444444440..
..0444444444444444444444444440..
..044444FFFFFFFFFFFFFFFFF44440..
..044444FFFFFFFFFFFFFFFFF44440..
..044444FFFFFFFFAFFFFFFFF44440..
..044444FFF99FFFAAFFFF99F44440..
..044444FFF99FFFAAAFFF99F44440..
..044444FFFFFFAAAAAAFFFFF44440..
..044444FF00FFAAAAAAAFF0F44440..
..044444FFFFFFAAAAAAFFFFF44440..
..044444FF000FFFAAA000FFF44440..
..044444FFFFFFFFAAFFFFFFF44440..
..044444FF00000FAFF0000FF44440..
..044444FFFFFFFFFFFFFFFFF44440..
..044444FF0000000000000FF44440..
..044444FFFFFFFFFFFFFFFFF44440..
..044444FFFFFFFFFFFFFFFFF44440..
..044444444444444444444444444C0.
..0C4444444444444444444444444C0.
..0CC44444444444444444444444CC0.
..00000000000000000000000000000.
................................
................................
................................
"""


def rows():
    lines = [l for l in PICTURE.strip("\n").split("\n")]
    assert len(lines) == 32 and all(len(l) == 32 for l in lines), "32x32 picture"
    return lines


def ico() -> bytes:
    lines = rows()
    xor = bytearray()
    mask = bytearray()
    for line in reversed(lines):  # bottom-up
        for x in range(0, 32, 2):
            hi, lo = (0 if c == "." else int(c, 16) for c in line[x:x + 2])
            xor.append(hi << 4 | lo)
        bits = 0
        for x, c in enumerate(line):
            if c == ".":
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4,
                                                           len(image), 6 + 16)
    return directory + image


def main() -> int:
    out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                       pathlib.Path(__file__).resolve().parent.parent / "app/frontends/win32/kelvod.ico")
    out.write_bytes(ico())
    return 0


if __name__ == "__main__":
    sys.exit(main())
