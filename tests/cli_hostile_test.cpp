// The batch commands given what an attacker or a careless user gives them:
// hostile names for folders and images, disks of two sets, a destination
// that fills up, a stop at any moment. Nothing runs code, nothing is taken
// from the wrong disk, nothing half-made looks whole, and each problem is
// told once with the system's reason.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "support/batch_fixture.h"

namespace {

// Folder and image names that a shell or an option parser would take for
// something else; the program passes them on as names only.
const char* const kHostileNames[] = {
    "$(touch $KV_PWNED)", "`touch $KV_PWNED`", "*?[]|;&<>", " two  blanks ", "-Do", "日本語"};

std::vector<std::string> Env(const fs::path& root) {
  return {"TMPDIR=" + (root / "tmp").string(), "LC_ALL=C.UTF-8",
          "KV_PWNED=" + (root / "PWNED").string()};
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST_F(BatchTest, HostileFolderAndImageNamesAreNamesOnly) {
  NEEDS_A_FLOPPY_SIZED_PROGRAM();
  const fs::path work = SmallWork();
  for (const std::string name : kHostileNames) {
    // Relative to the program's folder: "-Do" comes as it was typed.
    Outcome made = Kelvod({"--make", work.string(), "--to", name, "--title", "game", "--images"});
    ASSERT_EQ(made.status, 0) << name << ": " << made.err;
    ASSERT_TRUE(fs::exists(dir.path / name / "disk1.img")) << name;
    fs::rename(dir.path / name / "disk1.img", dir.path / name / (name + ".img"));
    EXPECT_EQ(Kelvod({"--list", "--", name}).status, 0) << name;
    EXPECT_EQ(Kelvod({"--test", "--", name + "/" + name + ".img"}).status, 0) << name;
    Outcome back = Kelvod({"--extract", "--to", "game/" + name, "--", name + "/" + name + ".img"});
    EXPECT_EQ(back.status, 0) << name << ": " << back.err;
    ExpectSameTree(work, dir.path / "game" / name);
  }
  EXPECT_TRUE(TempIsEmpty());
}

// Disk 1 of one set with disk 2 of another: the cut file's pieces do not
// belong to its head, so it is damage, never a file of the wrong contents.
// A file the list puts on disk 2 is read from disk 2, whatever disk 1 holds
// under its name.
TEST_F(BatchTest, EachFileComesFromItsOwnDiskAndNeverFromAnotherSet) {
  NEEDS_A_FLOPPY_SIZED_PROGRAM();
  const fs::path a = SmallWork("a"), b = SmallWork("b");
  WriteFileBytes(a / "big.bin", RandomBytes(1900000, 1));  // its second piece on disk 2
  WriteFileBytes(b / "big.bin", RandomBytes(1950000, 2));
  for (const char* set : {"a", "b"})
    ASSERT_EQ(Kelvod({"--make", set, "--to", std::string(set) + "-set", "--volume-size", "1440k",
                      "--title", "game"})
                  .status,
              0);
  // The second set's list, on its third disk.
  Outcome mixed =
      Kelvod({"--extract", "--to", "mixed", "a-set/disk1", "b-set/disk2", "b-set/disk3"});
  EXPECT_EQ(mixed.status, 2);
  EXPECT_FALSE(fs::exists(dir.path / "mixed/big.bin"));
  EXPECT_NE(mixed.err.find("big.bin_lzs2: a piece of big.bin_lzs"), std::string::npos) << mixed.err;

  ASSERT_TRUE(fs::exists(dir.path / "a-set/disk2/data/a.txt_lzs"));
  fs::create_directories(dir.path / "a-set/disk1/data");
  fs::copy_file(dir.path / "a-set/disk2/game.qzm_lzs", dir.path / "a-set/disk1/data/a.txt_lzs");
  Outcome right = Kelvod({"--extract", "--to", "right", "a-set"});
  EXPECT_EQ(right.status, 0) << right.err;
  ExpectSameTree(a, dir.path / "right");
}

// Stopped at any moment, an extract leaves no file that is not whole; the
// next extract, which never overwrites, completes the game.
TEST_F(BatchTest, AStoppedExtractLeavesNoPartFileAndTheNextOneCompletesIt) {
  const fs::path work = SmallWork();
  WriteFileBytes(work / "data/movie.avi", RandomBytes(24 << 20, 3));
  ASSERT_EQ(Kelvod({"--make", "work", "--to", "set", "--title", "game"}).status, 0);
  for (int ms : {0, 30, 120, 400}) {
    fs::remove_all(dir.path / "game");
    Program p(program, {"--extract", "--to", "game", "set"}, dir.path.string(), Env(dir.path));
    Pause(ms);
    p.Signal(SIGTERM);
    const int status = p.Finish(60);
    for (const auto& f : ListTree(dir.path / "game"))
      EXPECT_TRUE(ReadFileBytes(dir.path / "game" / f) == ReadFileBytes(work / f)) << f << ms;
    if (status == 0) continue;  // done before the signal came
    EXPECT_NE(status, 1) << ms;
    Outcome again = Kelvod({"--extract", "--to", "game", "set"});
    EXPECT_EQ(again.status, 0) << ms << again.err;
    ExpectSameTree(work, dir.path / "game");
  }
  EXPECT_TRUE(TempIsEmpty());
}

// A destination that fills up: one message with the system's reason, and
// the command stops there.
TEST_F(BatchTest, AFullDestinationStopsTheCommandWithOneMessage) {
  std::string why;
  if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: full destination skipped, " << why;
  const fs::path work = SmallWork();
  for (int i = 0; i < 5; ++i)
    WriteFileBytes(work / ("f" + std::to_string(i)), RandomBytes(1 << 20, 10 + i));
  ASSERT_EQ(Kelvod({"--make", "work", "--to", "set", "--title", "game"}).status, 0);
  TmpfsDrive small(dir.path / "small", 3 << 20);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"--make", "work", "--to", "small/set", "--title", "game"},
        std::vector<std::string>{"--extract", "--to", "small/game", "set"}}) {
    Outcome full = Kelvod(command);
    EXPECT_EQ(full.status, 2) << command[0];
    const std::string reason = "No space left on device";
    EXPECT_NE(full.err.find(reason), std::string::npos) << full.err;
    EXPECT_EQ(full.err.find(reason), full.err.rfind(reason)) << full.err;
    EXPECT_EQ(full.err.find("disk 2 begins"), std::string::npos) << full.err;
  }
}

