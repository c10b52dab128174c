#!/usr/bin/env python3
"""The layer check fails on what it is there to catch: a planted include
that climbs out of its folder, an include of a layer above, and a library
linked upward in a CMake file; it passes the tree without them."""
import pathlib
import subprocess
import sys
import tempfile

CHECK = pathlib.Path(__file__).resolve().parent / "check_layers.py"
CMAKE = "kv_library(kv_codec codec kv_text)\nkv_library(kv_runs runs kv_fileops)\n"


def run(root: pathlib.Path) -> int:
    return subprocess.run([sys.executable, str(CHECK), str(root)], capture_output=True).returncode


def tree(root: pathlib.Path, codec_include: str, cmake: str) -> None:
    for folder in ("text", "codec", "runs"):
        (root / folder).mkdir(parents=True, exist_ok=True)
    (root / "text" / "t.h").write_text("#pragma once\n")
    (root / "runs" / "r.h").write_text('#include "codec/c.h"\n')
    (root / "codec" / "c.h").write_text(f'#include "text/t.h"\n{codec_include}\n')
    (root / "CMakeLists.txt").write_text(cmake)


def main() -> int:
    cases = [
        ("clean", "", CMAKE, 0),
        ("climbing include", '#include "../runs/r.h"', CMAKE, 1),
        ("upward include", '#include "runs/r.h"', CMAKE, 1),
        ("upward link", "", CMAKE + "target_link_libraries(kv_codec PUBLIC kv_runs)\n", 1),
    ]
    failures = 0
    for name, include, cmake, expected in cases:
        with tempfile.TemporaryDirectory() as d:
            root = pathlib.Path(d)
            tree(root, include, cmake)
            got = run(root)
            if got != expected:
                print(f"{name}: the check exited {got}, expected {expected}", file=sys.stderr)
                failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
