#include "app/main_window.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/browse.h"
#include "app/dialogue/dialogue_events.h"
#include "app/dialogue/texts.h"
#include "app/exit_status.h"
#include "fileops/naming.h"
#include "fileops/paths.h"
#include "platform/platform.h"
#include "runs/list.h"
#include "runs/walk.h"
#include "text/cp932.h"
#include "text/format.h"

namespace {

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

}  // namespace

// Tells the user why the program cannot start and destroys the window.
bool MainWindow::FailStart(const std::string& text) {
  ui_.ShowMessage(text, Texts().kCaptionWarning, kExclamationOk);
  startFailed_ = true;
  Destroy();
  return false;
}

// Reads kelvod.lst of the current folder whole into ListBuffer, each CR LF
// as LF, checks it, and takes the title from its second line.
bool MainWindow::ReadListAtStart() {
  WindowState& s = state_;
  std::string text;
  try {
    if (!ReadListFile("kelvod.lst", text)) {
      listMissing_ = true;
      return FailStart(Texts().kMsgNoList);
    }
  } catch (const std::bad_alloc&) {
    return FailStart(Texts().kMsgNoMemory);
  }
  s.ListBuffer = std::move(text);
  s.ListBufferPresent = true;
  // Every reader of the list works with lines of at most kMaxListLine bytes;
  // a longer line is refused here rather than cut into a different name. A
  // title or a name that would lead out of the game folder, or file lines
  // that no disk section reaches, are refused before anything is written.
  if (ListCheck check = CheckList(s.ListBuffer); !check) {
    if (check.problem == ListCheck::kLongLine) return FailStart(Texts().kMsgListLineTooLong);
    return FailStart(Format(Texts().kMsgUnsafeName, cp932::Printable(check.offending).c_str()));
  }
  s.Title = ParseList(s.ListBuffer).title;
  return true;
}

void MainWindow::CleanUp() {
  if (cleanedUp_) return;
  cleanedUp_ = true;
  WindowState& s = state_;
  if (!s.ListTempPath.empty()) {
    plat::RemoveFile(s.ListTempPath);
    s.ListTempPath.clear();
  }
  s.ListBuffer.clear();
  s.ListBuffer.shrink_to_fit();
  s.ListBufferPresent = false;
  if (!s.StartDir.empty()) plat::ChangeFolder(s.StartDir);
}

