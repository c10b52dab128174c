#!/usr/bin/env python3
"""Checks that the layers of the program only lean on the layers below them:
every #include of a source file, and every library a CMake file links to a
layer's library.

  tools/check_layers.py [ROOT]

Layers from the bottom up (folders on one line are siblings: neither may
use the other):

  text
  platform        images        codec
  digest
  fileops
  runs
  app/dialogue
  app
  app/frontends/*   app/commands
  app/entry

Includes are read in both forms, "..." and <...>, and an include that climbs
out of its folder ("../x.h") is refused outright: it hides which layer it
reaches. Tests, benchmarks and fuzz targets stand on top and are not
checked. Exits 1 and names each offence when the order is broken."""
import pathlib
import re
import sys

LAYERS = [
    ["text"],
    ["platform", "images", "codec"],
    ["digest"],
    ["fileops"],
    ["runs"],
    ["app/dialogue"],
    ["app"],
    ["app/frontends/*", "app/commands"],
    ["app/entry"],
]
CHECKED = ("text", "platform", "app", "codec", "images", "digest", "fileops", "runs")
# The library each layer folder is built as (CMakeLists.txt).
LIBRARIES = {
    "kv_text": "text",
    "kv_platform": "platform",
    "kv_images": "images",
    "kv_codec": "codec",
    "kv_digest": "digest",
    "kv_fileops": "fileops",
    "kv_runs": "runs",
    "kv_dialogue": "app/dialogue",
    "kv_app": "app",
    "kv_terminal": "app/frontends/terminal",
    "kv_window": "app/frontends/qt",
    "kv_win32": "app/frontends/win32",
    "kv_commands": "app/commands",
}
INCLUDE = re.compile(r'^\s*#\s*include\s+["<]([^">]+)[">]', re.MULTILINE)
# kv_library(NAME FOLDER DEPS...) and target_link_libraries(NAME [PUBLIC|...] DEPS...)
KV_LIBRARY = re.compile(r"kv_library\(\s*(\w+)\s+([^\s)]+)([^)]*)\)")
LINK = re.compile(r"target_link_libraries\(\s*(\w+)([^)]*)\)")


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


def below(user: str, used: str) -> bool:
    """True when folder `used` may be used by folder `user`."""
    if used == user:
        return True
    u, d = rank_of(user), rank_of(used)
    return u is not None and d is not None and d < u


def check_includes(root: pathlib.Path, problems: list) -> int:
    files = 0
    for top in CHECKED:
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".rc", ".mm"):
                continue
            rel = path.relative_to(root).as_posix()
            folder = folder_of(rel)
            if rank_of(folder) is None:
                problems.append(f"{rel}: folder {folder} is in no layer")
                continue
            files += 1
            text = path.read_text(encoding="utf-8", errors="replace")
            for included in INCLUDE.findall(text):
                if ".." in pathlib.PurePosixPath(included).parts:
                    problems.append(f"{rel}: includes {included}, climbing out of its folder")
                    continue
                target = folder_of(included)
                if rank_of(target) is None:
                    continue  # a system header, or one beside the file
                if not below(folder, target):
                    problems.append(
                        f"{rel}: includes {included} from {target} (layer {rank_of(target)}), "
                        f"not below {folder} (layer {rank_of(folder)})")
    return files


def check_links(root: pathlib.Path, problems: list) -> int:
    links = 0
    libraries = dict(LIBRARIES)
    cmake_files = [root / "CMakeLists.txt", *sorted((root / "cmake").glob("*.cmake")),
                   *sorted((root / "app").rglob("CMakeLists.txt"))]
    texts = {p: p.read_text(encoding="utf-8", errors="replace") for p in cmake_files if p.exists()}
    for text in texts.values():
        for name, folder, _ in KV_LIBRARY.findall(text):
            libraries.setdefault(name, folder)
    for path, text in texts.items():
        rel = path.relative_to(root).as_posix()
        uses = [(name, deps) for name, _, deps in KV_LIBRARY.findall(text)]
        uses += LINK.findall(text)
        for name, deps in uses:
            user = libraries.get(name)
            if user is None:
                continue  # the program, tests, a module outside the layers
            for dep in deps.split():
                used = libraries.get(dep)
                if used is None:
                    continue  # a system or third-party library
                links += 1
                if not below(user, used):
                    problems.append(f"{rel}: {name} ({user}) links {dep} ({used}), not below it")
    return links


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    problems = []
    files = check_includes(root, problems)
    links = check_links(root, problems)
    for p in problems:
        print(p, file=sys.stderr)
    if problems:
        print(f"{len(problems)} include(s) or link(s) break the layer order", file=sys.stderr)
        return 1
    print(f"layers: {files} files include and {links} library links use only their own layer "
          f"or layers below")
    return 0


if __name__ == "__main__":
    sys.exit(main())
