// Whole runs in the window, every answer given by pressing the buttons of
// the dialogs that come up: a make run onto two floppy-sized disks, an
// extract run into a folder that already holds a file, and the speed of a
// make run against the terminal front end.
#include <fcntl.h>
#include <unistd.h>

#include <QLabel>
#include <QTest>
#include <chrono>
#include <ctime>

#include "app/dialogue/resources/messages.h"
#include "app/frontends/terminal/terminal.h"
#include "platform/platform.h"
#include "qt_window_driver.h"

namespace {

void ExpectSampleIn(const fs::path& game, const fs::path& work) {
  std::vector<std::string> stored;  // 0-byte files cannot be stored
  for (const auto& f : ListTree(work))
    if (fs::file_size(work / f) > 0) stored.push_back(f);
  EXPECT_EQ(ListTree(game), stored);
  for (const auto& f : stored) EXPECT_EQ(ReadFileBytes(game / f), ReadFileBytes(work / f)) << f;
}

// kelvod in the terminal, its answers on standard input.
int RunInTerminal(const fs::path& cwd, const std::string& args, const std::string& input,
                  const fs::path& log) {
  WriteFileBytes(log.string() + ".in", input);
  std::string command = "cd '" + cwd.string() + "' && '" KELVOD_BINARY "' --tty " + args + " < '" +
                        log.string() + ".in' > '" + log.string() + "' 2>&1";
  return std::system(command.c_str());
}

TEST_F(WindowTest, MakeRunAcrossTwoFloppiesTakesTheRetryPromptAsADiskChange) {
  std::string why;
  if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: floppy run skipped, " << why;
  const fs::path driveA = dir.path / "A";
  // The set carries the program that made it: this test program.
  const QString program = QString::fromStdString(plat::DisplayPath(plat::ProgramFile()));
  std::vector<fs::path> disks;
  int diskNotices = 0;
  {
    TmpfsDrive drive(driveA, 1474560);
    ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
      if (qobject_cast<QMessageBox*>(modal)) {
        diskNotices += seen.text.startsWith(Q(Sjis("この ﾃﾞｨｽｸ は").c_str()));
        return PressOk(modal);
      }
      // A full disk: a fresh one goes into the drive (the last one, which
      // takes the program too, larger), then Retry.
      EXPECT_FALSE(Control<QLabel>(modal, kRetryReason)->text().isEmpty());
      disks.push_back(drive.Change(dir.path / "shelf", seen.text == program ? 256u << 20 : 0));
      Press(modal, Q(msg::kButtonRetry));
    });
    ASSERT_EQ(RunWindow(work, work.string(),
                        [&] {
                          TypeDestination(driveA / "sample");
                          Press(Control<QPushButton>(MainWindowWidget(), kIdOk));
                        }),
              0);
    EXPECT_EQ(answerer.seen.back().text, Q(msg::kMsgDone));
    disks.push_back(drive.Change(dir.path / "shelf"));
  }
  ASSERT_GE(disks.size(), 2u);
  EXPECT_EQ(diskNotices, static_cast<int>(disks.size()));

  // The disks' files in one folder: a set that kelvod expands in one go.
  const fs::path merged = dir.path / "merged", game = dir.path / "game";
  for (const fs::path& d : disks)
    fs::copy(d / "sample", merged,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::rename(merged / (fs::path(program.toStdString()).stem().string() + ".lst"),
             merged / "kelvod.lst");
  // Button 1 is OK in the boxes and Overwrite in the prompts that the lines
  // of a cut file's pieces raise once its head has been expanded.
  std::string answers = "dest " + game.string() + "\nrun\n";
  for (int k = 0; k < 20; ++k) answers += "1\n";
  ASSERT_EQ(RunInTerminal(merged, "", answers, dir.path / "expand.log"), 0)
      << ReadFileBytes(dir.path / "expand.log");
  ExpectSampleIn(game, work);
}

TEST_F(WindowTest, ExtractRunAsksBeforeOverwritingAndExpandsEveryFileByteForByte) {
  const fs::path set = dir.path / "set", game = dir.path / "game";
  ASSERT_EQ(RunInTerminal(work, ".", "dest " + set.string() + "\nrun\nok\nok\nok\n",
                          dir.path / "make.log"),
            0);
  WriteFileBytes(game / "readme", "an older readme");
  const QString readme = QString::fromStdString((game / "readme").string());
  int readmePrompts = 0;
  ModalAnswerer answerer([&](QWidget* modal, const SeenDialog& seen) {
    if (qobject_cast<QMessageBox*>(modal)) return PressOk(modal);  // confirm, disk 1, done
    // The lines of a cut file's pieces name the file its head has just
    // given: those are skipped.
    readmePrompts += seen.text == readme;
    Press(modal, Q(seen.text == readme ? msg::kButtonOverwrite : msg::kButtonSkip));
  });
  EXPECT_EQ(RunWindow(set, "",
                      [&] {
                        TypeDestination(game);
                        Press(Control<QPushButton>(MainWindowWidget(), kIdOk));
                      }),
            0);
  EXPECT_EQ(readmePrompts, 1);
  ExpectSampleIn(game, work);
}

