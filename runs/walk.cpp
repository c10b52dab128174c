#include "runs/walk.h"

#include <algorithm>

#include "app/dialogue/resources/messages.h"
#include "codec/result_code.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/format.h"
#include "text/paths.h"

namespace {

// A host name without a code page 932 form, with '?' for what does not
// convert, so the message can name it.
std::string ShownName(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    len = std::min(len, utf8.size() - i);
    std::string one;
    out += cp932::FromUtf8(std::string_view(utf8).substr(i, len), one) ? one : std::string("?");
    i += len;
  }
  return out;
}

// Drops the last level of a relative folder path: data\se\ -> data\ -> "".
void LeaveLevel(std::string& relativePath) {
  if (relativePath.empty()) return;
  RemoveTrailingChar(relativePath, '\\');
  PathParts parts;
  SplitPath(relativePath, parts);
  relativePath = MakePath(parts.drive, parts.folder, "", "");
}

}  // namespace

void WalkFolder(FileOps& ops, const std::string& folder, const std::string& destinationRoot,
                std::string& relativePath) {
  Dialogue& ui = ops.ui;
  const int32_t& WorkActive = ops.state.WorkActive;
  PathParts parts;
  SplitPath(folder, parts);
  const std::string pattern = MakePath(parts.drive, parts.folder, "*", ".*");
  ui.ShowSourceLine(pattern);
  ui.PumpOneMessage();

  // The disk set may lie inside the work folder: never pack it into itself.
  if (cp932::CompareNoCase(folder, destinationRoot) != 0) {
    if (WorkActive == 0) return;
    plat::FindEntry entry;
    plat::FindHandle* search = plat::FindFirst(pattern, entry);
    if (search) {
      if (WorkActive == 0) {
        plat::FindClose(search);
        return;
      }
      int files = 0;
      for (;;) {
        if (!entry.convertible) {
          // Nothing of a file whose name the disk set cannot hold is written.
          plat::FindClose(search);
          ops.StopRunWith(
              Format(msg::kMsgNoCp932Name, (folder + ShownName(entry.hostName)).c_str()),
              kCannotStore);
          return;
        }
        if (entry.isFolder) {
          PathParts level;
          SplitPath(entry.name + "\\", level);
          if (!IsTopLevelFolder(level.folder)) {  // not "." or ".."
            relativePath += entry.name + "\\";
            WalkFolder(ops, folder + entry.name + "\\", destinationRoot, relativePath);
          }
        } else {
          std::string relativeName = relativePath + entry.name;
          ops.PackFile(folder + entry.name, destinationRoot, &relativeName, 0, 0, 0, nullptr);
          ++files;
        }
        ui.PumpOneMessage();
        if (!plat::FindNext(search, entry)) {
          plat::FindClose(search);
          break;
        }
        if (WorkActive == 0) {
          plat::FindClose(search);
          return;
        }
      }
      if (files == 0) EmptyFolder(ops, destinationRoot, relativePath);
    }
  }
  LeaveLevel(relativePath);
}

int EmptyFolder(FileOps& ops, const std::string& destinationRoot, const std::string& relativePath) {
  PathParts root;
  SplitPath(destinationRoot, root);
  std::string target = destinationRoot;
  if (root.name.empty()) {
    PathParts rel;
    SplitPath(relativePath, rel);
    target = MakePath(root.drive, JoinFolders(root.folder, rel.folder), rel.name, rel.ext);
  }
  ops.ui.ShowCurrentFile(target);
  PathParts parts;
  SplitPath(target, parts);
  return ops.EnsureFolders(parts.drive, parts.folder) ? kFolderFailed : kDone;
}
