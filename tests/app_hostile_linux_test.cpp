// Hostile disk sets and careless hands: the real program, in real folders,
// over its terminal protocol, against what an attacker or a slip puts in
// its way. Each test is named for what it would break.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/dialogue/resources/messages.h"
#include "support/disk_fixtures.h"
#include "support/program.h"
#include "text/cp932.h"

namespace {

std::string Utf8(const char* cp932Text) {
  std::string out;
  EXPECT_TRUE(cp932::ToUtf8(cp932Text, out));
  return out;
}

// The list-content message with the offending text in it, as the terminal
// shows it (a '\\' of a message is a path separator there: '/').
std::string ListMessage(std::string offending) {
  for (char& c : offending)
    if (c == '\\') c = '/';
  std::string text = Utf8(msg::kMsgUnsafeName);
  return text.replace(text.find("%s"), 2, offending);
}

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Everything here may be used by the unprivileged user of some tests.
    chmod(dir.path.c_str(), 0777);
    for (const char* sub : {"home", "tmp", "xdg", "work", "out"}) {
      fs::create_directories(dir.path / sub);
      chmod((dir.path / sub).c_str(), 0777);
    }
    WriteFileBytes(dir.path / "sample.qzm", "project");
  }
  std::vector<std::string> Env() const {
    return {"HOME=" + (dir.path / "home").string(), "TMPDIR=" + (dir.path / "tmp").string(),
            "XDG_DATA_HOME=" + (dir.path / "xdg").string(), "LC_ALL=C.UTF-8", "LANGUAGE="};
  }
  Outcome Kelvod(const std::vector<std::string>& args, const std::string& input = "",
                 const fs::path& cwd = {}) {
    return RunProgram(KELVOD_BINARY, args, (cwd.empty() ? dir.path : cwd).string(), Env(), input);
  }
  // A make run of work into dest: Run and OK to the confirmation; the rest
  // of the boxes are answered by the end of input.
  Outcome Make(const fs::path& work, const std::string& dest, const std::string& more = "",
               bool asUser = false) {
    return RunProgram(asUser ? UsersCopy().string() : KELVOD_BINARY, {"--tty", work.string()},
                      dir.path.string(), Env(), "dest " + dest + "\nrun\nok\n" + more, asUser);
  }
  // The unprivileged user starts a copy of the program in the test's folder:
  // the build folder may lie where that user cannot go (a clone in /root).
  fs::path UsersCopy() {
    fs::path copy = dir.path / "bin" / "kelvod";
    if (!fs::exists(copy)) {
      fs::create_directories(copy.parent_path());
      chmod(copy.parent_path().c_str(), 0755);
      fs::copy_file(KELVOD_BINARY, copy);
      chmod(copy.c_str(), 0755);
    }
    return copy;
  }
  // A disk set of one disk whose list is `list` (CR LF line ends added)
  // and which holds a.txt_lzs, made with the program.
  fs::path Set(const std::vector<std::string>& lines) {
    fs::path set = dir.path / "set";
    fs::create_directories(set);
    WriteFileBytes(dir.path / "a.txt", "the text of a");
    EXPECT_EQ(
        Kelvod({"--compress", (dir.path / "a.txt").string(), (set / "a.txt_lzs").string()}).status,
        0);
    WriteFileBytes(set / "disk1.id", "1");
    std::string list;
    for (const std::string& l : lines) list += l + "\r\n";
    WriteFileBytes(set / "kelvod.lst", list);
    return set;
  }
  Outcome Extract(const fs::path& set, const fs::path& game, const std::string& more = "") {
    return Kelvod({"--tty"}, "dest " + game.string() + "\nrun\nok\nok\n" + more, set);
  }
  // Files below a folder (relative, sorted), links included.
  std::vector<std::string> Tree(const fs::path& folder) { return ListTree(folder); }

  TempDir dir;
};

