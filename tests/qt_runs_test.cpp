// Whole runs in the desktop window, every answer given by pressing the
// buttons of the dialogs that come up: a make run onto two floppy-sized
// disks, an extract run into a folder that already holds a file, and the
// speed of a make run against the terminal front end.
#include <fcntl.h>
#include <unistd.h>

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/dialogue/resources/messages.h"
#include "app/frontends/terminal/terminal.h"
#include "platform/platform.h"
#include "qt_window_driver.h"

namespace {

constexpr std::size_t kFloppy = 1474560;

QString Host(const std::string& inner) { return QString::fromStdString(plat::DisplayPath(inner)); }

// The files of the sample that a disk set carries (0-byte files cannot be stored).
std::vector<std::string> StoredFiles(const fs::path& work) {
  std::vector<std::string> files;
  for (const auto& f : ListTree(work))
    if (fs::file_size(work / f) > 0) files.push_back(f);
  return files;
}

void ExpectSameFiles(const fs::path& game, const fs::path& work) {
  EXPECT_EQ(ListTree(game), StoredFiles(work));
  for (const auto& f : StoredFiles(work))
    EXPECT_EQ(ReadFileBytes(game / f), ReadFileBytes(work / f)) << f;
}

// Runs the program in the terminal with its answers on standard input.
int RunInTerminal(const fs::path& cwd, const std::string& args, const std::string& input,
                  const fs::path& log) {
  fs::path in = log.string() + ".in";
  WriteFileBytes(in, input);
  std::string command = "cd '" + cwd.string() + "' && '" KELVOD_BINARY "' --tty " + args + " < '" +
                        in.string() + "' > '" + log.string() + "' 2>&1";
  return std::system(command.c_str());
}

// Presses OK in every message box.
void PressOk(QWidget* modal) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  ASSERT_NE(box, nullptr) << modal->windowTitle().toStdString();
  Press(box->button(QMessageBox::Ok));
}

TEST_F(WindowTest, MakeRunAcrossTwoFloppiesTakesTheRetryPromptAsADiskChange) {
  std::string why;
  if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: floppy run skipped, " << why;
  const fs::path driveA = dir.path / "A", shelf = dir.path / "shelf";
  // The set carries the program that made it: here, this test program.
  const QString program = Host(plat::ProgramFile());
  std::vector<fs::path> disks;
  int retries = 0, diskNotices = 0;
  {
    TmpfsDrive drive(driveA, kFloppy);
    ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
      if (qobject_cast<QMessageBox*>(modal)) {
        if (seen.text.startsWith(Q(Sjis("この ﾃﾞｨｽｸ は").c_str()))) ++diskNotices;
        return PressOk(modal);
      }
      // A full disk: a fresh one goes into the drive, then Retry. The last
      // one must take the program too, so it is larger.
      ++retries;
      EXPECT_EQ(seen.title, Q(msg::kCaptionConfirm));
      EXPECT_FALSE(Control<QLabel>(modal, kRetryReason)->text().isEmpty());
      disks.push_back(drive.Change(shelf, seen.text == program ? 256u << 20 : 0));
      Press(modal, Q(msg::kButtonRetry));
    });
    int status = RunWindow(work, work.string(), [&] {
      TypeDestination(driveA / "sample");
      Press(Control<QPushButton>(MainWindowWidget(), kIdOk));
    });
    ASSERT_EQ(status, 0);
    ASSERT_FALSE(answerer.seen.empty());
    EXPECT_EQ(answerer.seen.back().text, Q(msg::kMsgDone));
    disks.push_back(drive.Change(shelf));
  }
  ASSERT_GE(retries, 1);
  EXPECT_EQ(diskNotices, static_cast<int>(disks.size()));

  // Every disk's files in one folder make a set the program can expand in
  // one go: each disk it asks for is there.
  const fs::path merged = dir.path / "merged", game = dir.path / "game";
  for (const fs::path& d : disks)
    fs::copy(d / "sample", merged,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  const fs::path list =
      merged / (fs::path(plat::DisplayPath(plat::ProgramFile())).stem().string() + ".lst");
  ASSERT_TRUE(fs::exists(list));
  fs::rename(list, merged / "kelvod.lst");
  // Button 1 is OK in the boxes and Overwrite in the prompts that the lines
  // of a cut file's pieces raise once its head has been expanded.
  std::string answers = "dest " + game.string() + "\nrun\n";
  for (int k = 0; k < 20; ++k) answers += "1\n";
  ASSERT_EQ(RunInTerminal(merged, "", answers, dir.path / "expand.log"), 0)
      << ReadFileBytes(dir.path / "expand.log");
  ExpectSameFiles(game, work);
}

