// A kelvod.exe beside the Linux program goes onto the last disk too, so that
// a set made on Linux also expands on Windows (tools/wine-tests.sh expands
// such a set with the real kelvod.exe).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/disk_fixtures.h"

namespace {

TEST(CompanionProgram, KelvodExeBesideTheProgramIsCopiedOntoTheSetUnlisted) {
  TempDir dir;
  const fs::path install = dir.path / "install", work = dir.path / "work", set = dir.path / "set";
  fs::create_directories(install);
  fs::copy_file(KELVOD_BINARY, install / "kelvod");
  const std::string exe = "MZ" + RandomBytes(40000, 5);
  WriteFileBytes(install / "kelvod.exe", exe);
  WriteFileBytes(work / "game.qzm", "project");
  WriteFileBytes(work / "data.txt", "some data");
  std::string cmd = "cd '" + work.string() + "' && printf 'dest %s\\nrun\\nok\\n' '" +
                    set.string() + "' | HOME='" + dir.path.string() + "' TMPDIR='" +
                    dir.path.string() + "' LC_ALL=C.UTF-8 '" + (install / "kelvod").string() +
                    "' --tty . >/dev/null 2>&1";
  int raw = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
  EXPECT_EQ(ReadFileBytes(set / "kelvod.exe"), exe);
  EXPECT_EQ(ReadFileBytes(set / "kelvod"), ReadFileBytes(KELVOD_BINARY));
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadCrLfLines(set / "kelvod.lst", lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"       2", "game", "ID1", "1:data.txt_lzs",
                                             "1:game.qzm_lzs", "ID0"}));
}

}  // namespace
