#!/usr/bin/env python3
"""kelvod.exe on real disks under Wine, driven through its terminal front end.

  tools/wine_disk_test.py KELVOD_EXE LINUX_KELVOD WORK_DIR

Needs WINEPREFIX (a booted 32-bit prefix) and root for the tmpfs mounts.
KELVOD_WINE_LOCALE: the locale Wine runs in (default C.UTF-8).

1. Floppies: a 1.44 MB tmpfs mounted on Linux is drive A: of the prefix
   (dosdevices/a: and the drive type "floppy" in the registry), so Windows
   reports a removable drive and a full disk is a real ERROR_DISK_FULL. The
   sample is made onto it, the disk is changed at the retry prompt, and the
   set is expanded again from the floppies, changing disks as asked, with
   kelvod.exe started from the last disk; every file must come back and the
   Start-menu shortcut must exist.
2. A set made by the Linux kelvod with kelvod.exe beside it carries
   kelvod.exe, which expands it.
3. The Linux kelvod, started in the folder of a set made by kelvod.exe,
   expands it.
Prints one line per check and "N passed, N failed" at the end."""
import os
import pathlib
import re
import select
import shutil
import subprocess
import sys
import time

FLOPPY_BYTES = 1474560
PROMPT = b"> "


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def expect(self, ok, what):
        print(("ok:   " if ok else "FAIL: ") + what, flush=True)
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        return ok


def run(args, **kw):
    return subprocess.run(args, check=True, **kw)


def files_of(folder):
    folder = pathlib.Path(folder)
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*") if p.is_file())


def same_tree(work, game, checks, label):
    """Every non-empty file of the work folder, byte for byte, and nothing else."""
    wanted = [f for f in files_of(work) if (pathlib.Path(work) / f).stat().st_size > 0]
    got = files_of(game)
    checks.expect(got == wanted, f"{label}: the game folder holds the {len(wanted)} files of the "
                  f"work folder" + ("" if got == wanted else f" (got {got})"))
    differing = [f for f in wanted
                 if (pathlib.Path(game) / f).exists() and
                 (pathlib.Path(game) / f).read_bytes() != (pathlib.Path(work) / f).read_bytes()]
    checks.expect(not differing, f"{label}: every file came back byte for byte" +
                  (f" (differ: {differing})" if differing else ""))


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


class Floppy:
    """The disk in drive A:; the ejected disks are kept on a shelf."""

    def __init__(self, mount_point, shelf):
        self.mount_point = pathlib.Path(mount_point)
        self.shelf = pathlib.Path(shelf)
        self.mounted = False
        self.mount_point.mkdir(parents=True, exist_ok=True)
        self.shelf.mkdir(parents=True, exist_ok=True)

    def insert(self, disk=None):
        """A fresh disk, or the disk kept on the shelf under this number."""
        run(["mount", "-t", "tmpfs", "-o", f"size={FLOPPY_BYTES}", "tmpfs", str(self.mount_point)])
        self.mounted = True
        if disk is not None:
            shutil.copytree(self.shelf / f"disk{disk}", self.mount_point, dirs_exist_ok=True)

    def eject(self, keep_as=None):
        if keep_as is not None:
            target = self.shelf / f"disk{keep_as}"
            shutil.rmtree(target, ignore_errors=True)
            shutil.copytree(self.mount_point, target)
        # Wine keeps a program it started from the disk mapped: the disk
        # goes, the mapping stays.
        if subprocess.run(["umount", str(self.mount_point)], stderr=subprocess.DEVNULL).returncode:
            run(["umount", "-l", str(self.mount_point)])
        self.mounted = False

    def change_to(self, disk):
        if self.mounted:
            self.eject()
        self.insert(disk)

    def disk_holding(self, relative):
        relative = relative.replace("\\", "/")
        for d in sorted(self.shelf.glob("disk*")):
            if (d / relative).is_file():
                return int(d.name[4:])
        return None


