// Drives the real kelvod.exe through its windows, as a user would: starts
// it, finds each window it opens by its controls and caption, checks it,
// takes a screenshot (BMP) and presses the button a user would press.
//
//   gui_driver make KELVOD_EXE WORK_FOLDER DESTINATION BLOCKER OUT_DIR
//     the make run of WORK_FOLDER (given quoted, as the shell passes a path
//     with blanks) into DESTINATION; BLOCKER is a file standing where the
//     destination folder must be made: the retry prompt appears, the driver
//     removes it and retries.
//   gui_driver extract KELVOD_EXE SET_FOLDER DESTINATION OUT_DIR
//     the extract run of the set with the kelvod.exe it carries; a file of
//     the game already exists, so the overwrite prompt appears.
//
// Writes OUT_DIR/<mode>-results.txt: one "ok: ..." or "FAIL: ..." line per
// check (the virtual desktop that runs the driver does not pass its exit
// status on).
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/dialogue/ids.h"
#include "app/dialogue/resources/messages.h"
#include "text/wide_win32.h"

namespace {

std::FILE* g_results = nullptr;
int g_failures = 0;

std::wstring W(const char* cp932Text) {
  std::wstring out;
  cp932::ToWide(cp932Text, out);
  return out;
}

std::wstring Widen(const char* utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring out(n > 0 ? static_cast<std::size_t>(n) : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  out.resize(out.size() - 1);
  return out;
}

std::string Utf8(const std::wstring& wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<std::size_t>(n) : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

bool Check(bool ok, const std::string& what) {
  std::fprintf(g_results, "%s%s\n", ok ? "ok:   " : "FAIL: ", what.c_str());
  std::fflush(g_results);
  if (!ok) ++g_failures;
  return ok;
}

std::wstring Text(HWND window) {
  wchar_t buf[2048] = {};
  // WM_GETTEXT through SendMessageTimeout: a busy window must not hang us.
  DWORD_PTR got = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 5000,
                      &got);
  return buf;
}

std::wstring ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? Text(item) : std::wstring();
}

std::wstring ClassOf(HWND window) {
  wchar_t buf[64] = {};
  GetClassNameW(window, buf, 64);
  return buf;
}

struct Found {
  DWORD process;
  std::vector<HWND> windows;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == found->process && IsWindowVisible(window) && ClassOf(window) == L"#32770")
    found->windows.push_back(window);
  return TRUE;
}

struct TextSearch {
  std::wstring text;
  bool found = false;
};

BOOL CALLBACK FindText(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<TextSearch*>(param);
  if (Text(child) == search->text) search->found = true;
  return !search->found;
}

