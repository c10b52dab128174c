#include "fileops/naming.h"

#include "codec/header.h"
#include "text/cp932.h"

namespace {

// "." and ".." levels, what Windows trims to them ("...", ". ."), and
// empty levels.
bool IsDotsOrEmpty(std::string_view level) {
  for (char c : level)
    if (c != '.' && c != ' ') return false;
  return true;
}

bool Fits(const PathParts& root, const PathParts& rel) {
  return root.folder.size() + rel.folder.size() + rel.name.size() + rel.ext.size() <=
         kMaxJoinedName;
}

}  // namespace

bool DestinationName(const std::string& root, const std::string& relative, bool addSuffix,
                     std::string& out) {
  PathParts rootParts;
  SplitPath(root, rootParts);
  if (!rootParts.name.empty()) {
    out = root;
  } else {
    PathParts rel;
    SplitPath(relative, rel);
    if (!Fits(rootParts, rel)) return false;
    out = MakePath(rootParts.drive, JoinFolders(rootParts.folder, rel.folder), rel.name, rel.ext);
  }
  if (addSuffix) {
    if (out.size() + 4 > kMaxJoinedName) return false;
    out = WithLzsSuffix(out);
  }
  return true;
}

bool OutputName(const std::string& root, const std::string& relative, std::string& out) {
  PathParts rootParts;
  SplitPath(root, rootParts);
  if (!rootParts.name.empty()) {
    out = root;
    return true;
  }
  PathParts rel;
  SplitPath(relative, rel);
  if (!Fits(rootParts, rel)) return false;
  std::string ext = CutLzsSuffix(rel.ext);
  // readme._lzs leaves a lone dot, which a Windows file system drops and a
  // Linux one keeps; drop it everywhere so both give "readme".
  if (ext == ".") ext.clear();
  out = MakePath(rootParts.drive, JoinFolders(rootParts.folder, rel.folder), rel.name, ext);
  return true;
}

bool IsSafeRelativeName(const std::string& name) {
  if (name.empty() || name[0] == '\\' || name[0] == '/') return false;
  std::string_view text(name);
  std::size_t levelStart = 0;
  for (std::size_t i = 0; i < text.size(); i = cp932::Next(text, i)) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (cp932::IsLeadByte(c)) continue;  // a double-byte character is never a separator
    if (c < 0x20 || c == 0x7F || c == ':') return false;  // control characters, drives, streams
    if (c == '\\' || c == '/') {
      if (IsDotsOrEmpty(text.substr(levelStart, i - levelStart))) return false;
      levelStart = i + 1;
    }
  }
  return !IsDotsOrEmpty(text.substr(levelStart));
}
