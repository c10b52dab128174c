// Packing one file onto the disk set and taking it back out, through every
// path of the two operations, on real files.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/resources/messages.h"
#include "codec/context.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "fileops/naming.h"
#include "runs/packer.h"
#include "support/run_fixture.h"
#include "text/format.h"

namespace {

class PackTest : public RunFixture {
 protected:
  // Packs work/<rel> (host '/' form) and returns the result.
  int Pack(const std::string& rel, int noSplit = 0, int forceCopy = 0) {
    std::string relative = Sjis(rel);
    for (auto& c : relative)
      if (c == '/') c = '\\';
    return PackFile(Inner(work / rel), DestinationFolder, &relative, noSplit, forceCopy, 0, &size);
  }
  int Unpack(const fs::path& gameFolder, const std::string& listed) {
    return UnpackFile(DestinationFolder + listed, InnerFolder(gameFolder), listed, 0, &size);
  }
  int32_t size = -1;
};

TEST_F(PackTest, WholeFileIsListedUnderTheDiskThatHoldsIt) {
  std::string data = "RIFF....WAVEfmt " + std::string(5000, 'x') + RandomBytes(3000, 1);
  WriteFileBytes(work / "data/bgm.wav", data);
  ASSERT_EQ(Pack("data/bgm.wav"), kDone);

  EXPECT_TRUE(fs::exists(dest / "data/bgm.wav_lzs"));
  EXPECT_EQ(ReadFileBytes(dest / "disk1.id"), "1");
  EXPECT_EQ(DiskId, 2);
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1", "1:data\\bgm.wav_lzs"}));
  EXPECT_EQ(size, static_cast<int32_t>(fs::file_size(dest / "data/bgm.wav_lzs")));
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_EQ(ui.MessageTexts()[0], Format(msg::kMsgDiskNumber, "sample", 1));
  EXPECT_EQ(ui.dialogs[0].style, 0x40u);
  EXPECT_TRUE(TempLeftovers().empty());

  ASSERT_EQ(Unpack(dir.path / "game", "data\\bgm.wav_lzs"), kDone);
  EXPECT_EQ(ReadFileBytes(dir.path / "game/data/bgm.wav"), data);
  EXPECT_EQ(size, static_cast<int32_t>(data.size()));
  EXPECT_EQ(WorkActive, 1);
}

TEST_F(PackTest, NameWithoutExtensionComesBackWithoutTrailingDot) {
  WriteFileBytes(work / "readme", "read me\r\n");
  ASSERT_EQ(Pack("readme"), kDone);
  ASSERT_TRUE(fs::exists(dest / "readme._lzs"));
  ASSERT_EQ(Unpack(dir.path / "game", "readme._lzs"), kDone);
  EXPECT_EQ(ListTree(dir.path / "game"), (std::vector<std::string>{"readme"}));
}

TEST_F(PackTest, EmptySourceWritesNothing) {
  WriteFileBytes(work / "empty.txt", "");
  EXPECT_EQ(Pack("empty.txt"), kSourceEmpty);
  EXPECT_FALSE(fs::exists(dest / "empty.txt_lzs"));
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1"}));  // the disk was marked first
  EXPECT_TRUE(TempLeftovers().empty());
  EXPECT_EQ(WorkActive, 1);
}

TEST_F(PackTest, CompressedSourcesBelowOnePieceAreCopiedAsTheyAre) {
  // A compressed file made by the tool itself stays as it is, without a list line.
  WriteFileBytes(work / "a.txt", "hello hello hello");
  ASSERT_EQ(Pack("a.txt"), kDone);
  fs::rename(dest / "a.txt_lzs", work / "b.bin");
  ASSERT_EQ(Pack("b.bin"), kDone);
  EXPECT_EQ(ReadFileBytes(dest / "b.bin"), ReadFileBytes(work / "b.bin"));
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1", "1:a.txt_lzs"}));
  EXPECT_EQ(ui.traces.back(), " /!P");
}

TEST_F(PackTest, CompressedSourceOfOnePieceOrMoreIsCompressedAgain) {
  std::string big(1048896, '\0');
  std::memcpy(big.data(), kSignature, 32);
  WriteFileBytes(work / "big.bin", big);
  ASSERT_EQ(Pack("big.bin"), kDone);
  EXPECT_TRUE(fs::exists(dest / "big.bin_lzs"));
  big.pop_back();
  WriteFileBytes(work / "small.bin", big);
  ASSERT_EQ(Pack("small.bin"), kDone);
  EXPECT_TRUE(fs::exists(dest / "small.bin"));
}

TEST_F(PackTest, SecondFileOfTheSameNameStopsTheRun) {
  WriteFileBytes(work / "a.txt", "abc");
  ASSERT_EQ(Pack("a.txt"), kDone);
  ASSERT_EQ(Pack("a.txt"), kNameRefused);
  EXPECT_EQ(WorkActive, 0);
  EXPECT_EQ(ui.dialogs.back().text, msg::kMsgSameName);
  EXPECT_EQ(ui.dialogs.back().caption, msg::kCaptionStop);
  EXPECT_EQ(ui.dialogs.back().style, 0x10u);
}

// The limits count the destination's folder part and the name, not its
// drive: at most 258 bytes joined, and at most 258 with "_lzs" for a file
// that gets the suffix. One byte more is refused before any folder is made.
TEST_F(PackTest, NamesAtTheLengthLimitsAreAcceptedAndOneByteMoreIsRefused) {
  const std::size_t root = DestinationFolder.size();
#ifdef _WIN32
  const std::size_t drive = 2;  // "C:": the "_lzs" check counts it, the join does not
#else
  const std::size_t drive = 0;  // no drive part on this host
#endif
  struct Case {
    std::size_t nameBytes;  // base name; the extension is ".t"
    int forceCopy;
    int result;
  } cases[] = {
      {258 - 4 - 2 - root, 0, kDone},                   // with "_lzs": exactly 258
      {258 - 4 - 2 - root + 1, 0, kNameRefused},        // 259
      {258 - 2 - (root - drive), 1, kDone},             // copied under its own name: 258
      {258 - 2 - (root - drive) + 1, 1, kNameRefused},  // 259
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nameBytes);
    fs::remove_all(dest);
    WorkActive = 1;
    const std::string name = std::string(c.nameBytes, 'n') + ".t";
    WriteFileBytes(work / name, "x");
    EXPECT_EQ(Pack(name, 0, c.forceCopy), c.result);
    EXPECT_EQ(fs::exists(dest), c.result == kDone);
    if (c.result != kDone) {
      EXPECT_EQ(ui.dialogs.back().text, msg::kMsgNameTooLong);
    }
    fs::remove(work / name);
  }