// True when a control of the window shows exactly this text.
bool ShowsText(HWND window, const std::wstring& text) {
  TextSearch search{text};
  EnumChildWindows(window, FindText, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

enum class Kind { kMain, kMessage, kOverwrite, kRetry, kOther };

Kind KindOf(HWND window) {
  if (GetDlgItem(window, kSourceField)) return Kind::kMain;
  if (GetDlgItem(window, kOverwriteFileName)) return Kind::kOverwrite;
  if (GetDlgItem(window, kRetryFileName)) return Kind::kRetry;
  if (GetDlgItem(window, 0xFFFF)) return Kind::kMessage;  // a message box's text
  return Kind::kOther;
}

// The top window of the program that is not `except` (a dialog opens over
// the main window), waiting up to `seconds`; nullptr when the program ended.
HWND NextWindow(HANDLE process, DWORD pid, HWND except, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    Found found{pid, {}};
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
    for (HWND w : found.windows)
      if (w != except && IsWindowEnabled(w)) {
        Sleep(400);  // let it paint
        return w;
      }
    if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

// The window as it is on the screen, frame included, as a 24-bit BMP.
void Screenshot(HWND window, const std::string& path) {
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const int stride = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * h);
  if (std::FILE* f = _wfopen(Widen(path.c_str()).c_str(), L"wb")) {
    std::fwrite(&file, sizeof file, 1, f);
    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f);
    std::fwrite(bits, 1, static_cast<std::size_t>(stride * h), f);
    std::fclose(f);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// A button press as the mouse would make it, handled when the program
// next looks at its messages.
void Press(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

LONG Style(HWND dialog, int id) { return GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE); }

void CheckMainWindow(HWND main, bool make) {
  const wchar_t* what = make ? L"make" : L"extract";
  const std::string label = Utf8(what);
  Check(Text(main) == W(make ? msg::kCaptionMake : msg::kCaptionExtract),
        label + " window: caption " + Utf8(Text(main)));
  LONG style = GetWindowLongW(main, GWL_STYLE), ex = GetWindowLongW(main, GWL_EXSTYLE);
  Check((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) &&
            !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) && (ex & WS_EX_CLIENTEDGE),
        label + " window: modal frame, caption and system menu, no minimize or maximize box");
  // Every control where the template puts it, in the dialog units that two
  // far-apart controls give.
  auto place = [&](int id) {
    RECT r;
    GetWindowRect(GetDlgItem(main, id), &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  const RECT source = place(kSourceField), abort = place(kIdAbort), bar = place(kProgressBar);
  const double xs = (abort.left - source.left) / 175.0, ys = (bar.top - source.top) / 110.0;
  struct {
    int id, x, y, cx, cy;
  } layout[] = {{kSourceField, 5, 15, 220, 15},   {kDestinationField, 5, 45, 220, 15},
                {kBrowseButton, 5, 65, 105, 20},  {kIdOk, 130, 65, 45, 20},
                {kIdCancel, 180, 65, 45, 20},     {kFromLine, 30, 95, 145, 10},
                {kToLine, 30, 110, 145, 10},      {kProgressBar, 30, 125, 145, 10},
                {kPercentText, 180, 125, 25, 10}, {kIdAbort, 180, 95, 40, 25}};
  bool placed = true;
  std::string misplaced;
  auto Within = [](double a, double b) { return a - b < 2 && b - a < 2; };
  for (const auto& c : layout) {
    RECT r = place(c.id);
    if (!(Within(r.left, c.x * xs) && Within(r.top, c.y * ys) &&
          Within(r.right - r.left, c.cx * xs) && Within(r.bottom - r.top, c.cy * ys))) {
      placed = false;
      misplaced += " " + std::to_string(c.id) + " at " + std::to_string(r.left) + "," +
                   std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
                   std::to_string(r.bottom - r.top);
    }
  }
  RECT client;
  GetClientRect(main, &client);
  Check(placed && Within(client.right, 231 * xs) && Within(client.bottom, 147 * ys),
        label + " window: 231 x 147 dialog units, every control in its place" + misplaced +
            " (client " + std::to_string(client.right) + "x" + std::to_string(client.bottom) + ")");
  Check((Style(main, kSourceField) & ES_READONLY) && !(Style(main, kSourceField) & WS_TABSTOP),
        label + " window: the source field is read-only");
  Check((Style(main, kIdOk) & 0x0F) == BS_PUSHBUTTON, label + " window: Run is no default button");
  Check((Style(main, kBrowseButton) & BS_MULTILINE) != 0,
        label + " window: Browse is a multi-line button");
  Check(!IsWindowEnabled(GetDlgItem(main, kIdAbort)) && IsWindowEnabled(GetDlgItem(main, kIdOk)),
        label + " window: idle, Abort disabled");
  Check(ClassOf(GetDlgItem(main, kProgressBar)) == PROGRESS_CLASSW,
        label + " window: a progress bar control");
}

// One sz_Or_Ord field of a dialog template; returns what follows it.
const WORD* SkipNameOrOrdinal(const WORD* p) {
  if (*p == 0xFFFF) return p + 2;
  while (*p) ++p;
  return p + 1;
}

// The dialog templates and the icon as kelvod.exe carries them.
void CheckResources(const std::wstring& exe) {
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!Check(module != nullptr, "resources: kelvod.exe opens as a data file")) return;
  struct {
    int id, cx, cy, items;
    bool main;
  } templates[] = {{kTemplateOverwrite, 255, 65, 6, false},
                   {kTemplateExtract, 231, 147, 15, true},
                   {kTemplateMake, 231, 147, 15, true},
                   {kTemplateRetry, 255, 109, 5, false}};
  for (const auto& t : templates) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(t.id), MAKEINTRESOURCEW(5));
    const auto* p =
        found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
    const std::string name = "resources: template " + std::to_string(t.id);
    if (!Check(p && reinterpret_cast<const WORD*>(p)[1] == 0xFFFF, name + " is a DIALOGEX"))
      continue;
    DWORD exStyle, style;
    std::memcpy(&exStyle, p + 8, 4);
    std::memcpy(&style, p + 12, 4);
    const WORD* w = reinterpret_cast<const WORD*>(p + 16);
    const WORD items = w[0];
    const short cx = static_cast<short>(w[3]), cy = static_cast<short>(w[4]);
    w = SkipNameOrOrdinal(SkipNameOrOrdinal(SkipNameOrOrdinal(w + 5)));  // menu, class, title
    const WORD points = w[0];
    const std::wstring face(reinterpret_cast<const wchar_t*>(w + 3));
    Check(cx == t.cx && cy == t.cy && items == t.items, name + ": " + std::to_string(cx) + " x " +
                                                            std::to_string(cy) + " units, " +
                                                            std::to_string(items) + " controls");
    Check(points == 9 && face == L"ＭＳ Ｐゴシック",
          name + ": font " + Utf8(face) + " " + std::to_string(points) + " point");
    Check((style & DS_MODALFRAME) && (style & WS_CAPTION) == WS_CAPTION &&
              !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) &&
              (!t.main || ((style & WS_VISIBLE) && (exStyle & WS_EX_CLIENTEDGE))),
          name + ": modal frame, caption, no minimize or maximize box" +
              (t.main ? ", visible, client edge" : ""));
  }
  HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(kIconMain), MAKEINTRESOURCEW(14));
  const auto* icon =
      group ? static_cast<const BYTE*>(LockResource(LoadResource(module, group))) : nullptr;
  Check(icon && reinterpret_cast<const WORD*>(icon)[2] == 1 && icon[6] == 32 && icon[7] == 32 &&
            icon[8] == 16,
        "resources: icon 102 is one 32 x 32 picture in 16 colours");
  FreeLibrary(module);
}

