// Start-up of the main window in both modes, its commands and its clean-up,
// driven through the scripted front end in real temporary folders.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/dialogue/resources/messages.h"
#include "app/main_window.h"
#include "platform/platform.h"
#include "support/disk_fixtures.h"
#include "support/rig.h"

namespace {

using namespace std::string_literals;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldCwd_ = fs::current_path();
    const char* home = getenv("HOME");
    const char* tmp = getenv("TMPDIR");
    oldHome_ = home ? home : "";
    oldTmp_ = tmp ? tmp : "";
    hadTmp_ = tmp != nullptr;
    work_ = dir_.path / "game";
    home_ = dir_.path / "home";
    temp_ = dir_.path / "temp";
    fs::create_directories(work_);
    fs::create_directories(home_);
    fs::create_directories(temp_);
    setenv("HOME", home_.c_str(), 1);
    setenv("TMPDIR", temp_.c_str(), 1);
    fs::current_path(work_);
  }
  void TearDown() override {
    if (!rig.ui.MainWindowClosed()) rig.window.Destroy();
    fs::current_path(oldCwd_);
    setenv("HOME", oldHome_.c_str(), 1);
    if (hadTmp_)
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

  // The temporary files the program left in the temporary folder.
  int TempFiles() {
    int n = 0;
    for (const auto& e : fs::directory_iterator(temp_)) {
      (void)e;
      ++n;
    }
    return n;
  }

  // The default destination of a make run for a title.
  std::string MakeDestination(const std::string& title) {
    std::string root = plat::FirstRemovableRoot();
#ifdef _WIN32
    if (root.empty()) root = plat::DefaultGameRoot();  // the first fixed drive
#else
    if (root.empty()) root = Inner(home_) + "\\";
#endif
    return root + title;
  }
  std::string ExtractDestination(const std::string& title) {
#ifdef _WIN32
    return plat::DefaultGameRoot() + title;
#else
    return Inner(home_) + "\\Games\\" + title;
#endif
  }

  TempDir dir_;
  Rig rig;
  ScriptedFrontEnd& fe = rig.fe;
  WindowState& st = rig.state;
  fs::path work_, home_, temp_, oldCwd_;
  std::string oldHome_, oldTmp_;
  bool hadTmp_ = false;
};

TEST_F(MainWindowTest, MakeModeWithoutProjectFileWarnsAndEnds) {
  fs::create_directories(work_ / "sub");
  fs::current_path(work_ / "sub");
  EXPECT_FALSE(rig.window.Init(Inner(work_)));
  ASSERT_EQ(fe.dialogs.size(), 1u);
  EXPECT_EQ(fe.dialogs[0].text, msg::kMsgNoProject);
  EXPECT_EQ(fe.dialogs[0].caption, msg::kCaptionWarning);
  EXPECT_EQ(fe.dialogs[0].style, 0x30u);
  EXPECT_TRUE(fe.destroyed);
  EXPECT_TRUE(rig.ui.MainWindowClosed());
  EXPECT_EQ(rig.window.ExitStatus(), 1);
  EXPECT_EQ(TempFiles(), 0);
  EXPECT_EQ(fs::current_path(), work_ / "sub");
}

TEST_F(MainWindowTest, MakeModeFillsTheWindow) {
  WriteFileBytes(work_ / "my.game.qzm", "project");
  const std::string commandLine = "\"" + Inner(work_) + "\"";  // quotes are kept
  ASSERT_TRUE(rig.window.Init(commandLine));
  EXPECT_EQ(st.RunMode, MakeMode);
  EXPECT_EQ(st.Title, "my.game");
  EXPECT_EQ(st.SourceFolder, commandLine);
  EXPECT_EQ(fe.controlTexts[kSourceField], commandLine);
  EXPECT_EQ(fe.controlTexts[kDestinationField], MakeDestination("my.game"));
  EXPECT_EQ(st.StartDir, Inner(work_));
  EXPECT_FALSE(rig.window.StopRequested());
  EXPECT_FALSE(fe.enabled[kIdAbort]);
  EXPECT_TRUE(fe.enabled[kIdOk]);
  EXPECT_TRUE(fe.dialogs.empty());
  EXPECT_FALSE(st.ListBufferPresent);

  // The temporary list file exists, empty, with its prefix.
  ASSERT_FALSE(st.ListTempPath.empty());
  std::string host;
  ASSERT_TRUE(plat::ToHostPath(st.ListTempPath, host));
  EXPECT_EQ(fs::path(host).parent_path(), temp_);
  EXPECT_EQ(fs::path(host).filename().string().substr(0, 3), "lzs");
  EXPECT_TRUE(fs::exists(host));
  EXPECT_EQ(fs::file_size(host), 0u);

  // Exit: the window goes, the temporary file with it, the start folder is
  // current again.
  fs::current_path(dir_.path);
  rig.window.Command(kIdCancel);
  EXPECT_TRUE(fe.destroyed);
  EXPECT_FALSE(fs::exists(host));
  EXPECT_TRUE(st.ListTempPath.empty());
  EXPECT_EQ(fs::current_path(), work_);
  EXPECT_EQ(rig.window.ExitStatus(), 0);
}