TEST_F(HostileTest, TitleCannotPlaceTheGameOrItsMenuEntryOutsideTheirFolders) {
  for (const std::string title :
       {"..\\..\\..\\..\\.config\\autostart\\game", "", "..", ". .", "a/b", "c:x", "CON",
        "lpt1.txt", "ti\ttle", "\x1b]0;x\a\x1b[2J"}) {
    SCOPED_TRACE(title);
    fs::path set = Set({"       2", Sjis(title), "ID1", "1:a.txt_lzs", "ID0"});
    Outcome o = Extract(set, dir.path / "game");
    EXPECT_EQ(o.status, 1) << o.out;
    // Named with '?' for its control characters: no escape reaches the terminal.
    std::string shown = title;
    for (char& c : shown)
      if (static_cast<unsigned char>(c) < 0x20) c = '?';
    EXPECT_NE(o.out.find(ListMessage(shown)), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find('\x1b'), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path / "game"));
    EXPECT_TRUE(Tree(dir.path / "xdg").empty());
    EXPECT_TRUE(Tree(dir.path / "home").empty());
    fs::remove_all(set);
  }
  // ソ ends in the byte of '\': one character, a good title.
  fs::path set = Set({"       2", Sjis("ソフト"), "ID1", "1:a.txt_lzs", "ID0"});
  Outcome o = Extract(set, dir.path / "game");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(ReadFileBytes(dir.path / "game/a.txt"), "the text of a");
  EXPECT_TRUE(fs::exists(dir.path / "xdg/applications/ﾄﾞﾙﾐｱﾝ95ｹﾞｰﾑ/ソフト.desktop"));
}

TEST_F(HostileTest, SingleFileCommandsNeverOverwriteTheirInput) {
  const std::string data = RandomBytes(5000, 3);
  fs::path in = dir.path / "in";
  fs::create_directories(in / "sub");
  WriteFileBytes(in / "a.bin", data);
  WriteFileBytes(in / "b.bin", data);
  fs::create_symlink(in / "a.bin", in / "link");
  fs::create_hard_link(in / "a.bin", in / "hard");
  ASSERT_EQ(Kelvod({"--compress", "a.bin", "x_lzs"}, "", in).status, 0);
  const std::string packed = ReadFileBytes(in / "x_lzs");
  struct Case {
    std::vector<std::string> args;
  } cases[] = {
      {{"--compress", "a.bin", "./a.bin"}}, {{"--compress", "a.bin", "sub/../a.bin"}},
      {{"--compress", "b.bin", "B.BIN"}},   {{"--compress", "a.bin", "link"}},
      {{"--compress", "a.bin", "hard"}},    {{"--expand", "x_lzs", "./x_lzs"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[2]);
    Outcome o = Kelvod(c.args, "", in);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("overwrite the input"), std::string::npos) << o.err;
  }
  EXPECT_EQ(ReadFileBytes(in / "a.bin"), data);
  EXPECT_EQ(ReadFileBytes(in / "b.bin"), data);
  EXPECT_EQ(ReadFileBytes(in / "x_lzs"), packed);
}

TEST_F(HostileTest, StaleMarkerMakesNoSetThatRestoresNothing) {
  fs::path work = dir.path / "work";
  WriteFileBytes(work / "a.txt", "abc");
  // An interrupted run left disk1.id; a stray "*.id" is the same.
  for (const char* stale : {"disk1.id", "notes.id"}) {
    SCOPED_TRACE(stale);
    fs::path out = dir.path / "out" / stale;
    WriteFileBytes(out / stale, "1");
    Outcome o = Make(work, out.string());
    EXPECT_EQ(o.status, 2) << o.out;
    EXPECT_NE(o.out.find(Utf8(msg::kMsgForeignMarker)), std::string::npos) << o.out;
    EXPECT_NE(o.out.find(Utf8(msg::kMsgAborted)), std::string::npos);
    EXPECT_FALSE(fs::exists(out / "kelvod.lst"));
  }
  // Taken away while the prompt is up, Retry goes on with an empty disk.
  fs::path out = dir.path / "out" / "again";
  WriteFileBytes(out / "disk1.id", "1");
  Program p(KELVOD_BINARY, {"--tty", work.string()}, dir.path.string(), Env());
  p.Send("dest " + out.string() + "\nrun\nok\n");
  ASSERT_TRUE(p.WaitFor("choices: retry abort")) << p.out();
  fs::remove(out / "disk1.id");
  p.Send("retry\n");
  EXPECT_EQ(p.Finish(), 0) << p.out();
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadCrLfLines(out / "kelvod.lst", lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"       2", "sample", "ID1", "1:a.txt_lzs", "ID0"}));
}

TEST_F(HostileTest, FoldersTheWalkCannotReadStopTheRun) {
  Outcome user = RunProgram(UsersCopy(), {"--version"}, dir.path.string(), Env(), "", true);
  if (user.status != 0)
    GTEST_SKIP() << "the unprivileged user 65534 cannot start a program in " << dir.path
                 << " (status " << user.status << "): the temporary folder is out of its reach";
  fs::path work = dir.path / "work";
  WriteFileBytes(work / "a.txt", "abc");
  WriteFileBytes(work / "locked/b.txt", "b");
  chmod((work / "locked").c_str(), 0);
  Outcome o = Make(work, (dir.path / "out/set").string(), "", true);
  chmod((work / "locked").c_str(), 0755);
  // Found before anything is written: one box names it.
  EXPECT_EQ(o.status, 2) << o.out << o.err;
  EXPECT_NE(o.out.find("locked/: " + Utf8(msg::kFindingFolderUnreadable)), std::string::npos)
      << o.out;
  EXPECT_FALSE(fs::exists(dir.path / "out/set"));

  // A folder path too long for the 260-byte paths is not searched cut short.
  fs::path deep = dir.path / "deep";
  fs::path level = deep;
  while (level.string().size() < 300) level /= std::string(40, 'd');
  WriteFileBytes(level / "c.txt", "c");
  o = Make(deep, (dir.path / "out/deep").string());
  EXPECT_EQ(o.status, 2) << o.out;
  EXPECT_NE(o.out.find(Utf8(msg::kFindingNameTooLong)), std::string::npos) << o.out;
}

