#include "app/terminal.h"

#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "app/frontend.h"
#include "app/main_window.h"
#include "app/prompts.h"
#include "app/resources/messages.h"
#include "platform/console.h"
#include "platform/relocate.h"
#include "platform/platform.h"
#include "text/cp932.h"

namespace {

// Pump calls between two looks at Ctrl-C: a look is cheap, but the coders
// pump after every code.
constexpr int kPumpInterval = 4096;
constexpr int kBarWidth = 30;

void ResetPumpCountdown() { g_pumpCountdown.store(0, std::memory_order_relaxed); }

struct Choice {
  const char* word;
  int id;
};

// The paths inside message texts in the host's form: every single-byte
// backslash of a message is a path separator, since a host name containing
// one has no form inside.
std::string HostSeparators(std::string text) {
  for (std::size_t i = 0; i < text.size(); i = cp932::Next(text, i))
    if (text[i] == '\\') text[i] = '/';
  return text;
}

class TerminalFrontEnd : public FrontEnd {
 public:
  TerminalFrontEnd() : charset_(plat::ConsoleCharset()), drawBar_(plat::StdErrIsTerminal()) {}

  int MessageDialog(const std::string& rawText, const std::string& caption,
                    unsigned style) override {
    std::string text = HostSeparators(rawText);
    if ((style & kStyleOkCancelMask) == 0) return Ask(caption, {text}, {{"ok", kIdOk}}, kIdOk);
    return Ask(caption, {text}, {{"ok", kIdOk}, {"cancel", kIdCancel}}, kIdCancel);
  }

  int OverwriteDialog(const std::string& path) override {
    return Ask(
        msg::kCaptionConfirm, {PathText(path), Text(msg::kTextOverwrite)},
        {{"overwrite", kIdOk}, {"all", kIdAbort}, {"skip", kIdCancel}, {"abort", kIdForceStop}},
        kIdCancel, true);
  }

  int RetryDialog(const std::string& path, const std::string& reason) override {
    return Ask(msg::kCaptionConfirm, {PathText(path), Text(reason), Text(msg::kTextRetry)},
               {{"retry", kIdOk}, {"abort", kIdCancel}}, kIdCancel, true);
  }

  int Pump() override {
    // Ctrl-C during a run is the Abort button; otherwise it waits for the
    // next read, where it means Exit or Escape.
    if (MainWindowBusy() && plat::TakeInterrupt()) MainWindowCommand(kIdAbort);
    return kPumpInterval;
  }

  void SetControlText(int id, const std::string& text) override {
    switch (id) {
      case kSourceField:
        source_ = text;
        break;
      case kDestinationField:
        destination_ = text;
        break;
      case kFromLine:
        if (!text.empty()) StatusLine("from: " + PathText(text));
        break;
      case kToLine:
        if (!text.empty()) StatusLine("to: " + PathText(text));
        break;
      case kPercentText:
        percent_ = text;
        DrawBar();
        break;
      default:
        break;
    }
  }

  std::string GetControlText(int id) override {
    if (id == kSourceField) return source_;
    if (id == kDestinationField) return destination_;
    if (id == kPercentText) return percent_;
    return {};
  }

  void SetProgressBar(int position) override {
    barPosition_ = position < 0 ? 0 : position > 100 ? 100 : position;
    DrawBar();
  }

  int BrowseForFolder(const std::string& title, std::string& out) override {
    Print(std::string("[") + Text(title) + "]\nchoices: FOLDER\n> ");
    std::string line;
    if (Read(line) != plat::ConsoleRead::kLine) {
      Print("\n");
      return 0;
    }
    if (line.empty()) return 0;
    std::string inner;
    if (!HostToInner(line, inner)) {
      Print("this folder name cannot be used (characters without a Shift-JIS form, or '\\')\n");
      return 0;
    }
    out = inner;
    return 1;
  }

  void DestroyWindow() override { MainWindowClosed = true; }

  void PrintMainWindow() {
    MainWindowTexts t = MainWindowTextsFor(RunMode);
    Print(std::string("[") + Text(t.caption) + "]\n" + Text(t.sourceLabel) + ": " + PathText(source_) + "\n" +
          Text(t.destinationLabel) + ": " + PathText(destination_) +
          "\ncommands: run exit browse dest\n> ");
  }