TEST_F(WindowTest, ExtractRunAsksBeforeOverwritingAndExpandsEveryFileByteForByte) {
  // A disk set on a fixed disk, made by the program in the terminal.
  const fs::path set = dir.path / "set", game = dir.path / "game";
  ASSERT_EQ(RunInTerminal(work, ".", "dest " + set.string() + "\nrun\nok\nok\nok\n",
                          dir.path / "make.log"),
            0)
      << ReadFileBytes(dir.path / "make.log");
  WriteFileBytes(game / "readme", "an older readme");

  const QString readme = QString::fromStdString((game / "readme").string());
  int readmePrompts = 0;
  QStringList percents, toLines;
  bool barFollowsText = true;
  ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
    if (qobject_cast<QMessageBox*>(modal)) return PressOk(modal);  // confirm, disk 1, done
    // The lines of a cut file's pieces name the file its head has just
    // given: those are skipped.
    const bool old = seen.text == readme;
    readmePrompts += old;
    Press(modal, Q(old ? msg::kButtonOverwrite : msg::kButtonSkip));
  });
  // The status lines and the progress as the run shows them.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* w = MainWindowWidget();
    if (!w) return;
    const QString percent = Control<QLabel>(w, kPercentText)->text();
    if (percent.isEmpty() || (!percents.isEmpty() && percents.back() == percent)) return;
    percents << percent;
    toLines << Control<QLabel>(w, kToLine)->text();
    barFollowsText &= Control<QProgressBar>(w, kProgressBar)->value() ==
                      std::min(percent.trimmed().chopped(1).toInt(), 100);
  });
  int status = RunWindow(set, "", [&] {
    TypeDestination(game);
    poll.start(1);
    Press(Control<QPushButton>(MainWindowWidget(), kIdOk));
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readmePrompts, 1);
  ExpectSameFiles(game, work);

  ASSERT_FALSE(percents.isEmpty());
  EXPECT_TRUE(barFollowsText);
  for (const QString& p : percents)
    EXPECT_TRUE(QRegularExpression("^[ 0-9]{2}[0-9]%$").match(p).hasMatch()) << p.toStdString();
  for (const QString& to : toLines)
    EXPECT_TRUE(to.startsWith(QString::fromStdString(game.string() + "/"))) << to.toStdString();
}

// Wall-clock and processor time of the process, in seconds.
struct Times {
  double wall = 1e9, cpu = 1e9;
  static Times Now() {
    timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return {
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
        static_cast<double>(cpu.tv_sec) + cpu.tv_nsec * 1e-9};
  }
  // Keeps the shorter of each, from a measurement between two instants.
  void Best(const Times& from, const Times& to) {
    wall = std::min(wall, to.wall - from.wall);
    cpu = std::min(cpu, to.cpu - from.cpu);
  }
};

// Passes everything to the front end it wraps and keeps the time spent in
// dialogs, which in the window is drawing and answering them, not work.
class DialogClock : public FrontEnd {
 public:
  explicit DialogClock(FrontEnd& inner) : inner_(inner) {}
  Times spent{0, 0};

