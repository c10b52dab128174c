// The terminal front end over pipes: the real program started in temporary
// folders, its standard input fed from a file, its output compared with the
// protocol that scripts rely on.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "app/dialogue/resources/messages.h"
#include "platform/platform.h"
#include "support/disk_fixtures.h"
#include "text/cp932.h"
#include "text/format.h"

namespace {

std::string Utf8(const char* cp932Text) {
  std::string out;
  EXPECT_TRUE(cp932::ToUtf8(cp932Text, out));
  return out;
}

struct Result {
  std::string out, err;
  int status = -1;
};

class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = dir_.path / "game";
    home_ = dir_.path / "home";
    temp_ = dir_.path / "temp";
    fs::create_directories(work_);
    fs::create_directories(home_);
    fs::create_directories(temp_);
  }

  // Runs the program in `cwd` with the given arguments (shell words),
  // standard input and locale (the test's own is dropped).
  Result Run(const std::string& args, const std::string& input, const fs::path& cwd,
             const std::string& locale = "LC_ALL=C.UTF-8") {
    WriteFileBytes(dir_.path / "in", input);
    std::string cmd =
        "cd '" + cwd.string() + "' && env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG HOME='" +
        home_.string() + "' TMPDIR='" + temp_.string() + "' " + locale + " '" KELVOD_BINARY "' " +
        args + " < '" + (dir_.path / "in").string() + "' > '" + (dir_.path / "stdout").string() +
        "' 2> '" + (dir_.path / "stderr").string() + "'";
    int raw = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadFileBytes(dir_.path / "stdout");
    r.err = ReadFileBytes(dir_.path / "stderr");
    return r;
  }

  // Runs the program with its standard input on a pipe: sends `before`,
  // waits until standard output holds `count` copies of `mark`, sends
  // Ctrl-C, then `after`, and closes the pipe.
  Result RunWithInterrupt(const std::string& args, const std::string& before,
                          const std::string& mark, int count, const std::string& after,
                          const fs::path& cwd) {
    WriteFileBytes(dir_.path / "before", before);
    WriteFileBytes(dir_.path / "after", after);
    WriteFileBytes(dir_.path / "mark", mark);
    WriteFileBytes(dir_.path / "script.sh", R"sh(
cd "$CWD" || exit 99
rm -f "$D/fifo" && mkfifo "$D/fifo" || exit 99
HOME="$H" TMPDIR="$T" LC_ALL=C.UTF-8 LANGUAGE= "$BIN" $ARGS < "$D/fifo" > "$D/stdout" 2> "$D/stderr" &
pid=$!
exec 3> "$D/fifo"
cat "$D/before" >&3
i=0
while [ "$(grep -c -F -f "$D/mark" "$D/stdout")" -lt "$COUNT" ] && [ $i -lt 1200 ]; do
  sleep 0.05; i=$((i+1))
done
sleep 0.2
kill -INT $pid
cat "$D/after" >&3
exec 3>&-
wait $pid
echo $? > "$D/status"
)sh");
    std::string cmd =
        "CWD='" + cwd.string() + "' D='" + dir_.path.string() + "' H='" + home_.string() + "' T='" +
        temp_.string() + "' BIN='" KELVOD_BINARY "' ARGS='" + args +
        "' COUNT=" + std::to_string(count) + " sh '" + (dir_.path / "script.sh").string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    Result r;
    r.status = std::stoi("0" + ReadFileBytes(dir_.path / "status"));
    r.out = ReadFileBytes(dir_.path / "stdout");
    r.err = ReadFileBytes(dir_.path / "stderr");
    return r;
  }

  int TempFiles() {
    int n = 0;
    for (const auto& e : fs::directory_iterator(temp_)) n += e.is_regular_file();
    return n;
  }

  std::string MakeDestination(const std::string& title) {
    std::string root = plat::FirstRemovableRoot();
    if (root.empty()) root = Inner(home_) + "\\";
    return plat::DisplayPath(root + title);
  }

  std::string MakeWindow(const std::string& source, const std::string& destination) {
    return "[" + Utf8(msg::kCaptionMake) + "]\n" + Utf8(msg::kLabelSourceMake) + ": " + source +
           "\n" + Utf8(msg::kLabelDestinationMake) + ": " + destination +
           "\ncommands: run exit browse dest\n> ";
  }

  TempDir dir_;
  fs::path work_, home_, temp_;
};

TEST_F(TerminalTest, MissingProjectFileIsAStartupWarning) {
  Result r = Run("game", "", dir_.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "[" + Utf8(msg::kCaptionWarning) + "]\n" + Utf8(msg::kMsgNoProject) +
                       "\nchoices: ok\n> \n");
  EXPECT_EQ(TempFiles(), 0);
}

