// Whole runs, driven through the scripted front end: a make run of the
// bundled sample onto floppy-sized disks and the extract run back, aborts,
// missing disks, and a set made on a fixed disk.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/resources/messages.h"
#include "app/main_window.h"
#include "codec/context.h"
#include "platform/platform.h"
#include "runs/run_handler.h"
#include "support/run_fixture.h"
#include "text/format.h"

namespace {

constexpr std::size_t kFloppy = 1474560;

std::string Lf(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

class DiskSetTest : public RunFixture {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "whole runs with the Linux start-menu entry; tools/wine-tests.sh makes and "
                    "expands the sample with kelvod.exe on floppy disks under Wine";
#endif
    RunFixture::SetUp();
    std::string command =
        "python3 '" KELVOD_SOURCE_DIR "/tools/make_sample.py' '" + work.string() + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << "the sample could not be made";
    xdg = dir.path / "xdg";
    setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    rig.ui.MainWindowOpened();
    program = fs::path(Host(plat::ProgramFile()));
  }
  static std::string Host(const std::string& inner) {
    std::string host;
    plat::ToHostPath(inner, host);
    return host;
  }
  void StartRun(int32_t mode, const fs::path& source, const fs::path& destination) {
    state.RunMode = mode;
    WorkActive = 0;
    ui.controlTexts[kSourceField] = Inner(source);
    ui.controlTexts[kDestinationField] = Inner(destination);
  }
  // The files of the sample that a disk set carries (0-byte files cannot be stored).
  std::vector<std::string> SampleFiles() {
    std::vector<std::string> files;
    for (const auto& f : ListTree(work))
      if (fs::file_size(work / f) > 0) files.push_back(f);
    return files;
  }
  void ExpectSameTree(const fs::path& game) {
    for (const auto& f : SampleFiles())
      EXPECT_EQ(ReadFileBytes(game / f), ReadFileBytes(work / f)) << f;
    EXPECT_EQ(ListTree(game), SampleFiles());
  }
  fs::path ShortcutFile() { return xdg / "applications" / "ﾄﾞﾙﾐｱﾝ95ｹﾞｰﾑ" / "sample.desktop"; }

  fs::path xdg;
  fs::path program;
};

// The path a "file name: ..." message names.
std::string NamedPath(const std::string& text) {
  const std::string prefix = Sjis("ﾌｧｲﾙ名： ");
  if (text.rfind(prefix, 0) != 0) return {};
  std::size_t end = text.find(" \n");
  return text.substr(prefix.size(), end - prefix.size());
}

TEST_F(DiskSetTest, SampleOntoFloppiesAndBack) {
  std::string why;
  if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: floppy run skipped, " << why;
  fs::path driveA = dir.path / "A", shelf = dir.path / "shelf";
  std::vector<fs::path> disks;
  {
    TmpfsDrive drive(driveA, kFloppy);
    StartRun(MakeMode, work, driveA / "sample");
    std::string programInner = plat::ProgramFile();
    ui.onDialog = [&](const RecordedDialog& d) {
      if (d.kind == RecordedDialog::kRetry) {
        // A full disk: the user inserts a fresh one. The last one must take
        // this (test) program, so it is a larger disk.
        bool last = d.text == programInner;
        disks.push_back(drive.Change(shelf, last ? 256u << 20 : 0));
        ui.answers.push_front(1);
      } else if (d.kind == RecordedDialog::kMessage && d.style == 0x31) {
        ui.answers.push_front(1);  // confirm the run
      }
    };
    rig.window.RunCommand();
    ASSERT_TRUE(rig.ui.MainWindowClosed()) << "the make run did not end normally";
    EXPECT_EQ(ui.MessageTexts().back(), msg::kMsgDone);
    disks.push_back(drive.Change(shelf));
  }
  ASSERT_GE(disks.size(), 2u);

  // The list on the last disk: count, title, disk lines, file lines, end line.
  fs::path last = disks.back() / "sample";
  std::string listName = program.stem().string() + ".lst";
  ASSERT_TRUE(fs::exists(last / listName));
  EXPECT_EQ(ReadFileBytes(last / program.filename()), ReadFileBytes(program));
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadCrLfLines(last / listName, lines));
  int count = std::atoi(lines[0].c_str());
  EXPECT_EQ(lines[0].size(), 8u);
  EXPECT_EQ(lines[1], "sample");
  EXPECT_EQ(lines[2], "ID1");
  auto end = std::find(lines.begin(), lines.end(), "ID0");
  ASSERT_NE(end, lines.end());
  int diskLines = 0;
  for (auto it = lines.begin() + 2; it != end; ++it) {
    if ((*it)[0] == 'I') {
      EXPECT_EQ(*it, "ID" + std::to_string(++diskLines));
    }
  }
  EXPECT_EQ(count, diskLines + 1);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "1:data\\bgm\\theme.wav_lzs1"), lines.end());

  // Extract: each disk is put into drive B when it is asked for.
  rig.ui.MainWindowOpened();
  ui.dialogs.clear();
  state.ListBuffer = Lf(ReadFileBytes(last / listName));
  state.ListBufferPresent = true;
  fs::path driveB = dir.path / "B", game = dir.path / "game";
  std::string sourceInner = InnerFolder(driveB);
  // Each disk's set folder is kept in one place and moved into drive B when inserted.
  for (auto& d : disks) {
    fs::rename(d / "sample", d.string() + ".set");
    d = d.string() + ".set";
  }
  int inDrive = 0;
  auto insert = [&](int k) {
    if (inDrive == k) return;
    if (inDrive) fs::rename(driveB, disks[inDrive - 1]);
    fs::rename(disks[k - 1], driveB);
    inDrive = k;
  };
  auto diskHolding = [&](const std::string& inner) {
    if (inner.rfind(sourceInner, 0) != 0) return 0;
    std::string rel = inner.substr(sourceInner.size());
    for (auto& c : rel)
      if (c == '\\') c = '/';
    for (int k = 1; k <= static_cast<int>(disks.size()); ++k)
      if (k == inDrive ? fs::exists(driveB / rel) : fs::exists(disks[k - 1] / rel)) return k;
    return 0;
  };
  insert(1);
  StartRun(ExtractMode, driveB, game);
  ui.onDialog = [&](const RecordedDialog& d) {
    if (d.kind == RecordedDialog::kOverwrite) {
      ui.answers.push_front(1);
    } else if (d.kind == RecordedDialog::kMessage && d.style == 0x31) {
      ui.answers.push_front(1);
    } else if (d.kind == RecordedDialog::kMessage && d.style == 0x41) {
      for (int k = 1; k < count; ++k)
        if (d.text == Format(msg::kMsgInsertDisk, "sample", k)) insert(k);
      if (int k = diskHolding(NamedPath(d.text))) insert(k);
      ui.answers.push_front(1);
    }
  };
  rig.window.RunCommand();
  ASSERT_TRUE(rig.ui.MainWindowClosed()) << "the extract run did not end normally";
  ExpectSameTree(game);
  EXPECT_TRUE(fs::is_directory(game / "save"));  // the empty folder comes back too
  EXPECT_TRUE(fs::exists(ShortcutFile()));
  EXPECT_TRUE(TempLeftovers().empty());
}

