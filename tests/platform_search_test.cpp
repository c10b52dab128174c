// Directory search and look-ups on names the old systems never had to
// face: host names without a code page 932 form, names that differ only in
// case, and the search rules of dotted patterns.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#ifndef _WIN32
#include "platform/folder_names.h"
#endif
#include "platform/platform.h"
#include "support/disk_fixtures.h"

namespace {

struct Found {
  std::string name;
  bool convertible;
  std::string hostName;
};

std::vector<Found> Search(const std::string& pattern) {
  std::vector<Found> out;
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(pattern, e);
  if (!h) return out;
  do out.push_back({e.name, e.convertible, e.hostName});
  while (plat::FindNext(h, e));
  plat::FindClose(h);
  return out;
}

std::vector<std::string> Names(const std::string& pattern) {
  std::vector<std::string> out;
  for (const Found& f : Search(pattern)) out.push_back(f.convertible ? f.name : "!" + f.hostName);
  return out;
}

TEST(PlatformSearch, HostNamesWithoutInnerFormAreReportedByHostName) {
#ifdef _WIN32
  GTEST_SKIP() << "Linux host names; the Windows form is in platform_files_win32_test.cpp";
#endif
  TempDir dir;
  WriteFileBytes(dir.path / "한.txt", "k");
  WriteFileBytes(dir.path / "😀", "e");
  WriteFileBytes(dir.path / "a¥b.txt", "y");  // would become a separator
  WriteFileBytes(dir.path / "表.txt", "h");
  const std::string folder = Inner(dir.path) + "\\";
  EXPECT_EQ(Names(folder + "*.txt"),
            (std::vector<std::string>{"!a¥b.txt", Sjis("表.txt"), "!한.txt"}));
  std::vector<Found> all = Search(folder + "*");
  ASSERT_EQ(all.size(), 6u);  // with "." and ".."
  EXPECT_EQ(all[2].hostName, "a¥b.txt");
  EXPECT_TRUE(all[2].name.empty());
  std::string inner;
  EXPECT_FALSE(plat::FromHostPath((dir.path / "a¥b.txt").string(), inner));
}

TEST(PlatformSearch, DottedPatternsAndDoubleByteWildcards) {
  TempDir dir;
  for (const char* n : {"readme", "readme.txt", "disk1.id", "表.id", "表表.id"})
    WriteFileBytes(dir.path / n, "x");
  const std::string folder = Inner(dir.path) + "\\";
  EXPECT_EQ(Names(folder + "readme.*"), (std::vector<std::string>{"readme", "readme.txt"}));
  EXPECT_EQ(Names(folder + "*."), std::vector<std::string>{"readme"});
  // '?' stands for one whole character, double-byte or not.
  EXPECT_EQ(Names(folder + "?.id"), (std::vector<std::string>{Sjis("表.id")}));
  EXPECT_EQ(Names(folder + "DISK?.ID"), (std::vector<std::string>{"disk1.id"}));
  EXPECT_EQ(Names(folder + "*.ID").size(), 3u);
  EXPECT_TRUE(Names(folder + "nosuch").empty());
  EXPECT_TRUE(Names(Inner(dir.path / "nosuchfolder") + "\\*.*").empty());
}

TEST(PlatformSearch, DanglingLinksAreNoEntries) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need a privilege on Windows";
#endif
  TempDir dir;
  fs::create_symlink(dir.path / "gone", dir.path / "link");
  fs::create_directories(dir.path / "sub");
  fs::create_symlink(dir.path / "sub", dir.path / "tolink");
  std::vector<std::string> names;
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(Inner(dir.path) + "\\t*", e);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(e.name, "tolink");
  EXPECT_TRUE(e.isFolder);  // links are followed
  EXPECT_FALSE(plat::FindNext(h, e));
  plat::FindClose(h);
  EXPECT_EQ(plat::FindFirst(Inner(dir.path / "link"), e), nullptr);
}

