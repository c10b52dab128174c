// kelvod as a person starts it: on a desktop without a working window
// module it uses the terminal and says why in one line; on an X server it
// opens its window (that part runs under xvfb-run: CTest qt_window_on_x11).
#include <unistd.h>

#include <QGuiApplication>
#include <QTest>

#include "app/dialogue/resources/messages.h"
#include "qt_window_driver.h"

namespace {

TEST(WindowFallback, WithoutAWorkingWindowTheProgramUsesTheTerminalAndSaysWhyInOneLine) {
  TempDir dir;
  const fs::path work = dir.path / "work", bin = dir.path / "bin";
  WriteFileBytes(work / "sample.qzm", "project");
  fs::create_directories(bin);
  fs::copy_file(KELVOD_BINARY, bin / "kelvod");  // alone, as a disk set carries it
  // The installations the copy finds the module of (all but the first two).
  const std::vector<std::string> candidates = WindowModuleCandidates();
  const bool installed =
      std::any_of(candidates.begin() + 2, candidates.end(),
                  [](const std::string& p) { return access(p.c_str(), F_OK) == 0; });
  struct Case {
    std::function<void()> arrange;
    std::string args, line;
  } cases[] = {{[] {}, ".",
                installed ? "cannot connect to the X display :4242"
                          : "kelvod-qt.so is neither next to the program nor in"},
               {[&] { WriteFileBytes(bin / "kelvod-qt.so", "not ELF"); }, ".",
                "the window module cannot be loaded: "},
               {[&] {
                  fs::copy_file(KELVOD_WINDOW_MODULE, bin / "kelvod-qt.so",
                                fs::copy_options::overwrite_existing);
                },
                ".", "cannot connect to the X display :4242"},
               {[] {}, "--tty .", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    c.arrange();
    // A display that answers nobody.
    std::string command = "cd '" + work.string() +
                          "' && echo exit | env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u LANGUAGE "
                          "LC_ALL=C.UTF-8 DISPLAY=:4242 '" +
                          (bin / "kelvod").string() + "' " + c.args + " >'" +
                          (dir.path / "out").string() + "' 2>'" + (dir.path / "err").string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(ReadFileBytes(dir.path / "out").find("[ﾄﾞﾙﾐｱﾝｹﾞｰﾑﾃﾞｨｽｸの作成 ver1.02]\n"),
              std::string::npos);
    const std::string err = ReadFileBytes(dir.path / "err");
    if (c.line.empty()) {
      EXPECT_EQ(err, "");
      continue;
    }
    EXPECT_EQ(err.rfind("kelvod: no window (", 0), 0u) << err;
    EXPECT_NE(err.find(c.line), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(err.ends_with("); using the terminal\n")) << err;
  }
}

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
  QPoint exitCentre;  // Exit, from the window's origin
  EXPECT_EQ(RunWindow(work, ".",
                      [&] {
                        QWidget* w = MainWindowWidget();
                        EXPECT_EQ(QGuiApplication::platformName(), "xcb");
                        EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
                        QTest::qWait(50);
                        SaveScreenshot(w, "main-make-x11");
                        QWidget* exit = Control(w, kIdCancel);
                        exitCentre = exit->mapTo(w, exit->rect().center());
                        Press(Control<QPushButton>(w, kIdCancel));
                      }),
            0);

  // The program, started as on a desktop: it finds the module next to it,
  // tries the display and opens the same window there; a click on Exit
  // through the X server ends it.
  const fs::path log = dir.path / "x11";
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
  EXPECT_EQ(std::system(script.c_str()), 0) << ReadFileBytes(log / "err");
  EXPECT_EQ(ReadFileBytes(log / "err").find("no window"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(log / "out"), "");  // nothing went to the terminal
}

}  // namespace
