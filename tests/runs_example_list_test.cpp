// The example set of the list format: movie.avi cut into three pieces, the
// first disk full while piece 2 is written. Making it gives the list line
// for line; expanding it asks exactly the questions a user of such a set
// meets, in order: the piece lines of the file just expanded from its head
// raise no overwrite prompt for it.
#include <gtest/gtest.h>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/resources/messages.h"
#include "codec/context.h"
#include "codec/result_code.h"
#include "runs/list.h"
#include "runs/packer.h"
#include "runs/run_handler.h"
#include "support/run_fixture.h"
#include "text/format.h"

namespace {

std::string Lf(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

TEST_F(RunFixture, ExampleListIsMadeAndExpandedWithItsPrompts) {
  std::string why;
  if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: example set skipped, " << why;
  fs::path shelf = dir.path / "shelf";
  std::vector<fs::path> disks;
  std::string movie = RandomBytes(2100000, 31);
  {
    TmpfsDrive drive(dir.path / "A", 1474560);
    SetDestination(dir.path / "A" / "sample");
    WriteFileBytes(work / "sample.qzm", "project");
    WriteFileBytes(work / "data/title.bmp", "BM" + std::string(30000, '\x10'));
    WriteFileBytes(work / "data/se/shot.wav", "RIFF" + RandomBytes(20000, 32));
    WriteFileBytes(work / "movie.avi", movie);
    WriteFileBytes(work / "readme.txt", "read me");
    ui.onDialog = [&](const RecordedDialog& d) {
      if (d.kind == RecordedDialog::kRetry) {
        disks.push_back(drive.Change(shelf));
        ui.answers.push_front(1);
      }
    };
    ASSERT_TRUE(rig.list.Start(setup.title));
    for (std::string f :
         {"sample.qzm", "data\\title.bmp", "data\\se\\shot.wav", "movie.avi", "readme.txt"}) {
      std::string host = f;
      std::replace(host.begin(), host.end(), '\\', '/');
      ASSERT_EQ(PackFile(Inner(work / host), DestinationFolder, &f, 0, 0, 0, nullptr), kDone);
    }
    ASSERT_GT(rig.list.Finish(DiskId), 0);
    disks.push_back(drive.Change(shelf));
  }
  EXPECT_EQ(ListLines(),
            (std::vector<std::string>{
                "       3", "sample", "ID1", "1:sample.qzm_lzs", "1:data\\title.bmp_lzs",
                "1:data\\se\\shot.wav_lzs", "1:movie.avi_lzs", "1:movie.avi_lzs1", "ID2",
                "2:movie.avi_lzs2", "2:movie.avi_lzs3", "2:readme.txt_lzs", "ID0"}));

  // Expand: drive B holds whichever disk the user has put in.
  ASSERT_EQ(disks.size(), 2u);
  fs::path driveB = dir.path / "B";
  int inDrive = 0;
  auto insert = [&](int k) {
    if (inDrive == k) return;
    if (inDrive) fs::rename(driveB, disks[inDrive - 1] / "sample");
    fs::rename(disks[k - 1] / "sample", driveB);
    inDrive = k;
  };
  insert(1);
  state.RunMode = ExtractMode;
  WorkActive = 0;
  rig.ui.MainWindowOpened();
  setenv("XDG_DATA_HOME", (dir.path / "xdg").c_str(), 1);
  state.ListBuffer = Lf(ReadFileBytes(dir.path / "list.lst"));
  fs::path game = dir.path / "game";
  ui.controlTexts[kSourceField] = Inner(driveB);
  ui.controlTexts[kDestinationField] = Inner(game);
  ui.dialogs.clear();
  const std::string source = InnerFolder(driveB);
  const std::string insertDisk1 = Format(msg::kMsgInsertDisk, "sample", 1);
  const std::string insertDisk2 = Format(msg::kMsgInsertDisk, "sample", 2);
  const std::string pieceMissing =
      Format(msg::kMsgPieceUnreadable, (source + "movie.avi_lzs2").c_str());
  const std::string sourceMissing =
      Format(msg::kMsgSourceUnreadable, (source + "movie.avi_lzs1").c_str());
  ui.onDialog = [&](const RecordedDialog& d) {
    if (d.text == insertDisk1 || d.text == sourceMissing) insert(1);
    if (d.text == insertDisk2 || d.text == pieceMissing) insert(2);
    ui.answers.push_front(1);  // OK, Overwrite
  };
  rig.window.RunCommand();
  ASSERT_TRUE(rig.ui.MainWindowClosed());

  std::vector<std::string> seen;
  for (const auto& d : ui.dialogs)
    seen.push_back(d.kind == RecordedDialog::kOverwrite ? "overwrite " + d.text : d.text);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      Format(msg::kMsgConfirmExtract, Inner(driveB).c_str(), Inner(game).c_str()),
                      insertDisk1, pieceMissing, sourceMissing, insertDisk2, msg::kMsgDone}));
  EXPECT_EQ(ReadFileBytes(game / "movie.avi"), movie);
  EXPECT_EQ(ReadFileBytes(game / "readme.txt"), "read me");
  EXPECT_EQ(ListTree(game), (std::vector<std::string>{"data/se/shot.wav", "data/title.bmp",
                                                      "movie.avi", "readme.txt", "sample.qzm"}));
}

}  // namespace