TEST_F(MainWindowTest, ExtractModeWithoutListWarnsAndEnds) {
  EXPECT_FALSE(rig.window.Init(""));
  EXPECT_EQ(st.RunMode, ExtractMode);
  ASSERT_EQ(fe.MessageTexts().size(), 1u);
  EXPECT_EQ(fe.dialogs[0].text, msg::kMsgNoList);
  EXPECT_EQ(fe.dialogs[0].caption, msg::kCaptionWarning);
  EXPECT_EQ(fe.dialogs[0].style, 0x30u);
  EXPECT_TRUE(fe.destroyed);
  EXPECT_EQ(rig.window.ExitStatus(), 1);
  EXPECT_EQ(TempFiles(), 0);
}

TEST_F(MainWindowTest, ExtractModeReadsTheListAsTextModeDoes) {
  // CR LF becomes LF; a lone CR stays; the text ends right after the last line.
  const std::string title = "\x83Q\x81[\x83\x80 \x83\\";  // ゲーム ソ
  WriteFileBytes(work_ / "kelvod.lst", "3\r\n" + title + "\r\nID=1\r\n1:a_lzs\r\nEN\rD\r\n");
  ASSERT_TRUE(rig.window.Init(""));
  EXPECT_TRUE(st.ListBufferPresent);
  EXPECT_EQ(st.ListBuffer, "3\n" + title + "\nID=1\n1:a_lzs\nEN\rD\n");
  EXPECT_EQ(st.Title, title);
  EXPECT_EQ(st.SourceFolder, Inner(work_));
  EXPECT_EQ(fe.controlTexts[kSourceField], Inner(work_));
  EXPECT_EQ(fe.controlTexts[kDestinationField], ExtractDestination(title));
  EXPECT_FALSE(st.ListTempPath.empty());
  rig.window.Command(kIdCancel);
  EXPECT_FALSE(st.ListBufferPresent);
  EXPECT_TRUE(st.ListBuffer.empty());
}

TEST_F(MainWindowTest, ExtractModeRefusesAListWithAnOverlongLine) {
  WriteFileBytes(work_ / "kelvod.lst", "2\r\nt\r\nID=1\r\n1:" + std::string(300, 'a') + "\r\n");
  EXPECT_FALSE(rig.window.Init(""));
  ASSERT_EQ(fe.dialogs.size(), 1u);
  EXPECT_EQ(fe.dialogs[0].text, msg::kMsgListLineTooLong);
  EXPECT_EQ(rig.window.ExitStatus(), 1);
  EXPECT_FALSE(st.ListBufferPresent);
}

TEST_F(MainWindowTest, NoTemporaryFileIsAStartFailure) {
  WriteFileBytes(work_ / "g.qzm", "p");
  setenv("TMPDIR", (dir_.path / "missing").c_str(), 1);
  EXPECT_FALSE(rig.window.Init("w"));
  ASSERT_EQ(fe.dialogs.size(), 1u);
  EXPECT_EQ(fe.dialogs[0].text, msg::kMsgNoTempFile);
  EXPECT_EQ(fe.dialogs[0].caption, msg::kCaptionWarning);
  EXPECT_EQ(rig.window.ExitStatus(), 1);
  EXPECT_TRUE(fe.destroyed);
}

