// Whole runs in the window, every answer given by pressing the buttons of
// the dialogs that come up: a make run onto two floppy-sized disks, an
// extract run into a folder that already holds a file. (The speed of a make
// run in the window against the terminal is bench/window_bench.cpp's.)
#include <QLabel>
#include <QTest>

#include "app/dialogue/resources/messages.h"
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

}  // namespace
