#!/usr/bin/env python3
"""Checks the sample generator: same bytes on every run, the committed files
in step with it, and a tree that has every kind of file the disk set tools
must cope with, each in a well-formed format."""
import io
import os
import pathlib
import struct
import sys
import tempfile
import unittest
import wave
import zlib

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import make_sample  # noqa: E402

MIB = 1 << 20


def tree(folder: str) -> dict:
    """Relative path (bytes) -> contents, None for a folder."""
    root = os.fsencode(folder)
    out = {}
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        for d in dirnames:
            out[os.path.normpath(os.path.join(rel, d))] = None
        for f in filenames:
            with open(os.path.join(dirpath, f), "rb") as fh:
                out[os.path.normpath(os.path.join(rel, f))] = fh.read()
    return out


class GeneratedSample(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.dir = os.path.join(cls.tmp.name, "sample")
        assert make_sample.main([cls.dir]) == 0
        cls.files = tree(cls.dir)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def names(self):
        return [p.decode("utf-8") for p in self.files]

    def test_same_bytes_on_every_run(self):
        again = os.path.join(self.tmp.name, "again")
        self.assertEqual(make_sample.main([again]), 0)
        self.assertEqual(tree(again), self.files)

    def test_committed_files_match_the_generator(self):
        self.assertEqual(make_sample.main(["--check", str(make_sample.DEFAULT_DIR)]), 0)

    def test_check_notices_a_changed_or_missing_file(self):
        copy = os.path.join(self.tmp.name, "changed")
        make_sample.main([copy])
        self.assertEqual(make_sample.main(["--check", copy]), 0)
        with open(os.path.join(copy, "readme"), "ab") as f:
            f.write(b"x")
        self.assertEqual(make_sample.main(["--check", copy]), 1)
        os.remove(os.path.join(copy, "readme"))
        self.assertEqual(make_sample.main(["--check", copy]), 1)

    def test_large_mode_adds_only_the_generated_parts(self):
        only = os.path.join(self.tmp.name, "large-only")
        self.assertEqual(make_sample.main(["--large", only]), 0)
        got = tree(only)
        self.assertEqual(got[b"save"], None)
        self.assertEqual(got[b"data/bgm/theme.wav"], self.files[b"data/bgm/theme.wav"])
        self.assertEqual({k for k, v in got.items() if v is not None}, {b"data/bgm/theme.wav"})

    def test_has_every_kind_of_entry(self):
        names = self.names()
        self.assertIn("sample.qzm", names)
        self.assertIn("qzmrun.exe", names)
        self.assertIn("readme", names)  # no extension
        self.assertIn("data/se/shot.wav", names)  # two levels deep
        self.assertTrue(any(n.endswith(".bmp") for n in names))
        self.assertTrue(any(not n.isascii() for n in names))
        # A name whose code page 932 form has a second byte 0x5C.
        self.assertTrue(any(b"\\" in n.encode("cp932") for n in names))
        self.assertIsNone(self.files[b"save"])
        self.assertEqual(os.listdir(os.path.join(self.dir, "save")), [])

    def test_names_fit_a_disk_set(self):
        for name in self.names():
            inner = name.replace("/", "\\").encode("cp932")  # raises without a CP932 form
            # Room for the "_lzs" suffix and a piece number within 259 bytes.
            self.assertLess(len(inner) + 6, 200, name)

    def test_no_empty_files(self):
        for name, data in self.files.items():
            if data is not None:
                self.assertGreater(len(data), 0, name)

    def test_sounds_are_pcm_wave_files(self):
        for name, data in self.files.items():
            if name.endswith(b".wav"):
                with wave.open(io.BytesIO(data)) as w:
                    frames = w.getnframes() * w.getnchannels() * w.getsampwidth()
                    self.assertEqual(w.getcomptype(), "NONE")
                    self.assertEqual(len(w.readframes(w.getnframes())), frames, name)
                riff_size = struct.unpack_from("<I", data, 4)[0]
                self.assertEqual(riff_size + 8, len(data), name)

    def test_bitmaps_are_consistent(self):
        for name, data in self.files.items():
            if not name.endswith(b".bmp"):
                continue
            magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data)
            _, width, height, planes, bits, comp, image = struct.unpack_from("<IiiHHII", data, 14)
            self.assertEqual((magic, size, planes, comp), (b"BM", len(data), 1, 0), name)
            row = (width * bits // 8 + 3) & ~3
            self.assertEqual(image, row * height, name)
            self.assertEqual(offset + image, len(data), name)

    def test_texts_are_shift_jis_with_crlf(self):
        for name in (b"readme", b"data/scenario.txt", "ゲーム説明.txt".encode()):
            text = self.files[name]
            text.decode("cp932")
            self.assertNotIn(b"\n", text.replace(b"\r\n", b""), name)

    def test_one_file_needs_pieces(self):
        # Data that zlib cannot shrink leaves LZSS nearly all literals at
        # 9 bits each, so its code stream is about 9/8 of the file.
        data = self.files[b"data/bgm/theme.wav"]
        self.assertGreater(len(zlib.compress(data, 9)), 0.99 * len(data))
        self.assertGreater(len(data) * 9 // 8, MIB + MIB // 8)
        small = [v for k, v in self.files.items() if v is not None and k != b"data/bgm/theme.wav"]
        self.assertTrue(all(len(v) < 100 * 1024 for v in small))


if __name__ == "__main__":
    unittest.main()
