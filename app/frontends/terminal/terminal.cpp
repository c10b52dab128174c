#include "app/frontends/terminal/terminal.h"

#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "app/dialogue/frontend.h"
#include "app/dialogue/texts.h"
#include "app/exit_status.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "platform/relocate.h"
#include "text/cp932.h"

namespace {

// Pump calls between two looks at Ctrl-C: a look is cheap, but the coders
// pump after every code.
constexpr int kPumpInterval = 4096;
constexpr int kBarWidth = 30;

struct Choice {
  const char* word;
  int id;
};

// The paths inside message texts in the host's form: every single-byte
// backslash of a message is a path separator, since a host name containing
// one has no form inside.
std::string HostSeparators(std::string text) {
  for (std::size_t i = 0; i < text.size(); i = cp932::Next(text, i))
    if (text[i] == '\\') text[i] = plat::kHostSeparator;
  return text;
}

class TerminalFrontEnd : public FrontEnd {
 public:
  explicit TerminalFrontEnd(MainWindow& window)
      : window_(window), charset_(plat::ConsoleCharset()), drawBar_(plat::StdErrIsTerminal()) {}

  // One line of code page 932 text, outside any dialog.
  void Line(const std::string& cp932Text) { Print(Text(cp932Text) + "\n"); }

  int MessageDialog(const std::string& rawText, const std::string& caption,
                    unsigned style) override {
    std::string text = HostSeparators(rawText);
    if ((style & kStyleOkCancelMask) == 0) return Ask(caption, {text}, {{"ok", kIdOk}}, kIdOk);
    return Ask(caption, {text}, {{"ok", kIdOk}, {"cancel", kIdCancel}}, kIdCancel);
  }

  int OverwriteDialog(const std::string& path) override {
    return Ask(Texts().kCaptionConfirm, {PathText(path), Text(Texts().kTextOverwrite)},
               {{"overwrite", kButtonOverwrite},
                {"all", kButtonOverwriteAll},
                {"skip", kButtonSkip},
                {"abort", kButtonOverwriteAbort}},
               kButtonSkip, true);
  }

  int RetryDialog(const std::string& path, const std::string& reason) override {
    return Ask(Texts().kCaptionConfirm, {PathText(path), Text(reason), Text(Texts().kTextRetry)},
               {{"retry", kButtonRetry}, {"abort", kButtonRetryAbort}}, kButtonRetryAbort, true);
  }

  int Pump() override {
    // A request to end the program stops the run as Abort does, without
    // asking; every dialog after it is answered as Escape.
    if (plat::TerminationRequested()) {
      window_.StopRun();
      return kPumpInterval;
    }
    // Ctrl-C during a run is the Abort button; otherwise it waits for the
    // next read, where it means Exit or Escape.
    if (window_.ui().Busy() && plat::TakeInterrupt()) window_.Command(kButtonAbortRun);
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

  void PrintMainWindow() {
    MainWindowTexts t = MainWindowTextsFor(window_.state().RunMode);
    Print(std::string("[") + Text(t.caption) + "]\n" + Text(t.sourceLabel) + ": " +
          PathText(source_) + "\n" + Text(t.destinationLabel) + ": " + PathText(destination_) +
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
      window_.Command(kButtonRun);
    } else if (word == "exit") {
      window_.Command(kButtonExit);
    } else if (word == "browse") {
      window_.Command(kBrowseButton);
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

  MainWindow& window_;
  std::string charset_;
  bool drawBar_;
  bool barShown_ = false;
  int barPosition_ = 0;
  std::string percent_;
  std::string source_, destination_;
};

}  // namespace

int RunTerminal(MainWindow& window, const std::string& hostCommandLine, bool leaveStartFolder,
                std::function<bool()> startHoldsDisks) {
  TerminalFrontEnd fe(window);
  Dialogue& ui = window.ui();
  ui.Attach(&fe);
  plat::InstallInterruptHandler(nullptr);
  plat::InstallTerminationHandler();

  if (window.Start(hostCommandLine)) {
    if (leaveStartFolder) plat::LeaveStartFolder();
    while (!window.Closed()) {
      fe.PrintMainWindow();
      std::string line;
      if (fe.Read(line) != plat::ConsoleRead::kLine) {
        // End of input and Ctrl-C at the main window both mean Exit.
        std::fputs("\n", stdout);
        window.Command(kButtonExit);
        break;
      }
      fe.HandleCommand(line);
    }
  } else if (window.ListMissing() && startHoldsDisks && startHoldsDisks()) {
    fe.Line(Texts().kMsgHintExtractCommand);
  }
  // Ended from outside: whatever the run had come to, it did not finish.
  int status = plat::TerminationRequested() ? kExitFailed : window.ExitStatus();
  fe.Finish();
  plat::RemoveInterruptHandler();
  ui.Attach(nullptr);
  return status;
}
