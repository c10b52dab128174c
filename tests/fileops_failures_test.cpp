// The failure rows of packing, unpacking, cutting and joining that the other
// tests do not reach: result code, message and what is left on the disk.
#include <gtest/gtest.h>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/resources/messages.h"
#include "codec/context.h"
#include "codec/result_code.h"
#include "fileops/naming.h"
#include "runs/expander.h"
#include "runs/packer.h"
#include "support/run_fixture.h"
#include "text/format.h"

namespace {

class FailureTest : public RunFixture {
 protected:
  int Pack(const std::string& rel, int onlyIfNewer = 0) {
    return PackFile(Inner(work / rel), DestinationFolder, &rel, 0, 0, onlyIfNewer, nullptr);
  }
  int Unpack(const std::string& listed, const fs::path& game, int onlyIfNewer = 0) {
    return UnpackFile(DestinationFolder + listed, InnerFolder(game), listed, onlyIfNewer, nullptr);
  }
  // A split of a stream of two pieces, ready in a temporary compressed file.
  std::string TwoPieceTemp() {
    WriteFileBytes(work / "m.bin", RandomBytes(1200000, 21));
    EXPECT_EQ(Pack("m.bin"), kDone);
    fs::path temp = dir.path / "whole";
    std::string joined = ReadFileBytes(dest / "m.bin_lzs1").substr(320) +
                         ReadFileBytes(dest / "m.bin_lzs2").substr(320);
    WriteFileBytes(temp, std::string(320, '\0') + joined);
    fs::remove_all(dest);
    ui.dialogs.clear();
    return Inner(temp);
  }
};

TEST_F(FailureTest, FolderThatCannotBeMadeEndsPackingAndUnpacking) {
  WriteFileBytes(work / "a.txt", "abc");
  WriteFileBytes(dest, "a plain file where the disk set folder should be");
  ui.answers = {1, 2};  // Retry, then Abort
  EXPECT_EQ(Pack("a.txt"), kFolderFailed);
  EXPECT_EQ(ui.dialogs.size(), 2u);
  EXPECT_EQ(ui.dialogs[0].text, DestinationFolder);
  EXPECT_EQ(ui.dialogs[0].caption, msg::kMsgFolderFailed);
  EXPECT_EQ(WorkActive, 0);

  // The same on the extract side, with a clean disk set.
  fs::remove(dest);
  WorkActive = 1;
  ASSERT_EQ(Pack("a.txt"), kDone);
  WriteFileBytes(dir.path / "game", "not a folder");
  ui.answers = {2};
  EXPECT_EQ(Unpack("a.txt_lzs", dir.path / "game"), kFolderFailed);
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(FailureTest, OnlyIfNewerSkipsWithoutWriting) {
#ifdef _WIN32
  GTEST_SKIP() << "the C++ library sets file times in whole seconds on Windows";
#endif
  WriteFileBytes(work / "a.txt", "abc");
  ASSERT_EQ(Pack("a.txt"), kDone);
  fs::last_write_time(dest / "a.txt_lzs", fs::last_write_time(work / "a.txt"));
  OverwriteChoice = -1;  // past the same-name refusal, as only an extract run can be
  EXPECT_EQ(Pack("a.txt", 1), kNotNewer);
  fs::path game = dir.path / "game";
  WriteFileBytes(game / "a.txt", "newer");
  fs::last_write_time(game / "a.txt", fs::last_write_time(dest / "a.txt_lzs"));
  EXPECT_EQ(Unpack("a.txt_lzs", game, 1), kNotNewer);
  EXPECT_EQ(ReadFileBytes(game / "a.txt"), "newer");
  EXPECT_EQ(WorkActive, 1);
}

TEST_F(FailureTest, UnpackRefusesWhatItCannotReadOrName) {
  ui.answers = {2};
  EXPECT_EQ(Unpack("gone.txt_lzs", dir.path / "game"), kSourceUnreadable);
  EXPECT_EQ(ui.dialogs[0].style, 0x41u);
  EXPECT_EQ(WorkActive, 0);

  WorkActive = 1;
#ifdef _WIN32
  std::string longName(259 - DestinationFolder.size() + 2, 'n');  // the drive does not count
#else
  std::string longName(259 - DestinationFolder.size(), 'n');
#endif
  WriteFileBytes(dest / longName, "x");
  EXPECT_EQ(UnpackFile(DestinationFolder + longName, DestinationFolder, longName, 0, nullptr),
            kNameRefused);
  EXPECT_EQ(ui.dialogs.back().text, msg::kMsgNameTooLong);
}

TEST_F(FailureTest, AbortWhileDecodingLeavesNothingThatLooksWhole) {
  WriteFileBytes(work / "a.bin", RandomBytes(800000, 22));
  ASSERT_EQ(Pack("a.bin"), kDone);
  // An older a.bin there stays as it was; nothing half-written is left beside it.
  WriteFileBytes(dir.path / "game/a.bin", "older");
  OverwriteChoice = -1;
  ui.clearWorkActiveAfterPumps = ui.pumpCalls + 400000;
  EXPECT_EQ(Unpack("a.bin_lzs", dir.path / "game"), kAborted);
  EXPECT_EQ(ListTree(dir.path / "game"), std::vector<std::string>{"a.bin"});
  EXPECT_EQ(ReadFileBytes(dir.path / "game/a.bin"), "older");
}

TEST_F(FailureTest, CopyBranchOnAFullDiskIsAbandoned) {
  std::string why;
  if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: full-disk copy skipped, " << why;
  WriteFileBytes(work / "a.bin", RandomBytes(200000, 23));
  ASSERT_EQ(Pack("a.bin"), kDone);
  std::string bytes = ReadFileBytes(dest / "a.bin_lzs");
  bytes[56] = 1;  // copy_flag: delivered by copying
  WriteFileBytes(dest / "a.bin_lzs", bytes);
  TmpfsDrive game(dir.path / "game", 64 * 1024);
  ui.dialogs.clear();
  ui.answers = {1, 2};  // Retry, then Abort
  EXPECT_EQ(Unpack("a.bin_lzs", dir.path / "game"), kCopyAbandoned);
  ASSERT_EQ(ui.dialogs.size(), 2u);
  EXPECT_EQ(ui.dialogs[0].caption, msg::kMsgCopyFailed);
  EXPECT_EQ(ui.traces.back(), " /!P");
  EXPECT_FALSE(fs::exists(dir.path / "game" / "a.bin"));
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(FailureTest, SplitAndJoinFailures) {
  // The temporary compressed file has gone.
  EXPECT_EQ(rig.packer.SplitPieces(Inner(dir.path / "gone"), DestinationFolder + "m.bin_lzs",
                                   DestinationFolder),
            kSourceUnreadable);
  EXPECT_EQ(ui.dialogs.back().text, msg::kMsgSplitSourceMissing);
  EXPECT_EQ(ui.dialogs.back().style, 0x10u);

  // Abort before a piece: the head file stays with its line.
  WorkActive = 1;
  std::string temp = TwoPieceTemp();
  fs::create_directories(dest);
  ui.clearWorkActiveAfterPumps = ui.pumpCalls + 1;
  EXPECT_EQ(rig.packer.SplitPieces(temp, DestinationFolder + "m.bin_lzs", DestinationFolder),
            kAborted);
  EXPECT_TRUE(fs::exists(dest / "m.bin_lzs"));
  EXPECT_FALSE(fs::exists(dest / "m.bin_lzs1"));
  ui.clearWorkActiveAfterPumps = -1;

  // The join's output cannot be created.
  WorkActive = 1;
  EXPECT_EQ(
      rig.expander.JoinPieces(DestinationFolder + "m.bin_lzs", Inner(dir.path / "no/such/out"), {}),
      kJoinOutputFailed);
  EXPECT_EQ(ui.dialogs.back().text, msg::kMsgJoinOutputFailed);
  EXPECT_EQ(WorkActive, 0);

  // The head file cannot be read: asked for, then given up; no output is left.
  WorkActive = 1;
  ui.answers = {1, 2};
  fs::path out = dir.path / "joined";
  EXPECT_EQ(rig.expander.JoinPieces(DestinationFolder + "gone_lzs", Inner(out), {}), kAborted);
  EXPECT_EQ(ui.dialogs.back().text,
            Format(msg::kMsgHeadUnreadable, (DestinationFolder + "gone_lzs").c_str()));
  EXPECT_EQ(ui.dialogs.back().style, 0x41u);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
