#include "app/frontends/qt/window_frontend.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "app/dialogue/texts.h"
#include "app/exit_status.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "platform/relocate.h"
#include "text/cp932.h"
#include "text/format.h"

#ifndef KELVOD_MODULE_FROM_BIN
#define KELVOD_MODULE_FROM_BIN "../lib/kelvod"
#endif
#ifndef KELVOD_INSTALLED_MODULE_DIR
#define KELVOD_INSTALLED_MODULE_DIR "/usr/local/lib/kelvod"
#endif

namespace {

constexpr const char* kModuleName = "kelvod-qt.so";
// Set for the temporary copy that extract mode continues from.
constexpr const char* kProgramFolderVariable = "KELVOD_PROGRAM_DIR";

// Between two looks at the clock; a look costs a clock read, so the coders,
// which pump after every code, are counted off in batches.
constexpr auto kLookPeriod = std::chrono::microseconds(500);
// Qt handles its events at most this often during a run: often enough for
// a window that answers Abort at once, rarely enough that the coders keep
// their speed.
constexpr auto kEventPeriod = std::chrono::milliseconds(20);
constexpr int kMaxPumpInterval = 1 << 16;

std::string ProgramFolder() {
  if (const char* handed = std::getenv(kProgramFolderVariable); handed && *handed) return handed;
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/'));
}

// UTF-8 for display; a character without a form is shown as '?'.
std::string Shown(std::string_view cp932Text) {
  // The percentage changes a hundred times a file: plain ASCII is the same
  // in both.
  if (std::all_of(cp932Text.begin(), cp932Text.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(cp932Text);
  std::string out;
  if (cp932::ToUtf8(cp932Text, out)) return out;
  out.clear();
  for (std::size_t i = 0; i < cp932Text.size();) {
    std::size_t next = cp932::Next(cp932Text, i);
    std::string one;
    out += cp932::ToUtf8(cp932Text.substr(i, next - i), one) ? one : std::string("?");
    i = next;
  }
  return out;
}

// Code page 932 of a typed UTF-8 text, '?' for each character without a
// form: only to name the text in a message.
std::string ApproximateCp932(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t next = i + 1;
    while (next < utf8.size() && (static_cast<unsigned char>(utf8[next]) & 0xC0) == 0x80) ++next;
    std::string one;
    out += cp932::FromUtf8(utf8.substr(i, next - i), one) ? one : std::string("?");
    i = next;
  }
  return out;
}

void PutString(void* sink, const char* text, size_t length) {
  static_cast<std::string*>(sink)->assign(text, length);
}

bool IsPathControl(int id) {
  return id == kSourceField || id == kDestinationField || id == kFromLine || id == kToLine;
}

}  // namespace

bool DesktopDisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* v = std::getenv(name); v && *v) return true;
  return false;
}

std::vector<std::string> WindowModuleCandidates() {
  std::vector<std::string> out;
  std::string folder = ProgramFolder();
  if (!folder.empty()) {
    out.push_back(folder + "/" + kModuleName);
    out.push_back(folder + "/" KELVOD_MODULE_FROM_BIN "/" + kModuleName);
  }
  // A copy on a disk set was built elsewhere: the installations of the
  // usual prefixes too.
  for (const char* dir :
       {KELVOD_INSTALLED_MODULE_DIR, "/usr/local/lib/kelvod", "/usr/lib/kelvod"}) {
    std::string path = std::string(dir) + "/" + kModuleName;
    if (std::find(out.begin(), out.end(), path) == out.end()) out.push_back(path);
  }
  return out;
}

std::string FindWindowModule(std::string& why) {
  for (const std::string& path : WindowModuleCandidates())
    if (access(path.c_str(), R_OK) == 0) return path;
  // The installations' folders, after the two beside the program.
  const std::vector<std::string> candidates = WindowModuleCandidates();
  std::string installed;
  for (std::size_t i = candidates.size() >= 2 ? 2 : 0; i < candidates.size(); ++i) {
    if (!installed.empty()) installed += i + 1 == candidates.size() ? " or " : ", ";
    installed += candidates[i].substr(0, candidates[i].rfind('/'));
  }
  why = std::string(kModuleName) + " is neither next to the program nor in " + installed;
  return {};
}

