// Paths as texts: taking them apart and joining them (network prefixes
// included) and trimming a trailing separator. Paths are code page 932
// texts with '\' separators; nothing here looks at a disk.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The old systems' path buffers hold 260 bytes with the terminator.
inline constexpr std::size_t kPathBufferSize = 260;
inline constexpr std::size_t kMaxPathBytes = kPathBufferSize - 1;  // 259
// The longest folder + name + extension a destination may have before it is
// joined (the drive part is not counted): one byte under kMaxPathBytes.
inline constexpr std::size_t kMaxJoinedName = kMaxPathBytes - 1;  // 258

struct PathParts {
  std::string drive;   // "C:", "\\server\share", or empty
  std::string folder;  // up to and including the last separator
  std::string name;    // base name
  std::string ext;     // from the last '.', dot included
};

void SplitPath(std::string_view path, PathParts& out);
std::string MakePath(std::string_view drive, std::string_view folder, std::string_view name,
                     std::string_view ext);
inline std::string MakePath(const PathParts& p) {
  return MakePath(p.drive, p.folder, p.name, p.ext);
}

// Removes c when it is the last whole character of text; returns 1 then, else 0.
int RemoveTrailingChar(std::string& text, char c);

// Appends '\' unless the text already ends with it as a whole character.
void AddTrailingSeparator(std::string& folder);

// True when the folder part is "", "\", ".\" or "..\" (case-insensitive):
// nothing on the disk needs to be looked at.
bool IsTopLevelFolder(std::string_view folder);

// Root folder part + relative folder part, without doubling the separator;
// "\" when both are empty.
std::string JoinFolders(const std::string& rootFolder, const std::string& relativeFolder);
