// One whole make-and-extract cycle through the terminal front end, over
// pipes, as a script would drive it: the sample made into a disk set on a
// fixed disk, then expanded by the copy of the program on the set.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/disk_fixtures.h"
#include "support/test_program.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out;
};

class TerminalCycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work = dir.path / "work";
    std::string make =
        "python3 '" KELVOD_SOURCE_DIR "/tools/make_sample.py' '" + work.string() + "' >/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    fs::create_directories(dir.path / "home");
    fs::create_directories(dir.path / "tmp");
  }
  // program: shell words that start it.
  Outcome Run(const std::string& program, const std::string& args, const std::string& input,
              const fs::path& cwd) {
    WriteFileBytes(dir.path / "in", input);
    std::string cmd = "cd '" + cwd.string() + "' && HOME='" + (dir.path / "home").string() +
                      "' XDG_DATA_HOME='" + (dir.path / "xdg").string() + "' TMPDIR='" +
                      (dir.path / "tmp").string() + "' LC_ALL=C.UTF-8 LANGUAGE= " + program + " " +
                      args + " < '" + (dir.path / "in").string() + "' > '" +
                      (dir.path / "out").string() + "' 2>/dev/null";
    int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(dir.path / "out")};
  }
  TempDir dir;
  fs::path work;
};

TEST_F(TerminalCycleTest, MakeThenExtractWithTheCopyOnTheSet) {
  fs::path set = dir.path / "set", game = dir.path / "game";
  // Make: the destination, Run, OK to the confirmation; the OK-only boxes
  // that follow are answered by the end of input.
  Outcome made =
      Run(test_program::Command(), "--tty .", "dest " + set.string() + "\nrun\nok\n", work);
  ASSERT_EQ(made.status, 0) << made.out;
  EXPECT_NE(made.out.find("[■確認]\nこの ﾃﾞｨｽｸ は、 「 sample 」 の ID = 1 番です"),
            std::string::npos)
      << made.out;
  EXPECT_NE(made.out.find("作業は正常に終了しました\nchoices: ok\n> "), std::string::npos);
  const std::string program = test_program::FileName();
  ASSERT_TRUE(fs::exists(set / program));
  ASSERT_TRUE(fs::exists(set / "kelvod.lst"));
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadCrLfLines(set / "kelvod.lst", lines));
  EXPECT_EQ(lines[0], "       2");
  EXPECT_EQ(lines.back(), "ID0");

  // Extract, started from the set with the program the set carries: OK to
  // the confirmation and to the prompt for disk 1.
  Outcome expanded = Run(test_program::CommandAt(set / program), "--tty",
                         "dest " + game.string() + "\nrun\nok\nok\n", set);
  ASSERT_EQ(expanded.status, 0) << expanded.out;
  EXPECT_NE(
      expanded.out.find("「 sample 」 の ID = 1 番の ﾃﾞｨｽｸ 挿入してください\nchoices: ok cancel"),
      std::string::npos)
      << expanded.out;
  for (const auto& f : ListTree(work))
    EXPECT_EQ(ReadFileBytes(game / f), ReadFileBytes(work / f)) << f;
  EXPECT_EQ(ListTree(game), ListTree(work));
  EXPECT_TRUE(fs::exists(test_program::StartMenuEntry(dir.path / "xdg", "sample")));
  // The temporary copy of the program is gone, and so is the temporary list.
  EXPECT_TRUE(ListTree(dir.path / "tmp").empty());

  // Again into the same folder: the overwrite prompts take the buttons'
  // numbers too. Overwrite (1) once, then Overwrite all (3): no more asking.
  const std::string prompt = "choices: overwrite all skip abort\n> ";
  auto count = [&](const std::string& out) {
    std::size_t n = 0;
    for (std::size_t at = out.find(prompt); at != std::string::npos; at = out.find(prompt, at + 1))
      ++n;
    return n;
  };
  Outcome again = Run(test_program::CommandAt(set / program), "--tty",
                      "dest " + game.string() + "\nrun\nok\nok\n1\n3\n", set);
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(count(again.out), 2u) << again.out;
  // Abort (4) in the first one ends the run as aborted.
  Outcome aborted = Run(test_program::CommandAt(set / program), "--tty",
                        "dest " + game.string() + "\nrun\nok\nok\n4\n", set);
  EXPECT_EQ(aborted.status, 2) << aborted.out;
  EXPECT_EQ(count(aborted.out), 1u);
  EXPECT_NE(aborted.out.find("強制終了しました"), std::string::npos);
}

TEST_F(TerminalCycleTest, AbortedRunEndsWithStatusTwo) {
  fs::path set = dir.path / "set";
  fs::create_directories(set);
  WriteFileBytes(set / "sample.qzm_lzs", "already there");  // a disk that is not empty
  Outcome made =
      Run(test_program::Command(), "--tty .", "dest " + set.string() + "\nrun\nok\n", work);
  EXPECT_EQ(made.status, 2) << made.out;
  EXPECT_NE(made.out.find("強制終了しました"), std::string::npos);
  EXPECT_FALSE(fs::exists(set / "kelvod.lst"));
}

}  // namespace
