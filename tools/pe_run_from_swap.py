#!/usr/bin/env python3
"""Marks a Windows program to be run from the swap file when it is started
from removable media or the network (the file header's characteristics
0x0400 and 0x0800), so the disk it came from can be changed while it runs.

  tools/pe_run_from_swap.py PROGRAM.exe"""
import struct
import sys

REMOVABLE_RUN_FROM_SWAP = 0x0400
NET_RUN_FROM_SWAP = 0x0800


def main() -> int:
    path = sys.argv[1]
    with open(path, "r+b") as f:
        data = bytearray(f.read(4096))
        if data[:2] != b"MZ":
            print(f"{path}: not a Windows program", file=sys.stderr)
            return 1
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            print(f"{path}: no PE header", file=sys.stderr)
            return 1
        at = pe + 4 + 18  # Characteristics in the file header
        flags = struct.unpack_from("<H", data, at)[0]
        flags |= REMOVABLE_RUN_FROM_SWAP | NET_RUN_FROM_SWAP
        f.seek(at)
        f.write(struct.pack("<H", flags))
    return 0


if __name__ == "__main__":
    sys.exit(main())
