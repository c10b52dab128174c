// The Windows platform layer on real files: code page 932 named explicitly
// at every W interface, names without a code page 932 form, the drives
// behind the default destinations, copies and file times.
#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "platform/system_win32.h"
#include "support/disk_fixtures.h"
#include "text/cp932.h"
#include "text/wide_win32.h"

namespace {

void MakeFile(const std::wstring& path, const char* data) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, data, static_cast<DWORD>(std::strlen(data)), &written, nullptr);
  CloseHandle(h);
}

TEST(WindowsPaths, CodePage932BothWaysAndNothingThatWouldNotComeBack) {
  std::string inner;
  ASSERT_TRUE(plat::FromHostPath("C:\\ゲーム/ソフト\\表", inner));  // '/' is a separator too
  EXPECT_EQ(inner, "C:\\" + Sjis("ゲーム") + "\\\x83\x5c\x83t\x83g\\\x95\x5c");
  std::string host;
  ASSERT_TRUE(plat::ToHostPath(inner, host));
  EXPECT_EQ(host, "C:\\ゲーム\\ソフト\\表");
  EXPECT_FALSE(plat::FromHostPath("C:\\a\u00a5b", inner));      // the yen sign would be '\'
  EXPECT_FALSE(plat::FromHostPath("C:\\\xed\x95\x9c", inner));  // Korean: no form
  std::wstring wide;
  ASSERT_TRUE(cp932::ToWide("\x83\x5c", wide));
  EXPECT_EQ(wide, L"ソ");
  std::string back;
  EXPECT_FALSE(cp932::FromWide(L"\u00a5", back));
  EXPECT_EQ(cp932::FromWideLossy(L"a\u00a5\U0001F600b"), "a??b");
  EXPECT_EQ(plat::kHostSeparator, '\\');
}

TEST(WindowsSearch, NamesWithoutInnerFormAreReportedByHostNameAndShortNamesDoNotMatch) {
  TempDir dir;
  const std::wstring folder = dir.path.wstring() + L"\\";
  MakeFile(folder + L"\uD55C.txt", "k");
  MakeFile(folder + L"a\u00a5b.txt", "y");
  MakeFile(folder + L"\u8868.txt", "h");
  MakeFile(folder + L"game.qzmx", "not a project");
  std::vector<std::string> names;
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(Inner(dir.path) + "\\*.txt", e);
  ASSERT_NE(h, nullptr);
  do names.push_back(e.convertible ? e.name : "!" + e.hostName);
  while (plat::FindNext(h, e));
  plat::FindClose(h);
  EXPECT_EQ(names,
            (std::vector<std::string>{"!a\u00a5b.txt", Sjis("表.txt"), "!\xed\x95\x9c.txt"}));
  EXPECT_EQ(plat::FindFirst(Inner(dir.path) + "\\*.qzm", e), nullptr);
}

TEST(WindowsVolumes, DefaultsFollowTheDriveTypesAndFreeSpaceIsSixtyFourBits) {
  std::string removable, fixed;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    UINT type = GetDriveTypeW(root);
    if (type == DRIVE_REMOVABLE && removable.empty()) removable = std::string(1, letter) + ":\\";
    if (type == DRIVE_FIXED && fixed.empty()) fixed = std::string(1, letter) + ":\\";
  }
  ASSERT_FALSE(fixed.empty());
  EXPECT_EQ(plat::DefaultGameRoot(), fixed);
  EXPECT_EQ(plat::DefaultDiskSetRoot(), removable.empty() ? fixed : removable);
  EXPECT_EQ(plat::CompanionProgram(), "");

  TempDir dir;
  uint64_t free = 0;
  ASSERT_TRUE(plat::FreeBytes(Inner(dir.path / "not" / "yet"), free));  // nearest folder
  ULARGE_INTEGER expected;
  ASSERT_TRUE(GetDiskFreeSpaceExW(dir.path.wstring().c_str(), &expected, nullptr, nullptr));
  EXPECT_NEAR(static_cast<double>(free), static_cast<double>(expected.QuadPart), 64.0 * 1048576);
}

