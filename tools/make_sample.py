#!/usr/bin/env python3
"""Makes the bundled sample work folder, a small game tree for trying kelvod.

The small files are committed under examples/sample/; this script is where
they come from, and it adds what git cannot or should not keep: the empty
folder save/ and one large sound file (about 1.3 MB of noise) whose LZSS code
stream passes 1 MiB, so that making a disk set from the sample cuts pieces.

    make_sample.py [DIR]            write the whole sample into DIR
    make_sample.py --large [DIR]    add only the large file and the empty folder
    make_sample.py --check [DIR]    check that DIR holds the committed files
                                    exactly as this script makes them

DIR defaults to examples/sample. Everything is deterministic: no clock, no
random source, only arithmetic and SHA-256 in counter mode. Standard library
only. File names are handled as bytes (UTF-8 on the disk), so the result does
not depend on the locale the script runs under.
"""
import hashlib
import math
import os
import pathlib
import struct
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
DEFAULT_DIR = ROOT / "examples" / "sample"

# Relative paths use '/' here; they become host paths when written.
EMPTY_FOLDER = "save"
LARGE_FILE = "data/bgm/theme.wav"
# Noise barely compresses: its code stream is about 9/8 of its size, so this
# gives roughly 1.47 MB of stream, two pieces of at most 1 MiB.
LARGE_PCM_BYTES = 1_310_720


def sjis(text: str) -> bytes:
    """Game texts are Shift-JIS with CR LF line ends."""
    return text.replace("\n", "\r\n").encode("cp932")


def noise(seed: bytes, size: int) -> bytes:
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(seed + counter.to_bytes(8, "little")).digest()
        counter += 1
    return bytes(out[:size])


def bmp(width: int, height: int, bits: int, pixel, palette=None) -> bytes:
    """A bottom-up Windows bitmap with a BITMAPINFOHEADER; pixel(x, y) gives
    a palette index for 8 bits, (r, g, b) for 24 bits."""
    row_bytes = (width * bits // 8 + 3) & ~3
    colours = palette or []
    offset = 14 + 40 + 4 * len(colours)
    image = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            if bits == 8:
                row.append(pixel(x, y))
            else:
                r, g, b = pixel(x, y)
                row += bytes((b, g, r))
        row += bytes(row_bytes - len(row))
        image += row
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(image), 2835, 2835,
                       len(colours), 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    return header + info + pal + bytes(image)


def wav(rate: int, channels: int, bits: int, pcm: bytes) -> bytes:
    """A RIFF/WAVE file with one PCM format chunk and one data chunk."""
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    pad = b"\0" if len(pcm) % 2 else b""
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(pcm)) + pcm + pad
    return b"RIFF" + struct.pack("<I", len(body)) + body


