#include "app/main_window.h"

#include <cstdio>
#include <cstdlib>

#include "app/browse.h"
#include "app/frontend.h"
#include "app/prompts.h"
#include "app/resources/messages.h"
#include "platform/platform.h"
#include "runs/run_handler.h"
#include "text/cp932.h"
#include "text/format.h"

namespace {

bool g_cleanedUp = true;
bool g_startFailed = false;
bool g_lastRunFailed = false;

constexpr unsigned kWarningStyle = kStyleExclamation;        // 0x30
constexpr unsigned kConfirmAbortStyle = kStyleQuestion | 1;  // 0x21

// folder + '\' + name, without doubling a separator the folder ends with.
std::string JoinFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || cp932::EndsWithChar(folder, '\\')) return folder + name;
  return folder + "\\" + name;
}

// Tells the user why the program cannot start and destroys the window.
bool FailStart(const std::string& text) {
  ShowMessage(text, msg::kCaptionWarning, kWarningStyle);
  g_startFailed = true;
  DestroyMainWindow();
  return false;
}

// Title from the first "*.qzm" of the current folder: the name before its
// last dot. Names without a code page 932 form cannot name a game here.
bool FindProjectTitle(std::string& title) {
  plat::FindEntry entry;
  plat::FindHandle* h = plat::FindFirst("*.qzm", entry);
  if (!h) return false;
  bool found = false;
  do {
    if (entry.convertible) {
      found = true;
      break;
    }
  } while (plat::FindNext(h, entry));
  plat::FindClose(h);
  if (!found) return false;
  std::size_t dot = cp932::FindLast(entry.name, '.');
  title = dot == cp932::npos ? entry.name : entry.name.substr(0, dot);
  return true;
}

// Reads kelvod.lst of the current folder whole into ListBuffer, as text-mode
// reading delivers it (each CR LF becomes LF), then the title from its
// second line.
bool ReadListAtStart() {
  std::FILE* f = plat::OpenFile("kelvod.lst", "rt");
  if (!f) return FailStart(msg::kMsgNoList);
  int64_t length = plat::FileLength(f);
  char* buffer = nullptr;
  if (length >= 0 && static_cast<uint64_t>(length) < SIZE_MAX - 1024)
    buffer = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1024));
  if (!buffer) {
    std::fclose(f);
    return FailStart(msg::kMsgNoMemory);
  }
  std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(length), f);
  bool readFailed = std::ferror(f) != 0;
  std::fclose(f);
  if (readFailed) {
    // A list cut short by a read error would expand only part of the game.
    std::free(buffer);
    return FailStart(msg::kMsgNoList);
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < got; ++i) {
    if (buffer[i] == '\r' && i + 1 < got && buffer[i + 1] == '\n') continue;
    buffer[kept++] = buffer[i];
  }
  ListBuffer.assign(buffer, kept);
  std::free(buffer);
  ListBufferPresent = true;
  // Every reader of the list works with lines of at most kMaxListLine bytes;
  // a longer line is refused here rather than cut into a different name.
  if (HasOverlongListLine(ListBuffer)) return FailStart(msg::kMsgListLineTooLong);
  std::string line;
  std::size_t pos = ReadListLine(ListBuffer, 0, line);  // the disk count
  ReadListLine(ListBuffer, pos, Title);
  return true;
}

void CleanUp() {
  if (g_cleanedUp) return;
  g_cleanedUp = true;
  if (!ListTempPath.empty()) {
    plat::RemoveFile(ListTempPath);
    ListTempPath.clear();
  }
  ListBuffer.clear();
  ListBuffer.shrink_to_fit();
  ListBufferPresent = false;
  if (!StartDir.empty()) plat::ChangeFolder(StartDir);
}

// '?' for every byte that is not printable ASCII: a name without a code page
// 932 form can only be shown approximately inside a code page 932 text.
std::string AsciiOnly(const std::string& host) {
  std::string out = host;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  return out;
}

}  // namespace