TEST_F(HostileTest, DiskSetInsideTheWorkFolderIsNeverPackedIntoItself) {
  fs::path work = dir.path / "work";
  WriteFileBytes(work / "a.txt", "abc");
  fs::create_directories(work / "disks");
  fs::create_symlink(work / "disks", dir.path / "alias");
  // The work folder itself as the destination, spelled another way.
  Outcome same = Make(work, (dir.path / "work/.").string());
  EXPECT_EQ(same.status, 2) << same.out;
  EXPECT_NE(same.out.find(Utf8(msg::kMsgDestinationIsSource)), std::string::npos) << same.out;
  EXPECT_EQ(Tree(work), (std::vector<std::string>{"a.txt"}));

  Outcome inside = Make(work, (dir.path / "alias").string());
  EXPECT_EQ(inside.status, 0) << inside.out;
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadCrLfLines(work / "disks/kelvod.lst", lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"       2", "sample", "ID1", "1:a.txt_lzs", "ID0"}));
}

TEST_F(HostileTest, ControlCharactersInWorkNamesAreRefused) {
  for (const std::string name : {"new\nline.txt", "cr\r.txt", "tab\t.txt", "c:d.txt"}) {
    SCOPED_TRACE(name);
    fs::path work = dir.path / "w";
    fs::remove_all(work);
    WriteFileBytes(work / name, "x");
    Outcome o = Make(work, (dir.path / "out" / "ctl").string());
    EXPECT_EQ(o.status, 2) << o.out;
    std::string text = Utf8(msg::kMsgNoCp932Name);
    EXPECT_NE(o.out.find(text.substr(text.find(" \n") + 2)), std::string::npos) << o.out;
    fs::remove_all(dir.path / "out" / "ctl");
  }
}

TEST_F(HostileTest, ExtractNeverWritesThroughLinksInTheGameFolder) {
  fs::path set = Set({"       2", "game", "ID1", "1:data\\a.txt_lzs", "1:b.txt_lzs", "ID0"});
  fs::create_directories(set / "data");
  fs::copy_file(set / "a.txt_lzs", set / "data/a.txt_lzs");
  fs::copy_file(set / "a.txt_lzs", set / "b.txt_lzs");
  fs::path game = dir.path / "game", elsewhere = dir.path / "elsewhere";
  fs::create_directories(game);
  fs::create_directories(elsewhere);
  fs::create_directory_symlink(elsewhere, game / "Data");  // found for data\ by its case
  Outcome o = Extract(set, game);
  EXPECT_EQ(o.status, 2) << o.out;
  std::string link = Utf8(msg::kMsgLinkInTheWay);
  EXPECT_NE(o.out.find(link.substr(link.find(" \n") + 2)), std::string::npos) << o.out;
  EXPECT_TRUE(Tree(elsewhere).empty());

  // A link where a file goes is asked about and replaced, not written through.
  fs::remove(game / "Data");
  WriteFileBytes(elsewhere / "target", "keep");
  fs::create_symlink(elsewhere / "target", game / "b.txt");
  o = Extract(set, game, "overwrite\n");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("choices: overwrite all skip abort"), std::string::npos);
  EXPECT_FALSE(fs::is_symlink(game / "b.txt"));
  EXPECT_EQ(ReadFileBytes(game / "b.txt"), "the text of a");
  EXPECT_EQ(ReadFileBytes(elsewhere / "target"), "keep");
}