TEST(WindowsFiles, CopiesRefuseTheSameFileAndDevicesAreNoFiles) {
  TempDir dir;
  WriteFileBytes(dir.path / "a", std::string(300000, 'a'));
  ASSERT_TRUE(plat::CopyFileReplacing(Inner(dir.path / "a"), Inner(dir.path / "b")));
  EXPECT_EQ(ReadFileBytes(dir.path / "b"), std::string(300000, 'a'));
  // The same file under another spelling: nothing is emptied.
  EXPECT_FALSE(plat::CopyFileReplacing(Inner(dir.path / "a"), Inner(dir.path) + "\\.\\A"));
  EXPECT_EQ(fs::file_size(dir.path / "a"), 300000u);
  EXPECT_FALSE(plat::CopyFileReplacing(Inner(dir.path / "none"), Inner(dir.path / "b")));
  EXPECT_TRUE(fs::exists(dir.path / "b"));  // a missing source leaves the target alone
  EXPECT_EQ(plat::OpenFile("NUL", "rb"), nullptr);
  EXPECT_EQ(plat::OpenFile(Inner(dir.path), "rb"), nullptr);

  // File times in 100 ns since 1601, as the file system keeps them.
  FILETIME t = {0x12345670, 0x01D00000};
  HANDLE h = CreateFileW((dir.path / "a").wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &t));
  CloseHandle(h);
  uint64_t time = 0;
  ASSERT_TRUE(plat::LastWriteTime(Inner(dir.path / "a"), time));
  EXPECT_EQ(time, 0x01D0000012345670u);
}

TEST(WindowsFiles, TemporaryFilesComeFromTmpAndProgramPathsConvert) {
  TempDir dir;
  setenv("TMPDIR", dir.path.c_str(), 1);  // TMP for Windows
  std::string folder = plat::TempFolder();
  EXPECT_EQ(folder, InnerFolder(dir.path));
  std::string a = plat::MakeTempFile(folder, "lzs");
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a.substr(folder.size(), 3), "lzs");
  EXPECT_TRUE(fs::exists(dir.path / a.substr(folder.size())));
  unsetenv("TMPDIR");
  std::string program = plat::ProgramFile();
  EXPECT_EQ(program.substr(program.size() - 4), ".exe");
  EXPECT_EQ(program.substr(1, 2), ":\\");
}

// The A interfaces of Windows 9x, taken here on any Windows, and the W
// interfaces of NT: the same results, but for a name the ANSI code page
// lacks, which the A interfaces only see with '?' in its place.
TEST(WindowsInterfaces, BothSetsOfCallsGiveTheSameFilesAndRefuseWhatTheyCannotName) {
  for (const bool ansi : {false, true}) {
    SCOPED_TRACE(ansi ? "A interfaces" : "W interfaces");
    plat::sys::UseAnsiInterfaces(ansi);
    const bool named = !ansi || GetACP() == 932;  // can 表 be named?
    TempDir dir;
    const std::string folder = InnerFolder(dir.path);
    WriteFileBytes(dir.path / "表.txt", "h");
    WriteFileBytes(dir.path / "a.txt", std::string(70000, 'a'));

    plat::FindEntry e;
    plat::FindHandle* h = plat::FindFirst(folder + "*.txt", e);
    ASSERT_NE(h, nullptr);
    std::vector<std::string> names;
    do names.push_back(e.convertible ? e.name : "!");
    while (plat::FindNext(h, e));
    plat::FindClose(h);
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected{named ? "a.txt" : "!",
                                            named ? Sjis("表.txt") : "a.txt"};
    EXPECT_EQ(names, expected);
    std::FILE* f = plat::OpenFile(folder + Sjis("表.txt"), "rb");
    EXPECT_EQ(f != nullptr, named);
    if (f) std::fclose(f);

    ASSERT_TRUE(plat::CopyFileReplacing(folder + "a.txt", folder + "b.txt"));
    EXPECT_EQ(ReadFileBytes(dir.path / "b.txt"), std::string(70000, 'a'));
    EXPECT_TRUE(plat::SameFile(folder + "b.txt", folder + "B.TXT"));
    EXPECT_FALSE(plat::SameFile(folder + "a.txt", folder + "b.txt"));
    EXPECT_FALSE(plat::Rename(folder + "b.txt", folder + "a.txt"));  // a.txt is there
    ASSERT_TRUE(plat::MakeFolder(folder + "sub\\"));
    ASSERT_TRUE(plat::Rename(folder + "b.txt", folder + "sub\\c.txt"));
    const std::string temp = plat::MakeTempFile(folder + "sub\\", "lzs");
    EXPECT_EQ(temp.substr(0, folder.size() + 7), folder + "sub\\lzs");
    uint64_t free = 0;
    EXPECT_TRUE(plat::FreeBytes(folder + "sub\\not\\yet", free));
    EXPECT_GT(free, 0u);
    EXPECT_EQ(plat::MakeTempFile("", "lzs"), "");  // never the current folder

    plat::RemoveTree(InnerFolder(dir.path));  // the unnamed file too, by its short name
    EXPECT_FALSE(fs::exists(dir.path));
  }
  plat::sys::UseAnsiInterfaces(false);
}

}  // namespace
