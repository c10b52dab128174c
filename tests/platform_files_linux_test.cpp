// The Linux platform layer on real files: path conversion both ways,
// wildcard search, case-insensitive look-ups, copies and temporary files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/platform.h"
#include "platform/process.h"
#include "support/disk_fixtures.h"

namespace {

TEST(PlatformPaths, ConvertBothWaysKeepingSecondBytes) {
  std::string inner;
  ASSERT_TRUE(plat::FromHostPath("/home/u/ソフト/表", inner));
  EXPECT_EQ(inner, "\\home\\u\\\x83\x5c\x83t\x83g\\\x95\x5c");
  std::string host;
  ASSERT_TRUE(plat::ToHostPath(inner, host));
  EXPECT_EQ(host, "/home/u/ソフト/表");
  EXPECT_FALSE(plat::FromHostPath("/tmp/a\\b", inner));  // no inner form for '\'
  EXPECT_FALSE(plat::FromHostPath("/tmp/😀", inner));     // no code page 932 form
  EXPECT_EQ(plat::DisplayPath("\\a\\\x83"), "/a/?");
}

TEST(PlatformFind, WindowsWildcardsAndCaseInsensitiveNames) {
  TempDir dir;
  WriteFileBytes(dir.path / "Disk1.ID", "1");
  WriteFileBytes(dir.path / "readme", "x");
  fs::create_directories(dir.path / "Data");
  WriteFileBytes(dir.path / "Data" / "Title.BMP_lzs", "bmp");
  const std::string folder = Inner(dir.path);
  auto names = [&](const std::string& pattern) {
    std::vector<std::string> out;
    plat::FindEntry e;
    plat::FindHandle* h = plat::FindFirst(folder + "\\" + pattern, e);
    if (!h) return out;
    do out.push_back(e.name + (e.isFolder ? "/" : ""));
    while (plat::FindNext(h, e));
    plat::FindClose(h);
    return out;
  };
  EXPECT_EQ(names("*.*"), (std::vector<std::string>{"./", "../", "Data/", "Disk1.ID", "readme"}));
  EXPECT_EQ(names("*.id"), (std::vector<std::string>{"Disk1.ID"}));
  EXPECT_EQ(names("*.qzm"), std::vector<std::string>{});
  EXPECT_EQ(names("DATA"), (std::vector<std::string>{"Data/"}));

  // Sets copied off old media change case: opening still finds the file.
  std::FILE* f = plat::OpenFile(folder + "\\DATA\\title.bmp_LZS", "rb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_EQ(plat::OpenFile(folder + "\\Data", "rb"), nullptr);  // a folder is no file
}

TEST(PlatformFiles, CopyKeepsModeAndReportsAFullDisk) {
  TempDir dir;
  WriteFileBytes(dir.path / "tool", std::string(200000, 'x'));
  chmod((dir.path / "tool").c_str(), 0755);
  ASSERT_TRUE(plat::CopyFileReplacing(Inner(dir.path / "tool"), Inner(dir.path / "copy")));
  EXPECT_EQ(fs::status(dir.path / "copy").permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                fs::perms::others_read | fs::perms::others_exec);
  std::string why;
  if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: full-disk copy skipped, " << why;
  TmpfsDrive small(dir.path / "A", 64 * 1024);
  EXPECT_FALSE(plat::CopyFileReplacing(Inner(dir.path / "tool"), Inner(dir.path / "A" / "tool")));
  EXPECT_FALSE(fs::exists(dir.path / "A" / "tool"));  // no cut copy left behind
  uint64_t free = 0;
  ASSERT_TRUE(plat::FreeBytes(Inner(dir.path / "A" / "not" / "yet"), free));
  EXPECT_LE(free, 64u * 1024);
}

TEST(PlatformFiles, TemporaryFilesUseThreeCharactersOfThePrefix) {
  TempDir dir;
  const char* saved = std::getenv("TMPDIR");
  std::string keep = saved ? saved : "";
  setenv("TMPDIR", dir.path.c_str(), 1);
  std::string folder = plat::TempFolder();
  EXPECT_EQ(folder, InnerFolder(dir.path));
  std::string a = plat::MakeTempFile(folder, "_lzs"), b = plat::MakeTempFile(folder, "_lzs");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(a.substr(folder.size(), 3), "_lz");
  EXPECT_EQ(fs::file_size(dir.path / a.substr(folder.size())), 0u);
  EXPECT_EQ(plat::MakeTempFile(Inner(dir.path / "none"), "lzs"), "");
  if (saved)
    setenv("TMPDIR", keep.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

}  // namespace

namespace {

TEST(PlatformFiles, PipesAreNeitherListedNorOpened) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir.path / "pipe").c_str(), 0600), 0);
  WriteFileBytes(dir.path / "file", "x");
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(Inner(dir.path) + "\\*", e);
  ASSERT_NE(h, nullptr);
  std::vector<std::string> names;
  do names.push_back(e.name);
  while (plat::FindNext(h, e));
  plat::FindClose(h);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "file"}));
  EXPECT_EQ(plat::OpenFile(Inner(dir.path / "pipe"), "rb"), nullptr);  // and does not hang
}

TEST(PlatformTools, RunInTheirFolderWithTheEnvironmentGivenAndAnEndToWhatTheySay) {
  TempDir dir;
  const fs::path odd = dir.path / "$(touch x) `y`";
  fs::create_directories(odd);
  setenv("KV_DROPPED_ONE", "1", 1);
  plat::ToolSetup setup;
  setup.folder = odd.string();
  setup.env = {"KV_GIVEN=2"};
  setup.unset = {"KV_DROPPED*"};
  std::string out;
  EXPECT_EQ(plat::RunTool({"sh", "-c", "pwd; echo ${KV_DROPPED_ONE-none} $KV_GIVEN"}, &out, setup),
            0);
  EXPECT_EQ(out, odd.string() + "\nnone 2\n");
  setup.outputLimit = 100000;
  EXPECT_EQ(plat::RunTool({"yes"}, nullptr, setup), -1);
  EXPECT_TRUE(fs::is_empty(odd));
  EXPECT_FALSE(plat::IsRegularFile(Inner(dir.path)));
}

}  // namespace