  // Unpacking counts the game folder's part and the listed name the same way.
  WorkActive = 1;
  WriteFileBytes(work / "a.t", "x");
  ASSERT_EQ(Pack("a.t"), kDone);
  std::size_t gameRoot = InnerFolder(dir.path / "game").size();
#ifdef _WIN32
  gameRoot -= 2;  // the drive does not count
#endif
  for (std::size_t extra : {0, 1}) {
    const std::string listed = std::string(258 - 6 - gameRoot + extra, 'u') + ".t_lzs";
    fs::copy_file(dest / "a.t_lzs", dest / listed, fs::copy_options::overwrite_existing);
    WorkActive = 1;
    EXPECT_EQ(Unpack(dir.path / "game", listed), extra ? kNameRefused : kDone) << extra;
  }
}

// Bytes from 1 to 255 in which no three follow each other twice: the coder
// finds no match, so every code is a literal and the stream is exactly
// n + ceil(n / 8) bytes.
std::string LiteralsOnly(std::size_t n) {
  std::string out;
  std::vector<bool> seen(1 << 24);
  std::mt19937 gen(7);
  while (out.size() < n) {
    unsigned char c = static_cast<unsigned char>(1 + gen() % 255);
    std::size_t k = out.size();
    if (k >= 2) {
      unsigned key = static_cast<unsigned char>(out[k - 2]) << 16 |
                     static_cast<unsigned char>(out[k - 1]) << 8 | c;
      if (seen[key]) continue;
      seen[key] = true;
    }
    out += static_cast<char>(c);
  }
  return out;
}

TEST_F(PackTest, CodeStreamOfExactly1MiBIsCut) {
  // 932,066 literals make a stream of 1,048,575 bytes; one more makes 1 MiB.
  for (std::size_t n : {932066u, 932067u}) {
    SCOPED_TRACE(n);
    fs::remove_all(dest);
    WorkActive = 1;
    DiskId = 1;
    WriteFileBytes(work / "e.bin", LiteralsOnly(n));
    ASSERT_EQ(Pack("e.bin"), kDone);
    LzsHeader h;
    DecodeHeader(reinterpret_cast<const unsigned char*>(ReadFileBytes(dest / "e.bin_lzs").data()),
                 h);
    ASSERT_EQ(h.packed_size, n == 932066u ? 1048575 : 1048576);
    if (n == 932066u) {
      EXPECT_EQ(fs::file_size(dest / "e.bin_lzs"), 320u + 1048575u);
      EXPECT_EQ(h.piece_count, 0);
    } else {
      EXPECT_EQ(fs::file_size(dest / "e.bin_lzs"), 320u);  // the head file
      EXPECT_EQ(h.piece_count, 1);
      EXPECT_EQ(fs::file_size(dest / "e.bin_lzs1"), 320u + 1048576u);
      EXPECT_FALSE(fs::exists(dest / "e.bin_lzs2"));
    }
  }
}

