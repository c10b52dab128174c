// The Start-menu entry for a game's launcher: where the user's programs
// menu lives and how an entry is written there. Paths are code page 932
// texts in the program's own form.
#pragma once

#include <string>

namespace plat {

// The file name ending of an entry after the title (".desktop" on Linux
// desktops, ".lnk" on Windows).
extern const char* const kShortcutSuffix;

// The user's Programs folder, ending in '\'.
void ProgramsFolder(std::string& out);
// Writes the entry at linkPath: it starts target in workingFolder and is
// described by description. Failures leave no half-written entry and are
// not reported.
void CreateShortcut(const std::string& target, const std::string& workingFolder,
                    const std::string& linkPath, const std::string& description);

}  // namespace plat
