// The head of a list: its count line and the disk numbers, read as the
// readers of the period read them (a decimal of at most eight characters).
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "codec/header.h"
#include "runs/list.h"
#include "support/disk_fixtures.h"

namespace {

TEST(ListHead, CountLineAndDiskLinesAreReadAsDecimals) {
  const struct {
    const char* count;
    int32_t diskCount;
  } counts[] = {
      {"       3", 3},         {"3 disks", 3},   {"\t+12", 12}, {"-2", -2},
      {"123456789", 12345678}, {"no number", 0}, {"", 0},       {"-", 0},
  };
  for (const auto& c : counts)
    EXPECT_EQ(ParseList(std::string(c.count) + "\ntitle\nID1\n1:a_lzs\nID0\n").diskCount,
              c.diskCount)
        << '"' << c.count << '"';

  const std::string body = "       2\ntitle\nID1\n1:a_lzs\nID0\n";
  EXPECT_EQ(ParseList(body + "ID3\n").lastDisk, 3);
  EXPECT_EQ(ParseList(body + "IDx\n").lastDisk, 1);
  EXPECT_EQ(ParseList(body + "ID99999999999\n").lastDisk, INT_MAX);  // saturates, never wraps
}

// The last disk must hold the list a make writes: its bound, taken before
// the first disk, is checked against the worst list the rule allows (every
// code stream at the coder's worst, every line on a disk of its own), and
// kept close to it so that no fitting set is refused.
TEST(ListSizeBound, HoldsTheWorstListAndNoMore) {
  // Just below and at the stream size that cuts a file into pieces, a name
  // without extension, a long name over many pieces.
  int64_t cut = int64_t{kPieceStreamSize} * 8 / 9 - 8;
  while (cut + (cut + 7) / 8 < kPieceStreamSize) ++cut;
  const struct {
    std::string relative;
    int64_t length;
  } files[] = {
      {"readme", 7},
      {"data\\below.bin", cut - 1},
      {"data\\at.bin", cut},
      {"movie\\" + std::string(180, 'm') + ".avi", 12 * int64_t{kPieceStreamSize}},
  };
  TempDir dir;
  const std::string path = Inner(dir.path / "kelvod.lst");
  const std::string destination = InnerFolder(dir.path);
  ListWriter writer(path, destination);
  ListSizeBound bound("sample");
  ASSERT_TRUE(writer.Start("sample"));
  int32_t disk = 1;
  auto line = [&](const std::string& name) {
    ASSERT_TRUE(writer.AppendDiskLine(disk));
    ASSERT_TRUE(writer.AppendFileLine(destination + name, disk + 1));
    ++disk;
  };
  for (const auto& f : files) {
    bound.Add(f.relative, f.length);
    const std::string head =
        f.relative + (f.relative.find('.') == std::string::npos ? "._lzs" : "_lzs");
    line(head);
    const int64_t stream = f.length + (f.length + 7) / 8;  // a flag byte per eight literals
    if (stream < kPieceStreamSize) continue;
    for (int32_t k = 1; k <= PieceCountFor(stream); ++k) line(head + std::to_string(k));
  }
  ASSERT_TRUE(writer.AppendDiskLine(disk));  // the last disk: the program and the list
  const int64_t actual = writer.Finish(disk);
  ASSERT_GT(actual, 0);
  EXPECT_GE(bound.Bytes(), static_cast<uint64_t>(actual))
      << "bound " << bound.Bytes() << ", list " << actual;
  EXPECT_LE(bound.Bytes(), static_cast<uint64_t>(actual + 64))
      << "bound " << bound.Bytes() << ", list " << actual;
  EXPECT_EQ(ParseList(ReadFileBytes(dir.path / "kelvod.lst")).lastDisk, disk);
}

}  // namespace
