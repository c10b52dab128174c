#include "app/frontends/win32/win32.h"

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/dialogue/frontend.h"
#include "app/dialogue/resources/messages.h"
#include "app/exit_status.h"
#include "app/frontends/win32/resource.h"
#include "platform/platform.h"
#include "platform/relocate.h"
#include "platform/system_win32.h"
#include "text/cp932.h"
#include "text/format.h"
#include "text/paths.h"
#include "text/wide_win32.h"

namespace {

static_assert(KV_ICON_MAIN == kIconMain && KV_TEMPLATE_OVERWRITE == kTemplateOverwrite &&
              KV_TEMPLATE_EXTRACT == kTemplateExtract && KV_TEMPLATE_MAKE == kTemplateMake &&
              KV_TEMPLATE_RETRY == kTemplateRetry);
static_assert(KV_ID_OK == kIdOk && KV_ID_CANCEL == kIdCancel && KV_ID_ABORT == kIdAbort &&
              KV_ID_FORCE_STOP == kIdForceStop);
static_assert(KV_SOURCE_FIELD == kSourceField && KV_DESTINATION_FIELD == kDestinationField &&
              KV_BROWSE_BUTTON == kBrowseButton && KV_FROM_LINE == kFromLine &&
              KV_TO_LINE == kToLine && KV_PROGRESS_BAR == kProgressBar &&
              KV_PERCENT_TEXT == kPercentText && KV_OVERWRITE_FILE_NAME == kOverwriteFileName &&
              KV_RETRY_FILE_NAME == kRetryFileName && KV_RETRY_REASON == kRetryReason);

// Pump calls between two looks at the message queue: the coders pump after
// every code, and one look costs far more than one code.
constexpr int kPumpInterval = 2048;

// Code page 932 text for the W interfaces; a byte sequence that is no valid
// text is shown with '?' in its place.
std::wstring W(const std::string& text) {
  std::wstring out;
  if (cp932::ToWide(text, out)) return out;
  out.clear();
  for (std::size_t i = 0; i < text.size();) {
    std::size_t next = cp932::Next(text, i);
    std::wstring one;
    out += cp932::ToWide(std::string_view(text).substr(i, next - i), one) ? one : L"?";
    i = next;
  }
  return out;
}

// The window interfaces of Windows NT: UTF-16 texts, and a message loop
// that passes every character typed on.
struct WideWindows {
  // An empty caption is the system's own ("Error").
  static int Box(HWND owner, const std::string& text, const std::string& caption, UINT style) {
    const std::wstring wideCaption = W(caption);
    return MessageBoxW(owner, W(text).c_str(), caption.empty() ? nullptr : wideCaption.c_str(),
                       style);
  }
  static void SetItem(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextW(dialog, id, W(text).c_str());
  }
  // What the user typed into a field, whole (the runs check the lengths of
  // the paths they make from it); false when it has no code page 932 form.
  static bool ItemText(HWND dialog, int id, std::string& text) {
    HWND field = GetDlgItem(dialog, id);
    std::wstring typed(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(field))) + 1,
                       L'\0');
    const int n = GetWindowTextW(field, typed.data(), static_cast<int>(typed.size()));
    typed.resize(static_cast<std::size_t>(std::max(0, n)));
    if (cp932::FromWide(typed, text)) return true;
    text = cp932::FromWideLossy(typed);
    return false;
  }
  static HWND Modeless(HINSTANCE instance, int id, DLGPROC proc, LPARAM param) {
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(id), nullptr, proc, param);
  }
  static INT_PTR Modal(HINSTANCE instance, int id, HWND owner, DLGPROC proc, LPARAM param) {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(id), owner, proc, param);
  }
  static BOOL Peek(MSG* msg) { return PeekMessageW(msg, nullptr, 0, 0, PM_REMOVE); }
  static BOOL Get(MSG* msg) { return GetMessageW(msg, nullptr, 0, 0); }
  static void Dispatch(const MSG* msg) { DispatchMessageW(msg); }
  static LRESULT SendItem(HWND dialog, int id, UINT message, WPARAM w, LPARAM l) {
    return SendDlgItemMessageW(dialog, id, message, w, l);
  }
  static LRESULT Send(HWND window, UINT message, WPARAM w, LPARAM l) {
    return SendMessageW(window, message, w, l);
  }
  static LONG_PTR User(HWND dialog) { return GetWindowLongW(dialog, DWLP_USER); }
  static void SetUser(HWND dialog, LONG_PTR value) {
    SetWindowLongW(dialog, DWLP_USER, static_cast<LONG>(value));
  }
  static HICON Icon(HINSTANCE instance, int id) {
    return LoadIconW(instance, MAKEINTRESOURCEW(id));
  }
  static HINSTANCE Instance() { return GetModuleHandleW(nullptr); }
  static bool Browse(HWND owner, const std::string& title, std::string& out) {
    std::wstring wideTitle = W(title);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = wideTitle.c_str();
    LPITEMIDLIST item = SHBrowseForFolderW(&info);
    if (!item) return false;
    wchar_t path[MAX_PATH] = {};
    const bool hasPath = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    // A folder without a code page 932 name cannot be written to the set.
    return hasPath && cp932::FromWide(path, out);
  }
};