TEST(PlatformLookups, OtherCaseIsTheSameFile) {
  TempDir dir;
  WriteFileBytes(dir.path / "data" / "title.bmp_lzs", "old contents");
  const std::string upper = Inner(dir.path) + "\\DATA\\TITLE.BMP_LZS";
  std::FILE* f = plat::OpenFile(upper, "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("new", f);
  std::fclose(f);
  // Written over the existing file, not beside it.
  EXPECT_EQ(ListTree(dir.path), std::vector<std::string>{"data/title.bmp_lzs"});
  EXPECT_EQ(ReadFileBytes(dir.path / "data" / "title.bmp_lzs"), "new");

  uint64_t time = 0;
  EXPECT_TRUE(plat::LastWriteTime(upper, time));
  EXPECT_FALSE(plat::MakeFolder(Inner(dir.path) + "\\Data"));  // exists in another case
  EXPECT_TRUE(plat::MakeFolder(Inner(dir.path) + "\\Data\\New\\"));
  EXPECT_TRUE(fs::is_directory(dir.path / "data" / "New"));
  ASSERT_TRUE(plat::CopyFileReplacing(upper, Inner(dir.path) + "\\DATA\\COPY"));
  EXPECT_TRUE(fs::exists(dir.path / "data" / "COPY"));
  EXPECT_TRUE(plat::RemoveFile(upper));
  EXPECT_FALSE(fs::exists(dir.path / "data" / "title.bmp_lzs"));
}

TEST(PlatformLookups, KeptNamesFollowWhatThisProgramAndOthersChange) {
#ifdef _WIN32
  GTEST_SKIP() << "NOTICE: Windows looks names up in any case itself; nothing is kept";
#else
  TempDir dir;
  fs::create_directories(dir.path / "Data");
  const std::string data = Inner(dir.path) + "\\data\\";
  auto opens = [](const std::string& path) {
    std::FILE* f = plat::OpenFile(path, "rb");
    if (f) std::fclose(f);
    return f != nullptr;
  };
  // New files land in the existing folder, and are found in another case
  // once they are there: the kept names follow what this program writes.
  for (int i = 0; i < 50; ++i) {
    std::FILE* f = plat::OpenFile(data + "new" + std::to_string(i), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  EXPECT_EQ(ListTree(dir.path).size(), 50u);
  EXPECT_TRUE(opens(data + "NEW49"));
  EXPECT_TRUE(plat::MakeFolder(data + "Sub\\"));
  EXPECT_FALSE(plat::MakeFolder(data + "SUB\\"));

  // What another program changes in a folder read before is seen too, by
  // the folder's times (moved on here, as the clock may not have ticked).
  int tick = 0;
  auto elsewhere = [&](auto change) {
    change();
    fs::last_write_time(dir.path / "Data", fs::file_time_type(std::chrono::seconds(++tick)));
  };
  elsewhere([&] { WriteFileBytes(dir.path / "Data" / "Other.TXT", "x"); });
  EXPECT_TRUE(opens(data + "other.txt"));
  elsewhere([&] { fs::remove(dir.path / "Data" / "Other.TXT"); });
  EXPECT_FALSE(opens(data + "other.txt"));
  elsewhere([&] { WriteFileBytes(dir.path / "Data" / "oTHER.txt", "y"); });
  EXPECT_TRUE(opens(data + "OTHER.TXT"));
  // A removed name that another shares in another case gives way to it.
  elsewhere([&] { WriteFileBytes(dir.path / "Data" / "Other.txt", "z"); });
  EXPECT_TRUE(plat::RemoveFile(data + "Other.txt"));
  EXPECT_TRUE(fs::exists(dir.path / "Data" / "oTHER.txt"));
  EXPECT_TRUE(opens(data + "OTHER.TXT"));
  EXPECT_LE(plat::names::KeptNames(), plat::names::kMaxNames);

  // Another disk in the drive is another folder, whatever its path.
  std::string why;
  if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: disk change skipped, " << why;
  TmpfsDrive drive(dir.path / "A", 64 * 1024);
  WriteFileBytes(dir.path / "A" / "Disk1.ID", "1");
  EXPECT_TRUE(opens(Inner(dir.path / "A") + "\\disk1.id"));
  drive.Change();
  WriteFileBytes(dir.path / "A" / "DISK2.id", "2");
  EXPECT_FALSE(opens(Inner(dir.path / "A") + "\\disk1.id"));
  EXPECT_TRUE(opens(Inner(dir.path / "A") + "\\disk2.id"));
#endif
}

TEST(PlatformFiles, CopyOntoItselfKeepsTheFile) {
  TempDir dir;
  WriteFileBytes(dir.path / "a", "contents");
  WriteFileBytes(dir.path / "longer", std::string(100, 'l'));
  EXPECT_FALSE(plat::CopyFileReplacing(Inner(dir.path / "a"), Inner(dir.path) + "\\A"));
  EXPECT_EQ(ReadFileBytes(dir.path / "a"), "contents");
  // A longer file that is replaced is cut to the new length.
  ASSERT_TRUE(plat::CopyFileReplacing(Inner(dir.path / "a"), Inner(dir.path / "longer")));
  EXPECT_EQ(ReadFileBytes(dir.path / "longer"), "contents");
  EXPECT_FALSE(plat::CopyFileReplacing(Inner(dir.path / "none"), Inner(dir.path / "b")));
  EXPECT_FALSE(fs::exists(dir.path / "b"));
}

TEST(PlatformFiles, LengthCountsBufferedDataAndTempFilesAreNotPrivate) {
  TempDir dir;
  std::FILE* f = plat::OpenFile(Inner(dir.path / "grow"), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite("0123456789", 1, 10, f);
  EXPECT_EQ(plat::FileLength(f), 10);
  std::fclose(f);

  mode_t mask = umask(022);
  std::string temp = plat::MakeTempFile(InnerFolder(dir.path), "lzs");
  umask(mask);
  ASSERT_FALSE(temp.empty());
  std::string host;
  ASSERT_TRUE(plat::ToHostPath(temp, host));
  struct stat st;
  ASSERT_EQ(stat(host.c_str(), &st), 0);
  // These files are copied onto the disk set with their modes.
#ifndef _WIN32  // no permission bits
  EXPECT_EQ(st.st_mode & 0777, 0644u);
#endif
}

}  // namespace