  int MessageDialog(const std::string& text, const std::string& caption, unsigned style) override {
    return Timed([&] { return inner_.MessageDialog(text, caption, style); });
  }
  int OverwriteDialog(const std::string& path) override {
    return Timed([&] { return inner_.OverwriteDialog(path); });
  }
  int RetryDialog(const std::string& path, const std::string& reason) override {
    return Timed([&] { return inner_.RetryDialog(path, reason); });
  }
  int Pump() override { return inner_.Pump(); }
  void SetControlText(int id, const std::string& text) override { inner_.SetControlText(id, text); }
  std::string GetControlText(int id) override { return inner_.GetControlText(id); }
  void EnableControl(int id, bool enabled) override { inner_.EnableControl(id, enabled); }
  void SetProgressBar(int position) override { inner_.SetProgressBar(position); }
  void DestroyWindow() override { inner_.DestroyWindow(); }

 private:
  template <typename F>
  int Timed(F f) {
    const Times t0 = Times::Now();
    const int answer = f();
    const Times t1 = Times::Now();
    spent.wall += t1.wall - t0.wall;
    spent.cpu += t1.cpu - t0.cpu;
    return answer;
  }
  FrontEnd& inner_;
};

// Pumping hands Qt its events only every few milliseconds of work, so the
// coders keep their speed in the window. A make run of the sample, best of
// five each, in turns: in the terminal whole (its dialogs are a line
// printed and one read), in the window whole and without the time its
// dialogs were open. Processor time decides, since other work on a shared
// machine stretches the wall-clock time of either.
TEST_F(WindowTest, MakeRunInTheWindowTakesAtMostATenthLongerThanInTheTerminal) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "timings of a sanitized build say nothing";
#endif
  Times terminal, window, windowWork;
  for (int round = 0; round < 5; ++round) {
    const std::string n = std::to_string(round);
    {
      Rig terminalRig;
      fs::current_path(work);
      WriteFileBytes(dir.path / "in",
                     "dest " + (dir.path / ("t" + n)).string() + "\nrun\nok\nok\nok\n");
      std::fflush(stdout);
      const int savedIn = dup(0), savedOut = dup(1);
      const int in = open((dir.path / "in").c_str(), O_RDONLY), out = open("/dev/null", O_WRONLY);
      ASSERT_EQ(dup2(in, 0), 0);
      ASSERT_EQ(dup2(out, 1), 1);
      close(in);
      close(out);
      const Times t0 = Times::Now();
      const int status = RunTerminal(terminalRig.window, work.string());
      const Times t1 = Times::Now();
      std::fflush(stdout);
      dup2(savedIn, 0);
      dup2(savedOut, 1);
      close(savedIn);
      close(savedOut);
      ASSERT_EQ(status, 0);
      terminal.Best(t0, t1);
    }
    ModalAnswerer answerer([](QWidget* modal, const SeenDialog&) { PressOk(modal); });
    int status = RunWindow(work, work.string(), [&] {
      TypeDestination(dir.path / ("w" + n));
      DialogClock clock(rig->ui.frontEnd());
      rig->ui.Attach(&clock);
      // Run is pressed in a window that has been drawn, as a person sees it.
      QTest::qWait(30);
      const Times t0 = Times::Now();
      Press(Control<QPushButton>(MainWindowWidget(), kIdOk));  // returns after the run
      const Times t1 = Times::Now();
      rig->ui.Attach(fe.get());
      window.Best(t0, t1);
      windowWork.Best(t0, {t1.wall - clock.spent.wall, t1.cpu - clock.spent.cpu});
    });
    ASSERT_EQ(status, 0);
  }
  std::printf(
      "make run of the sample, best of 5, wall-clock (processor) ms: terminal %.1f (%.1f), window "
      "%.1f (%.1f), window without its dialogs %.1f (%.1f): %.3fx (%.3fx)\n",
      terminal.wall * 1e3, terminal.cpu * 1e3, window.wall * 1e3, window.cpu * 1e3,
      windowWork.wall * 1e3, windowWork.cpu * 1e3, windowWork.wall / terminal.wall,
      windowWork.cpu / terminal.cpu);
  RecordProperty("terminal_ms", static_cast<int>(terminal.wall * 1e3));
  RecordProperty("window_ms", static_cast<int>(window.wall * 1e3));
  RecordProperty("window_without_dialogs_ms", static_cast<int>(windowWork.wall * 1e3));
  EXPECT_LE(windowWork.cpu, 1.1 * terminal.cpu);
}

}  // namespace
