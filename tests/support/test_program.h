// The program that the black-box tests start: this build's kelvod, or the
// one KELVOD_TEST_PROGRAM names, started through KELVOD_TEST_LAUNCHER when
// set (tools/wine-tests.sh runs the same tests against kelvod.exe under
// Wine this way).
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace test_program {

namespace fs = std::filesystem;

inline std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

inline std::string Path() {
  std::string chosen = Env("KELVOD_TEST_PROGRAM");
  return chosen.empty() ? std::string(KELVOD_BINARY) : chosen;
}

// Shell words that start the program at `file` (a copy on a disk set, say).
inline std::string CommandAt(const fs::path& file) {
  std::string launcher = Env("KELVOD_TEST_LAUNCHER");
  return (launcher.empty() ? "" : launcher + " ") + "'" + file.string() + "'";
}

inline std::string Command() { return CommandAt(Path()); }

// The program's file name, which a disk set's copy keeps ("kelvod.exe").
inline std::string FileName() { return fs::path(Path()).filename().string(); }

inline bool IsWindowsProgram() { return fs::path(Path()).extension() == ".exe"; }

// The Start-menu entry of a game expanded by the program, below
// XDG_DATA_HOME: the Linux program writes it; for the Windows program
// Wine's menu builder makes it from the .lnk, a moment after the program
// has ended, so this waits for it.
inline fs::path StartMenuEntry(const fs::path& xdgDataHome, const std::string& title) {
  const std::string folder = "ﾄﾞﾙﾐｱﾝ95ｹﾞｰﾑ";
  if (!IsWindowsProgram()) return xdgDataHome / "applications" / folder / (title + ".desktop");
  fs::path entry = xdgDataHome / "applications/wine/Programs" / folder / (title + ".desktop");
  for (int i = 0; i < 300 && !fs::exists(entry); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return entry;
}

}  // namespace test_program
