// Destination names of the disk set and of the game folder, joined from a
// root folder and a path relative to it.
#pragma once

#include <string>

// The longest folder + name + extension a joined name may have (the drive
// part is not counted).
constexpr std::size_t kMaxJoinedName = 258;

// Root folder part + relative folder part, without doubling the separator;
// "\" when both are empty.
std::string JoinFolders(const std::string& rootFolder, const std::string& relativeFolder);

// The disk set name of a packed file: root + relative name, with "_lzs"
// appended to the extension when addSuffix. A root with a name part is the
// destination itself. False when the name is too long.
bool DestinationName(const std::string& root, const std::string& relative, bool addSuffix,
                     std::string& out);

// The game folder name of a listed file: root + relative name with the
// "_lzs" suffix cut off the extension. False when the name is too long.
bool OutputName(const std::string& root, const std::string& relative, std::string& out);
