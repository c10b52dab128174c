// The command line as Windows hands it over: the work folder is its raw
// text after the program's name and the options.
#include <gtest/gtest.h>

#include "app/command_line.h"

namespace {

TEST(RawCommandLine, TheWorkFolderIsTheTextAfterTheProgramAndItsBlanks) {
  EXPECT_EQ(RawArguments("kelvod.exe  C:\\work\\game "), "C:\\work\\game ");
  EXPECT_EQ(RawArguments("\"C:\\Program Files\\kelvod.exe\"\tC:\\a b"), "C:\\a b");
  EXPECT_EQ(RawArguments("kelvod.exe"), "");
  EXPECT_EQ(RawArguments("kelvod.exe    "), "");  // blanks only: extract mode
  EXPECT_EQ(RawArguments("\"unclosed"), "");
}

TEST(RawCommandLine, OptionsArePassedOverByTheRuntimesQuotingRules) {
  EXPECT_EQ(CommandLineCopyFromRaw("--tty C:\\work", 1), "C:\\work");
  EXPECT_EQ(CommandLineCopyFromRaw("\"--tty\"   C:\\work", 1), "C:\\work");
  EXPECT_EQ(CommandLineCopyFromRaw("--tty -- --odd name", 2), "--odd name");
  // A quote after an odd run of backslashes does not end the quoted part.
  EXPECT_EQ(CommandLineCopyFromRaw("\"a\\\" b\" rest", 1), "rest");
  EXPECT_EQ(CommandLineCopyFromRaw("--tty", 1), "");
}

TEST(RawCommandLine, OnePairOfQuotesAroundTheWholeFolderIsRemoved) {
  EXPECT_EQ(CommandLineCopyFromRaw("\"C:\\my game\"", 0), "C:\\my game");
  EXPECT_EQ(CommandLineCopyFromRaw("--tty \"C:\\my game\"", 1), "C:\\my game");
  // Anything else stays verbatim: quotes inside, a lone quote, blanks after.
  EXPECT_EQ(CommandLineCopyFromRaw("\"C:\\a\" \"b\"", 0), "\"C:\\a\" \"b\"");
  EXPECT_EQ(CommandLineCopyFromRaw("\"", 0), "\"");
  EXPECT_EQ(CommandLineCopyFromRaw("C:\\a b ", 0), "C:\\a b ");
}

}  // namespace
