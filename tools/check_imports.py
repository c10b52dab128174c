#!/usr/bin/env python3
"""Keeps kelvod.exe to the functions Windows 98 SE and NT 4.0 export, as
listed in docs/windows-imports.md.

  tools/check_imports.py imports KELVOD_EXE
      Reads the program's import table (objdump -p of binutils-mingw-w64)
      and fails on every import the table lacks, on a row that names a
      Windows newer than the floor, and on header versions other than 4.0.
  tools/check_imports.py relay KELVOD_EXE RELAY_LOG
      Reads a WINEDEBUG=+pid,+loaddll,+relay log of the program run under Wine posing as
      Windows 98 and fails on every call the program itself made to a
      function the table marks "NT only" (a stub on Windows 9x).

Prints the offenders, one a line, and a summary line."""
import pathlib
import re
import subprocess
import sys

TABLE = pathlib.Path(__file__).resolve().parent.parent / "docs/windows-imports.md"
OBJDUMP = "i686-w64-mingw32-objdump"
# The oldest of each line a row may name: anything newer is above the floor.
FLOOR_9X = {"95", "98"}
FLOOR_NT = {"NT 3.1", "NT 3.5", "NT 3.51", "NT 4.0"}
HEADER_VERSIONS = ("MajorOSystemVersion", "MinorOSystemVersion", "MajorSubsystemVersion",
                   "MinorSubsystemVersion")


def read_table():
    """{(DLL, function): (oldest, on 9x)} from the table under "## Imports"."""
    rows = {}
    section = None
    for line in TABLE.read_text(encoding="utf-8").splitlines():
        if line.startswith("## "):
            section = line[3:].strip()
            continue
        if section != "Imports" or not line.startswith("|"):
            continue
        cells = [c.strip() for c in line.strip("|").split("|")]
        if len(cells) != 4 or cells[0] in ("DLL", "") or set(cells[0]) <= {"-"}:
            continue
        rows[(cells[0].upper(), cells[1])] = (cells[2], cells[3])
    return rows


def within_floor(oldest):
    """"95, NT 3.1" and the like: one version of each line, both at the floor or older."""
    parts = [p.strip() for p in oldest.split(",")]
    nine = [p for p in parts if not p.startswith("NT")]
    nt = [p for p in parts if p.startswith("NT")]
    return (len(nine) == 1 and nine[0].split()[0] in FLOOR_9X and len(nt) == 1 and
            nt[0] in FLOOR_NT)


def dump(exe):
    return subprocess.run([OBJDUMP, "-p", str(exe)], check=True, capture_output=True,
                          text=True).stdout


def imports_of(text):
    """[(DLL without .dll, function)] of the import tables; by ordinal: "#N"."""
    found = []
    dll = None
    inside = False
    for line in text.splitlines():
        if line.startswith("The Import Tables"):
            inside = True
            continue
        if inside and (line.startswith("The ") or line.startswith("PE File")):
            break
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if inside and m:
            dll = re.sub(r"\.dll$", "", m.group(1), flags=re.I).upper()
            continue
        m = re.match(r"\t[0-9a-f]+\t\s*(\S+)\s+(\S+)", line)
        if inside and dll and m:
            found.append((dll, "#" + m.group(2) if m.group(1) == "<none>" else m.group(2)))
    return found


def header_value(text, name, base=10):
    """A field of the optional header (objdump prints addresses in hex)."""
    m = re.search(r"^%s\s+(\S+)" % name, text, re.M)
    return int(m.group(1), base) if m else None


def check_imports(exe):
    rows = read_table()
    text = dump(exe)
    bad = []
    imports = imports_of(text)
    for dll, name in imports:
        row = rows.get((dll, name))
        if row is None:
            bad.append(f"{dll} {name}: imported, not in {TABLE.name}")
        elif not within_floor(row[0]):
            bad.append(f"{dll} {name}: the table says '{row[0]}', newer than Windows 98 SE "
                       "and NT 4.0")
    versions = [header_value(text, n) for n in HEADER_VERSIONS]
    if versions != [4, 0, 4, 0]:
        bad.append(f"header: system and subsystem versions {versions}, not 4.0 and 4.0")
    unused = sorted(set(rows) - set(imports))
    for line in bad:
        print("FAIL: " + line)
    if unused:
        print(f"note: {len(unused)} rows of the table are not imported: " +
              ", ".join(f"{d} {n}" for d, n in unused))
    print(f"{len(imports)} imports, {len(bad)} outside the table or the floor")
    return 1 if bad or not imports else 0


def check_relay(exe, log):
    rows = read_table()
    text = dump(exe)
    base, size = header_value(text, "ImageBase", 16), header_value(text, "SizeOfImage", 16)
    nt_only = {(d, n) for (d, n), (_, on9x) in rows.items() if on9x.startswith("NT only")}
    # Other processes Wine starts meanwhile (its services, its desktop) are
    # traced too, their own programs at the same address: only the process
    # that loaded this program counts (WINEDEBUG=+pid,+loaddll,+relay).
    loaded = re.compile(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:\w+ Loaded L"(.*)" at ([0-9a-f]+)')
    call = re.compile(r"^([0-9a-f]+):[0-9a-f]+:Call ([\w]+)\.(\w+)\(.* ret=([0-9a-f]{8})$")
    name = pathlib.PurePath(exe).name.lower()
    pids = set()
    calls = 0
    offenders = {}
    with open(log, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            m = loaded.match(line)
            if m and m.group(2).replace("\\\\", "\\").lower().endswith("\\" + name):
                pids.add(m.group(1))
                continue
            m = call.match(line)
            if not m or m.group(1) not in pids or not base <= int(m.group(4), 16) < base + size:
                continue
            calls += 1
            key = (m.group(2).upper(), m.group(3))
            if key in nt_only:
                offenders[key] = offenders.get(key, 0) + 1
    for (dll, fn), n in sorted(offenders.items()):
        print(f"FAIL: {dll} {fn}: called {n} times by the program on Windows 9x")
    print(f"{calls} calls from the program, {sum(offenders.values())} to functions that are "
          "stubs on Windows 9x")
    return 1 if offenders or calls == 0 else 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "imports":
        return check_imports(sys.argv[2])
    if len(sys.argv) == 4 and sys.argv[1] == "relay":
        return check_relay(sys.argv[2], sys.argv[3])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
