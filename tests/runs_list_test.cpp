// The head of a list: its count line and the disk numbers, read as the
// readers of the period read them (a decimal of at most eight characters).
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "runs/list.h"

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

}  // namespace