void HandOverProgramFolder() {
  if (std::getenv(kProgramFolderVariable)) return;
  std::string folder = ProgramFolder();
  if (!folder.empty()) setenv(kProgramFolderVariable, folder.c_str(), 1);
}

std::unique_ptr<WindowFrontEnd> WindowFrontEnd::Open(const std::string& modulePath,
                                                     std::string& why) {
  // Never closed again: Qt cannot be unloaded once it has run.
  void* handle = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = dlerror();
    why = std::string("the window module cannot be loaded: ") + (error ? error : modulePath);
    return nullptr;
  }
  auto entry = reinterpret_cast<KvWindowEntry>(dlsym(handle, KV_WINDOW_ENTRY));
  const KvWindowInterface* api = entry ? entry() : nullptr;
  if (!api || api->version != KV_WINDOW_INTERFACE_VERSION) {
    why = modulePath + " is not a window module of this version of kelvod";
    return nullptr;
  }
  std::unique_ptr<WindowFrontEnd> fe(new WindowFrontEnd(*api));
  char reason[512] = "";
  fe->session_ = api->open(&fe->host_, &fe->texts_, reason, sizeof reason);
  if (!fe->session_) {
    why = reason[0] ? reason : "the window module could not open the display";
    return nullptr;
  }
  return fe;
}

WindowFrontEnd::WindowFrontEnd(const KvWindowInterface& api) : api_(api) {
  host_.context = this;
  host_.command = &WindowFrontEnd::OnCommand;
  host_.tick = &WindowFrontEnd::OnTick;
  const msg::Catalogue& t = Texts();
  const char* const fixed[] = {
      t.kButtonBrowse,     t.kButtonRun,
      t.kButtonExit,       t.kButtonAbort,
      t.kLabelFrom,        t.kLabelTo,
      t.kCaptionConfirm,   t.kTextOverwrite,
      t.kButtonOverwrite,  t.kButtonOverwriteAll,
      t.kButtonSkip,       t.kButtonForceStop,
      t.kTextRetry,        t.kButtonRetry,
      t.kButtonRetryAbort, t.language,
  };
  for (const char* text : fixed) textStore_.push_back(Shown(text));
  const char** slots[] = {
      &texts_.browse,         &texts_.run,
      &texts_.exit,           &texts_.abort,
      &texts_.from,           &texts_.to,
      &texts_.prompt_caption, &texts_.overwrite_text,
      &texts_.overwrite,      &texts_.overwrite_all,
      &texts_.skip,           &texts_.overwrite_abort,
      &texts_.retry_text,     &texts_.retry,
      &texts_.retry_abort,    &texts_.language,
  };
  static_assert(std::size(fixed) == std::size(slots));
  for (std::size_t i = 0; i < std::size(slots); ++i) *slots[i] = textStore_[i].c_str();
}

WindowFrontEnd::~WindowFrontEnd() {
  if (session_) api_.close(session_);
}

// A request to end the program (SIGTERM, SIGHUP) stops a run as Abort does,
// without asking, and closes the idle window; the clean-up then runs as
// after Exit.
int WindowFrontEnd::OnTick(void* self) noexcept {
  auto* fe = static_cast<WindowFrontEnd*>(self);
  if (!plat::TerminationRequested() || !fe->window_) return 0;
  fe->window_->StopRun();
  if (!fe->window_->ui().Busy() && !fe->window_->Closed()) fe->window_->Command(kButtonExit);
  return 1;
}

void WindowFrontEnd::OnCommand(void* self, int id) noexcept {
  auto* fe = static_cast<WindowFrontEnd*>(self);
  if (fe->window_) fe->window_->Command(id);
}