TEST_F(TerminalTest, MissingListFileIsAStartupWarning) {
  Result r = Run("", "", work_);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "[" + Utf8(msg::kCaptionWarning) + "]\n" + Utf8(msg::kMsgNoList) +
                       "\nchoices: ok\n> \n");
  // In a folder of copied disks, one line more: the command that expands them.
  WriteFileBytes(work_ / "disk1" / "disk1.id", "");
  Result disks = Run("", "", work_);
  EXPECT_EQ(disks.status, 1);
  EXPECT_EQ(disks.out, r.out + Utf8(msg::kMsgHintExtractCommand) + "\n");
}

TEST_F(TerminalTest, MainWindowThenEndOfInputIsExit) {
  WriteFileBytes(dir_.path / "sample.qzm", "p");
  Result r = Run("game", "", dir_.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, MakeWindow("game", MakeDestination("sample")) + "\n");
  EXPECT_EQ(TempFiles(), 0);
}

TEST_F(TerminalTest, ExtractWindowShowsHostPaths) {
  WriteFileBytes(work_ / "kelvod.lst", "2\r\n\x83Q\x81[\x83\x80\r\nID=1\r\nEND\r\n");
  Result r = Run("--tty", "exit\n", work_);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "[" + Utf8(msg::kCaptionExtract) + "]\n" + Utf8(msg::kLabelSourceExtract) +
                       ": " + work_.string() + "\n" + Utf8(msg::kLabelDestinationExtract) + ": " +
                       home_.string() + "/Games/\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0" +
                       "\ncommands: run exit browse dest\n> ");
}

TEST_F(TerminalTest, DestBrowseAndHints) {
  WriteFileBytes(dir_.path / "s.qzm", "p");
  Result r =
      Run("-- game", "dest /x/y z\nbrowse\n/picked\nbrowse\n\nfoo\nrun now\n\nexit\n", dir_.path);
  EXPECT_EQ(r.status, 0);
  const std::string picker = "[" + Utf8(msg::kBrowseTitle) + "]\nchoices: FOLDER\n> ";
  const std::string hint = "unknown command; type one of: run, exit, browse, dest FOLDER\n";
  EXPECT_EQ(r.out, MakeWindow("game", MakeDestination("s")) + MakeWindow("game", "/x/y z") +
                       picker + MakeWindow("game", "/picked") + picker +
                       MakeWindow("game", "/picked") + hint + MakeWindow("game", "/picked") + hint +
                       MakeWindow("game", "/picked") + MakeWindow("game", "/picked"));
}

TEST_F(TerminalTest, DialogAnswersAreCheckedAndAFailedRunEndsWithStatusTwo) {
  WriteFileBytes(dir_.path / "s.qzm", "p");
  // The confirmation of a run asks again after a wrong answer; Cancel by
  // number ends the run before it starts.
  Result r = Run("game", "dest /out\nrun\nmaybe\n2\n", dir_.path);
  EXPECT_EQ(r.status, 2);
  std::string confirm = "[" + Utf8(msg::kCaptionConfirm) + "]\n";
  size_t at = r.out.find(confirm);
  ASSERT_NE(at, std::string::npos) << r.out;
  size_t choices = r.out.find("choices: ok cancel\n> ", at);
  ASSERT_NE(choices, std::string::npos);
  EXPECT_EQ(r.out.find("choices: ok cancel\n> choices: ok cancel\n> ", choices), choices);
  EXPECT_NE(r.out.find("game/*.*"), std::string::npos) << r.out;
}

TEST_F(TerminalTest, EmptyDestinationWarnsWhenRunIsTyped) {
  WriteFileBytes(dir_.path / "s.qzm", "p");
  Result r = Run("game", "dest\nrun\n", dir_.path);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("[" + Utf8(msg::kCaptionWarning) + "]\n" + Utf8(msg::kMsgEnterOutputFolder) +
                       "\nchoices: ok\n> "),
            std::string::npos)
      << r.out;
}

// English when the locale asks for it, from the main window to the end of
// a run; the protocol's words stay.
TEST_F(TerminalTest, TextsFollowTheLocaleAndTheCommandWordsStay) {
  WriteFileBytes(dir_.path / "s.qzm", "p");
  WriteFileBytes(work_ / "a.txt", "text");
  const struct {
    const char* locale;
    const msg::Catalogue& texts;
  } cases[] = {{"LANGUAGE=en LC_ALL=C.UTF-8", msg::kEnglish},
               {"LANG=en_US.UTF-8", msg::kEnglish},
               {"LANG=ja_JP.UTF-8", msg::kJapanese},
               {"", msg::kJapanese}};
  int n = 0;
  for (const auto& [locale, t] : cases) {
    SCOPED_TRACE(locale);
    const std::string out = (dir_.path / ("out" + std::to_string(++n))).string();
    Result r = Run("game", "dest\nrun\nok\ndest " + out + "\nrun\nok\nok\nok\n", dir_.path, locale);
    EXPECT_EQ(r.status, 0);
    const std::string expected[] = {
        "[" + Utf8(t.kCaptionMake) + "]\n" + Utf8(t.kLabelSourceMake) + ": game\n",
        "\ncommands: run exit browse dest\n> ",
        "[" + Utf8(t.kCaptionWarning) + "]\n" + Utf8(t.kMsgEnterOutputFolder) + "\nchoices: ok\n",
        "[" + Utf8(t.kCaptionConfirm) + "]\n",
        Utf8(Format(t.kMsgDiskNumber, "s", 1).c_str()) + "\nchoices: ok\n",
        Utf8(t.kMsgDone) + "\nchoices: ok\n"};
    std::size_t at = 0;
    for (const std::string& e : expected) {
      at = r.out.find(e, at);
      ASSERT_NE(at, std::string::npos) << e << "\nnot found in order in:\n" << r.out;
    }
  }
}