TEST_F(DiskSetTest, FixedDiskHoldsOneDiskWithToolAndList) {
  fs::path out = dir.path / "out";
  StartRun(MakeMode, work, out);
  ui.answers = {1};  // confirm
  rig.window.RunCommand();
  ASSERT_TRUE(rig.ui.MainWindowClosed());
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadCrLfLines(out / (program.stem().string() + ".lst"), lines));
  EXPECT_EQ(lines[0], "       2");
  EXPECT_EQ(lines.back(), "ID0");
  EXPECT_TRUE(fs::exists(out / "disk1.id"));
  EXPECT_TRUE(fs::exists(out / program.filename()));
  EXPECT_TRUE(fs::is_directory(out / "save"));  // the empty folder exists on the set

  // Expanding it back, from the folder itself.
  rig.ui.MainWindowOpened();
  state.ListBuffer = Lf(ReadFileBytes(out / (program.stem().string() + ".lst")));
  StartRun(ExtractMode, out, dir.path / "game");
  ui.answers = {1, 1};  // confirm, first disk
  rig.window.RunCommand();
  ASSERT_TRUE(rig.ui.MainWindowClosed());
  ExpectSameTree(dir.path / "game");
}

TEST_F(DiskSetTest, AbortDuringTheWalkAndRunAgain) {
  fs::path out = dir.path / "out";
  StartRun(MakeMode, work, out);
  ui.answers = {1};
  int pumps = 0;
  ui.onPump = [&] {
    if (++pumps == 200) {
      ui.answers.push_front(1);  // OK in the confirmation of Abort
      rig.window.Command(kIdAbort);
    }
  };
  rig.window.RunCommand();
  EXPECT_FALSE(rig.ui.MainWindowClosed());
  EXPECT_EQ(ui.MessageTexts().back(), msg::kMsgAborted);
  EXPECT_NE(std::find(ui.MessageTexts().begin(), ui.MessageTexts().end(),
                      std::string(msg::kMsgConfirmAbort)),
            ui.MessageTexts().end());
  std::vector<std::string> lines = ListLines();
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "ID0"), lines.end());
  EXPECT_FALSE(fs::exists(out / program.filename()));
  EXPECT_EQ(WorkActive, 0);

  // Run again on a fresh disk: it starts at disk ID 1.
  ui.onPump = nullptr;
  fs::remove_all(out);
  ui.answers = {1};
  rig.window.RunCommand();
  ASSERT_TRUE(rig.ui.MainWindowClosed());
  EXPECT_EQ(ListLines()[2], "ID1");
  EXPECT_EQ(ReadFileBytes(out / "disk1.id"), "1");
}

TEST_F(DiskSetTest, ExtractWithoutDisksAndWithAMissingDisk) {
  // A count line of 1: nothing to ask for, straight to the shortcut.
  state.ListBuffer = "       1\nsample\nID0\n";
  StartRun(ExtractMode, work, dir.path / "game");
  ui.answers = {1};
  rig.window.RunCommand();
  EXPECT_TRUE(rig.ui.MainWindowClosed());
  EXPECT_TRUE(fs::exists(ShortcutFile()));
  std::string entry = ReadFileBytes(ShortcutFile());
  EXPECT_NE(entry.find("Exec=wine \"" + (dir.path / "game" / "qzmrun.exe").string() + "\"\n"),
            std::string::npos)
      << entry;
  EXPECT_NE(entry.find("Categories=Game;"), std::string::npos);
  if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
    std::string check = "desktop-file-validate '" + ShortcutFile().string() + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << entry;
  }

  // A disk that is not there: Cancel ends the run without a shortcut.
  fs::remove(ShortcutFile());
  rig.ui.MainWindowOpened();
  state.ListBuffer = "       2\nsample\nID1\n1:a.txt_lzs\nID0\n";
  ui.answers = {1, 1, 2};  // confirm, OK (disk not there), Cancel
  rig.window.RunCommand();
  EXPECT_FALSE(rig.ui.MainWindowClosed());
  EXPECT_FALSE(fs::exists(ShortcutFile()));
  std::vector<std::string> texts = ui.MessageTexts();
  EXPECT_EQ(texts.back(), msg::kMsgAborted);
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::string(msg::kMsgNoMarker)), texts.end());
}

}  // namespace
