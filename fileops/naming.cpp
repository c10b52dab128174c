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

// Names that Windows takes for a device, whatever their extension and
// trailing blanks: writing to one would not write a file.
bool IsDeviceName(std::string_view level) {
  std::string_view stem = level.substr(0, level.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string upper;
  for (char c : stem) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
      upper == "CONOUT$")
    return true;
  return upper.size() == 4 &&
         (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) && upper[3] >= '1' &&
         upper[3] <= '9';
}

// One level of a name: not empty, not "." or ".." (or what Windows trims to
// one), no device, no control characters, no drive or stream colon, no '/'.
bool IsSafeLevel(std::string_view level) {
  if (IsDotsOrEmpty(level) || IsDeviceName(level)) return false;
  for (std::size_t i = 0; i < level.size(); i = cp932::Next(level, i)) {
    unsigned char c = static_cast<unsigned char>(level[i]);
    if (cp932::Next(level, i) == i + 2) {
      // A whole pair; one whose second byte no character has (':' or a
      // control character, say) is no name at all.
      if (!cp932::IsTrailByte(static_cast<unsigned char>(level[i + 1]))) return false;
      continue;
    }
    if (c < 0x20 || c == 0x7F || c == ':' || c == '/' || c == '\\') return false;
  }
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
  std::string_view text(name);
  std::size_t levelStart = 0;
  for (std::size_t i = 0; i <= text.size(); i = cp932::Next(text, i)) {
    // Only a whole-character '\' separates levels: the second byte of ソ is none.
    if (i < text.size() && !(text[i] == '\\' && cp932::Next(text, i) == i + 1)) continue;
    if (!IsSafeLevel(text.substr(levelStart, i - levelStart))) return false;
    levelStart = i + 1;
    if (i == text.size()) break;
  }
  // The file's own name once "_lzs" is cut off must still be one: "..._lzs"
  // would become "..", and "._lzs" nothing at all.
  PathParts last;
  SplitPath(name, last);
  std::string ext = CutLzsSuffix(last.ext);
  if (ext == ".") ext.clear();
  return IsSafeLevel(last.name + ext);
}

bool IsSafeTitle(const std::string& title) { return IsSafeLevel(title); }

std::string ComeBackName(const std::string& relative) {
  PathParts parts;
  SplitPath(WithLzsSuffix(relative), parts);
  std::string ext = CutLzsSuffix(parts.ext);
  if (ext == ".") ext.clear();
  return MakePath(parts.drive, parts.folder, parts.name, ext);
}
