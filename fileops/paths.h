// Path helpers: taking paths apart and joining them (network prefixes
// included), trimming a trailing separator, testing for folders and creating
// every missing folder level with the retry prompt. Paths are code page 932
// texts with '\' separators.
#pragma once

#include <string>
#include <string_view>

struct PathParts {
  std::string drive;   // "C:", "\\server\share", or empty
  std::string folder;  // up to and including the last separator
  std::string name;    // base name
  std::string ext;     // from the last '.', dot included
};

void SplitPath(std::string_view path, PathParts& out);
std::string MakePath(std::string_view drive, std::string_view folder, std::string_view name,
                     std::string_view ext);
inline std::string MakePath(const PathParts& p) { return MakePath(p.drive, p.folder, p.name, p.ext); }

// Removes c when it is the last whole character of text; returns 1 then, else 0.
int RemoveTrailingChar(std::string& text, char c);

// 1 when path is taken to name a folder; may remove one trailing '\'.
int IsFolder(std::string& path);

// Creates every missing level of folder on drive, one level at a time; 0 or
// 12 (the user gave up in the retry prompt).
int EnsureFolders(const std::string& drive, const std::string& folder);

// True when the folder part is "", "\", ".\" or "..\" (case-insensitive):
// nothing on the disk needs to be looked at.
bool IsTopLevelFolder(std::string_view folder);