class Terminal:
    """kelvod --tty over pipes: waits for each prompt, answers it."""

    def __init__(self, args, cwd, env):
        self.proc = subprocess.Popen(args, cwd=cwd, env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.log = b""

    def prompt(self, timeout=300):
        """The text printed since the last answer, up to the next prompt; None at the end."""
        buf = b""
        deadline = time.time() + timeout
        fd = self.proc.stdout.fileno()
        while not buf.endswith(PROMPT):
            left = deadline - time.time()
            if left <= 0:
                raise TimeoutError(buf.decode("utf-8", "replace"))
            ready, _, _ = select.select([fd], [], [], left)
            if not ready:
                continue
            chunk = os.read(fd, 65536)
            if not chunk:
                self.log += buf
                return None
            buf += chunk
        self.log += buf
        return buf.decode("utf-8", "replace")

    def send(self, line):
        self.proc.stdin.write(line.encode("utf-8") + b"\n")
        self.proc.stdin.flush()

    def finish(self, timeout=120):
        self.proc.stdin.close()
        return self.proc.wait(timeout)


def wine_env(extra=None):
    env = dict(os.environ)
    env.pop("TMPDIR", None)  # Wine would put its server's socket there
    # The locale gives Wine its ANSI code page: 1252 for C.UTF-8, 932 for
    # ja_JP.UTF-8 (a Japanese Windows, which Windows 98 needs for the sample).
    env["LC_ALL"] = os.environ.get("KELVOD_WINE_LOCALE", "C.UTF-8")
    env.update(extra or {})
    return env


def map_floppy(prefix, mount_point):
    dosdevices = pathlib.Path(prefix) / "dosdevices"
    link = dosdevices / "a:"
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to(mount_point)
    run(["wine", "reg", "add", r"HKLM\Software\Wine\Drives", "/v", "a:", "/t", "REG_SZ", "/d",
         "floppy", "/f"], env=wine_env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The drive types are read when the server starts.
    subprocess.run(["wineserver", "-k"], env=wine_env(), stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=wine_env(), stderr=subprocess.DEVNULL)


def floppy_cycle(exe, root, sample, checks):
    prefix = os.environ["WINEPREFIX"]
    floppy = Floppy(root / "floppy", root / "shelf")
    map_floppy(prefix, str(floppy.mount_point))
    work = root / "floppy-work"
    shutil.copytree(sample, work)
    game = root / "floppy-game"
    floppy.insert()
    disks = 1
    try:
        # Make, onto the floppy in A:.
        t = Terminal(["wine", str(exe), "--tty", "."], work, wine_env())
        text = t.prompt()
        checks.expect("A:\\sample\n" in text,
                      "make: the default destination is the removable drive A: and the title")
        t.send("run")
        numbers = []
        while (text := t.prompt()) is not None:
            if "*.* から" in text and "choices: ok cancel" in text:
                t.send("ok")
            elif m := re.search(r"ID = (\d+) 番です", text):
                numbers.append(int(m.group(1)))
                t.send("ok")
            elif "choices: retry abort" in text:
                floppy.eject(keep_as=disks)  # the full disk, labelled
                disks += 1
                floppy.insert()
                t.send("retry")
            elif "作業は正常に終了しました" in text:
                t.send("ok")
            elif "commands: run exit browse dest" in text:
                t.send("exit")
            else:
                raise AssertionError("unexpected prompt:\n" + text)
        status = t.finish()
        floppy.eject(keep_as=disks)
        checks.expect(status == 0, f"make: kelvod.exe ended with status {status}")
        checks.expect(disks >= 2 and numbers == list(range(1, disks + 1)),
                      f"make: {disks} floppies, told their numbers {numbers}")
        last = floppy.shelf / f"disk{disks}" / "sample"
        checks.expect((last / "kelvod.exe").is_file() and (last / "kelvod.lst").is_file(),
                      "make: the last disk carries kelvod.exe and kelvod.lst")
        lines = (last / "kelvod.lst").read_bytes().split(b"\r\n")
        checks.expect(lines[0] == b"%8d" % (disks + 1) and lines[1] == b"sample",
                      f"make: the list counts the disks ({lines[:2]})")
        piece_files = list(floppy.shelf.rglob("theme.wav_lzs?"))
        pieces = sorted({int(p.relative_to(floppy.shelf).parts[0][4:]) for p in piece_files})
        checks.expect(len(pieces) >= 2, f"make: the pieces of theme.wav lie on disks {pieces}")

        # Extract, started from the last disk, changing disks as asked.
        floppy.insert(disks)
        t = Terminal(["wine", "A:\\sample\\kelvod.exe", "--tty"], floppy.mount_point / "sample",
                     wine_env())
        text = t.prompt()
        checks.expect(": A:\\sample\n" in text and ": C:\\sample\n" in text,
                      "extract: from the set in A:\\sample into the first fixed drive")
        t.send("dest " + windows_path(game))
        t.prompt()
        t.send("run")
        overwrite_prompts = 0
        while (text := t.prompt()) is not None:
            if "*.* から" in text and "choices: ok cancel" in text:
                t.send("ok")
            elif m := re.search(r"ID = (\d+) 番の ﾃﾞｨｽｸ", text):
                floppy.change_to(int(m.group(1)))
                t.send("ok")
            elif "choices: overwrite all skip abort" in text:
                # The piece lines name a file this run wrote itself: no prompt is due.
                overwrite_prompts += 1
                t.send("skip")
            elif m := re.search(r"A:\\(\S+)", text):
                disk = floppy.disk_holding(m.group(1))
                if disk is None:
                    raise AssertionError("asked for a file that no disk holds:\n" + text)
                floppy.change_to(disk)
                t.send("retry" if "choices: retry abort" in text else "ok")
            elif "作業は正常に終了しました" in text:
                t.send("ok")
            else:
                raise AssertionError("unexpected prompt:\n" + text)
        status = t.finish()
        checks.expect(status == 0 and overwrite_prompts == 0,
                      f"extract: kelvod.exe ended with status {status} after "
                      f"{overwrite_prompts} overwrite prompts (none expected)")
        same_tree(work, game, checks, "floppies")
        link = next(pathlib.Path(prefix, "drive_c/users").glob(
            "*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/ﾄﾞﾙﾐｱﾝ95ｹﾞｰﾑ/sample.lnk"),
            None)
        checks.expect(link is not None and b"qzmrun.exe" in link.read_bytes(),
                      "extract: the Start-menu shortcut sample.lnk points at qzmrun.exe")
    finally:
        if floppy.mounted:
            floppy.eject()


def linux_set_on_windows(exe, linux, root, sample, checks):
    install = root / "install"
    install.mkdir()
    shutil.copy2(linux, install / "kelvod")
    shutil.copy2(exe, install / "kelvod.exe")
    work, disk_set, game = root / "l-work", root / "l-set", root / "l-game"
    shutil.copytree(sample, work)
    env = dict(os.environ, HOME=str(root), TMPDIR=str(root), LC_ALL="C.UTF-8")
    made = subprocess.run([str(install / "kelvod"), "--tty", "."], cwd=work, env=env,
                          input=f"dest {disk_set}\nrun\nok\n".encode(), capture_output=True)
    checks.expect(made.returncode == 0 and (disk_set / "kelvod.exe").is_file(),
                  "Linux make: the set carries kelvod.exe too")
    expanded = subprocess.run(["wine", "kelvod.exe", "--tty"], cwd=disk_set, env=wine_env(),
                              input=f"dest {windows_path(game)}\nrun\nok\nok\n".encode(),
                              capture_output=True)
    checks.expect(expanded.returncode == 0, "the set made on Linux expands with its kelvod.exe")
    same_tree(work, game, checks, "Linux set, Windows program")


def windows_set_on_linux(exe, linux, root, sample, checks):
    work, disk_set, game = root / "w-work", root / "w-set", root / "w-game"
    shutil.copytree(sample, work)
    made = subprocess.run(["wine", str(exe), "--tty", "."], cwd=work, env=wine_env(),
                          input=f"dest {windows_path(disk_set)}\nrun\nok\n".encode(),
                          capture_output=True)
    checks.expect(made.returncode == 0 and (disk_set / "kelvod.exe").is_file(),
                  "Windows make: the set carries kelvod.exe")
    env = dict(os.environ, HOME=str(root), TMPDIR=str(root), LC_ALL="C.UTF-8",
               XDG_DATA_HOME=str(root / "xdg"))
    expanded = subprocess.run([str(linux), "--tty"], cwd=disk_set, env=env,
                              input=f"dest {game}\nrun\nok\nok\n".encode(), capture_output=True)
    checks.expect(expanded.returncode == 0, "the Linux kelvod expands a set made by kelvod.exe")
    same_tree(work, game, checks, "Windows set, Linux program")


def main():
    exe, linux, root = (pathlib.Path(a).resolve() for a in sys.argv[1:4])
    repo = pathlib.Path(__file__).resolve().parent.parent
    shutil.rmtree(root, ignore_errors=True)
    root.mkdir(parents=True)
    sample = root / "sample"
    run([sys.executable, str(repo / "tools/make_sample.py"), str(sample)], stdout=subprocess.DEVNULL)
    checks = Checks()
    if os.geteuid() == 0:
        floppy_cycle(exe, root, sample, checks)
    else:
        print("NOTICE: floppy disks skipped, mounting a tmpfs needs root")
    linux_set_on_windows(exe, linux, root, sample, checks)
    windows_set_on_linux(exe, linux, root, sample, checks)
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