// A stop while the images are written: every image there reads back whole,
// and no disk is gone without its image.
TEST_F(BatchTest, AStopWhileImagesAreWrittenLosesNoDisk) {
  NEEDS_A_FLOPPY_SIZED_PROGRAM();
  Sample();
  for (int ms : {100, 400, 900}) {
    const std::string to = "images" + std::to_string(ms);
    Program p(program, {"--make", "work", "--to", to, "--title", "sample", "--images"},
              dir.path.string(), Env(dir.path));
    Pause(ms);
    p.Signal(SIGINT);
    const int status = p.Finish(60);
    const auto images = Disks(dir.path / to, ".img");
    for (const auto& image : images)  // each image there is a whole FAT volume
      Shell("MTOOLS_SKIP_CHECK=1 mdir -/ -i '" + image.string() + "' ::");
    if (status == 0) {
      EXPECT_EQ(Kelvod({"--test", to}).status, 0) << ms;
      continue;
    }
    for (int n = 1; n <= static_cast<int>(Disks(dir.path / to).size() + images.size()); ++n)
      EXPECT_TRUE(fs::exists(dir.path / to / ("disk" + std::to_string(n))) ||
                  fs::exists(dir.path / to / ("disk" + std::to_string(n) + ".img")))
          << ms << " disk " << n;
  }
  EXPECT_TRUE(TempIsEmpty());
}

// JSON names every file exactly: names that differ in their blanks stay
// apart, and bytes without a character come with their code page 932 bytes.
TEST_F(BatchTest, JsonNamesEveryFileExactly) {
  const fs::path work = SmallWork();
  WriteFileBytes(work / "a b.txt", "one blank");
  WriteFileBytes(work / "a  b.txt", "two blanks");
  ASSERT_EQ(Kelvod({"--make", "work", "--to", "set", "--title", "game"}).status, 0);
  std::string list = ReadFileBytes(dir.path / "set/disk1/kelvod.lst");
  list.insert(list.find("ID1\r\n") + 5, "1:\x85\x40.txt_lzs\r\n");
  WriteFileBytes(dir.path / "set/disk1/kelvod.lst", list);
  Outcome json = Kelvod({"--list", "--json", "set"});
  EXPECT_EQ(json.status, 2);  // a listed file is missing
  EXPECT_NE(json.out.find("\"output\":\"a b.txt\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"output\":\"a  b.txt\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"nameBytes\":\"85402e7478745f6c7a73\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"errors\":1}"), std::string::npos) << json.out;
}

// Small slips end with one clear line and leave nothing behind.
TEST_F(BatchTest, SmallSlipsEndCleanly) {
  const fs::path work = SmallWork();
  ASSERT_EQ(Kelvod({"--make", "work", "--to", "set", "--title", "game"}).status, 0);
  // A reader that goes away early.
  Shell("cd '" + dir.path.string() + "' && TMPDIR=tmp '" + program + "' --list set | head -c 10");
  EXPECT_TRUE(TempIsEmpty());
  // An image that is no FAT volume: the work failed, one line.
  WriteFileBytes(dir.path / "zero.img", std::string(kFloppyBytes, '\0'));
  Outcome zero = Kelvod({"--list", "zero.img"});
  EXPECT_EQ(zero.status, 2);
  EXPECT_EQ(std::count(zero.err.begin(), zero.err.end(), '\n'), 1) << zero.err;
  // A place that holds a disk of a set already.
  fs::create_directories(dir.path / "taken/disk2");
  EXPECT_EQ(Kelvod({"--make", "work", "--to", "taken", "--title", "game"}).status, 1);
  EXPECT_EQ(ListTree(dir.path / "taken"), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(dir.path / "taken/.kelvod-drive"));
  // A name no floppy can hold is found before any disk is written.
  WriteFileBytes(work / "what?.txt", "x");
  Outcome odd = Kelvod({"--make", "work", "--to", "odd", "--title", "game", "--images"});
  EXPECT_EQ(odd.status, 1);
  EXPECT_NE(odd.err.find("what?.txt"), std::string::npos) << odd.err;
  EXPECT_FALSE(fs::exists(dir.path / "odd/disk1"));
  // Files kept as they were are no errors; a run stopped by a listed file
  // that is gone is one.
  ASSERT_EQ(Kelvod({"--extract", "--to", "game", "set"}).status, 0);
  EXPECT_EQ(Kelvod({"--extract", "--to", "game", "set"}).status, 0);
  fs::remove(dir.path / "set/disk1/data/a.txt_lzs");
  EXPECT_EQ(Kelvod({"--test", "set"}).status, 2);
}

}  // namespace