struct Run {
  PROCESS_INFORMATION pi = {};
  bool Start(const std::wstring& commandLine, const std::wstring& folder) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    std::wstring line = commandLine;
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &si, &pi);
  }
  DWORD Finish() {
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 999;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
  }
};

// Answers every window up to the end of the run. `onPrompt` decides the
// prompts; message boxes get OK, after a screenshot of the first of each
// kind.
template <typename OnPrompt>
void Answer(Run& run, HWND main, const std::string& out, const char* prefix, OnPrompt onPrompt) {
  bool confirmShot = false;
  for (int steps = 0; steps < 100; ++steps) {
    HWND w = NextWindow(run.pi.hProcess, run.pi.dwProcessId, main, 120);
    if (!w) return;
    switch (KindOf(w)) {
      case Kind::kMessage: {
        std::wstring text = ItemText(w, 0xFFFF);
        Check(!IsWindowEnabled(main) || !IsWindow(main),
              std::string(prefix) + ": the main window is disabled under \"" +
                  Utf8(text.substr(0, 20)) + "\"");
        if (!confirmShot && text.find(L"*.* から") != std::wstring::npos) {
          Screenshot(w, out + "\\" + prefix + "-confirmation.bmp");
          Check(Text(w) == W(msg::kCaptionConfirm), std::string(prefix) + ": confirmation box");
          confirmShot = true;
        }
        Press(w, IDOK);
        break;
      }
      case Kind::kOverwrite:
      case Kind::kRetry:
        onPrompt(w, KindOf(w));
        break;
      default:
        Check(false, std::string(prefix) + ": unknown window " + Utf8(Text(w)));
        PostMessageW(w, WM_CLOSE, 0, 0);
        break;
    }
    Sleep(200);
  }
}

// A work folder whose name has no code page 932 form: the warning is shown
// (and stays up until answered) before the program ends with status 1.
void UnnamableWorkFolder(const std::wstring& exe, const std::wstring& folder) {
  Run run;
  if (!Check(run.Start(L"\"" + exe + L"\" C:\\\u00c4\u20ac", folder),
             "make: kelvod.exe starts with an unnamable work folder"))
    return;
  HWND box = NextWindow(run.pi.hProcess, run.pi.dwProcessId, nullptr, 60);
  Check(box && KindOf(box) == Kind::kMessage && Text(box) == W(msg::kCaptionWarning),
        "make: an unnamable work folder is reported in a message box that stays open");
  if (box) Press(box, IDOK);
  DWORD status = run.Finish();
  Check(status == 1, "make: unnamable work folder, status " + std::to_string(status));
}

