// kelvod --expand on a head file: the pieces beside it are joined first; a
// missing piece is named on standard error and the command fails.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "codec/result_code.h"
#include "runs/packer.h"
#include "support/run_fixture.h"
#include "support/test_program.h"

namespace {

class CliHeadFileTest : public RunFixture {
 protected:
  int Expand(const fs::path& src, const fs::path& dst) {
    std::string cmd = "TMPDIR='" + tmp.string() + "' " + test_program::Command() + " --expand '" +
                      src.string() + "' '" + dst.string() + "' 2>'" + (dir.path / "err").string() +
                      "'";
    int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
};

TEST_F(CliHeadFileTest, JoinsThePiecesBesideTheHead) {
  std::string data = RandomBytes(1300000, 41);
  WriteFileBytes(work / "m.bin", data);
  std::string rel = "m.bin";
  ASSERT_EQ(PackFile(Inner(work / rel), DestinationFolder, &rel, 0, 0, 0, nullptr), kDone);
  ASSERT_TRUE(fs::exists(dest / "m.bin_lzs2"));

  EXPECT_EQ(Expand(dest / "m.bin_lzs", dir.path / "out"), 0) << ReadFileBytes(dir.path / "err");
  EXPECT_EQ(ReadFileBytes(dir.path / "out"), data);
  EXPECT_TRUE(ListTree(tmp).empty());

  fs::remove(dest / "m.bin_lzs2");
  EXPECT_NE(Expand(dest / "m.bin_lzs", dir.path / "out2"), 0);
  EXPECT_NE(ReadFileBytes(dir.path / "err").find("m.bin_lzs2"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.path / "out2"));
  EXPECT_TRUE(ListTree(tmp).empty());
}

}  // namespace
