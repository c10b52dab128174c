// The game's menu entry shows the launcher's own icon, taken out of the
// program by icoutils; a launcher without one, or a system without the
// tools, gives an entry without Icon=.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/shortcut.h"
#include "support/disk_fixtures.h"

namespace {

// An environment variable set for the test's scope.
struct ScopedEnv {
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(MenuEntryIcon, IsTheLaunchersOwnAndLeftOutWithoutOne) {
#ifndef KELVOD_ICON_LAUNCHER
  GTEST_SKIP() << "no mingw-w64 binutils here to make a launcher with an icon";
#else
  if (std::system("command -v wrestool >/dev/null && command -v icotool >/dev/null") != 0)
    GTEST_SKIP() << "icoutils is not installed";
  TempDir dir;
  ScopedEnv data("XDG_DATA_HOME", (dir.path / "xdg").string());
  ScopedEnv tmp("TMPDIR", (dir.path / "tmp").string());
  fs::create_directories(dir.path / "tmp");
  fs::create_directories(dir.path / "no-tools");
  // A folder whose name would be an option of the tools.
  const fs::path game = dir.path / "-o ゲーム";
  fs::create_directories(game);
  fs::copy_file(KELVOD_ICON_LAUNCHER, game / "qzmrun.exe");
  WriteFileBytes(game / "plain.exe", "MZ and nothing else");
  const fs::path entry = dir.path / "entry.desktop";
  const std::string path = std::getenv("PATH");
  struct Case {
    fs::path launcher;
    std::string searchPath;
    bool icon;
  } cases[] = {{game / "qzmrun.exe", path, true},
               {game / "plain.exe", path, false},
               {game / "qzmrun.exe", (dir.path / "no-tools").string(), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.launcher.string() + " PATH=" + c.searchPath);
    ScopedEnv searched("PATH", c.searchPath);
    fs::remove_all(dir.path / "xdg");
    plat::CreateShortcut(Inner(c.launcher), Inner(game), Inner(entry), Sjis("ゲーム"));
    const std::string text = ReadFileBytes(entry);
    const std::size_t at = text.find("\nIcon=");
    EXPECT_EQ(at != std::string::npos, c.icon) << text;
    EXPECT_TRUE(fs::is_empty(dir.path / "tmp"));
    if (!c.icon || at == std::string::npos) continue;
    const fs::path icon = text.substr(at + 6, text.find('\n', at + 1) - at - 6);
    EXPECT_EQ(icon.parent_path(), dir.path / "xdg/icons/hicolor/32x32/apps") << icon;
    EXPECT_EQ(icon.extension(), ".png");
    const std::string png = ReadFileBytes(icon);
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x20\0\0\0\x20", 8));  // 32 x 32
  }
#endif
}

}  // namespace
