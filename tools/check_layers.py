#!/usr/bin/env python3
"""Checks that every source file includes only headers of its own folder or
of a layer below it, so that each folder's library links only downward.

  tools/check_layers.py [ROOT]

Layers from the bottom up (folders on one line are siblings: neither may
include the other):

  text
  platform        images
  app/dialogue
  codec
  digest
  fileops
  runs
  app
  app/frontends/*   app/commands
  app/entry

Tests, benchmarks and fuzz targets stand on top and are not checked. Exits 1
and names each offending include when the order is broken."""
import pathlib
import re
import sys

LAYERS = [
    ["text"],
    ["platform", "images"],
    ["app/dialogue"],
    ["codec"],
    ["digest"],
    ["fileops"],
    ["runs"],
    ["app"],
    ["app/frontends/*", "app/commands"],
    ["app/entry"],
]
CHECKED = ("text", "platform", "app", "codec", "images", "digest", "fileops", "runs")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_of(path: str) -> str:
    """The library folder a file belongs to (app/frontends/x, app/dialogue, ...)."""
    parts = pathlib.PurePosixPath(path).parts[:-1]
    if parts[:2] == ("app", "frontends") and len(parts) >= 3:
        return "/".join(parts[:3])
    if parts[:2] in (("app", "dialogue"), ("app", "commands"), ("app", "entry")):
        return "/".join(parts[:2])
    return "/".join(parts[:1]) if parts else ""


def rank_of(folder: str):
    for rank, names in enumerate(LAYERS):
        for name in names:
            if name == folder or (name.endswith("/*") and folder.startswith(name[:-1])):
                return rank
    return None


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    problems = []
    files = 0
    for top in CHECKED:
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".rc", ".mm"):
                continue
            rel = path.relative_to(root).as_posix()
            folder = folder_of(rel)
            rank = rank_of(folder)
            if rank is None:
                problems.append(f"{rel}: folder {folder} is in no layer")
                continue
            files += 1
            text = path.read_text(encoding="utf-8", errors="replace")
            for included in INCLUDE.findall(text):
                target = folder_of(included)
                target_rank = rank_of(target)
                if target_rank is None:
                    continue  # a header beside the file, or a generated one
                if target == folder:
                    continue
                if target_rank >= rank:
                    problems.append(
                        f"{rel}: includes {included} from {target} (layer {target_rank}), "
                        f"not below {folder} (layer {rank})")
    for p in problems:
        print(p, file=sys.stderr)
    if problems:
        print(f"{len(problems)} include(s) break the layer order", file=sys.stderr)
        return 1
    print(f"layers: {files} files include only their own folder or layers below")
    return 0


if __name__ == "__main__":
    sys.exit(main())