  // One line typed at the main window's prompt.
  void HandleCommand(const std::string& raw) {
    std::string_view line = raw;
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) return;
    line.remove_prefix(start);
    std::size_t wordEnd = line.find_first_of(" \t");
    std::string_view word = line.substr(0, wordEnd);
    std::string_view rest =
        wordEnd == std::string_view::npos ? std::string_view() : line.substr(wordEnd);
    std::size_t restStart = rest.find_first_not_of(" \t");
    rest = restStart == std::string_view::npos ? std::string_view() : rest.substr(restStart);

    if (word == "dest") {
      std::string inner;
      if (!rest.empty() && !HostToInner(std::string(rest), inner)) {
        Print("this folder name cannot be used (characters without a Shift-JIS form, or '\\')\n");
        return;
      }
      // The field takes any text, an empty one too: Run checks it.
      SetControlText(kDestinationField, inner);
      return;
    }
    if (!rest.empty()) word = std::string_view();  // no other command takes an operand
    if (word == "run") {
      MainWindowCommand(kIdOk);
    } else if (word == "exit") {
      MainWindowCommand(kIdCancel);
    } else if (word == "browse") {
      MainWindowCommand(kBrowseButton);
    } else {
      Print("unknown command; type one of: run, exit, browse, dest FOLDER\n");
    }
  }

  plat::ConsoleRead Read(std::string& line) {
    std::fflush(stdout);
    return plat::ReadConsoleLine(line);
  }

  void Finish() {
    EraseBar();
    std::fflush(stdout);
  }

 private:
  // Code page 932 text in the terminal's character set; a character without
  // a form there is shown as '?'.
  std::string Text(std::string_view cp932Text) const {
    std::string out;
    if (Convert(cp932Text, out)) return out;
    out.clear();
    for (std::size_t i = 0; i < cp932Text.size();) {
      std::size_t next = cp932::Next(cp932Text, i);
      std::string one;
      out += Convert(cp932Text.substr(i, next - i), one) ? one : std::string("?");
      i = next;
    }
    return out;
  }

  bool Convert(std::string_view in, std::string& out) const {
    return charset_.empty() ? cp932::ToUtf8(in, out) : cp932::ToCharset(in, charset_.c_str(), out);
  }

  // An inner path in the host's form, in the terminal's character set.
  std::string PathText(const std::string& inner) const {
    std::string host = plat::DisplayPath(inner);
    if (charset_.empty()) return host;
    std::string cp;
    if (!cp932::FromUtf8(host, cp)) return host;
    return Text(cp);
  }

  // A typed host path (terminal character set) in the program's own form.
  bool HostToInner(const std::string& typed, std::string& inner) const {
    if (charset_.empty()) return plat::FromHostPath(typed, inner);
    std::string cp, utf8;
    if (!cp932::FromCharset(typed, charset_.c_str(), cp) || !cp932::ToUtf8(cp, utf8)) return false;
    return plat::FromHostPath(utf8, inner);
  }

  // Shows a dialog and reads answers until one of its choices is typed.
  int Ask(const std::string& caption, const std::vector<std::string>& lines,
          const std::vector<Choice>& choices, int escape, bool linesConverted = false) {
    std::string text = std::string("[") + Text(caption) + "]\n";
    for (const std::string& l : lines) text += (linesConverted ? l : Text(l)) + "\n";
    std::string choiceLine = "choices:";
    for (const Choice& c : choices) choiceLine += std::string(" ") + c.word;
    choiceLine += "\n> ";
    Print(text + choiceLine);
    for (;;) {
      std::string answer;
      if (Read(answer) != plat::ConsoleRead::kLine) {
        Print("\n");
        return escape;
      }
      std::size_t b = answer.find_first_not_of(" \t");
      std::size_t e = answer.find_last_not_of(" \t");
      std::string word = b == std::string::npos ? std::string() : answer.substr(b, e - b + 1);
      for (const Choice& c : choices)
        if (word == c.word || word == std::to_string(c.id)) return c.id;
      Print(choiceLine);
    }
  }

