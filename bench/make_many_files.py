#!/usr/bin/env python3
"""Writes a work folder of many small files in one folder, like a game's
folder of sprites, for the scaling runs of docs/performance.md: the project
file bench.qzm and N files data/sprNNNNN.bmp of 1 to 4 KiB each, made by a
fixed-seed generator (the same bytes everywhere; half of each file is a run
pattern, half noise, so they compress about as sprites do).

    bench/make_many_files.py N FOLDER
"""
import pathlib
import random
import sys


def main():
    count = int(sys.argv[1])
    root = pathlib.Path(sys.argv[2])
    data = root / "data"
    data.mkdir(parents=True, exist_ok=True)
    (root / "bench.qzm").write_bytes(b"project\r\n")
    rng = random.Random(count)
    for i in range(count):
        size = rng.randint(1024, 4096)
        half = size // 2
        pattern = bytes((i + k // 16) & 0xFF for k in range(half))
        noise = rng.randbytes(size - half)
        (data / f"spr{i:05d}.bmp").write_bytes(pattern + noise)


if __name__ == "__main__":
    main()
