#include <gtest/gtest.h>

#include "app/commands/progress_line.h"

namespace {

TEST(ProgressLine, LongNamesKeepTheirEndAndWholeCharacters) {
  EXPECT_EQ(EndOfName("data/a.txt", 10), "data/a.txt");
  EXPECT_EQ(EndOfName("data/a.txt", 9), ".../a.txt");
  EXPECT_EQ(EndOfName("data/a.txt", 3), "");
  // "ゲーム.txt": three bytes a kana; a cut inside one moves past it.
  const std::string name = "\xe3\x82\xb2\xe3\x83\xbc\xe3\x83\xa0.txt";
  EXPECT_EQ(EndOfName(name, 12), "...\xe3\x83\xa0.txt");
  EXPECT_EQ(EndOfName(name, 9), "....txt");
}

}  // namespace
