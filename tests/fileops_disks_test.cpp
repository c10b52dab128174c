// Disk changes on real full disks: small tmpfs file systems stand for the
// disk in the drive, and a retry prompt is the moment the user inserts a
// fresh one.
#include <gtest/gtest.h>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/resources/messages.h"
#include "codec/context.h"
#include "codec/result_code.h"
#include "fileops/naming.h"
#include "runs/packer.h"
#include "support/run_fixture.h"
#include "text/format.h"

namespace {

constexpr std::size_t kFloppy = 1474560;

class DiskTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    std::string why;
    if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: disk tests skipped, " << why;
    drive = std::make_unique<TmpfsDrive>(dir.path / "A", kFloppy);
    ASSERT_TRUE(drive->mounted());
    SetDestination(dir.path / "A" / "sample");
    shelf = dir.path / "shelf";
  }
  void TearDown() override {
    drive.reset();
    RunFixture::TearDown();
  }
  int Pack(const std::string& rel) {
    std::string relative = rel;
    for (auto& c : relative)
      if (c == '/') c = '\\';
    return PackFile(Inner(work / rel), DestinationFolder, &relative, 0, 0, 0, nullptr);
  }
  // Every retry prompt is answered by changing the disk and pressing Retry.
  void ChangeDiskOnRetry() {
    ui.onDialog = [this](const RecordedDialog& d) {
      if (d.kind == RecordedDialog::kRetry) {
        ejected.push_back(drive->Change(shelf));
        ui.answers.push_front(1);
      }
    };
  }
  std::unique_ptr<TmpfsDrive> drive;
  fs::path shelf;
  std::vector<fs::path> ejected;
};

TEST_F(DiskTest, FileCutAcrossDisksListsEachPieceUnderItsDisk) {
  WriteFileBytes(work / "sample.qzm", "project");
  WriteFileBytes(work / "data/title.bmp", "BM" + std::string(30000, '\x10'));
  WriteFileBytes(work / "data/se/shot.wav", "RIFF" + RandomBytes(20000, 5));
  std::string movie = RandomBytes(2100000, 6);  // three pieces, the last about 0.3 MB
  WriteFileBytes(work / "movie.avi", movie);
  WriteFileBytes(work / "readme.txt", "read me");
  ChangeDiskOnRetry();

  for (const char* f :
       {"sample.qzm", "data/title.bmp", "data/se/shot.wav", "movie.avi", "readme.txt"})
    ASSERT_EQ(Pack(f), kDone) << f;

  EXPECT_EQ(ListLines(), (std::vector<std::string>{
                             "ID1", "1:sample.qzm_lzs", "1:data\\title.bmp_lzs",
                             "1:data\\se\\shot.wav_lzs", "1:movie.avi_lzs", "1:movie.avi_lzs1",
                             "ID2", "2:movie.avi_lzs2", "2:movie.avi_lzs3", "2:readme.txt_lzs"}));
  ASSERT_EQ(ejected.size(), 1u);
  // The retry prompt named the piece that did not fit; the failed piece was deleted.
  auto retry = std::find_if(ui.dialogs.begin(), ui.dialogs.end(), [](const RecordedDialog& d) {
    return d.kind == RecordedDialog::kRetry;
  });
  ASSERT_NE(retry, ui.dialogs.end());
  EXPECT_EQ(retry->text, DestinationFolder + "movie.avi_lzs2");
  EXPECT_EQ(retry->caption, msg::kMsgSplitWriteFailed);
  EXPECT_EQ(ListTree(ejected[0] / "sample"),
            (std::vector<std::string>{"data/se/shot.wav_lzs", "data/title.bmp_lzs", "disk1.id",
                                      "movie.avi_lzs", "movie.avi_lzs1", "sample.qzm_lzs"}));
  EXPECT_EQ(ListTree(dest), (std::vector<std::string>{"disk2.id", "movie.avi_lzs2",
                                                      "movie.avi_lzs3", "readme.txt_lzs"}));
  EXPECT_EQ(DiskId, 3);

  // Expand from the two disks, inserting each when it is asked for.
  fs::path disk2 = drive->Change(shelf);
  drive.reset();
  fs::path drivePath = dir.path / "B";
  fs::rename(ejected[0], drivePath);
  DestinationFolder = InnerFolder(drivePath / "sample");
  fs::path game = dir.path / "game";
  ui.dialogs.clear();
  ui.onDialog = [&](const RecordedDialog& d) {
    if (d.kind == RecordedDialog::kMessage && d.text.find(Sjis("分割ﾌｧｲﾙ")) != std::string::npos) {
      fs::rename(drivePath, dir.path / "disk1-out");
      fs::rename(disk2, drivePath);
    }
  };
  ui.answers = {1};
  ASSERT_EQ(UnpackFile(DestinationFolder + "movie.avi_lzs", InnerFolder(game), "movie.avi_lzs", 0,
                       nullptr),
            kDone);
  EXPECT_EQ(ReadFileBytes(game / "movie.avi"), movie);
}