int WindowFrontEnd::Run(MainWindow& window, const std::string& hostCommandLine,
                        bool leaveStartFolder) {
  window_ = &window;
  Dialogue& ui = window.ui();
  ui.Attach(this);
  plat::InstallTerminationHandler();
  pumpInterval_ = 1;
  lastLook_ = lastEvents_ = Clock::now();
  // The mode follows from the command line as Start will take it.
  const MainWindowTexts t = MainWindowTextsFor(hostCommandLine.empty() ? ExtractMode : MakeMode);
  api_.create_window(session_, Shown(t.caption).c_str(), Shown(t.sourceLabel).c_str(),
                     Shown(t.destinationLabel).c_str());
  if (window.Start(hostCommandLine)) {
    if (leaveStartFolder) plat::LeaveStartFolder();
    api_.show_window(session_);
    api_.run_window(session_);
  }
  api_.destroy_window(session_);
  ui.Attach(nullptr);
  window_ = nullptr;
  // Ended from outside: whatever the run had come to, it did not finish.
  return plat::TerminationRequested() ? kExitFailed : window.ExitStatus();
}

int WindowFrontEnd::MessageDialog(const std::string& text, const std::string& caption,
                                  unsigned style) {
  // Every single-byte backslash of a message is a path separator (a host
  // name holding one has no form inside), shown in the host's form.
  return api_.message_box(session_, plat::DisplayPath(text).c_str(), Shown(caption).c_str(), style);
}

int WindowFrontEnd::OverwriteDialog(const std::string& path) {
  return api_.overwrite_prompt(session_, plat::DisplayPath(path).c_str());
}

int WindowFrontEnd::RetryDialog(const std::string& path, const std::string& reason) {
  return api_.retry_prompt(session_, plat::DisplayPath(path).c_str(),
                           plat::DisplayPath(reason).c_str());
}

int WindowFrontEnd::Pump() {
  if (plat::TerminationRequested()) window_->StopRun();
  const Clock::time_point now = Clock::now();
  // Aim the next look about kLookPeriod ahead, from what the calls counted
  // off since the last one took; grow slowly, shrink at once (a dialog in
  // between makes the calls look slow for one round only).
  const auto took = now - lastLook_;
  lastLook_ = now;
  const double perCall = std::chrono::duration<double>(took).count() / pumpInterval_;
  const double wanted =
      std::chrono::duration<double>(kLookPeriod).count() / std::max(perCall, 1e-9);
  pumpInterval_ = static_cast<int>(
      std::clamp(wanted, 1.0, std::min<double>(2.0 * pumpInterval_, kMaxPumpInterval)));
  if (now - lastEvents_ >= kEventPeriod) {
    api_.pump(session_);
    lastEvents_ = lastLook_ = Clock::now();
  }
  return pumpInterval_;
}

void WindowFrontEnd::SetControlText(int id, const std::string& text) {
  const std::string shown =
      IsPathControl(id) && !text.empty() ? plat::DisplayPath(text) : Shown(text);
  api_.set_text(session_, id, shown.c_str());
}

std::string WindowFrontEnd::GetControlText(int id) {
  std::string typed;
  api_.get_text(session_, id, &PutString, &typed);
  std::string inner;
  if (IsPathControl(id)) {
    if (typed.empty() || plat::FromHostPath(typed, inner)) return inner;
    // The run then finds the field empty and asks for a folder.
    MessageDialog(Format(Texts().kMsgNoCp932Name, ApproximateCp932(typed).c_str()),
                  Texts().kCaptionWarning, kExclamationOk);
    return {};
  }
  if (!cp932::FromUtf8(typed, inner)) return ApproximateCp932(typed);
  return inner;
}

void WindowFrontEnd::EnableControl(int id, bool enabled) {
  api_.enable(session_, id, enabled ? 1 : 0);
}

void WindowFrontEnd::SetProgressBar(int position) { api_.set_progress(session_, position); }

int WindowFrontEnd::BrowseForFolder(const std::string& title, std::string& out) {
  std::string chosen;
  if (api_.browse(session_, Shown(title).c_str(), &PutString, &chosen) != 1) return 0;
  // A folder the program cannot name is no choice (like a virtual folder).
  std::string inner;
  if (chosen.empty() || !plat::FromHostPath(chosen, inner)) return 0;
  out = inner;
  return 1;
}

void WindowFrontEnd::DestroyWindow() { api_.destroy_window(session_); }
