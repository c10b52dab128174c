// Percentage arithmetic and the display protocol of the progress bar.
#include <gtest/gtest.h>

#include "app/dialogue/dialogue.h"
#include "support/scripted_frontend.h"

namespace {

struct ProgressTest : ::testing::Test {
  ScriptedFrontEnd fe;
  Dialogue ui{&fe};
};

TEST_F(ProgressTest, DivisionComesFirstAndTheProductIsTruncated) {
  ui.ResetProgress(100);
  EXPECT_EQ(ui.ProgressPercent(29), 28);
  EXPECT_EQ(ui.ProgressPercent(57), 56);
  EXPECT_EQ(ui.ProgressPercent(58), 57);
  EXPECT_EQ(ui.ProgressPercent(100), 100);
  ui.SetProgress(29);
  EXPECT_EQ(fe.percentTexts.back(), " 28%");
  EXPECT_EQ(fe.barPositions.back(), 28);
}

TEST_F(ProgressTest, ZeroRangeCountsAsOneAndTextGoesBeyondTheBar) {
  ui.ResetProgress(0);
  EXPECT_EQ(ui.ProgressRange(), 1u);
  ui.SetProgress(5);
  EXPECT_EQ(fe.percentTexts.back(), "500%");
  EXPECT_EQ(fe.barPositions.back(), 100);
  ui.SetProgress(0xFFFFFFFFu);
  EXPECT_EQ(fe.percentTexts.back(), "999%");
}

TEST_F(ProgressTest, ResetShowsZeroRightAlignedAndForcesTheNextUpdate) {
  ui.ResetProgress(100);
  ASSERT_EQ(fe.percentTexts.size(), 1u);
  EXPECT_EQ(fe.percentTexts[0], "  0%");
  ui.SetProgress(7);
  EXPECT_EQ(fe.percentTexts.back(), "  7%");
  // The same percentage again changes nothing.
  ui.SetProgress(7);
  ui.ResetProgress(100);
  EXPECT_EQ(fe.percentTexts.size(), 3u);
  EXPECT_EQ(fe.percentTexts.back(), "  0%");
  EXPECT_EQ(ui.LastShownPercent(), 0);
}

// The shortcut for unchanged percentages must show exactly what computing
// every value afresh shows, whichever way the values move.
TEST(Progress, ShortcutShowsEveryChangeExactlyOnce) {
  for (uint32_t range : {1u, 3u, 100u, 1000u, 4097u, 1234567u, 0xFFFFFFFFu}) {
    ScriptedFrontEnd fe;
    Dialogue ui(&fe);
    ui.ResetProgress(range);
    std::vector<std::string> expected = {"  0%"};
    int32_t last = 0;
    uint32_t step = range / 997 + 1;
    auto feed = [&](uint32_t v) {
      ui.SetProgress(v);
      int32_t p = ui.ProgressPercent(v);
      if (p != last) {
        char text[16];
        std::snprintf(text, sizeof text, "%3d%%", static_cast<int>(p));
        expected.push_back(text);
        last = p;
      }
    };
    for (uint64_t v = 0; v <= range && v <= 0xFFFFFFFFull; v += step)
      feed(static_cast<uint32_t>(v));
    feed(range / 2);  // backwards
    feed(range);
    EXPECT_EQ(fe.percentTexts, expected) << "range " << range;
  }
}

}  // namespace