namespace {

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

MainWindow::MainWindow(Dialogue& ui, RunHandler& runs) : ui_(ui), runs_(runs) {}

MainWindow::~MainWindow() { CleanUp(); }

bool MainWindow::Start(const std::string& hostCommandLine) {
  std::string inner;
  if (!hostCommandLine.empty() && !plat::FromHostPath(hostCommandLine, inner)) {
    // The work folder cannot be named inside; the window never comes up.
    cleanedUp_ = true;
    startFailed_ = true;
    lastRunFailed_ = false;
    // The message first: on Windows, closing the window posts the quit
    // that would end a message box shown after it at once.
    ui_.ShowMessage(Format(Texts().kMsgNoCp932Name, AsciiOnly(hostCommandLine).c_str()),
                    Texts().kCaptionWarning, kExclamationOk);
    ui_.CloseMainWindow();
    return false;
  }
  return Init(inner);
}

bool MainWindow::Init(const std::string& commandLine) {
  WindowState& s = state_;
  ui_.MainWindowOpened();
  cleanedUp_ = false;
  startFailed_ = false;
  lastRunFailed_ = false;
  s.RunMode = commandLine.empty() ? ExtractMode : MakeMode;

  s.StartDir = plat::CurrentFolder();
  // Default destinations: the first removable volume for new disks, a fixed
  // place for an expanded game.
  const std::string removableRoot = plat::DefaultDiskSetRoot();
  const std::string fixedRoot = plat::DefaultGameRoot();

  s.ListBufferPresent = false;
  s.ListBuffer.clear();
  s.Title.clear();
  s.ListTempPath.clear();

  if (s.RunMode == MakeMode) {
    if (!FindProjectTitle(s.Title)) return FailStart(Texts().kMsgNoProject);
    // The title names the disk set's folder and, when it is expanded, the
    // game folder and the menu entry: a set under another one would not
    // expand.
    if (!IsSafeTitle(s.Title))
      return FailStart(Format(Texts().kMsgNoCp932Name, cp932::Printable(s.Title + ".qzm").c_str()));
    s.SourceFolder = commandLine;
    s.DestinationFolder = removableRoot;
  } else {
    if (!ReadListAtStart()) return false;
    s.SourceFolder = s.StartDir;
    s.DestinationFolder = fixedRoot;
  }
  s.DestinationFolder += s.Title;
  FrontEnd& fe = ui_.frontEnd();
  fe.SetControlText(kSourceField, s.SourceFolder);
  fe.SetControlText(kDestinationField, s.DestinationFolder);

  ui_.EnterIdleState();

  s.TempFolder = plat::TempFolder();
  s.ListTempPath = plat::MakeTempFile(s.TempFolder, "lzs");
  if (s.ListTempPath.empty()) return FailStart(Texts().kMsgNoTempFile);
  return true;
}

void MainWindow::Command(int id) {
  if (Closed()) return;
  const bool busy = ui_.Busy();
  switch (id) {
    case kButtonRun:
      if (busy) return;
      RunCommand();
      // A run that ends normally destroys the window; anything else (a
      // refused start, a cancelled confirmation, an abort, a failure) leaves
      // it open and counts as a run that did not succeed.
      lastRunFailed_ = !Closed();
      break;
    case kButtonExit:
      if (busy) return;
      Destroy();
      break;
    case kButtonAbortRun:
      if (!busy) return;
      if (ui_.ShowMessage(Texts().kMsgConfirmAbort, Texts().kCaptionConfirm, kQuestionOkCancel) ==
          kIdOk)
        cancel_.Cancel();
      break;
    case kBrowseButton: {
      if (busy) return;
      std::string chosen;
      if (BrowseForFolder(ui_.frontEnd(), Texts().kBrowseTitle, 0, 0, chosen) == 1)
        ui_.frontEnd().SetControlText(kDestinationField, chosen);
      break;
    }
    default:
      break;
  }
  if (Closed()) CleanUp();
}

void MainWindow::RunCommand() {
  FrontEnd& fe = ui_.frontEnd();
  WindowState& s = state_;
  s.SourceFolder = fe.GetControlText(kSourceField);
  if (s.SourceFolder.empty()) {
    ui_.ShowMessage(Texts().kMsgNoInputFolderEntered, Texts().kCaptionWarning, kExclamationOk);
    return;
  }
  s.DestinationFolder = fe.GetControlText(kDestinationField);
  if (s.DestinationFolder.empty()) {
    ui_.ShowMessage(Texts().kMsgEnterOutputFolder, Texts().kCaptionWarning, kExclamationOk);
    return;
  }
  if (!IsFolder(s.SourceFolder)) {
    ui_.ShowMessage(Texts().kMsgInputFolderMissing, Texts().kCaptionWarning, kExclamationOk);
    return;
  }
  // The disk set would be made inside the folder it is made of, and the
  // walk would skip the whole of it.
  if (s.RunMode == MakeMode && SetFolderIsTheWorkFolder(s.SourceFolder, s.DestinationFolder)) {
    ui_.ShowMessage(Texts().kMsgDestinationIsSource, Texts().kCaptionWarning, kExclamationOk);
    return;
  }
  std::string sourceShown = s.SourceFolder, destinationShown = s.DestinationFolder;
  RemoveTrailingChar(sourceShown, '\\');
  RemoveTrailingChar(destinationShown, '\\');
  std::string question =
      Format(s.RunMode == MakeMode ? Texts().kMsgConfirmMake : Texts().kMsgConfirmExtract,
             sourceShown.c_str(), destinationShown.c_str());
  if (ui_.ShowMessage(question, Texts().kCaptionConfirm, kExclamationOkCancel) != kIdOk) return;

  RunSetup setup;
  setup.mode = s.RunMode;
  setup.title = s.Title;
  setup.source = s.SourceFolder;
  setup.destination = s.DestinationFolder;
  setup.listTempPath = s.ListTempPath;
  setup.listText = s.ListBuffer;
  setup.policy.jobs = jobs_;
  DialogueEvents events(ui_, s.Title);
  ui_.EnterBusyState();
  cancel_.Reset();
  const bool normally = runs_.Run(setup, progress_, events, cancel_);
  s.SourceFolder = setup.source;
  s.DestinationFolder = setup.destination;
  // A run that ends normally destroys the window, which ends the program.
  if (normally) ui_.CloseMainWindow();
  ui_.EnterIdleState();
}

void MainWindow::Destroy() {
  CleanUp();
  ui_.CloseMainWindow();
}

MainWindowTexts MainWindowTextsFor(int32_t runMode) {
  if (runMode == MakeMode)
    return {Texts().kCaptionMake, Texts().kLabelSourceMake, Texts().kLabelDestinationMake};
  return {Texts().kCaptionExtract, Texts().kLabelSourceExtract, Texts().kLabelDestinationExtract};
}

int MainWindow::ExitStatus() const {
  if (startFailed_) return kExitUsage;
  return lastRunFailed_ ? kExitFailed : kExitSuccess;
}