TEST_F(HostileTest, NamesThatWouldComeBackChangedAreNamedAtTheEnd) {
  fs::path work = dir.path / "work";
  WriteFileBytes(work / "a.txt_LZS", "upper suffix");
  WriteFileBytes(work / "a.txt", "plain");
  WriteFileBytes(work / "ソ.txt_lzs", "not compressed");
  WriteFileBytes(work / "trail.txt.", "trailing dot");
  WriteFileBytes(work / "empty.bin", "");
  Outcome o = Make(work, (dir.path / "out/set").string());
  EXPECT_EQ(o.status, 0) << o.out;
  for (const char* shown :
       {"a.txt_LZS -> a.txt", "ソ.txt_lzs -> ソ.txt", "trail.txt. -> trail.txt", "empty.bin"})
    EXPECT_NE(o.out.find(shown), std::string::npos) << shown << "\n" << o.out;
  std::string changes = Utf8(msg::kMsgNamesChange);
  EXPECT_NE(o.out.find(changes.substr(0, changes.find("\n"))), std::string::npos);
  std::string empty = Utf8(msg::kMsgEmptyFilesLeftOut);
  EXPECT_NE(o.out.find(empty.substr(0, empty.find("\n"))), std::string::npos);
  // The warnings come before the run reports success.
  EXPECT_LT(o.out.find("a.txt_LZS -> a.txt"), o.out.find(Utf8(msg::kMsgDone)));
}

TEST_F(HostileTest, DamagedListsAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    std::vector<std::string> lines;
    std::string offending;
  } cases[] = {
      {{"       2", "game", "ID1", "1:a.txt_lzs", std::string("1:b\0.txt_lzs", 12), "ID0"},
       "KELVOD.LST"},
      {{"      -5", "game", "ID1", "1:a.txt_lzs", "ID0"}, "1:a.txt_lzs"},
      {{"     abc", "game", "ID1", "1:a.txt_lzs", "ID0"}, "1:a.txt_lzs"},
      {{"       2", "game", "ID1", "ID1", "1:a.txt_lzs", "ID0"}, "1:a.txt_lzs"},
      {{"       2", "game", "1:a.txt_lzs", "ID0"}, "1:a.txt_lzs"},  // no disk line
      {{"       2", "game", "ID1", "1:a.txt_lzs", "", "1:b.txt_lzs", "ID0"}, "1:b.txt_lzs"},
      {{"       2", "game", "ID1", "1:sub/a.txt_lzs", "ID0"}, "sub/a.txt_lzs"},
      // A lead byte before ':' is no drive, and no character either.
      {{"       2", "game", "ID1", "1:\x8a:..\\..\\x.txt_lzs", "ID0"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offending);
    fs::path set = Set(c.lines);
    Outcome o = Extract(set, dir.path / "game");
    EXPECT_EQ(o.status, 1) << o.out;
    if (!c.offending.empty()) {
      EXPECT_NE(o.out.find(ListMessage(c.offending)), std::string::npos) << o.out;
    }
    EXPECT_FALSE(fs::exists(dir.path / "game"));
    EXPECT_TRUE(Tree(dir.path / "home").empty());
    fs::remove_all(set);
  }
  // Bare CR line ends: one line, no title: refused too.
  fs::path set = Set({});
  WriteFileBytes(set / "kelvod.lst", "       2\rgame\rID1\r1:a.txt_lzs\rID0\r");
  Outcome o = Extract(set, dir.path / "game");
  EXPECT_EQ(o.status, 1) << o.out;
  EXPECT_FALSE(fs::exists(dir.path / "game"));
}

TEST_F(HostileTest, TerminationStopsTheRunAndCleansUp) {
  fs::path work = dir.path / "work";
  WriteFileBytes(work / "big.bin", RandomBytes(24u << 20, 5));
  for (int sig : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    Program p(KELVOD_BINARY, {"--tty", work.string()}, dir.path.string(), Env());
    p.Send("dest " + (dir.path / "out" / std::to_string(sig)).string() + "\nrun\nok\nok\n");
    ASSERT_TRUE(p.WaitFor("to: ", 1)) << p.out();
    usleep(200000);  // well into encoding the file
    p.Signal(sig);
    EXPECT_EQ(p.Finish(), 2) << p.out();
    EXPECT_NE(p.out().find(Utf8(msg::kMsgAborted)), std::string::npos) << p.out();
    EXPECT_TRUE(Tree(dir.path / "tmp").empty());
  }
}

TEST_F(HostileTest, SmallSlipsEndWithAClearMessage) {
  // A NUL typed in a folder name would cut it.
  Outcome nul = Kelvod({"--tty", (dir.path / "work").string()}, std::string("dest /x\0y\n", 10));
  EXPECT_NE(nul.out.find("this folder name cannot be used"), std::string::npos) << nul.out;
  // A usage error is 1, whatever the command.
  EXPECT_EQ(Kelvod({"--compress", "onlyone"}).status, 1);
  EXPECT_EQ(Kelvod({"--expand"}).status, 1);
  EXPECT_EQ(Kelvod({"--bogus"}).status, 1);
}

}  // namespace
