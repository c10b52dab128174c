// The whole terminal transcript of a make run across a disk change (with the
// warnings at its end) and of the extract run of that set (a disk change and
// an overwrite prompt), compared with the transcripts kept in tests/golden/.
// A scripted user answers each dialog from what it shows. Paths of the test's
// own folder are written as <T>. KELVOD_UPDATE_GOLDEN=1 writes them anew.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/disk_fixtures.h"
#include "support/program.h"
#include "support/test_program.h"

namespace {

class TerminalGoldenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: golden transcripts skipped, " << why;
    work = dir.path / "work";
    WriteFileBytes(work / "golden.qzm", "project");
    WriteFileBytes(work / "data/a.bin", RandomBytes(40000, 1));
    WriteFileBytes(work / "data/b.bin", RandomBytes(40000, 2));
    WriteFileBytes(work / "readme", "read me");
    WriteFileBytes(work / "empty.txt", "");
    WriteFileBytes(work / "odd.b_lzsq", "comes back under another name");
    fs::create_directories(work / "save");
    for (const char* d : {"home", "tmp", "xdg"}) fs::create_directories(dir.path / d);
  }

  std::vector<std::string> Env() const {
    return {"HOME=" + (dir.path / "home").string(), "XDG_DATA_HOME=" + (dir.path / "xdg").string(),
            "TMPDIR=" + (dir.path / "tmp").string(), "LC_ALL=C.UTF-8", "LANGUAGE="};
  }

  // Answers every prompt of the program by what it shows until it ends.
  // onDialog(text since the last prompt) returns the line to send.
  template <typename Answer>
  std::string Drive(Program& p, Answer onDialog) {
    std::size_t seen = 0;
    for (int prompts = 1; prompts < 200; ++prompts) {
      if (!p.WaitFor("> ", prompts, 60)) break;
      std::size_t at = p.out().rfind("> ");
      std::string shown = p.out().substr(seen, at - seen);
      seen = at + 2;
      p.Send(onDialog(shown) + "\n");
    }
    EXPECT_EQ(p.Finish(60), expectedStatus) << p.out();
    return Normalised(p.out());
  }

  // The test's folder and the program's own path differ from machine to machine.
  std::string Normalised(std::string text) const {
    for (const auto& [path, shown] :
         {std::pair{fs::path(test_program::Path()).string(), "<PROGRAM>"},
          std::pair{dir.path.string(), "<T>"}})
      for (std::size_t at; (at = text.find(path)) != std::string::npos;)
        text.replace(at, path.size(), shown);
    return text;
  }

  void Compare(const std::string& transcript, const std::string& name) {
    const fs::path golden = fs::path(KELVOD_SOURCE_DIR) / "tests/golden" / name;
    if (!test_program::Env("KELVOD_UPDATE_GOLDEN").empty()) WriteFileBytes(golden, transcript);
    EXPECT_EQ(transcript, ReadFileBytes(golden)) << "transcript of " << name << " changed";
  }

  TempDir dir;
  fs::path work;
  int expectedStatus = 0;
};

TEST_F(TerminalGoldenTest, MakeAcrossADiskChangeThenExtractWithAnOverwritePrompt) {
  const fs::path drive = dir.path / "A", shelf = dir.path / "shelf";
  std::vector<fs::path> disks;
  {
    // The first disk holds two files; the second takes the rest and the program.
    TmpfsDrive tmpfs(drive, 64 * 1024);
    ASSERT_TRUE(tmpfs.mounted());
    Program p(test_program::Path(), {"--tty", "."}, work.string(), Env());
    int mainWindow = 0;
    std::string made = Drive(p, [&](const std::string& shown) -> std::string {
      if (shown.find("commands: run exit") != std::string::npos)
        return ++mainWindow == 1 ? "dest " + (drive / "golden").string() : "run";
      if (shown.find("choices: retry abort") != std::string::npos) {
        disks.push_back(tmpfs.Change(shelf, 64 << 20));
        return "retry";
      }
      return "ok";
    });
    disks.push_back(tmpfs.Change(shelf));
    Compare(made, "terminal_make.txt");
  }
  ASSERT_EQ(disks.size(), 2u);

  // The extract reads the disk in a folder that stands for the drive; the
  // list lies on the last disk, where the program is started from.
  const fs::path game = dir.path / "game";
  WriteFileBytes(game / "data/a.bin", "an older a.bin");
  auto insert = [&](const fs::path& disk) {
    fs::remove_all(drive);
    fs::copy(disk / "golden", drive, fs::copy_options::recursive);
  };
  insert(disks[1]);
  Program p((drive / test_program::FileName()).string(), {"--tty"}, drive.string(), Env());
  int mainWindow = 0;
  std::string expanded = Drive(p, [&](const std::string& shown) -> std::string {
    if (shown.find("commands: run exit") != std::string::npos)
      return ++mainWindow == 1 ? "dest " + game.string() : "run";
    if (shown.find("choices: overwrite all skip abort") != std::string::npos) return "overwrite";
    for (int n : {1, 2})
      if (shown.find("ID = " + std::to_string(n) + " 番の") != std::string::npos)
        insert(disks[n - 1]);
    return "ok";
  });
  Compare(expanded, "terminal_extract.txt");
  // Everything but the empty file (left out) and the renamed one came back.
  for (const auto& f : ListTree(work)) {
    if (f == "empty.txt" || f == "odd.b_lzsq") continue;
    EXPECT_EQ(ReadFileBytes(game / f), ReadFileBytes(work / f)) << f;
  }
}

}  // namespace
