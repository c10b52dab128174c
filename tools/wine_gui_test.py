#!/usr/bin/env python3
"""The desktop window of kelvod.exe under Xvfb and Wine, driven by
tests/win32/gui_driver.cpp: one make run and one extract run of the sample,
with the confirmation, both prompts and the message boxes answered; then the
files, the list, the .lnk and the desktop entry that Wine's menu builder
makes from it are checked. Screenshots (PNG) of the main window in both
modes, both prompts and a message box are kept in OUT_DIR/screenshots.

  tools/wine_gui_test.py KELVOD_EXE GUI_DRIVER OUT_DIR

Needs WINEPREFIX (a booted 32-bit prefix), xvfb-run, the locale
ja_JP.UTF-8 and fonts-ipafont-gothic. Prints "N passed, N failed"."""
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import time
import zlib

FONT_REPLACEMENTS = {
    "ＭＳ Ｐゴシック": "IPAPGothic",
    "ＭＳ ゴシック": "IPAGothic",
    "MS UI Gothic": "IPAPGothic",
    "MS Shell Dlg": "IPAPGothic",
    "MS Shell Dlg 2": "IPAPGothic",
}


def windows_path(path):
    """C: for what lies on the prefix's drive C (an OUT_DIR there shows
    C:\\Games\\... in the pictures), Z: for the rest of the host."""
    drive_c = pathlib.Path(os.environ.get("WINEPREFIX", "/nonexistent")).resolve() / "drive_c"
    path = pathlib.Path(path)
    if path.is_relative_to(drive_c):
        return "C:\\" + str(path.relative_to(drive_c)).replace("/", "\\")
    return "Z:" + str(path).replace("/", "\\")


def png_from_bmp(bmp, png):
    """A 24-bit bottom-up BMP as an RGB PNG."""
    data = pathlib.Path(bmp).read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        src = height - 1 - y if height > 0 else y
        line = data[offset + src * stride: offset + src * stride + width * 3]
        rgb = bytearray(len(line))
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::3], line[1::3], line[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    pathlib.Path(png).write_bytes(
        b"\x89PNG\r\n\x1a\n" +
        chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)) +
        chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def prepare_prefix(env):
    prefix = pathlib.Path(env["WINEPREFIX"])
    fonts = prefix / "drive_c/windows/Fonts"
    fonts.mkdir(parents=True, exist_ok=True)
    for font in pathlib.Path("/usr/share/wine/fonts").glob("*"):
        shutil.copy2(font, fonts / font.name)
    for name, replacement in FONT_REPLACEMENTS.items():
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", name,
                        "/t", "REG_SZ", "/d", replacement, "/f"], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    subprocess.run(["wineserver", "-w"], env=env)


def on_desktop(env, *args):
    """Runs a program in a Wine virtual desktop (windows get frames) on Xvfb."""
    return subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", "wine", "explorer",
                           "/desktop=kelvod,800x600", *args], env=env, timeout=600,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def files_of(folder):
    folder = pathlib.Path(folder)
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*") if p.is_file())


def main():
    exe, driver, out = (pathlib.Path(a).resolve() for a in sys.argv[1:4])
    repo = pathlib.Path(__file__).resolve().parent.parent
    shutil.rmtree(out, ignore_errors=True)
    shots = out / "screenshots"
    shots.mkdir(parents=True)
    env = dict(os.environ, LC_ALL="ja_JP.UTF-8", LANG="ja_JP.UTF-8")
    env.pop("TMPDIR", None)
    env.setdefault("XDG_DATA_HOME", str(out / "xdg-data"))
    prepare_prefix(env)

    work = out / "my game"  # a work folder with a blank arrives quoted
    subprocess.run([sys.executable, str(repo / "tools/make_sample.py"), str(work)], check=True,
                   stdout=subprocess.DEVNULL)
    shutil.copy2(exe, out / "kelvod.exe")
    blocker = out / "Disks"  # a file where the disk set's folder must go
    blocker.write_text("in the way")
    disk_set = blocker / "sample"
    game = out / "game"
    game.mkdir()
    (game / "readme").write_text("an older readme")

    on_desktop(env, windows_path(driver), "make", windows_path(out / "kelvod.exe"),
               windows_path(work), windows_path(disk_set), windows_path(blocker), windows_path(out))
    subprocess.run(["wineserver", "-w"], env=env)
    on_desktop(env, windows_path(driver), "extract", windows_path(disk_set / "kelvod.exe"),
               windows_path(disk_set), windows_path(game), windows_path(out))
    subprocess.run(["wineserver", "-w"], env=env)

    passed = failed = 0

    def expect(ok, what):
        nonlocal passed, failed
        print(("ok:   " if ok else "FAIL: ") + what, flush=True)
        passed, failed = passed + bool(ok), failed + (not ok)

    for mode in ("make", "extract"):
        results = out / f"{mode}-results.txt"
        lines = results.read_text(encoding="utf-8").splitlines() if results.exists() else []
        expect(bool(lines), f"{mode}: the driver ran")
        for line in lines:
            expect(line.startswith("ok:"), line[6:])

    expect((disk_set / "kelvod.exe").is_file() and (disk_set / "disk1.id").is_file(),
           "make: the set holds disk1.id and kelvod.exe")
    lst = (disk_set / "kelvod.lst").read_bytes().split(b"\r\n") if (disk_set / "kelvod.lst").exists() else []
    expect(lst[:3] == [b"       2", b"sample", b"ID1"] and b"ID0" in lst,
           "make: the list names one disk and the title")
    wanted = [f for f in files_of(work) if (work / f).stat().st_size > 0]
    expect(files_of(game) == wanted, "extract: the game folder holds the files of the work folder")
    same = all((game / f).exists() and (game / f).read_bytes() == (work / f).read_bytes()
               for f in wanted)
    expect(same, "extract: every file came back byte for byte (readme overwritten)")
    prefix = pathlib.Path(env["WINEPREFIX"])
    link = next(prefix.glob("drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start Menu/"
                            "Programs/ﾄﾞﾙﾐｱﾝ95ｹﾞｰﾑ/sample.lnk"), None)
    expect(link is not None and "qzmrun.exe".encode("utf-16-le") in link.read_bytes() or
           link is not None and b"qzmrun.exe" in link.read_bytes(),
           "extract: the shortcut sample.lnk in the Programs folder points at qzmrun.exe")
    entry = pathlib.Path(env["XDG_DATA_HOME"]) / "applications/wine/Programs/ﾄﾞﾙﾐｱﾝ95ｹﾞｰﾑ/sample.desktop"
    for _ in range(300):
        if entry.exists():
            break
        time.sleep(0.1)
    text = entry.read_text(encoding="utf-8") if entry.exists() else ""
    # A game on drive C: is named through the prefix's dosdevices/c:.
    shown_game = game
    if windows_path(game).startswith("C:"):
        shown_game = str(prefix / "dosdevices/c:") + windows_path(game)[2:].replace("\\", "/")
    expect(f"Path={shown_game}/" in text and "sample.lnk" in text,
           "Wine's menu builder made the desktop entry from the shortcut, working in the game folder")

    for bmp in sorted(out.glob("*.bmp")):
        png_from_bmp(bmp, shots / (bmp.stem + ".png"))
        bmp.unlink()
    made = sorted(p.name for p in shots.glob("*.png"))
    expect(made == ["extract-confirmation.png", "main-extract.png", "main-make.png",
                    "make-confirmation.png", "prompt-overwrite.png", "prompt-retry.png"],
           f"screenshots in {shots}: {', '.join(made)}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
