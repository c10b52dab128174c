#!/usr/bin/env python3
"""Sets two things in a Windows program's header after the link:

- the file header's characteristics 0x0400 and 0x0800, which make Windows run
  the program from the swap file when it is started from removable media or
  the network, so the disk it came from can be changed while it runs (the
  linker has no switch for them);
- the oldest system and subsystem versions the program runs on, 4.0:
  Windows 95, 98 and NT 4.0 refuse a program whose header asks for more, and
  every later version takes it.

  tools/pe_run_from_swap.py PROGRAM.exe"""
import struct
import sys

REMOVABLE_RUN_FROM_SWAP = 0x0400
NET_RUN_FROM_SWAP = 0x0800
PE32_MAGIC = 0x10B
# In the optional header: MajorOperatingSystemVersion, MinorOperatingSystemVersion
# (40, 42) and MajorSubsystemVersion, MinorSubsystemVersion (48, 50).
VERSIONS = ((40, 4), (42, 0), (48, 4), (50, 0))


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
        struct.pack_into("<H", data, at, flags | REMOVABLE_RUN_FROM_SWAP | NET_RUN_FROM_SWAP)
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != PE32_MAGIC:
            print(f"{path}: not a 32-bit program", file=sys.stderr)
            return 1
        for offset, value in VERSIONS:
            struct.pack_into("<H", data, optional + offset, value)
        f.seek(0)
        f.write(data[:optional + 52])
    return 0


if __name__ == "__main__":
    sys.exit(main())
