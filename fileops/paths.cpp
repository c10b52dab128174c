#include "fileops/paths.h"

#include "app/prompts.h"
#include "app/resources/messages.h"
#include "fileops/result_code.h"
#include "platform/platform.h"
#include "text/cp932.h"

namespace {

bool StartsWithTwoSeparators(std::string_view s) {
  return s.size() >= 2 && s[0] == '\\' && s[1] == '\\';
}

// True when path names an existing folder; a plain file does not count.
bool FolderExists(const std::string& path) {
  plat::FindEntry entry;
  plat::FindHandle* h = plat::FindFirst(path, entry);
  if (!h) return false;
  bool folder = entry.isFolder;
  plat::FindClose(h);
  return folder;
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

bool IsTopLevelFolder(std::string_view folder) {
  return cp932::CompareNoCase(folder, "") == 0 || cp932::CompareNoCase(folder, "\\") == 0 ||
         cp932::CompareNoCase(folder, ".\\") == 0 || cp932::CompareNoCase(folder, "..\\") == 0;
}

int IsFolder(std::string& path) {
  PathParts parts;
  SplitPath(path, parts);
  // A bare name, a root or a top-level path is taken for a folder without
  // looking at the disk.
  if (IsTopLevelFolder(parts.folder)) return 1;
  RemoveTrailingChar(path, '\\');
  return FolderExists(path) ? 1 : 0;
}

int EnsureFolders(const std::string& drive, const std::string& folder) {
  if (IsTopLevelFolder(folder)) return 0;

  // Levels gathered so far; a rooted folder keeps its leading separator, a
  // relative one starts empty so that its first name is not cut.
  std::string gathered;
  std::size_t pos = 0;
  if (folder[0] == '\\' || folder[0] == '/') {
    gathered = "\\";
    pos = 1;
  }
  while (true) {
    std::size_t sep = cp932::Find(folder, '\\', pos);
    if (sep == cp932::npos) return 0;
    std::string_view level = std::string_view(folder).substr(pos, sep - pos);
    pos = cp932::Next(folder, sep);
    // A doubled separator names no new level.
    if (level.empty()) continue;
    gathered += level;
    gathered += '\\';

    std::string candidate = MakePath(drive, gathered, "", "");
    RemoveTrailingChar(candidate, '\\');
    bool exists = FolderExists(candidate);
    candidate += '\\';
    if (exists) continue;

    while (!plat::MakeFolder(candidate)) {
      if (PromptRetry(candidate, msg::kMsgFolderFailed) == 0) {
        StopRun();
        return kFolderFailed;
      }
    }
  }
}
