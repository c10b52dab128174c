// The Start-menu entry for the game's launcher.
#pragma once

#include <string>

// destination: the game folder without its trailing '\'.
void MakeStartMenuShortcut(const std::string& destination, const std::string& title);
// The user's Programs folder, ending in '\'.
void ProgramsFolder(std::string& out);
void CreateShortcut(const std::string& target, const std::string& workingFolder,
                    const std::string& linkPath, const std::string& description);
// The link's file name after the title (".desktop" on Linux desktops).
extern const char* const kShortcutSuffix;