TEST_F(DiskTest, RetryAfterFreeingSpaceOnTheSameDisk) {
  WriteFileBytes(work / "first.txt", "the disk gets its marker with this file");
  WriteFileBytes(work / "a.bin", RandomBytes(600000, 8));
  ASSERT_EQ(Pack("first.txt"), kDone);
  WriteFileBytes(dir.path / "A" / "junk", std::string(1000000, 'j'));
  ui.dialogs.clear();
  ui.onDialog = [&](const RecordedDialog& d) {
    if (d.kind == RecordedDialog::kRetry) {
      fs::remove(dir.path / "A" / "junk");
      ui.answers.push_front(1);
    }
  };
  ASSERT_EQ(Pack("a.bin"), kDone);
  // The marker this run wrote is recognised: no second marker, same disk.
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1", "1:first.txt_lzs", "1:a.bin_lzs"}));
  ASSERT_EQ(ui.dialogs.size(), 1u);
  EXPECT_EQ(ui.dialogs[0].kind, RecordedDialog::kRetry);
  EXPECT_EQ(ui.dialogs[0].caption, msg::kMsgCopyFailed);
  EXPECT_TRUE(TempLeftovers().empty());
}

// A marker this run did not write (an interrupted run's, another set's, any
// "*.id") means the disk is not empty: files listed under it could never be
// expanded. Retry with an empty disk goes on; Abort stops the run.
TEST_F(DiskTest, MarkerOfAnotherRunMeansTheDiskIsNotEmpty) {
  for (const char* stale : {"disk1.id", "notes.id"}) {
    SCOPED_TRACE(stale);
    drive->Change();
    fs::create_directories(dest);
    WriteFileBytes(dest / stale, "1");
    WriteFileBytes(setup.listTempPath.empty() ? dir.path / "x" : dir.path / "list.lst", "");
    DiskId = 1;
    WorkActive = 1;
    ui.dialogs.clear();
    WriteFileBytes(work / "a.txt", "abc");
    ui.answers = {kButtonRetryAbort};
    EXPECT_EQ(Pack("a.txt"), kNameRefused);
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].kind, RecordedDialog::kRetry);
    EXPECT_EQ(ui.dialogs[0].text, DestinationFolder + stale);
    EXPECT_EQ(ui.dialogs[0].caption, msg::kMsgForeignMarker);
    EXPECT_EQ(WorkActive, 0);
    EXPECT_TRUE(ListLines().empty());

    // The user puts an empty disk in and retries.
    WorkActive = 1;
    ui.answers = {kButtonRetry};
    ui.onDialog = [&](const RecordedDialog& d) {
      if (d.kind == RecordedDialog::kRetry) drive->Change();
    };
    EXPECT_EQ(Pack("a.txt"), kDone);
    ui.onDialog = nullptr;
    EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1", "1:a.txt_lzs"}));
    EXPECT_EQ(ReadFileBytes(dest / "disk1.id"), "1");
  }
}

TEST_F(DiskTest, WholeFileRetriedOnAFreshDiskGetsTheNextId) {
  WriteFileBytes(work / "a.bin", RandomBytes(900000, 10));
  WriteFileBytes(work / "b.bin", RandomBytes(700000, 11));
  ChangeDiskOnRetry();
  ASSERT_EQ(Pack("a.bin"), kDone);
  ASSERT_EQ(Pack("b.bin"), kDone);
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1", "1:a.bin_lzs", "ID2", "2:b.bin_lzs"}));
  // The number message was shown again for the fresh disk.
  EXPECT_EQ(ui.MessageTexts().back(), Format(msg::kMsgDiskNumber, "sample", 2));
  EXPECT_FALSE(fs::exists(ejected[0] / "sample" / "b.bin_lzs"));  // partial copy removed
}

TEST_F(DiskTest, AbortInTheRetryPromptStopsTheRun) {
  WriteFileBytes(work / "a.bin", RandomBytes(1600000, 12));
  ui.answers = {};  // Escape: abort
  EXPECT_EQ(Pack("a.bin"), kAborted);
  EXPECT_EQ(WorkActive, 0);
  EXPECT_TRUE(TempLeftovers().empty());
  // Head and first piece stay with their lines; the failed piece is gone.
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1", "1:a.bin_lzs", "1:a.bin_lzs1"}));
  EXPECT_FALSE(fs::exists(dest / "a.bin_lzs2"));
}

}  // namespace
