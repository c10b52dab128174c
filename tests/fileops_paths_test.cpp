// Path helpers on the cases that break them: second bytes 0x5C, network
// prefixes on real folders, a disk changed between a prompt and its Retry.
#include <gtest/gtest.h>

#include "app/dialogue/dialogue.h"
#include "codec/result_code.h"
#include "fileops/paths.h"
#include "platform/platform.h"
#include "runs/set_writer.h"
#include "support/disk_fixtures.h"
#include "support/rig.h"
#include "text/paths.h"

namespace {

const std::string kSo = "\x83\x5c";   // ソ
const std::string kHyo = "\x95\x5c";  // 表

TEST(PathParts, DoubleByteSecondBytesAreNoSeparators) {
  PathParts p;
  SplitPath("C:\\" + kSo + "\\" + kHyo + ".txt", p);
  EXPECT_EQ(p.drive, "C:");
  EXPECT_EQ(p.folder, "\\" + kSo + "\\");
  EXPECT_EQ(p.name, kHyo);
  EXPECT_EQ(p.ext, ".txt");
  EXPECT_EQ(MakePath(p), "C:\\" + kSo + "\\" + kHyo + ".txt");
  // A folder ending in such a character still gets its separator.
  EXPECT_EQ(MakePath("", "\\" + kHyo, "a", "_lzs"), "\\" + kHyo + "\\a._lzs");
  // A network path whose server name ends in one.
  SplitPath("\\\\s" + kSo + "\\share\\x", p);
  EXPECT_EQ(p.drive, "\\\\s" + kSo + "\\share");
  EXPECT_EQ(p.folder, "\\");
}

TEST(EnsureFoldersOnDisk, NetworkPrefixAndDoubleByteLevels) {
#ifdef _WIN32
  GTEST_SKIP() << "a local folder has a network form only on Linux";
#endif
  TempDir dir;
  Rig rig;
  ScriptedFrontEnd& ui = rig.fe;
  // On Linux "//tmp/x" is "/tmp/x", so a temporary folder written as a
  // network prefix (its first two levels) is a real \\server\share.
  std::string inner = Inner(dir.path);
  std::size_t share = inner.find('\\', inner.find('\\', 1) + 1);
  if (share == std::string::npos) share = inner.size();
  PathParts p;
  SplitPath("\\" + inner + "\\a\\" + kSo + "\\f.txt", p);
  ASSERT_EQ(p.drive, "\\" + inner.substr(0, share));
  EXPECT_EQ(EnsureFolders(rig.run, p.drive, p.folder), kDone);
  EXPECT_TRUE(fs::is_directory(dir.path / "a" / "ソ"));
  EXPECT_TRUE(ui.dialogs.empty());
}

TEST(EnsureFoldersOnDisk, RetryAfterTheDiskWasChanged) {
  TempDir dir;
  Rig rig;
  ScriptedFrontEnd& ui = rig.fe;
  rig.progress.active = 1;
  WriteFileBytes(dir.path / "title", "a plain file where the folder belongs");
  // The user "changes the disk" while the prompt is open.
  ui.onDialog = [&](const RecordedDialog&) { fs::remove(dir.path / "title"); };
  ui.answers = {1};  // Retry
  PathParts p;
  SplitPath(InnerFolder(dir.path / "title" / "data") + "x.bmp", p);
  EXPECT_EQ(EnsureFolders(rig.run, p.drive, p.folder), kDone);
  ASSERT_EQ(ui.dialogs.size(), 1u);
  EXPECT_EQ(ui.dialogs[0].text, InnerFolder(dir.path / "title"));
  EXPECT_TRUE(fs::is_directory(dir.path / "title" / "data"));
  EXPECT_EQ(rig.progress.active, 1);
}

TEST(EnsureFoldersOnDisk, RelativeFolderKeepsItsFirstName) {
  TempDir dir;
  Rig rig;
  std::string start = plat::CurrentFolder();
  ASSERT_TRUE(plat::ChangeFolder(Inner(dir.path)));
  EXPECT_EQ(EnsureFolders(rig.run, "", "title\\data\\"), kDone);
  plat::ChangeFolder(start);
  EXPECT_TRUE(fs::is_directory(dir.path / "title" / "data"));
}

TEST(IsFolderOnDisk, FindsAFolderWhoseCaseChanged) {
  TempDir dir;
  fs::create_directories(dir.path / "Game" / "Data");
  std::string path = InnerFolder(dir.path / "GAME" / "data");
  EXPECT_EQ(IsFolder(path), 1);
}

}  // namespace
