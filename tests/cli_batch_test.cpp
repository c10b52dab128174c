// The batch commands as a script runs them: the real program on the sample
// and on made-up work folders, into disk folders and floppy images and back,
// checked byte for byte and against the image tools.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/batch_fixture.h"

namespace {

TEST_F(BatchTest, SampleMadeListedTestedAndExtractedFromFoldersAndImages) {
  NEEDS_A_FLOPPY_SIZED_PROGRAM();
  const fs::path work = Sample(), set = dir.path / "set", images = dir.path / "images";
  Outcome made = Kelvod({"--make", work.string(), "--to", set.string(), "--title", "sample",
                         "--volume-size", "1440k"});
  ASSERT_EQ(made.status, 0) << made.err;
  const auto disks = Disks(set);
  ASSERT_EQ(disks.size(), 2u) << made.out;  // the large sound file spans both
  EXPECT_NE(made.out.find("disks, 0 warnings, 0 errors"), std::string::npos) << made.out;
  EXPECT_TRUE(fs::exists(disks[1] / "kelvod.lst"));

  Outcome list = Kelvod({"--list", set.string()});
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out.rfind("title: sample\ndisks: 2\n", 0), 0u) << list.out;
  // A table row each, under the name it comes back as: the cut file on
  // both disks in two pieces.
  EXPECT_NE(list.out.find("  1-2      2  data/bgm/theme.wav\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("  ゲーム説明.txt\n"), std::string::npos) << list.out;
  Outcome json = Kelvod({"--list", "--json", disks[1].string(), disks[0].string()});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out.rfind("{\"title\":\"sample\",\"diskCount\":2,", 0), 0u) << json.out;
  EXPECT_NE(json.out.find("\"output\":\"data/bgm/theme.wav\",\"kind\":\"head\""), std::string::npos)
      << json.out;

  Outcome test = Kelvod({"--test", set.string()});
  EXPECT_EQ(test.status, 0) << test.err;
  // The disks in reverse order, each folder given by itself.
  Outcome extracted = Kelvod(
      {"--extract", "--to", (dir.path / "game").string(), disks[1].string(), disks[0].string()});
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  ExpectSameTree(work, dir.path / "game");
  EXPECT_TRUE(fs::is_directory(dir.path / "game/save"));
  EXPECT_FALSE(fs::exists(dir.path / "xdg/applications"));  // only with --menu-entry

  Outcome imaged = Kelvod({"--make", work.string(), "--to", images.string(), "--title", "sample",
                           "--images", "--quiet"});
  ASSERT_EQ(imaged.status, 0) << imaged.err;
  EXPECT_TRUE(imaged.out.empty());
  const auto imageFiles = Disks(images, ".img");
  ASSERT_EQ(imageFiles.size(), 2u);
  for (const auto& image : imageFiles) EXPECT_EQ(fs::file_size(image), kFloppyBytes);
  EXPECT_TRUE(Disks(images).empty());  // no folders left beside them
  // The image tools see the names as they are.
  std::string dirList = Shell("LC_ALL=C.UTF-8 mdir -/ -i '" + imageFiles[1].string() + "' ::");
  EXPECT_NE(dirList.find("ゲーム説明.txt_lzs"), std::string::npos) << dirList;
  EXPECT_NE(dirList.find("ソフト情報.txt_lzs"), std::string::npos) << dirList;

  Outcome fromImages =
      Kelvod({"--extract", "--to", (dir.path / "game2").string(), "--menu-entry", images.string()});
  EXPECT_EQ(fromImages.status, 0) << fromImages.err;
  ExpectSameTree(work, dir.path / "game2");
  EXPECT_TRUE(fs::exists(dir.path / "xdg/applications/ﾄﾞﾙﾐｱﾝ95ｹﾞｰﾑ/sample.desktop"));
  EXPECT_TRUE(ListTree(dir.path / "tmp").empty());
}

TEST_F(BatchTest, DamagedPieceIsNamedAndNothingHalfMadeIsLeft) {
  const fs::path work = Sample(), set = dir.path / "set";
  // Two floppies, or one disk where the program is too large for a floppy.
  std::vector<std::string> make = {"--make",     work.string(), "--to",
                                   set.string(), "--title",     "sample"};
  if (ProgramFitsAFloppy()) make.insert(make.end(), {"--volume-size", "1440k"});
  ASSERT_EQ(Kelvod(make).status, 0);
  const fs::path piece = Disks(set).back() / "data/bgm/theme.wav_lzs2";
  ASSERT_TRUE(fs::exists(piece));
  fs::resize_file(piece, fs::file_size(piece) - 100);  // cut short

  Outcome test = Kelvod({"--test", set.string()});
  EXPECT_EQ(test.status, 2);
  // The piece is named with the file it belongs to.
  EXPECT_NE(test.err.find("data/bgm/theme.wav_lzs2: a piece of data/bgm/theme.wav_lzs"),
            std::string::npos)
      << test.err;
  EXPECT_NE(test.out.find(", 1 errors"), std::string::npos) << test.out;

  Outcome extracted = Kelvod({"--extract", "--to", (dir.path / "game").string(), set.string()});
  EXPECT_EQ(extracted.status, 2);
  EXPECT_FALSE(fs::exists(dir.path / "game/data/bgm/theme.wav"));
  for (const auto& f : ListTree(work)) {
    if (f != "data/bgm/theme.wav") {
      EXPECT_EQ(ReadFileBytes(dir.path / "game" / f), ReadFileBytes(work / f)) << f;
    }
  }
  EXPECT_TRUE(ListTree(dir.path / "tmp").empty());
}

// Many small files, deep folders and more names at the top than the root
// directory of a floppy holds: every disk the model filled must fit a real
// floppy image, and the model must fill them, not leave half of each empty.
TEST_F(BatchTest, EveryDiskFolderFitsItsFloppy) {
  NEEDS_A_FLOPPY_SIZED_PROGRAM();
  const fs::path work = dir.path / "many";
  std::mt19937 gen(7);
  auto bytes = [&](std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
  };
  for (int i = 0; i < 300; ++i)  // the root: 300 names, most needing long names
    WriteFileBytes(work / ("top file " + std::to_string(i) + ".dat"), bytes(50 + gen() % 400));
  for (int i = 0; i < 700; ++i) {
    fs::path folder = work / "deep" / ("level" + std::to_string(i % 7)) /
                      ("フォルダ" + std::to_string(i % 13)) / "more";
    WriteFileBytes(folder / ("データ" + std::to_string(i) + ".bin"), bytes(500 + gen() % 7000));
  }
  const fs::path set = dir.path / "set";
  Outcome made = Kelvod({"--make", work.string(), "--to", set.string(), "--title", "many",
                         "--volume-size", "1440k", "--quiet"});
  ASSERT_EQ(made.status, 0) << made.err;
  const auto disks = Disks(set);
  ASSERT_GE(disks.size(), 3u);
  int filled = 0;
  for (std::size_t k = 0; k < disks.size(); ++k) {
    SCOPED_TRACE(disks[k]);
    const std::string image = (dir.path / "check.img").string();
    fs::remove(image);
    Shell("mformat -C -f 1440 -i '" + image + "' ::");
    std::string copy = "LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1 mcopy -s -i '" + image + "'";
    for (const auto& e : fs::directory_iterator(disks[k])) copy += " '" + e.path().string() + "'";
    Shell(copy + " ::/");
    // "1 457 664 bytes free": the digits before "bytes".
    std::string info = Shell("mdir -i '" + image + "' :: | tail -1"), digits;
    for (char c : info.substr(0, info.find("bytes")))
      if (c >= '0' && c <= '9') digits += c;
    const long long free = std::stoll("0" + digits);
    if (k + 1 < disks.size() && free < 16 * 1024) ++filled;
  }
  // Most disks end full of clusters; the ones whose root directory filled
  // first may have room left.
  EXPECT_GE(filled, static_cast<int>(disks.size()) / 2) << made.out;

  Outcome extracted = Kelvod({"--extract", "--to", (dir.path / "back").string(), set.string()});
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  ExpectSameTree(work, dir.path / "back");
}

// A piece of 1 MiB cannot go onto a 720k floppy: found before any disk is
// written, instead of a fresh disk after disk that can never hold it.
TEST_F(BatchTest, FileLargerThanAnEmptyVolumeEndsTheMake) {
  Program make(program,
               {"--make", Sample().string(), "--to", (dir.path / "set").string(), "--title",
                "sample", "--volume-size", "720k"},
               dir.path.string(), {"TMPDIR=" + (dir.path / "tmp").string(), "LC_ALL=C.UTF-8"});
  // Found before the first disk is written.
  ASSERT_EQ(make.Finish(60), 2) << make.out();
  EXPECT_NE(make.err().find("data/bgm/theme.wav: does not fit an empty disk"), std::string::npos)
      << make.err();
  EXPECT_EQ(Disks(dir.path / "set").size(), 0u);
}

// A damaged file is named by the message of its stream; a count line far
// beyond the list's sections does not report every disk it announces
// missing (that went on for minutes).
TEST_F(BatchTest, TestNamesADamagedFileAndEndsWithTheList) {
  const fs::path set = dir.path / "set";
  ASSERT_EQ(Kelvod({"--make", Sample().string(), "--to", set.string(), "--title", "sample"}).status,
            0);
  const fs::path disk = Disks(set).back();
  fs::resize_file(disk / "graphics/title.bmp_lzs",
                  fs::file_size(disk / "graphics/title.bmp_lzs") - 100);
  std::string text = ReadFileBytes(disk / "kelvod.lst");
  text.replace(0, 8, "99999999");
  WriteFileBytes(disk / "kelvod.lst", text);
  Program test(program, {"--test", set.string()}, dir.path.string(),
               {"TMPDIR=" + (dir.path / "tmp").string(), "LC_ALL=C.UTF-8"});
  EXPECT_EQ(test.Finish(60), 2);
  const std::string err = test.err();
  EXPECT_NE(err.find("/graphics/title.bmp_lzs: damaged"), std::string::npos) << err.substr(0, 2000);
  EXPECT_NE(err.find("is not among"), std::string::npos);
  EXPECT_EQ(err.find("is not among"), err.rfind("is not among")) << err.substr(0, 2000);
}

TEST_F(BatchTest, UsageErrorsAndNothingToWorkOnAreOne) {
  EXPECT_EQ(Kelvod({"--extract", dir.path.string()}).status, 1);          // no --to
  EXPECT_EQ(Kelvod({"--list", (dir.path / "none").string()}).status, 1);  // not there
  EXPECT_EQ(Kelvod({"--list", dir.path.string()}).status, 1);             // no disks in it
  EXPECT_EQ(Kelvod({"--make", dir.path.string(), "--to", "x", "--volume-size", "3k"}).status, 1);
  EXPECT_EQ(Kelvod({"--list", "--test", dir.path.string()}).status, 1);
}

// A work folder copied out of a Wine prefix holds links: to itself, to
// folders elsewhere, to files. Folders behind links are never walked (they
// are named at the end); a link to a file is packed as the file.
TEST_F(BatchTest, LinksToFoldersInTheWorkFolderAreNamedNotFollowed) {
  const fs::path work = dir.path / "work", elsewhere = dir.path / "elsewhere";
  WriteFileBytes(work / "game.qzm", "project");
  WriteFileBytes(elsewhere / "secret.txt", "outside the work folder");
  fs::create_directory_symlink(".", work / "self");
  fs::create_directory_symlink(elsewhere, work / "drive_c");
  fs::create_symlink(elsewhere / "secret.txt", work / "copied.txt");
  Outcome made = Kelvod({"--make", work.string(), "--to", (dir.path / "set").string()});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(made.err.find("drive_c"), std::string::npos) << made.err;
  EXPECT_NE(made.err.find("self"), std::string::npos) << made.err;
  ASSERT_EQ(Kelvod({"--extract", "--to", (dir.path / "game").string(), (dir.path / "set").string()})
                .status,
            0);
  EXPECT_EQ(ListTree(dir.path / "game"), (std::vector<std::string>{"copied.txt", "game.qzm"}));
  EXPECT_EQ(ReadFileBytes(dir.path / "game/copied.txt"), "outside the work folder");
}

// The set's folder inside the work folder is never packed into the set;
// the work folder itself is refused as the set's folder.
TEST_F(BatchTest, SetInsideTheWorkFolderIsLeftOutAndTheWorkFolderItselfRefused) {
  const fs::path work = dir.path / "work";
  WriteFileBytes(work / "game.qzm", "project");
  WriteFileBytes(work / "data/a.txt", "a");
  Outcome made = Kelvod({"--make", work.string(), "--to", (work / "out").string()});
  ASSERT_EQ(made.status, 0) << made.err;
  ASSERT_EQ(
      Kelvod({"--extract", "--to", (dir.path / "game").string(), (work / "out").string()}).status,
      0);
  EXPECT_EQ(ListTree(dir.path / "game"), (std::vector<std::string>{"data/a.txt", "game.qzm"}));
  EXPECT_EQ(Kelvod({"--make", work.string(), "--to", (work / "data" / "..").string()}).status, 1);
}

// The plan of a dry run is the set the make then writes: the same disks
// with the same bytes on each; the dry run writes nothing.
TEST_F(BatchTest, DryRunPrintsThePlanTheMakeFollows) {
  NEEDS_A_FLOPPY_SIZED_PROGRAM();
  Sample();
  const std::vector<std::string> make = {"--make",  "work",   "--to",          "set",
                                         "--title", "sample", "--volume-size", "1440k"};
  std::vector<std::string> dry = make;
  dry.push_back("--dry-run");
  Outcome plan = Kelvod(dry);
  ASSERT_EQ(plan.status, 0) << plan.err;
  EXPECT_FALSE(fs::exists(dir.path / "set"));
  ASSERT_EQ(Kelvod(make).status, 0);
  const auto disks = Disks(dir.path / "set");
  for (std::size_t k = 0; k < disks.size(); ++k) {
    uint64_t bytes = 0;
    for (const auto& f : ListTree(disks[k]))
      if (f.find("_lzs") != std::string::npos) bytes += fs::file_size(disks[k] / f);
    std::string thousands = std::to_string(bytes);
    for (int at = static_cast<int>(thousands.size()) - 3; at > 0; at -= 3)
      thousands.insert(at, ",");
    EXPECT_NE(plan.out.find("disk " + std::to_string(k + 1) + ": "), std::string::npos);
    EXPECT_NE(plan.out.find(" files, " + thousands + " bytes"), std::string::npos)
        << "disk " << k + 1 << ":\n"
        << plan.out;
  }
}

}  // namespace
