// Taking files out of a disk set: header tests, overwrite answers, joins of
// damaged pieces, and listed names that try to leave the folders.
#include <gtest/gtest.h>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/resources/messages.h"
#include "codec/context.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "fileops/naming.h"
#include "runs/expander.h"
#include "runs/packer.h"
#include "support/run_fixture.h"
#include "text/cp932.h"
#include "text/format.h"

namespace {

class UnpackTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    game = dir.path / "game";
  }
  // Packs data as work/<name> onto the disk set (dest) and resets the run state.
  void Packed(const std::string& name, const std::string& data) {
    WriteFileBytes(work / name, data);
    std::string rel = Sjis(name);
    ASSERT_EQ(PackFile(Inner(work / name), DestinationFolder, &rel, 0, 0, 0, nullptr), kDone);
    ui.dialogs.clear();
  }
  int Unpack(const std::string& listed) {
    return UnpackFile(DestinationFolder + listed, InnerFolder(game), listed, 0, &size);
  }
  // Rewrites one 32-bit header field of a file on the disk set.
  void Patch(const std::string& name, int offset, int32_t value) {
    std::string bytes = ReadFileBytes(dest / name);
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    WriteFileBytes(dest / name, bytes);
  }
  fs::path game;
  int32_t size = -1;
};

TEST_F(UnpackTest, SuffixIsCutAtUpperCaseFirstThenLowerCase) {
  Packed("a.wav", "wave data wave data");
  fs::copy_file(dest / "a.wav_lzs", dest / "b.wav_LZS");
  fs::copy_file(dest / "a.wav_lzs", dest / "c.wav_Lzs");
  fs::copy_file(dest / "a.wav_lzs", dest / "d.x_lzs_LZS");
  EXPECT_EQ(Unpack("a.wav_lzs"), kDone);
  EXPECT_EQ(Unpack("b.wav_LZS"), kDone);
  EXPECT_EQ(Unpack("c.wav_Lzs"), kDone);
  EXPECT_EQ(Unpack("d.x_lzs_LZS"), kDone);
  EXPECT_EQ(ListTree(game), (std::vector<std::string>{"a.wav", "b.wav", "c.wav_Lzs", "d.x_lzs"}));
}

TEST_F(UnpackTest, HeaderTestsDecideWhatHappens) {
  Packed("v.txt", "version test");
  Patch("v.txt_lzs", 36, 101);
  EXPECT_EQ(Unpack("v.txt_lzs"), kVersionMismatch);
  EXPECT_EQ(ui.dialogs.back().text, msg::kMsgVersion);
  EXPECT_EQ(ui.dialogs.back().style, 0x40u);
  EXPECT_EQ(WorkActive, 1);  // the run goes on

  Packed("p.txt", "piece test");
  Patch("p.txt_lzs", 48, 2);
  EXPECT_EQ(Unpack("p.txt_lzs"), kPieceSkipped);
  EXPECT_FALSE(fs::exists(game / "p.txt"));

  WriteFileBytes(dest / "plain.txt", "no header here");
  WriteFileBytes(game / "plain.txt", "keep me");
  ui.answers = {1};  // overwrite: asked before the header is read
  EXPECT_EQ(Unpack("plain.txt"), kDone);
  EXPECT_EQ(ReadFileBytes(game / "plain.txt"), "keep me");

  Packed("z.txt", "size test");
  Patch("z.txt_lzs", 40, 0);
  EXPECT_EQ(Unpack("z.txt_lzs"), kBadOriginalSize);
  EXPECT_EQ(ui.dialogs.back().text, msg::kMsgBadSize);
  EXPECT_EQ(WorkActive, 0);

  // Cut inside its header: damage, reported, not left out as "not compressed".
  WorkActive = 1;
  Packed("c.txt", "cut short");
  fs::resize_file(dest / "c.txt_lzs", 100);
  EXPECT_EQ(Unpack("c.txt_lzs"), kDamagedStream);
  EXPECT_EQ(WorkActive, 0);
  EXPECT_FALSE(fs::exists(game / "c.txt"));
}

