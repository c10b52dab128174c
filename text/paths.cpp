#include "text/paths.h"

#include "text/cp932.h"

namespace {

bool StartsWithTwoSeparators(std::string_view s) {
  return s.size() >= 2 && s[0] == '\\' && s[1] == '\\';
}

}  // namespace

void SplitPath(std::string_view path, PathParts& out) {
  std::string_view rest = path;
  if (!StartsWithTwoSeparators(path)) {
    cp932::SplitPathRaw(path, &out.drive, &out.folder, &out.name, &out.ext);
    return;
  }
  // A network path: \\server\share is the drive, the rest begins at the
  // separator after the share name.
  out.drive.clear();
  std::size_t serverEnd = cp932::Find(path, '\\', 2);
  std::size_t shareEnd =
      serverEnd == cp932::npos ? cp932::npos : cp932::Find(path, '\\', serverEnd + 1);
  if (shareEnd != cp932::npos) {
    out.drive.assign(path.substr(0, shareEnd));
    rest = path.substr(shareEnd);
  }
  cp932::SplitPathRaw(rest, nullptr, &out.folder, &out.name, &out.ext);
}

std::string MakePath(std::string_view drive, std::string_view folder, std::string_view name,
                     std::string_view ext) {
  // The runtime's join knows only drive letters: a network prefix is put in
  // front whole, and the folder part supplies the separator after it.
  if (StartsWithTwoSeparators(drive)) {
    std::string out(drive);
    out += cp932::MakePathRaw({}, folder, name, ext);
    return out;
  }
  return cp932::MakePathRaw(drive, folder, name, ext);
}

int RemoveTrailingChar(std::string& text, char c) {
  std::size_t last = cp932::FindLast(text, c);
  if (last == cp932::npos || last + 1 != text.size()) return 0;
  text.pop_back();
  return 1;
}

void AddTrailingSeparator(std::string& folder) {
  if (!cp932::EndsWithChar(folder, '\\')) folder += '\\';
}

bool IsTopLevelFolder(std::string_view folder) {
  return cp932::CompareNoCase(folder, "") == 0 || cp932::CompareNoCase(folder, "\\") == 0 ||
         cp932::CompareNoCase(folder, ".\\") == 0 || cp932::CompareNoCase(folder, "..\\") == 0;
}

std::string JoinFolders(const std::string& rootFolder, const std::string& relativeFolder) {
  if (rootFolder.empty() && relativeFolder.empty()) return "\\";
  if (!relativeFolder.empty() && relativeFolder[0] == '\\')
    return rootFolder + relativeFolder.substr(1);
  return rootFolder + relativeFolder;
}
