// The fixture of the batch commands' tests: the real program (a copy
// without debugging information, as a release is, so that it fits a
// floppy), a temporary folder, and helpers to run it and look at what it
// made.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/disk_fixtures.h"
#include "support/program.h"

constexpr std::uintmax_t kFloppyBytes = 1474560;

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v mcopy >/dev/null && command -v mformat >/dev/null") != 0)
      GTEST_SKIP() << "NOTICE: batch tests skipped, the image tools (mtools) are missing";
    // The set carries the program: a copy without debugging information,
    // as a release is, so that it fits a floppy.
    program = (dir.path / "kelvod").string();
    const std::string strip = "strip -o '" + program + "' '" KELVOD_BINARY "'";
    ASSERT_EQ(std::system(strip.c_str()), 0);
    fs::create_directories(dir.path / "tmp");
    fs::create_directories(dir.path / "xdg");
  }
  // A name that reached a shell would have left this file.
  void TearDown() override { EXPECT_FALSE(fs::exists(dir.path / "PWNED")) << "a shell ran"; }
  // A sanitised build's program is too large for the last floppy.
  bool ProgramFitsAFloppy() { return fs::file_size(program) < 1200000; }
#define NEEDS_A_FLOPPY_SIZED_PROGRAM()                                       \
  if (!ProgramFitsAFloppy())                                                 \
  GTEST_SKIP() << "NOTICE: this build's program (" << fs::file_size(program) \
               << " bytes) does not fit a floppy; the normal build runs this test"
  Outcome Kelvod(const std::vector<std::string>& args) {
    return RunProgram(
        program, args, dir.path.string(),
        {"TMPDIR=" + (dir.path / "tmp").string(), "XDG_DATA_HOME=" + (dir.path / "xdg").string(),
         "LC_ALL=C.UTF-8", "KV_PWNED=" + (dir.path / "PWNED").string()});
  }
  fs::path Sample() {
    fs::path work = dir.path / "work";
    std::string make =
        "python3 '" KELVOD_SOURCE_DIR "/tools/make_sample.py' '" + work.string() + "' >/dev/null";
    EXPECT_EQ(std::system(make.c_str()), 0);
    return work;
  }
  void ExpectSameTree(const fs::path& a, const fs::path& b) {
    EXPECT_EQ(ListTree(a), ListTree(b));
    // Not EXPECT_EQ: a difference names the file, not megabytes of bytes.
    for (const auto& f : ListTree(a))
      EXPECT_TRUE(ReadFileBytes(a / f) == ReadFileBytes(b / f)) << f << " differs";
  }
  // The disk folders or images a make wrote, in order.
  std::vector<fs::path> Disks(const fs::path& dest, const std::string& suffix = "") {
    std::vector<fs::path> disks;
    for (int n = 1; fs::exists(dest / ("disk" + std::to_string(n) + suffix)); ++n)
      disks.push_back(dest / ("disk" + std::to_string(n) + suffix));
    return disks;
  }
  std::string Shell(const std::string& command) {
    std::string out = (dir.path / "shell.out").string();
    EXPECT_EQ(std::system((command + " >'" + out + "' 2>&1").c_str()), 0) << command;
    return ReadFileBytes(out);
  }
  // A small work folder: the project file and a few files in two folders.
  fs::path SmallWork(const std::string& name = "work") {
    const fs::path work = dir.path / name;
    WriteFileBytes(work / "game.qzm", "project");
    WriteFileBytes(work / "data/a.txt", "first file");
    WriteFileBytes(work / "data/b.bin", RandomBytes(3000, 4));
    return work;
  }
  // Nothing of the program left in its temporary folder.
  bool TempIsEmpty() { return fs::is_empty(dir.path / "tmp"); }
  TempDir dir;
  std::string program;
};