// The window interfaces of Windows 9x: texts in the system's ANSI code page.
struct AnsiWindows {
  static int Box(HWND owner, const std::string& text, const std::string& caption, UINT style) {
    const std::string ansiCaption = cp932::ToAnsiLossy(caption);
    return MessageBoxA(owner, cp932::ToAnsiLossy(text).c_str(),
                       caption.empty() ? nullptr : ansiCaption.c_str(), style);
  }
  static void SetItem(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextA(dialog, id, cp932::ToAnsiLossy(text).c_str());
  }
  static bool ItemText(HWND dialog, int id, std::string& text) {
    HWND field = GetDlgItem(dialog, id);
    std::string typed(static_cast<std::size_t>(std::max(0, GetWindowTextLengthA(field))) + 1, '\0');
    const int n = GetWindowTextA(field, typed.data(), static_cast<int>(typed.size()));
    typed.resize(static_cast<std::size_t>(std::max(0, n)));
    if (cp932::FromAnsi(typed, text)) return true;
    std::wstring wide(typed.size(), L'\0');
    const int size = MultiByteToWideChar(CP_ACP, 0, typed.data(), static_cast<int>(typed.size()),
                                         wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(std::max(0, size)));
    text = cp932::FromWideLossy(wide);
    return false;
  }
  static HWND Modeless(HINSTANCE instance, int id, DLGPROC proc, LPARAM param) {
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(id), nullptr, proc, param);
  }
  static INT_PTR Modal(HINSTANCE instance, int id, HWND owner, DLGPROC proc, LPARAM param) {
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(id), owner, proc, param);
  }
  static BOOL Peek(MSG* msg) { return PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE); }
  static BOOL Get(MSG* msg) { return GetMessageA(msg, nullptr, 0, 0); }
  static void Dispatch(const MSG* msg) { DispatchMessageA(msg); }
  static LRESULT SendItem(HWND dialog, int id, UINT message, WPARAM w, LPARAM l) {
    return SendDlgItemMessageA(dialog, id, message, w, l);
  }
  static LRESULT Send(HWND window, UINT message, WPARAM w, LPARAM l) {
    return SendMessageA(window, message, w, l);
  }
  static LONG_PTR User(HWND dialog) { return GetWindowLongA(dialog, DWLP_USER); }
  static void SetUser(HWND dialog, LONG_PTR value) {
    SetWindowLongA(dialog, DWLP_USER, static_cast<LONG>(value));
  }
  static HICON Icon(HINSTANCE instance, int id) {
    return LoadIconA(instance, MAKEINTRESOURCEA(id));
  }
  static HINSTANCE Instance() { return GetModuleHandleA(nullptr); }
  static bool Browse(HWND owner, const std::string& title, std::string& out) {
    std::string ansiTitle = cp932::ToAnsiLossy(title);
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = ansiTitle.c_str();
    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    if (!item) return false;
    char path[MAX_PATH] = {};
    const bool hasPath = SHGetPathFromIDListA(item, path);
    CoTaskMemFree(item);
    // '?' stands for a character the ANSI code page lacks.
    return hasPath && !std::strchr(path, '?') && cp932::FromAnsi(path, out);
  }
};