std::string CommandLineCopy(int argc, char** argv, int first) {
  std::string line;
  for (int i = first; i < argc; ++i) {
    if (i > first) line += ' ';
    line += argv[i];
  }
  std::size_t start = line.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : line.substr(start);
}

bool StartMainWindow(const std::string& hostCommandLine) {
  std::string inner;
  if (!hostCommandLine.empty() && !plat::FromHostPath(hostCommandLine, inner)) {
    // The work folder cannot be named inside; the window never comes up.
    g_cleanedUp = true;
    g_startFailed = true;
    g_lastRunFailed = false;
    MainWindowClosed = true;
    ShowMessage(Format(msg::kMsgNoCp932Name, AsciiOnly(hostCommandLine).c_str()),
                msg::kCaptionWarning, kWarningStyle);
    return false;
  }
  return InitMainWindow(inner);
}

bool InitMainWindow(const std::string& commandLine) {
  MainWindowClosed = false;
  g_cleanedUp = false;
  g_startFailed = false;
  g_lastRunFailed = false;
  RunMode = commandLine.empty() ? ExtractMode : MakeMode;

  StartDir = plat::CurrentFolder();
  // Default destinations: the first removable volume for new disks, a games
  // folder in the home folder for an expanded game.
  std::string home = plat::HomeFolder();
  std::string removableRoot = plat::FirstRemovableRoot();
  if (removableRoot.empty()) removableRoot = JoinFolder(home, "");
  std::string fixedRoot = JoinFolder(home, "Games\\");

  ListBufferPresent = false;
  ListBuffer.clear();
  Title.clear();
  ListTempPath.clear();

  if (RunMode == MakeMode) {
    if (!FindProjectTitle(Title)) return FailStart(msg::kMsgNoProject);
    SourceFolder = commandLine;
    DestinationFolder = removableRoot;
  } else {
    if (!ReadListAtStart()) return false;
    SourceFolder = StartDir;
    DestinationFolder = fixedRoot;
  }
  DestinationFolder += Title;
  FrontEnd& fe = CurrentFrontEnd();
  fe.SetControlText(kSourceField, SourceFolder);
  fe.SetControlText(kDestinationField, DestinationFolder);

  OverwriteChoice = 0;
  EnterIdleState();
  WorkActive = 0;

  TempFolder = plat::TempFolder();
  ListTempPath = plat::MakeTempFile(TempFolder, "lzs");
  if (ListTempPath.empty()) return FailStart(msg::kMsgNoTempFile);
  return true;
}

void MainWindowCommand(int id) {
  if (MainWindowClosed) return;
  bool busy = MainWindowBusy();
  switch (id) {
    case kIdOk:
      if (busy) return;
      RunCommand();
      // A run that ends normally destroys the window; anything else (a
      // refused start, a cancelled confirmation, an abort, a failure) leaves
      // it open and counts as a run that did not succeed.
      g_lastRunFailed = !MainWindowClosed;
      break;
    case kIdCancel:
      if (busy) return;
      DestroyMainWindow();
      break;
    case kIdAbort:
      if (!busy) return;
      if (ShowMessage(msg::kMsgConfirmAbort, msg::kCaptionConfirm, kConfirmAbortStyle) == kIdOk)
        WorkActive = 0;
      break;
    case kBrowseButton: {
      if (busy) return;
      std::string chosen;
      if (BrowseForFolder(msg::kBrowseTitle, 0, 0, chosen) == 1)
        CurrentFrontEnd().SetControlText(kDestinationField, chosen);
      break;
    }
    default:
      break;
  }
  if (MainWindowClosed) CleanUp();
}

void DestroyMainWindow() {
  CleanUp();
  CloseMainWindow();
}

MainWindowTexts MainWindowTextsFor(int32_t runMode) {
  if (runMode == MakeMode)
    return {msg::kCaptionMake, msg::kLabelSourceMake, msg::kLabelDestinationMake};
  return {msg::kCaptionExtract, msg::kLabelSourceExtract, msg::kLabelDestinationExtract};
}

int MainWindowExitStatus() {
  if (g_startFailed) return 1;
  return g_lastRunFailed ? 2 : 0;
}