  void Print(const std::string& s) {
    EraseBar();
    std::fputs(s.c_str(), stdout);
  }

  // Status lines go out at once, so a script sees the file at work.
  void StatusLine(const std::string& s) {
    bool redraw = barShown_;
    Print(s + "\n");
    std::fflush(stdout);
    if (redraw) DrawBar();
  }

  void DrawBar() {
    if (!drawBar_) return;
    std::fflush(stdout);
    int filled = barPosition_ * kBarWidth / 100;
    std::string bar =
        "\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " + percent_;
    std::fputs(bar.c_str(), stderr);
    std::fflush(stderr);
    barShown_ = true;
  }

  void EraseBar() {
    if (!barShown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    barShown_ = false;
  }

  std::string charset_;
  bool drawBar_;
  bool barShown_ = false;
  int barPosition_ = 0;
  std::string percent_;
  std::string source_, destination_;
};

}  // namespace

int RunTerminal(const std::string& hostCommandLine, bool leaveStartFolder) {
  TerminalFrontEnd fe;
  SetFrontEnd(&fe);
  plat::InstallInterruptHandler(ResetPumpCountdown);
  ResetPumpCountdown();

  if (StartMainWindow(hostCommandLine)) {
    if (leaveStartFolder) plat::LeaveStartFolder();
    while (!MainWindowClosed) {
      fe.PrintMainWindow();
      std::string line;
      if (fe.Read(line) != plat::ConsoleRead::kLine) {
        // End of input and Ctrl-C at the main window both mean Exit.
        std::fputs("\n", stdout);
        MainWindowCommand(kIdCancel);
        break;
      }
      fe.HandleCommand(line);
    }
  }
  int status = MainWindowExitStatus();
  fe.Finish();
  plat::RemoveInterruptHandler();
  SetFrontEnd(nullptr);
  return status;
}

const char* TerminalUsage() {
  return R"(Usage: kelvod [OPTIONS] [--] [WORK_FOLDER]
Makes a disk set from a game's work folder, or expands a disk set.

  kelvod WORK_FOLDER   make mode: run in the folder that holds the game's
                       project file (*.qzm); the disk set is written to the
                       destination folder (default: the first removable
                       volume, else the home folder, followed by the title)
  kelvod               extract mode: run in the folder that holds kelvod.lst;
                       the game is expanded into ~/Games/TITLE by default

Options (they come first; a lone -- ends them):
  --tty                use the terminal front end
  --help               show this text
  --version            show the version
  --compress SRC DST   compress one file
  --expand SRC DST     expand one compressed file
  --info FILE          show the header of a compressed file

Terminal front end (texts are shown in the locale's character set, paths
in the host's form):
  The main window is printed as
      [CAPTION]
      SOURCE LABEL: SOURCE FOLDER
      DESTINATION LABEL: DESTINATION FOLDER
      commands: run exit browse dest
      >
  and takes one command a line:
      run          start the run (make or extract)
      exit         end the program
      browse       choose the destination folder
      dest FOLDER  replace the destination folder
  Unknown input gets a one-line hint. End of input at the main window is
  exit. After each command the main window is printed again.

  Every message box and prompt is printed as its caption in square brackets,
  its text lines, a line "choices: ..." and the prompt "> ". Answers:
      message boxes     ok cancel (OK-only boxes: ok)
      overwrite prompt  overwrite all skip abort
      retry prompt      retry abort
  The button's number is accepted too (ok 1, cancel 2; overwrite 1, all 3,
  skip 2, abort 4; retry 1, abort 2). Anything else asks again. End of input
  answers as Escape: cancel, skip or abort (ok in an OK-only box).
  The folder picker prints its title in square brackets and "choices: FOLDER";
  the next line is the folder, an empty line cancels.

  During a run, "from: ..." and "to: ..." lines show the file at work; the
  progress bar and percentage are drawn on standard error when it is a
  terminal. Ctrl-C during a run is the Abort button (its confirmation is
  asked like any message box); while a dialog waits it answers as Escape;
  at the main window it is exit.

Exit status:
  0  the program ended after a run that ended normally, or without a run
  1  start-up failed (no project file, no kelvod.lst, no temporary file) or
     a wrong option
  2  the last run was aborted or failed
)";
}