TEST_F(PackTest, UnreadableSourceAsksForTheDiskUntilCancelled) {
  ui.answers = {1, 2};  // OK (try again), Cancel
  EXPECT_EQ(Pack("missing.txt"), kSourceUnreadable);
  ASSERT_EQ(ui.dialogs.size(), 2u);
  EXPECT_EQ(ui.dialogs[0].text,
            Format(msg::kMsgSourceUnreadable, Inner(work / "missing.txt").c_str()));
  EXPECT_EQ(ui.dialogs[0].style, 0x41u);
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(PackTest, AbortWhileEncodingLeavesNothing) {
  WriteFileBytes(work / "a.bin", RandomBytes(300000, 2));
  ui.clearWorkActiveAfterPumps = 50;
  EXPECT_EQ(Pack("a.bin"), kAborted);
  EXPECT_FALSE(fs::exists(dest / "a.bin_lzs"));
  EXPECT_TRUE(TempLeftovers().empty());
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1"}));
}

TEST_F(PackTest, TemporaryFileThatCannotBeMadeStopsTheRun) {
  WriteFileBytes(work / "a.txt", "abc");
  setenv("TMPDIR", (dir.path / "no/such/folder").c_str(), 1);
  EXPECT_EQ(Pack("a.txt"), kTempCreateFailed);
  EXPECT_EQ(ui.dialogs.back().text, msg::kMsgTempFailedPack);
  EXPECT_EQ(WorkActive, 0);
}

TEST_F(PackTest, ListThatCannotBeWrittenStopsTheRun) {
  WriteFileBytes(work / "a.txt", "abc");
  setup.listTempPath = Inner(dir.path / "gone/list.lst");
  EXPECT_EQ(Pack("a.txt"), kNameRefused);
  EXPECT_EQ(WorkActive, 0);
  EXPECT_EQ(ui.dialogs.back().text, msg::kMsgListWriteFailed);
}

TEST_F(PackTest, NoSplitKeepsALargeStreamWhole) {
  WriteFileBytes(work / "tool.bin", RandomBytes(1100000, 3));
  ASSERT_EQ(Pack("tool.bin", /*noSplit=*/1), kDone);
  EXPECT_GT(fs::file_size(dest / "tool.bin_lzs"), 1048896u);
  EXPECT_FALSE(fs::exists(dest / "tool.bin_lzs1"));
}

TEST_F(PackTest, ForceCopyKeepsNameAndBytes) {
  WriteFileBytes(work / "kelvod",
                 "\x7f"
                 "ELF program");
  fs::permissions(work / "kelvod", fs::perms::owner_all);
  ASSERT_EQ(Pack("kelvod", 1, 1), kDone);
  EXPECT_EQ(ReadFileBytes(dest / "kelvod"), ReadFileBytes(work / "kelvod"));
#ifndef _WIN32  // no permission bits
  EXPECT_TRUE((fs::status(dest / "kelvod").permissions() & fs::perms::owner_exec) !=
              fs::perms::none);
#endif
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1"}));
}

TEST_F(PackTest, LargeStreamIsCutIntoPiecesAndJoinedBack) {
  std::string data = RandomBytes(2000000, 4);  // about 2.25 MB of stream: three pieces
  WriteFileBytes(work / "movie.avi", data);
  ASSERT_EQ(Pack("movie.avi"), kDone);
  EXPECT_EQ(fs::file_size(dest / "movie.avi_lzs"), 320u);
  EXPECT_EQ(fs::file_size(dest / "movie.avi_lzs1"), 1048896u);
  EXPECT_EQ(fs::file_size(dest / "movie.avi_lzs2"), 1048896u);
  EXPECT_FALSE(fs::exists(dest / "movie.avi_lzs4"));
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"ID1", "1:movie.avi_lzs", "1:movie.avi_lzs1",
                                                   "1:movie.avi_lzs2", "1:movie.avi_lzs3"}));
  EXPECT_TRUE(TempLeftovers().empty());

  ASSERT_EQ(Unpack(dir.path / "game", "movie.avi_lzs"), kDone);
  EXPECT_EQ(ReadFileBytes(dir.path / "game/movie.avi"), data);
  EXPECT_TRUE(TempLeftovers().empty());
  // A piece line names the expanded file: Overwrite gives 9 and keeps it.
  ui.answers = {1};
  EXPECT_EQ(Unpack(dir.path / "game", "movie.avi_lzs2"), kPieceSkipped);
  EXPECT_EQ(ReadFileBytes(dir.path / "game/movie.avi"), data);
}

TEST_F(PackTest, SkipIfNotNewerComparesLastWriteTimes) {
#ifdef _WIN32
  GTEST_SKIP() << "the C++ library sets file times in whole seconds on Windows";
#endif
  WriteFileBytes(work / "a", "1");
  WriteFileBytes(work / "b", "2");
  auto t = fs::last_write_time(work / "a");
  fs::last_write_time(work / "b", t);
  EXPECT_EQ(SkipIfNotNewer(rig.run, Inner(work / "a"), Inner(work / "b")), kNotNewer);
  EXPECT_EQ(ui.traces.back(), " /d_skip!");
  fs::last_write_time(work / "a", t + std::chrono::seconds(5));
  EXPECT_EQ(SkipIfNotNewer(rig.run, Inner(work / "a"), Inner(work / "b")), kDone);
  EXPECT_EQ(SkipIfNotNewer(rig.run, Inner(work / "a"), Inner(work / "none")), kDone);
}

}  // namespace