TEST_F(UnpackTest, OverwriteAnswers) {
  Packed("a.txt", "new contents");
  WriteFileBytes(game / "a.txt", "old");
  ui.answers = {2};  // Skip
  EXPECT_EQ(Unpack("a.txt_lzs"), kOverwriteSkipped);
  EXPECT_EQ(ReadFileBytes(game / "a.txt"), "old");
  EXPECT_EQ(ui.traces.back(), " /w_skip!");

  ui.answers = {1};  // Overwrite
  EXPECT_EQ(Unpack("a.txt_lzs"), kDone);
  EXPECT_EQ(ReadFileBytes(game / "a.txt"), "new contents");

  ui.answers = {3};  // Overwrite all: no later question
  WriteFileBytes(game / "a.txt", "old");
  EXPECT_EQ(Unpack("a.txt_lzs"), kDone);
  EXPECT_EQ(OverwriteChoice, -1);
  std::size_t asked = ui.dialogs.size();
  EXPECT_EQ(Unpack("a.txt_lzs"), kDone);
  EXPECT_EQ(ui.dialogs.size(), asked);

  OverwriteChoice = 0;
  ui.answers = {4};  // Abort
  EXPECT_EQ(Unpack("a.txt_lzs"), kOverwriteSkipped);
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(UnpackTest, HostileNamesAreRefusedAndNothingIsWritten) {
  Packed("a.txt", "secret");
  fs::create_directories(game);
  const char* hostile[] = {"..\\a.txt_lzs",
                           "\\a.txt_lzs",
                           "/a.txt_lzs",
                           "C:a.txt_lzs",
                           "x\\..\\..\\a.txt_lzs",
                           "x/../../a.txt_lzs",
                           ".\\a.txt_lzs",
                           "x\\...\\a.txt_lzs",
                           "\\\\srv\\share\\a.txt_lzs",
                           "a\x01.txt_lzs",
                           "",
                           "x\\\\a.txt_lzs"};
  for (const char* name : hostile) {
    WorkActive = 1;
    ui.dialogs.clear();
    EXPECT_EQ(Unpack(name), kNameRefused) << name;
    EXPECT_EQ(WorkActive, 0) << name;
    ASSERT_EQ(ui.dialogs.size(), 1u) << name;
    // Control characters of a hostile name are shown as '?'.
    EXPECT_EQ(ui.dialogs[0].text, Format(msg::kMsgUnsafeName, cp932::Printable(name).c_str()));
    EXPECT_EQ(ui.dialogs[0].caption, msg::kCaptionStop);
    EXPECT_EQ(ui.dialogs[0].style, 0x10u);
  }
  EXPECT_TRUE(ListTree(game).empty());
  EXPECT_EQ(ListTree(dir.path / "tmp").size(), 0u);

  // Whole components decide, never prefixes; 0x5C as a second byte is no separator.
  EXPECT_TRUE(IsSafeRelativeName("a..b\\..c.txt_lzs"));
  EXPECT_TRUE(IsSafeRelativeName(Sjis("データ\\ソ\\表.bmp_lzs")));
  EXPECT_FALSE(IsSafeRelativeName("data\\.."));
}

TEST_F(UnpackTest, DamagedStreamIsReportedAndNothingIsLeft) {
  Packed("a.bin", RandomBytes(5000, 7));
  std::string bytes = ReadFileBytes(dest / "a.bin_lzs");
  WriteFileBytes(dest / "a.bin_lzs", bytes.substr(0, bytes.size() - 100));
  EXPECT_EQ(Unpack("a.bin_lzs"), kDamagedStream);
  EXPECT_EQ(ui.dialogs.back().text,
            Format(msg::kMsgDamagedStream, (DestinationFolder + "a.bin_lzs").c_str()));
  EXPECT_FALSE(fs::exists(game / "a.bin"));
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(UnpackTest, StreamLongerThanItsHeaderSaysIsDamaged) {
  // What a disk of another set holds under the same name: the codes end
  // before the stream does.
  Packed("a.bin", RandomBytes(5000, 7));
  WriteFileBytes(dest / "a.bin_lzs", ReadFileBytes(dest / "a.bin_lzs") + "more");
  EXPECT_EQ(Unpack("a.bin_lzs"), kDamagedStream);
  Patch("a.bin_lzs", 44, static_cast<int32_t>(fs::file_size(dest / "a.bin_lzs") - 320));
  WorkActive = 1;
  EXPECT_EQ(Unpack("a.bin_lzs"), kDamagedStream);
  EXPECT_FALSE(fs::exists(game / "a.bin"));
}

TEST_F(UnpackTest, OutputThatCannotBeWrittenAsksToRetry) {
  Packed("a.txt", "text");
  fs::create_directories(game / "a.txt");  // a folder where the file should go
  OverwriteChoice = -1;                    // no overwrite question
  ui.answers = {1 /* retry */, 2 /* abort */};
  EXPECT_EQ(Unpack("a.txt_lzs"), kAborted);
  int retries = 0;
  for (const auto& d : ui.dialogs)
    if (d.kind == RecordedDialog::kRetry) {
      ++retries;
      EXPECT_EQ(d.caption, msg::kMsgOutputUnwritable);
    }
  EXPECT_EQ(retries, 2);
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(UnpackTest, CopyFlagDeliversTheStoredBytes) {
  Packed("a.txt", "copied, not decoded");
  Patch("a.txt_lzs", 56, 1);
  ASSERT_EQ(Unpack("a.txt_lzs"), kDone);
  EXPECT_EQ(ReadFileBytes(game / "a.txt"), ReadFileBytes(dest / "a.txt_lzs"));
  EXPECT_EQ(ui.traces, std::vector<std::string>{" /!P"});
}

class JoinTest : public UnpackTest {
 protected:
  void SetUp() override {
    UnpackTest::SetUp();
    data = RandomBytes(1500000, 9);  // two pieces
    Packed("m.avi", data);
    ASSERT_TRUE(fs::exists(dest / "m.avi_lzs2"));
    ASSERT_FALSE(fs::exists(dest / "m.avi_lzs3"));
  }
  std::string data;
};

TEST_F(JoinTest, MissingPieceIsAskedForUntilItIsThere) {
  fs::path away = dir.path / "disk2";
  fs::create_directories(away);
  fs::rename(dest / "m.avi_lzs2", away / "m.avi_lzs2");
  ui.answers = {1, 1};
  ui.onDialog = [&](const RecordedDialog& d) {
    // The second time the user has put the disk with piece 2 in.
    if (d.kind == RecordedDialog::kMessage && ui.dialogs.size() == 1)
      fs::rename(away / "m.avi_lzs2", dest / "m.avi_lzs2");
  };
  ASSERT_EQ(Unpack("m.avi_lzs"), kDone);
  EXPECT_EQ(ReadFileBytes(game / "m.avi"), data);
  ASSERT_EQ(ui.dialogs.size(), 2u);
  std::string piece = DestinationFolder + "m.avi_lzs2";
  EXPECT_EQ(ui.dialogs[0].text, Format(msg::kMsgPieceUnreadable, piece.c_str()));
  EXPECT_EQ(ui.dialogs[0].style, 0x41u);
  EXPECT_TRUE(TempLeftovers().empty());
}

TEST_F(JoinTest, ShortOrForeignPiecesAreRefused) {
  std::string piece = ReadFileBytes(dest / "m.avi_lzs1");
  WriteFileBytes(dest / "m.avi_lzs1", piece.substr(0, piece.size() - 1));
  ui.answers = {2};  // Cancel
  EXPECT_EQ(Unpack("m.avi_lzs"), kAborted);
  EXPECT_FALSE(fs::exists(game / "m.avi"));
  EXPECT_TRUE(TempLeftovers().empty());

  // The signature in other letter case is no signature for a join.
  std::string upper = piece;
  for (int i = 0; i < 31; ++i) upper[i] = static_cast<char>(std::tolower(upper[i]));
  WriteFileBytes(dest / "m.avi_lzs1", upper);
  WorkActive = 1;
  ui.answers = {2};
  EXPECT_EQ(Unpack("m.avi_lzs"), kAborted);

  // A piece that does not belong to its head (another set's, a longer one,
  // another index) is asked for again, never joined.
  const std::pair<int, int32_t> foreign[] = {{48, 7}, {40, 1500001}, {44, 99}, {52, 3}, {60, 'x'}};
  for (const auto& [offset, value] : foreign) {
    WriteFileBytes(dest / "m.avi_lzs1", piece);
    Patch("m.avi_lzs1", offset, value);
    WorkActive = 1;
    ui.answers = {2};
    EXPECT_EQ(Unpack("m.avi_lzs"), kAborted) << offset;
  }
  WriteFileBytes(dest / "m.avi_lzs1", piece);
  WriteFileBytes(dest / "m.avi_lzs2", ReadFileBytes(dest / "m.avi_lzs2") + "x");
  WorkActive = 1;
  ui.answers = {2};
  EXPECT_EQ(Unpack("m.avi_lzs"), kAborted);
  EXPECT_FALSE(fs::exists(game / "m.avi"));
  EXPECT_TRUE(TempLeftovers().empty());
}

TEST_F(JoinTest, JoinLeavesTheLastPiecesHeader) {
  TempDir out;
  ASSERT_EQ(
      rig.expander.JoinPieces(DestinationFolder + "m.avi_lzs", Inner(out.path / "joined"), {}),
      kDone);
  EXPECT_EQ(Codec.header.piece_index, 2);
  EXPECT_EQ(Codec.header.original_size, 1500000);
  EXPECT_EQ(ui.traces, (std::vector<std::string>{" /2 ", ">", ">"}));
  EXPECT_EQ(fs::file_size(out.path / "joined"),
            fs::file_size(dest / "m.avi_lzs1") + fs::file_size(dest / "m.avi_lzs2") - 640);
}

TEST_F(JoinTest, CopyFlagOnAHeadFileDeliversTheJoinedStream) {
  Patch("m.avi_lzs", 56, 1);
  ASSERT_EQ(Unpack("m.avi_lzs"), kDone);
  EXPECT_EQ(ReadFileBytes(game / "m.avi"), ReadFileBytes(dest / "m.avi_lzs1").substr(320) +
                                               ReadFileBytes(dest / "m.avi_lzs2").substr(320));
  EXPECT_TRUE(TempLeftovers().empty());
}

}  // namespace