// Wall-clock and processor time of the process, in seconds.
struct Times {
  double wall = 1e9, cpu = 1e9;
  static Times Now() {
    timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return {
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
        cpu.tv_sec + cpu.tv_nsec * 1e-9};
  }
  Times operator-(const Times& o) const { return {wall - o.wall, cpu - o.cpu}; }
  void KeepBest(const Times& t) { wall = std::min(wall, t.wall), cpu = std::min(cpu, t.cpu); }
};

// Passes everything on and keeps the time spent in dialogs: in the window,
// drawing and answering them, which is not work.
class DialogClock : public FrontEnd {
 public:
  explicit DialogClock(FrontEnd& inner) : inner_(inner) {}
  Times spent{0, 0};
  int MessageDialog(const std::string& text, const std::string& caption, unsigned style) override {
    const Times t0 = Times::Now();
    const int answer = inner_.MessageDialog(text, caption, style);
    const Times took = Times::Now() - t0;
    spent = {spent.wall + took.wall, spent.cpu + took.cpu};
    return answer;
  }
  int OverwriteDialog(const std::string& path) override { return inner_.OverwriteDialog(path); }
  int RetryDialog(const std::string& path, const std::string& reason) override {
    return inner_.RetryDialog(path, reason);
  }
  int Pump() override { return inner_.Pump(); }
  void SetControlText(int id, const std::string& text) override { inner_.SetControlText(id, text); }
  std::string GetControlText(int id) override { return inner_.GetControlText(id); }
  void EnableControl(int id, bool enabled) override { inner_.EnableControl(id, enabled); }
  void SetProgressBar(int position) override { inner_.SetProgressBar(position); }
  void DestroyWindow() override { inner_.DestroyWindow(); }

 private:
  FrontEnd& inner_;
};

// The pump hands Qt its events only every few milliseconds of work, so the
// coders keep their speed in the window. A make run of the sample, best of
// seven each, in turns: in the terminal whole (its dialogs are a line printed
// and one read), in the window whole and without the time in its message
// boxes (the run has no others). Processor time decides: other work on a
// shared machine stretches the wall-clock time of either.
TEST_F(WindowTest, MakeRunInTheWindowTakesAtMostATenthLongerThanInTheTerminal) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "timings of a sanitized build say nothing";
#endif
  Times terminal, window, windowWork;
  for (int round = 0; round < 7; ++round) {
    const std::string n = std::to_string(round);
    {
      Rig terminalRig;
      fs::current_path(work);
      WriteFileBytes(dir.path / "in",
                     "dest " + (dir.path / ("t" + n)).string() + "\nrun\nok\nok\nok\n");
      std::fflush(stdout);
      const int savedIn = dup(0), savedOut = dup(1);
      const int in = open((dir.path / "in").c_str(), O_RDONLY), out = open("/dev/null", O_WRONLY);
      dup2(in, 0), dup2(out, 1), close(in), close(out);
      const Times t0 = Times::Now();
      EXPECT_EQ(RunTerminal(terminalRig.window, work.string()), 0);
      terminal.KeepBest(Times::Now() - t0);
      std::fflush(stdout);
      dup2(savedIn, 0), dup2(savedOut, 1), close(savedIn), close(savedOut);
    }
    ModalAnswerer answerer([](QWidget* modal, const SeenDialog&) { PressOk(modal); });
    EXPECT_EQ(RunWindow(work, work.string(),
                        [&] {
                          TypeDestination(dir.path / ("w" + n));
                          DialogClock clock(rig->ui.frontEnd());
                          rig->ui.Attach(&clock);
                          QTest::qWait(30);  // Run is pressed in a window already drawn
                          const Times t0 = Times::Now();
                          Press(Control<QPushButton>(MainWindowWidget(), kIdOk));  // the whole run
                          const Times took = Times::Now() - t0;
                          rig->ui.Attach(fe.get());
                          window.KeepBest(took);
                          windowWork.KeepBest(took - clock.spent);
                        }),
              0);
  }
  std::printf(
      "make run of the sample, best of 7, wall-clock (processor) ms: terminal %.1f (%.1f), window "
      "%.1f (%.1f), window without its message boxes %.1f (%.1f): %.3fx (%.3fx)\n",
      terminal.wall * 1e3, terminal.cpu * 1e3, window.wall * 1e3, window.cpu * 1e3,
      windowWork.wall * 1e3, windowWork.cpu * 1e3, windowWork.wall / terminal.wall,
      windowWork.cpu / terminal.cpu);
  EXPECT_LE(windowWork.cpu, 1.1 * terminal.cpu);
}

}  // namespace