TEST_F(MainWindowTest, AWorkFolderWithoutInnerFormIsRefused) {
  WriteFileBytes(work_ / "g.qzm", "p");
#ifdef _WIN32
  EXPECT_FALSE(rig.window.Start("C:\\\xF0\x9F\x98\x80"));  // no code page 932 form
#else
  EXPECT_FALSE(rig.window.Start("/tmp/a\\b"));
#endif
  ASSERT_EQ(fe.dialogs.size(), 1u);
  EXPECT_EQ(fe.dialogs[0].caption, msg::kCaptionWarning);
  EXPECT_EQ(rig.window.ExitStatus(), 1);
  EXPECT_TRUE(rig.ui.MainWindowClosed());
}

TEST_F(MainWindowTest, BrowseReplacesTheDestinationUnchangedOrLeavesIt) {
  WriteFileBytes(work_ / "g.qzm", "p");
  ASSERT_TRUE(rig.window.Init("w"));
  const std::string before = fe.controlTexts[kDestinationField];
  fe.browseAnswers = {"", "\\"};
  rig.window.Command(kBrowseButton);
  EXPECT_EQ(fe.controlTexts[kDestinationField], before);
  rig.window.Command(kBrowseButton);
  EXPECT_EQ(fe.controlTexts[kDestinationField], "\\");  // no title appended
  ASSERT_EQ(fe.dialogs.size(), 2u);
  EXPECT_EQ(fe.dialogs[0].kind, RecordedDialog::kBrowse);
  EXPECT_EQ(fe.dialogs[0].text, msg::kBrowseTitle);
}

TEST_F(MainWindowTest, AbortAsksAndOnlyOkStopsTheRun) {
  WriteFileBytes(work_ / "g.qzm", "p");
  ASSERT_TRUE(rig.window.Init("w"));
  rig.window.Command(kIdAbort);  // idle: Abort is disabled
  EXPECT_TRUE(fe.dialogs.empty());

  rig.ui.EnterBusyState();
  fe.answers = {kIdCancel, kIdOk};
  rig.window.Command(kIdAbort);
  EXPECT_FALSE(rig.window.StopRequested());
  rig.window.Command(kIdAbort);
  EXPECT_TRUE(rig.window.StopRequested());
  ASSERT_EQ(fe.dialogs.size(), 2u);
  EXPECT_EQ(fe.dialogs[0].text, msg::kMsgConfirmAbort);
  EXPECT_EQ(fe.dialogs[0].caption, msg::kCaptionConfirm);
  EXPECT_EQ(fe.dialogs[0].style, 0x21u);

  // Busy: Run, Exit and Browse do not get through.
  rig.window.Command(kIdCancel);
  rig.window.Command(kBrowseButton);
  rig.window.Command(kIdOk);
  EXPECT_FALSE(fe.destroyed);
  EXPECT_EQ(fe.dialogs.size(), 2u);
  rig.ui.EnterIdleState();
}

TEST_F(MainWindowTest, ARunThatDoesNotEndNormallyMakesTheExitStatusTwo) {
  WriteFileBytes(work_ / "g.qzm", "p");
  ASSERT_TRUE(rig.window.Init("w"));
  fe.controlTexts[kDestinationField] = "";
  rig.window.Command(kIdOk);
  ASSERT_EQ(fe.dialogs.size(), 1u);
  EXPECT_EQ(fe.dialogs[0].text, msg::kMsgEnterOutputFolder);
  rig.window.Command(kIdCancel);
  EXPECT_EQ(rig.window.ExitStatus(), 2);
}

TEST(CommandLineCopy, JoinsWithSingleBlanksAndDropsLeadingBlanks) {
  char a0[] = "kelvod", a1[] = "--", a2[] = "  my", a3[] = "game ", a4[] = " ";
  char* argv[] = {a0, a1, a2, a3, a4};
  EXPECT_EQ(CommandLineCopy(5, argv, 2), "my game   ");
  EXPECT_EQ(CommandLineCopy(5, argv, 4), "");
  EXPECT_EQ(CommandLineCopy(5, argv, 5), "");
  char b1[] = "";
  char* blanks[] = {a0, b1, a4};
  EXPECT_EQ(CommandLineCopy(3, blanks, 1), "");
}

}  // namespace