int MakeRun(const std::wstring& exe, const std::wstring& work, const std::wstring& destination,
            const std::wstring& blocker, const std::string& out) {
  Run run;
  UnnamableWorkFolder(exe, work);
  if (!Check(run.Start(L"\"" + exe + L"\" \"" + work + L"\"", work), "make: kelvod.exe starts"))
    return 1;
  HWND main = NextWindow(run.pi.hProcess, run.pi.dwProcessId, nullptr, 60);
  if (!Check(main && KindOf(main) == Kind::kMain, "make: the main window opens")) return 1;
  CheckMainWindow(main, true);
  CheckResources(exe);
  Check(ItemText(main, kSourceField) == work,
        "make: the quoted work folder arrives without its quotes: " +
            Utf8(ItemText(main, kSourceField)));
  SetDlgItemTextW(main, kDestinationField, destination.c_str());
  Sleep(300);
  Screenshot(main, out + "\\main-make.bmp");
  Press(main, kButtonRun);
  bool retried = false;
  Answer(run, main, out, "make", [&](HWND prompt, Kind kind) {
    if (kind == Kind::kRetry && !retried) {
      Screenshot(prompt, out + "\\prompt-retry.bmp");
      Check(Text(prompt) == W(msg::kCaptionConfirm) &&
                ItemText(prompt, kRetryReason) == W(msg::kMsgFolderFailed),
            "make: the retry prompt names the folder that cannot be made");
      Check(!IsWindowEnabled(main), "make: the main window is disabled under the prompt");
      DeleteFileW(blocker.c_str());  // the user makes room
      retried = true;
      Press(prompt, kButtonRetry);
    } else {
      Check(false, "make: an unexpected prompt");
      Press(prompt, kIdCancel);
    }
  });
  Check(retried, "make: the retry prompt appeared");
  DWORD status = run.Finish();
  Check(status == 0, "make: kelvod.exe ended with status " + std::to_string(status));
  return 0;
}

int ExtractRun(const std::wstring& exe, const std::wstring& set, const std::wstring& destination,
               const std::string& out) {
  Run run;
  if (!Check(run.Start(L"\"" + exe + L"\"", set), "extract: kelvod.exe starts")) return 1;
  HWND main = NextWindow(run.pi.hProcess, run.pi.dwProcessId, nullptr, 60);
  if (!Check(main && KindOf(main) == Kind::kMain, "extract: the main window opens")) return 1;
  CheckMainWindow(main, false);
  std::wstring source = ItemText(main, kSourceField);
  Check(source == set, "extract: the source is the folder it was started in: " + Utf8(source));
  SetDlgItemTextW(main, kDestinationField, destination.c_str());
  // Browse opens the shell's folder picker over the main window; Cancel
  // leaves the destination as it was.
  Press(main, kBrowseButton);
  HWND picker = NextWindow(run.pi.hProcess, run.pi.dwProcessId, main, 60);
  if (Check(picker && KindOf(picker) == Kind::kOther && !IsWindowEnabled(main) &&
                ShowsText(picker, W(msg::kBrowseTitle)),
            "extract: Browse opens the folder picker with its instruction, the main window "
            "disabled")) {
    Press(picker, IDCANCEL);
    for (int i = 0; i < 100 && IsWindow(picker); ++i) Sleep(50);
  }
  Check(ItemText(main, kDestinationField) == destination,
        "extract: a cancelled picker leaves the destination unchanged");
  Sleep(300);
  Screenshot(main, out + "\\main-extract.bmp");
  Press(main, kButtonRun);
  int overwrites = 0;
  Answer(run, main, out, "extract", [&](HWND prompt, Kind kind) {
    if (kind == Kind::kOverwrite && overwrites++ == 0) {
      Screenshot(prompt, out + "\\prompt-overwrite.bmp");
      Check(ItemText(prompt, kOverwriteFileName).find(destination) == 0,
            "extract: the overwrite prompt names the file in the game folder");
      Press(prompt, kButtonOverwriteAll);
    } else {
      Check(false, "extract: an unexpected prompt");
      Press(prompt, kIdCancel);
    }
  });
  Check(overwrites == 1, "extract: one overwrite prompt, then overwrite all");
  DWORD status = run.Finish();
  Check(status == 0, "extract: kelvod.exe ended with status " + std::to_string(status));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::wstring mode = argv[1];
  bool make = mode == L"make";
  if ((make && argc != 7) || (!make && argc != 6)) return 2;
  std::wstring outWide = argv[argc - 1];
  std::string out = Utf8(outWide);
  std::wstring results = outWide + L"\\" + mode + L"-results.txt";
  g_results = _wfopen(results.c_str(), L"w");
  if (!g_results) return 2;
  InitCommonControls();
  if (make)
    MakeRun(argv[2], argv[3], argv[4], argv[5], out);
  else
    ExtractRun(argv[2], argv[3], argv[4], out);
  std::fclose(g_results);
  return g_failures ? 1 : 0;
}
