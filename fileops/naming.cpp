#include "fileops/naming.h"

#include "codec/header.h"
#include "fileops/paths.h"

std::string JoinFolders(const std::string& rootFolder, const std::string& relativeFolder) {
  if (rootFolder.empty() && relativeFolder.empty()) return "\\";
  if (!relativeFolder.empty() && relativeFolder[0] == '\\')
    return rootFolder + relativeFolder.substr(1);
  return rootFolder + relativeFolder;
}

namespace {

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
