// The list line reader and the busy/idle states of the main window.
#include <gtest/gtest.h>

#include <string>

#include "app/dialogue/dialogue.h"
#include "runs/list.h"
#include "support/scripted_frontend.h"

namespace {

using namespace std::string_literals;

TEST(ReadListLine, SplitsLinesAndStaysAtTheTerminator) {
  std::string text = "3\ntitle\n\nlast";
  std::string line;
  std::size_t pos = ReadListLine(text, 0, line);
  EXPECT_EQ(line, "3");
  EXPECT_EQ(pos, 2u);
  pos = ReadListLine(text, pos, line);
  EXPECT_EQ(line, "title");
  pos = ReadListLine(text, pos, line);
  EXPECT_EQ(line, "");
  EXPECT_EQ(pos, 9u);
  pos = ReadListLine(text, pos, line);
  EXPECT_EQ(line, "last");
  EXPECT_EQ(pos, text.size());
  for (int i = 0; i < 3; ++i) {
    line = "junk";
    EXPECT_EQ(ReadListLine(text, pos, line), pos);
    EXPECT_EQ(line, "");
  }
}

TEST(ReadListLine, SecondByteOfAPairNeverEndsTheLine) {
  // ソ is 0x83 0x5C; a lead byte followed by 0x0A takes the 0x0A with it.
  std::string text =
      "a\x83\x5C"
      "b\x83\nc\nnext"s;
  std::string line;
  std::size_t pos = ReadListLine(text, 0, line);
  EXPECT_EQ(line,
            "a\x83\x5C"
            "b\x83\nc"s);
  ReadListLine(text, pos, line);
  EXPECT_EQ(line, "next");
}

TEST(ReadListLine, LeadByteBeforeTheTerminatorIsCopiedAlone) {
  std::string text = "ab\x83";
  std::string line;
  EXPECT_EQ(ReadListLine(text, 0, line), 3u);
  EXPECT_EQ(line, "ab\x83");
  std::string withZero = "ab\x83\0zz"s;
  EXPECT_EQ(ReadListLine(withZero, 0, line), 3u);
  EXPECT_EQ(line, "ab\x83");
}

TEST(ReadListLine, ZeroByteAndCarriageReturn) {
  std::string text = "a\rb\0c\n"s;
  std::string line;
  EXPECT_EQ(ReadListLine(text, 0, line), 3u);
  EXPECT_EQ(line, "a\rb");
  EXPECT_EQ(ReadListLine(text, 100, line), 100u);
  EXPECT_EQ(line, "");
}

TEST(ReadListLine, OverlongLinesAreFound) {
  std::string ok = "2\n" + std::string(kMaxListLine, 'x') + "\nend\n";
  EXPECT_FALSE(HasOverlongListLine(ok));
  std::string longLast = "2\n\n" + std::string(kMaxListLine + 1, 'x');
  EXPECT_TRUE(HasOverlongListLine(longLast));
  // Found behind an empty line and counted in bytes, pairs included.
  std::string pairs = "2\n\n";
  for (std::size_t i = 0; i < 130; ++i) pairs += "\x83\x5C";
  EXPECT_TRUE(HasOverlongListLine(pairs));
  EXPECT_FALSE(HasOverlongListLine(""));
}

TEST(MainWindowStates, BusyEnablesOnlyAbort) {
  ScriptedFrontEnd fe;
  Dialogue ui(&fe);
  ui.EnterBusyState();
  EXPECT_TRUE(ui.Busy());
  EXPECT_EQ(ui.BusyStateCount(), 1);
  for (int id : {1002, 1004, 1005, 1, 2}) EXPECT_FALSE(fe.enabled[id]) << id;
  EXPECT_TRUE(fe.enabled[3]);
  ui.EnterIdleState();
  EXPECT_FALSE(ui.Busy());
  for (int id : {1002, 1004, 1005, 1, 2}) EXPECT_TRUE(fe.enabled[id]) << id;
  EXPECT_FALSE(fe.enabled[3]);
}

}  // namespace