def title_bitmap() -> bytes:
    # A sky gradient with a sun and a ground line: long runs and repeats,
    # like real title pictures.
    def pixel(x, y):
        if (x - 92) ** 2 + (y - 28) ** 2 < 14 ** 2:
            return (255, 214, 64)
        if y >= 72:
            return (40 + (x // 8 % 2) * 16, 120, 48)
        return (32 + y, 64 + y, 160 + y)

    return bmp(128, 96, 24, pixel)


def hero_bitmap() -> bytes:
    palette = [(0, 0, 0), (255, 255, 255), (232, 184, 144), (40, 40, 160), (200, 32, 32)]
    palette += [(i, i, i) for i in range(0, 256, 8)][: 16 - len(palette)]

    def pixel(x, y):
        if (x - 16) ** 2 + (y - 10) ** 2 < 7 ** 2:
            return 2  # face
        if 18 <= y < 36 and 8 <= x < 24:
            return 4  # coat
        if 36 <= y < 46 and (9 <= x < 14 or 18 <= x < 23):
            return 3  # legs
        return 1

    return bmp(32, 48, 8, pixel, palette)


def shot_sound() -> bytes:
    # 8-bit unsigned mono: a decaying burst of noise.
    rate, count = 11025, 2756
    raw = noise(b"shot", count)
    pcm = bytes(
        max(0, min(255, 128 + int((raw[i] - 128) * math.exp(-i / 500.0)))) for i in range(count))
    return wav(rate, 1, 8, pcm)


def jump_sound() -> bytes:
    # 16-bit signed mono: a rising sweep.
    rate, count = 22050, 2205
    pcm = bytearray()
    phase = 0.0
    for i in range(count):
        phase += 2 * math.pi * (300 + 900 * i / count) / rate
        pcm += struct.pack("<h", int(9000 * math.sin(phase) * (1 - i / count)))
    return wav(rate, 1, 16, bytes(pcm))


def launcher() -> bytes:
    # Stands in for the game's launcher, which the extract run links to; it
    # only needs to be a file that survives the trip.
    stub = bytearray(b"MZ" + bytes(62))
    stub += b"kelvod sample: placeholder for the game launcher, not a program.\r\n"
    return bytes(stub + bytes(512 - len(stub)))


PROJECT = """\
[project]
title=サンプル冒険記
version=1.00
launcher=qzmrun.exe
start=data\\scenario.txt

[graphics]
title=graphics\\title.bmp
hero=graphics\\chara\\hero.bmp

[sound]
shot=data\\se\\shot.wav
jump=data\\se\\jump.wav
bgm=data\\bgm\\theme.wav
"""

README = """\
サンプル冒険記 ver1.00

kelvod に付属する見本の作業フォルダです。
ゲームディスクの作成と解凍を試すためのもので、遊べるゲームではありません。
"""

MANUAL = """\
■ゲーム説明

主人公を操作して、森の奥にある塔を目指します。
矢印キーで移動、スペースキーでジャンプ、Ｚキーで攻撃します。

■セーブについて

セーブデータは save フォルダに作られます。
"""

SCENARIO = """\
*start
@bg graphics\\title.bmp
@bgm data\\bgm\\theme.wav
「ここが表の入口か……」
ソフィアは能力を試すように、剣を構えた。
@se data\\se\\shot.wav
「予想以上に強い。十分に注意しよう」
@jump *forest

*forest
森の奥から、かすかな歌声が聞こえる。
"""

SOFTWARE_INFO = """\
ソフト情報
作成：サンプル制作室
表示：640×480 256色
"""

# The committed files; every one is non-empty (a disk set cannot store an
# empty file).
def small_files() -> dict:
    return {
        "sample.qzm": sjis(PROJECT),
        "qzmrun.exe": launcher(),
        "readme": sjis(README),
        "ゲーム説明.txt": sjis(MANUAL),
        "graphics/title.bmp": title_bitmap(),
        "graphics/chara/hero.bmp": hero_bitmap(),
        "data/scenario.txt": sjis(SCENARIO),
        # ソ is 0x83 0x5C: its second byte looks like a path separator.
        "data/ソフト情報.txt": sjis(SOFTWARE_INFO),
        "data/se/shot.wav": shot_sound(),
        "data/se/jump.wav": jump_sound(),
    }


def large_file() -> bytes:
    return wav(22050, 2, 16, noise(b"kelvod sample theme", LARGE_PCM_BYTES))


def host_path(folder: pathlib.Path, rel: str) -> bytes:
    return os.path.join(os.fsencode(folder), *[p.encode("utf-8") for p in rel.split("/")])


def write(folder: pathlib.Path, rel: str, data: bytes) -> None:
    assert data, rel
    path = host_path(folder, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return  # keep the time stamp of an unchanged file
    except FileNotFoundError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def write_generated(folder: pathlib.Path) -> None:
    write(folder, LARGE_FILE, large_file())
    os.makedirs(host_path(folder, EMPTY_FOLDER), exist_ok=True)


def check(folder: pathlib.Path) -> int:
    problems = []
    for rel, data in small_files().items():
        try:
            with open(host_path(folder, rel), "rb") as f:
                if f.read() != data:
                    problems.append(rel + ": differs from the generator")
        except OSError as e:
            problems.append("%s: %s" % (rel, e.strerror))
    for p in problems:
        print("make_sample: " + p, file=sys.stderr)
    if problems:
        print("make_sample: run tools/make_sample.py and commit the result", file=sys.stderr)
    return 1 if problems else 0


def main(argv) -> int:
    args = list(argv)
    mode = "all"
    if args and args[0] in ("--large", "--check"):
        mode = args.pop(0)[2:]
    if len(args) > 1 or (args and args[0].startswith("-")):
        print(__doc__, file=sys.stderr)
        return 2
    folder = pathlib.Path(args[0]) if args else DEFAULT_DIR
    if mode == "check":
        return check(folder)
    if mode == "all":
        for rel, data in small_files().items():
            write(folder, rel, data)
    write_generated(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
