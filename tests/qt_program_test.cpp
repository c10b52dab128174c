// kelvod itself as a person starts it: on a desktop without a working
// window module it falls back to the terminal and says why in one line; on
// an X server it opens its window (that part runs under xvfb-run, see
// tests/CMakeLists.txt).
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QTest>

#include "app/dialogue/resources/messages.h"
#include "qt_window_driver.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs `program` with a shell prefix of environment settings, in cwd, with
// the input on standard input.
Outcome Start(const fs::path& tmp, const std::string& env, const std::string& program,
              const std::string& args, const fs::path& cwd, const std::string& input) {
  WriteFileBytes(tmp / "in", input);
  std::string command = "cd '" + cwd.string() + "' && env " + env + " '" + program + "' " + args +
                        " < '" + (tmp / "in").string() + "' > '" + (tmp / "out").string() +
                        "' 2> '" + (tmp / "err").string() + "'";
  int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(tmp / "out"),
          ReadFileBytes(tmp / "err")};
}

TEST(WindowFallback, WithoutAWorkingWindowTheProgramUsesTheTerminalAndSaysWhyInOneLine) {
  TempDir dir;
  const fs::path work = dir.path / "work", bin = dir.path / "bin";
  fs::create_directories(bin);
  WriteFileBytes(work / "sample.qzm", "project");
  fs::copy_file(KELVOD_BINARY, bin / "kelvod");
  fs::permissions(bin / "kelvod", fs::perms::owner_all);
  // A display that answers nobody; the program alone, as a set carries it.
  const std::string desktop = "-u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:4242";
  const std::string installed = WindowModuleCandidates().back();

  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string args, line;
  };
  const std::vector<Case> cases = {
      {"no module", [] {}, ".",
       access(installed.c_str(), F_OK) == 0 ? "cannot connect to the X display :4242"
                                            : "kelvod-qt.so is neither next to the program nor in"},
      {"a module that is no library", [&] { WriteFileBytes(bin / "kelvod-qt.so", "not ELF"); }, ".",
       "the window module cannot be loaded: "},
      {"no display",
       [&] {
         fs::copy_file(KELVOD_WINDOW_MODULE, bin / "kelvod-qt.so",
                       fs::copy_options::overwrite_existing);
       },
       ".", "cannot connect to the X display :4242"},
      {"--tty", [] {}, "--tty .", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    Outcome o = Start(dir.path, desktop, (bin / "kelvod").string(), c.args, work, "exit\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("[ﾄﾞﾙﾐｱﾝｹﾞｰﾑﾃﾞｨｽｸの作成 ver1.02]\n"), std::string::npos) << o.out;
    if (c.line.empty()) {
      EXPECT_EQ(o.err, "");
    } else {
      EXPECT_EQ(o.err.rfind("kelvod: no window (", 0), 0u) << o.err;
      EXPECT_NE(o.err.find(c.line), std::string::npos) << o.err;
      EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "one line: " << o.err;
      EXPECT_NE(o.err.find("); using the terminal\n"), std::string::npos) << o.err;
    }
  }
}

// Run by the CTest test qt_window_on_x11 (xvfb-run, QT_QPA_PLATFORM=xcb).
class WindowOnX11 : public WindowTest {
 protected:
  void SetUp() override {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || std::string(platform) != "xcb" || !std::getenv("DISPLAY"))
      GTEST_SKIP() << "needs an X server: the CTest test qt_window_on_x11 runs this";
    WindowTest::SetUp();
  }
};

TEST_F(WindowOnX11, TheWindowOpensOnTheXServerAndTheProgramShowsItThere) {
  // The window through Qt's X11 plugin, as on a desktop.
  QPoint exitCentre;
  int status = RunWindow(work, ".", [&] {
    QWidget* w = MainWindowWidget();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(QGuiApplication::platformName(), "xcb");
    EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->windowTitle(), Q(msg::kCaptionMake));
    QTest::qWait(50);
    SaveScreenshot(w, "main-make-x11");
    QWidget* exit = Control(w, kIdCancel);
    exitCentre = exit->mapTo(w, exit->rect().center());
    Press(Control<QPushButton>(w, kIdCancel));
  });
  EXPECT_EQ(status, 0);

  // The program itself, started as on a desktop: it finds the module next
  // to it, tries the display and opens the same window there; a click on
  // Exit (through the X server) ends it.
  const fs::path log = dir.path / "x11";
  fs::create_directories(log);
  WriteFileBytes(log / "lsan.supp", QtLibraryLeaks());
  const std::string script =
      "cd '" + work.string() +
      "' && { timeout 60 env -u QT_QPA_PLATFORM LSAN_OPTIONS=suppressions='" +
      (log / "lsan.supp").string() + "' '" KELVOD_BINARY "' . </dev/null >'" +
      (log / "out").string() + "' 2>'" + (log / "err").string() +
      "' & pid=$!; id=$(timeout 30 xdotool search --sync --name 'ver1\\.02' | head -n 1); "
      "[ -n \"$id\" ] && sleep 0.5 && xdotool mousemove --window \"$id\" " +
      std::to_string(exitCentre.x()) + " " + std::to_string(exitCentre.y()) +
      " click 1; wait $pid; }";
  int raw = std::system(script.c_str());
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0)
      << "status " << raw << ": " << ReadFileBytes(log / "err");
  EXPECT_EQ(ReadFileBytes(log / "err").find("no window"), std::string::npos)
      << ReadFileBytes(log / "err");
  EXPECT_EQ(ReadFileBytes(log / "out"), "");  // nothing went to the terminal
}

}  // namespace