TEST_F(TerminalTest, OptionsHelpVersionAndUnknown) {
  const std::string helpText = Run("--help", "", dir_.path).out;
  for (const char* word : {"--tty", "--jobs N", "run", "exit", "browse", "dest FOLDER", "choices:",
                           "overwrite all skip abort", "retry abort", "Ctrl-C", "Exit status"})
    EXPECT_NE(helpText.find(word), std::string::npos) << word;
  const std::string versionText = Run("--version", "", dir_.path).out;
  EXPECT_EQ(versionText.rfind("kelvod ", 0), 0u);
  // The short forms do the same; an unknown option, long or short, before a
  // work folder or a command, is refused with usage and never taken as the
  // work folder.
  struct Case {
    const char* args;
    int status;
    std::string out;
    const char* named;
  };
  const Case cases[] = {{"-h", 0, helpText, ""},
                        {"-V", 0, versionText, ""},
                        {"--xyz game", 1, "", "--xyz"},
                        {"-q --expand a b", 1, "", "-q"},
                        {"-x", 1, "", "-x"},
                        {"--tty --list a", 1, "", "--tty"}};
  for (const Case& c : cases) {
    Result r = Run(c.args, "", dir_.path);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << c.args << ": " << r.err;
  }
  for (const char* jobs : {"--jobs 0 game", "--jobs=x game", "--jobs"}) {
    Result bad = Run(jobs, "", dir_.path);
    EXPECT_EQ(bad.status, 1) << jobs;
    EXPECT_NE(bad.err.find("--jobs"), std::string::npos) << jobs;
  }
}

TEST_F(TerminalTest, BlanksOnlyCommandLineIsExtractMode) {
  Result r = Run("'  ' ''", "", work_);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(Utf8(msg::kMsgNoList)), std::string::npos);
}

TEST_F(TerminalTest, CtrlCAtTheMainWindowIsExit) {
  WriteFileBytes(dir_.path / "s.qzm", "p");
  Result r = RunWithInterrupt("game", "", "commands:", 1, "", dir_.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, MakeWindow("game", MakeDestination("s")) + "\n");
  EXPECT_EQ(TempFiles(), 0);
}

TEST_F(TerminalTest, CtrlCInADialogIsEscape) {
  WriteFileBytes(dir_.path / "s.qzm", "p");
  // Ctrl-C answers the run's confirmation as Cancel; the window comes back.
  Result r = RunWithInterrupt("game", "dest /out\nrun\n", "choices: ok cancel", 1, "", dir_.path);
  EXPECT_EQ(r.status, 2);
  size_t at = r.out.find("choices: ok cancel\n> ");
  ASSERT_NE(at, std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(at), "choices: ok cancel\n> \n" + MakeWindow("game", "/out") + "\n");
}

TEST_F(TerminalTest, CtrlCDuringARunAsksToAbort) {
  // A file large enough that the run is still at work when Ctrl-C comes.
  fs::create_directories(work_ / "data");
  WriteFileBytes(work_ / "data" / "big.bin", RandomBytes(24u << 20, 7));
  WriteFileBytes(dir_.path / "s.qzm", "p");
  fs::create_directories(dir_.path / "disks");
  // OK to the confirmation and to the new disk's number; Ctrl-C once the
  // disk's number has been shown, while the file is being encoded.
  Result r = RunWithInterrupt("game", "dest " + (dir_.path / "disks").string() + "\nrun\nok\nok\n",
                              "choices: ok", 2, "ok\nok\n", dir_.path);
  EXPECT_EQ(r.status, 2) << r.out;
  std::string confirm = "[" + Utf8(msg::kCaptionConfirm) + "]\n" + Utf8(msg::kMsgConfirmAbort) +
                        "\nchoices: ok cancel\n> ";
  size_t at = r.out.find(confirm);
  ASSERT_NE(at, std::string::npos) << r.out;
  EXPECT_NE(r.out.find(Utf8(msg::kMsgAborted), at), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(Utf8(msg::kMsgDone)), std::string::npos);
  EXPECT_EQ(TempFiles(), 0);
}

}  // namespace
