#include "app/frontends/win32/win32.h"

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <string>

#include "app/dialogue/frontend.h"
#include "app/dialogue/resources/messages.h"
#include "app/exit_status.h"
#include "app/frontends/win32/resource.h"
#include "platform/platform.h"
#include "platform/relocate.h"
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

// What the user typed into a field, whole (the runs check the lengths of
// the paths they make from it); false when it has no code page 932 form.
bool FieldText(HWND dialog, int id, std::string& text) {
  HWND field = GetDlgItem(dialog, id);
  std::wstring typed(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(field))) + 1, L'\0');
  const int n = GetWindowTextW(field, typed.data(), static_cast<int>(typed.size()));
  typed.resize(static_cast<std::size_t>(std::max(0, n)));
  if (cp932::FromWide(typed, text)) return true;
  text = cp932::FromWideLossy(typed);
  return false;
}

struct PromptTexts {
  std::wstring fileName;
  const std::wstring* reason;  // nullptr: the overwrite prompt
};

// Both prompts: the answer is the identifier of the button pressed (2 for
// Escape and the close box), which the dialogue layer stores.
INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* texts = reinterpret_cast<const PromptTexts*>(lParam);
      if (!texts->reason) {
        SetDlgItemTextW(dialog, kOverwriteFileName, texts->fileName.c_str());
      } else {
        SetDlgItemTextW(dialog, kRetryFileName, texts->fileName.c_str());
        SetDlgItemTextW(dialog, kRetryReason, texts->reason->c_str());
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

class Win32FrontEnd : public FrontEnd {
 public:
  Win32FrontEnd(MainWindow& window, HINSTANCE instance, const std::string& commandLine)
      : window_(window), instance_(instance), commandLine_(commandLine) {}

  // Disables the main window while the box is open, so that no click
  // reaches it, and gives it back the activation afterwards.
  int MessageDialog(const std::string& text, const std::string& caption, unsigned style) override {
    HWND owner = main_;
    if (owner) EnableWindow(owner, FALSE);
    int answer = MessageBoxW(owner, W(text).c_str(), W(caption).c_str(), style);
    if (owner && main_ == owner) {
      EnableWindow(owner, TRUE);
      SetActiveWindow(owner);
    }
    return answer;
  }

  int OverwriteDialog(const std::string& path) override {
    PromptTexts texts{W(path), nullptr};
    return Prompt(kTemplateOverwrite, texts);
  }

  int RetryDialog(const std::string& path, const std::string& reason) override {
    std::wstring wideReason = W(reason);
    PromptTexts texts{W(path), &wideReason};
    return Prompt(kTemplateRetry, texts);
  }

  // Handles exactly one pending message, if there is one.
  int Pump() override {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The message loop must still see it.
        PostQuitMessage(static_cast<int>(msg.wParam));
      } else {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    return kPumpInterval;
  }

  void SetControlText(int id, const std::string& text) override {
    if (main_) SetDlgItemTextW(main_, id, W(text).c_str());
  }

  std::string GetControlText(int id) override {
    std::string text;
    if (!main_ || FieldText(main_, id, text)) return text;
    // A '?' in its place would be taken for a wildcard: the run finds the
    // field empty and asks for a folder.
    MessageDialog(Format(msg::kMsgNoCp932Name, text.c_str()), msg::kCaptionWarning, kExclamationOk);
    return {};
  }

  void EnableControl(int id, bool enabled) override {
    if (main_) EnableWindow(GetDlgItem(main_, id), enabled ? TRUE : FALSE);
  }

  void SetProgressBar(int position) override {
    if (main_)
      SendDlgItemMessageW(main_, kProgressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }

  int BrowseForFolder(const std::string& title, std::string& out) override {
    std::wstring wideTitle = W(title);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = main_;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = 0;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item) return 0;
    wchar_t path[MAX_PATH] = {};
    bool hasPath = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    std::string chosen;
    // A folder without a code page 932 name cannot be written to the set.
    if (!hasPath || !cp932::FromWide(path, chosen)) return 0;
    out = chosen;
    return 1;
  }

  void DestroyWindow() override {
    if (main_) ::DestroyWindow(main_);
  }

  // The main dialog's procedure.
  static INT_PTR CALLBACK MainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32FrontEnd*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
      case WM_INITDIALOG:
        self = reinterpret_cast<Win32FrontEnd*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->main_ = dialog;
        self->icon_ = LoadIconW(self->instance_, MAKEINTRESOURCEW(kIconMain));
        SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(self->icon_));
        SendDlgItemMessageW(dialog, kProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
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
    INT_PTR answer = DialogBoxParamW(instance_, MAKEINTRESOURCEW(templateId), main_, PromptProc,
                                     reinterpret_cast<LPARAM>(&texts));
    // A dialog that could not be shown is answered as Escape would.
    return answer <= 0 ? kIdCancel : static_cast<int>(answer);
  }

  MainWindow& window_;
  HINSTANCE instance_;
  std::string commandLine_;
  HWND main_ = nullptr;
  HICON icon_ = nullptr;
};

}  // namespace

int RunWin32(MainWindow& window, const std::string& hostCommandLine, bool leaveStartFolder) {
  // The folder picker and the shortcut use the shell's COM objects.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  HINSTANCE instance = GetModuleHandleW(nullptr);
  Win32FrontEnd fe(window, instance, hostCommandLine);
  Dialogue& ui = window.ui();
  ui.Attach(&fe);

  const int templateId = hostCommandLine.empty() ? kTemplateExtract : kTemplateMake;
  HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), nullptr,
                                   Win32FrontEnd::MainProc, reinterpret_cast<LPARAM>(&fe));
  int status;
  if (!dialog) {
    // A start-up failure that destroyed the window in its initialisation
    // is reported as failed creation too; its message was shown already.
    if (!window.Closed()) {
      MessageBoxW(nullptr, W(msg::kMsgStartFailed).c_str(), nullptr, MB_OK);
      window.Destroy();
    }
    status = kExitUsage;
  } else {
    if (leaveStartFolder) plat::LeaveStartFolder();
    MSG msg;
    // No dialog-keyboard processing: Tab and Enter do not move between or
    // press the controls of the main window.
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!window.Closed()) window.Destroy();
    status = window.ExitStatus();
  }
  ui.Attach(nullptr);
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