struct PromptTexts {
  std::string fileName;
  const std::string* reason;  // nullptr: the overwrite prompt
};

// Both prompts: the answer is the identifier of the button pressed (2 for
// Escape and the close box), which the dialogue layer stores.
template <class C>
INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* texts = reinterpret_cast<const PromptTexts*>(lParam);
      if (!texts->reason) {
        C::SetItem(dialog, kOverwriteFileName, texts->fileName);
      } else {
        C::SetItem(dialog, kRetryFileName, texts->fileName);
        C::SetItem(dialog, kRetryReason, *texts->reason);
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (wParam == kIdOk || wParam == kIdCancel || wParam == kIdAbort || wParam == kIdForceStop) {
        EndDialog(dialog, static_cast<INT_PTR>(wParam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

template <class C>
class Win32FrontEnd : public FrontEnd {
 public:
  Win32FrontEnd(MainWindow& window, HINSTANCE instance, const std::string& commandLine)
      : window_(window), instance_(instance), commandLine_(commandLine) {}

  // Disables the main window while the box is open, so that no click
  // reaches it, and gives it back the activation afterwards.
  int MessageDialog(const std::string& text, const std::string& caption, unsigned style) override {
    HWND owner = main_;
    if (owner) EnableWindow(owner, FALSE);
    int answer = C::Box(owner, text, caption, style);
    if (owner && main_ == owner) {
      EnableWindow(owner, TRUE);
      SetActiveWindow(owner);
    }
    return answer;
  }

  int OverwriteDialog(const std::string& path) override {
    PromptTexts texts{path, nullptr};
    return Prompt(kTemplateOverwrite, texts);
  }

  int RetryDialog(const std::string& path, const std::string& reason) override {
    PromptTexts texts{path, &reason};
    return Prompt(kTemplateRetry, texts);
  }

  // Handles exactly one pending message, if there is one.
  int Pump() override {
    MSG msg;
    if (C::Peek(&msg)) {
      if (msg.message == WM_QUIT) {
        // The message loop must still see it.
        PostQuitMessage(static_cast<int>(msg.wParam));
      } else {
        TranslateMessage(&msg);
        C::Dispatch(&msg);
      }
    }
    return kPumpInterval;
  }

  void SetControlText(int id, const std::string& text) override {
    if (main_) C::SetItem(main_, id, text);
  }

  std::string GetControlText(int id) override {
    std::string text;
    if (!main_ || C::ItemText(main_, id, text)) return text;
    // A '?' in its place would be taken for a wildcard: the run finds the
    // field empty and asks for a folder.
    MessageDialog(Format(msg::kMsgNoCp932Name, text.c_str()), msg::kCaptionWarning, kExclamationOk);
    return {};
  }

  void EnableControl(int id, bool enabled) override {
    if (main_) EnableWindow(GetDlgItem(main_, id), enabled ? TRUE : FALSE);
  }

  void SetProgressBar(int position) override {
    if (main_) C::SendItem(main_, kProgressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }

  int BrowseForFolder(const std::string& title, std::string& out) override {
    std::string chosen;
    if (!C::Browse(main_, title, chosen)) return 0;
    out = chosen;
    return 1;
  }

  void DestroyWindow() override {
    if (main_) ::DestroyWindow(main_);
  }

  // The main dialog's procedure.
  static INT_PTR CALLBACK MainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32FrontEnd*>(C::User(dialog));
    switch (message) {
      case WM_INITDIALOG:
        self = reinterpret_cast<Win32FrontEnd*>(lParam);
        C::SetUser(dialog, lParam);
        self->main_ = dialog;
        self->icon_ = C::Icon(self->instance_, kIconMain);
        C::Send(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(self->icon_));
        C::SendItem(dialog, kProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        // A start-up failure tells the user why and destroys the window.
        self->window_.Start(self->commandLine_);
        return TRUE;
      case WM_COMMAND:
        if (!self) break;
        // The whole parameter, as a button click sends it.
        if (wParam == kButtonRun || wParam == kButtonExit || wParam == kButtonAbortRun ||
            wParam == kBrowseButton) {
          self->window_.Command(static_cast<int>(wParam));
          return TRUE;
        }
        break;
      case WM_DESTROY:
        if (self) {
          self->main_ = nullptr;
          if (self->icon_) DestroyIcon(self->icon_);
          self->icon_ = nullptr;
        }
        PostQuitMessage(0);
        return TRUE;
      default:
        break;
    }
    return FALSE;
  }

 private:
  int Prompt(int templateId, PromptTexts& texts) {
    INT_PTR answer =
        C::Modal(instance_, templateId, main_, PromptProc<C>, reinterpret_cast<LPARAM>(&texts));
    // A dialog that could not be shown is answered as Escape would.
    return answer <= 0 ? kIdCancel : static_cast<int>(answer);
  }

  MainWindow& window_;
  HINSTANCE instance_;
  std::string commandLine_;
  HWND main_ = nullptr;
  HICON icon_ = nullptr;
};

// The progress bar's class: the extended registration where the common
// controls have it (4.70, Internet Explorer 3), else the one of Windows 95
// and NT 4.0, which registers every class.
void RegisterProgressBar() {
  using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto initEx = plat::sys::Lookup<InitEx>("comctl32.dll", "InitCommonControlsEx");
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  if (!initEx || !initEx(&controls)) InitCommonControls();
}

template <class C>
int Run(MainWindow& window, const std::string& hostCommandLine, bool leaveStartFolder) {
  HINSTANCE instance = C::Instance();
  Win32FrontEnd<C> fe(window, instance, hostCommandLine);
  Dialogue& ui = window.ui();
  ui.Attach(&fe);

  const int templateId = hostCommandLine.empty() ? kTemplateExtract : kTemplateMake;
  HWND dialog =
      C::Modeless(instance, templateId, Win32FrontEnd<C>::MainProc, reinterpret_cast<LPARAM>(&fe));
  int status;
  if (!dialog) {
    // A start-up failure that destroyed the window in its initialisation
    // is reported as failed creation too; its message was shown already.
    if (!window.Closed()) {
      C::Box(nullptr, msg::kMsgStartFailed, "", MB_OK);
      window.Destroy();
    }
    status = kExitUsage;
  } else {
    if (leaveStartFolder) plat::LeaveStartFolder();
    MSG msg;
    // No dialog-keyboard processing: Tab and Enter do not move between or
    // press the controls of the main window.
    while (C::Get(&msg) > 0) {
      TranslateMessage(&msg);
      C::Dispatch(&msg);
    }
    if (!window.Closed()) window.Destroy();
    status = window.ExitStatus();
  }
  ui.Attach(nullptr);
  return status;
}

}  // namespace

int RunWin32(MainWindow& window, const std::string& hostCommandLine, bool leaveStartFolder) {
  // The folder picker and the shortcut use the shell's COM objects.
  const HRESULT com = CoInitialize(nullptr);
  RegisterProgressBar();
  const int status = plat::sys::Windows9x()
                         ? Run<AnsiWindows>(window, hostCommandLine, leaveStartFolder)
                         : Run<WideWindows>(window, hostCommandLine, leaveStartFolder);
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
