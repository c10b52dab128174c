#!/usr/bin/env python3
"""Writes 4 MiB of text-like data for the instruction counts of
docs/performance.md: script lines in code page 932 and ASCII made from a
small vocabulary by a fixed-seed generator (the same bytes everywhere).

    bench/make_text_like.py OUTPUT
"""
import random
import sys

WORDS = ["セリフ", "シーン", "ジャンプ", "もし", "ならば", "フラグ", "変数", "表示",
         "scene", "bgm", "jump.wav", "title", "if", "then", "=", "0", "1", "、", "。",
         "message", "wait", "「", "」"]


def main():
    rng = random.Random(1997)
    words = [w.encode("cp932") for w in WORDS]
    out = bytearray()
    size = 4 * 1024 * 1024
    while len(out) < size:
        line = b" ".join(rng.choice(words) for _ in range(rng.randint(3, 12)))
        out += b"  " * rng.randint(0, 3) + line + b"\r\n"
    with open(sys.argv[1], "wb") as f:
        f.write(out[:size])


if __name__ == "__main__":
    main()
