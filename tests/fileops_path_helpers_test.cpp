// Taking paths apart and joining them, network prefixes included, and
// creating folder levels with the retry prompt.
#include <gtest/gtest.h>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/resources/messages.h"
#include "codec/result_code.h"
#include "fileops/paths.h"
#include "runs/set_writer.h"
#include "support/disk_fixtures.h"
#include "support/rig.h"
#include "text/paths.h"

namespace {

TEST(PathHelpers, NetworkPrefixIsTheDrive) {
  PathParts p;
  SplitPath("\\\\srv\\share\\dir\\file.txt", p);
  EXPECT_EQ(p.drive, "\\\\srv\\share");
  EXPECT_EQ(p.folder, "\\dir\\");
  EXPECT_EQ(p.name, "file");
  EXPECT_EQ(p.ext, ".txt");
  EXPECT_EQ(MakePath(p), "\\\\srv\\share\\dir\\file.txt");
  SplitPath("\\\\srv\\share", p);
  EXPECT_EQ(p.drive, "");
  EXPECT_EQ(p.folder, "\\\\srv\\");
  EXPECT_EQ(p.name, "share");
}

TEST(PathHelpers, RemoveTrailingCharTakesWholeCharactersOnly) {
  std::string s = "A:\\title\\";
  EXPECT_EQ(RemoveTrailingChar(s, '\\'), 1);
  EXPECT_EQ(s, "A:\\title");
  EXPECT_EQ(RemoveTrailingChar(s, '\\'), 0);
  std::string so = "x\x83\x5c";
  EXPECT_EQ(RemoveTrailingChar(so, '\\'), 0);
  EXPECT_EQ(so, "x\x83\x5c");
}

TEST(PathHelpers, IsFolderLooksAtTheDiskBelowTheTopLevel) {
  TempDir dir;
  fs::create_directories(dir.path / "game");
  WriteFileBytes(dir.path / "file", "x");
  std::string top = "C:\\nosuchfolder";
  EXPECT_EQ(IsFolder(top), 1);
  std::string missing = Inner(dir.path / "nosuchfolder");
  EXPECT_EQ(IsFolder(missing), 0);
  std::string game = InnerFolder(dir.path / "game");
  EXPECT_EQ(IsFolder(game), 1);
  EXPECT_EQ(game, Inner(dir.path / "game"));  // one trailing '\' removed
  std::string file = Inner(dir.path / "file");
  EXPECT_EQ(IsFolder(file), 0);
}

TEST(PathHelpers, EnsureFoldersMakesEachLevelAndAsksOnFailure) {
  TempDir dir;
  Rig rig;
  ScriptedFrontEnd& ui = rig.fe;
  rig.progress.active = 1;
  PathParts p;
  SplitPath(InnerFolder(dir.path / "title" / "data" / "bgm") + "x.wav", p);
  EXPECT_EQ(EnsureFolders(rig.run, p.drive, p.folder), kDone);
  EXPECT_TRUE(fs::is_directory(dir.path / "title/data/bgm"));
  EXPECT_EQ(EnsureFolders(rig.run, "A:", "\\"), kDone);
  EXPECT_TRUE(ui.dialogs.empty());

  // A plain file where a level should be: the level counts as missing, its
  // creation fails, and the prompt names the level with its '\'.
  WriteFileBytes(dir.path / "plain", "x");
  SplitPath(InnerFolder(dir.path / "plain" / "data") + "x", p);
  ui.answers = {1, 2};  // Retry, Abort
  EXPECT_EQ(EnsureFolders(rig.run, p.drive, p.folder), kFolderFailed);
  ASSERT_EQ(ui.dialogs.size(), 2u);
  EXPECT_EQ(ui.dialogs[0].text, InnerFolder(dir.path / "plain"));
  EXPECT_EQ(ui.dialogs[0].caption, msg::kMsgFolderFailed);
  EXPECT_EQ(rig.progress.active, 0);
}

}  // namespace
