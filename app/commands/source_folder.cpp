// A disk as a folder: its files are read where they are.
#include <map>

#include "app/commands/disk_source.h"
#include "app/commands/image_tools.h"
#include "app/commands/sources.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/paths.h"
#include "text/shown.h"

namespace disks {

namespace {

class FolderSource : public DiskSource {
 public:
  FolderSource(std::string root, std::string shown)
      : root_(std::move(root)), shown_(std::move(shown)) {
    AddTrailingSeparator(root_);
    Walk();
  }
  const std::string& Shown() const override { return shown_; }
  const std::string& Path() const override { return root_; }
  const std::vector<DiskEntry>& Entries() const override { return entries_; }
  const std::vector<std::string>& Notes() const override { return notes_; }

  std::string Fetch(const std::string& relative, std::string& error) override {
    auto exact = byName_.find(relative);
    auto folded = exact == byName_.end() ? byFolded_.find(FoldCase(relative)) : byFolded_.end();
    const std::string shownName = ShownText(plat::DisplayPath(relative));
    if (exact == byName_.end() && folded == byFolded_.end()) {
      error = shown_ + ": " + shownName + " is not on the disk";
      return {};
    }
    const DiskEntry& e = entries_[exact != byName_.end() ? exact->second : folded->second];
    // A link put there since the disk was read would lead out of it.
    if (e.folder || plat::IsSymbolicLink(root_ + e.name)) {
      error = shown_ + ": " + shownName + (e.folder ? " is a folder" : " is a link, not read");
      return {};
    }
    return root_ + e.name;
  }

 private:
  void Note(const std::string& relativeHost, const char* why) {
    notes_.push_back(shown_ + ": " + ShownText(relativeHost) + " " + why + ", left out");
  }

  // Folders before what they hold; links are neither followed nor listed.
  void Walk() {
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
      const std::string relative = pending.back();
      pending.pop_back();
      std::vector<std::string> folders;
      plat::FindEntry e;
      plat::FindResult result;
      plat::FindHandle* h = plat::FindFirst(root_ + relative + "*.*", e, &result);
      if (!h && result == plat::FindResult::kUnreadable)
        Note(plat::DisplayPath(relative), "cannot be read");
      for (bool more = h != nullptr; more; more = plat::FindNext(h, e)) {
        if (e.convertible && (e.name == "." || e.name == "..")) continue;
        const std::string shownPath = plat::DisplayPath(relative) + e.hostName;
        if (e.isLink) {
          Note(shownPath, "is a link");
          continue;
        }
        if (!e.convertible) {
          Note(shownPath, "has no code page 932 form");
          continue;
        }
        const std::string name = relative + e.name;
        if (!byFolded_.emplace(FoldCase(name), entries_.size()).second) {
          Note(shownPath, "is there twice (names differ only in case)");
          continue;
        }
        byName_.emplace(name, entries_.size());
        uint64_t size = 0;
        plat::FileStamp stamp;
        if (!e.isFolder && plat::GetFileStamp(root_ + name, stamp) && stamp.length > 0)
          size = static_cast<uint64_t>(stamp.length);
        entries_.push_back({name, size, e.isFolder});
        if (e.isFolder) folders.push_back(name + "\\");
      }
      if (h) plat::FindClose(h);
      pending.insert(pending.end(), folders.rbegin(), folders.rend());
    }
  }

  std::string root_, shown_;
  std::vector<DiskEntry> entries_;
  std::vector<std::string> notes_;
  std::map<std::string, std::size_t> byName_, byFolded_;
};

}  // namespace

bool IsFolderDisk(const std::string&, bool isFolder) { return isFolder; }

std::unique_ptr<DiskSource> OpenFolderDisk(const std::string& path, const std::string& shown,
                                           std::string& error) {
  plat::FindEntry e;
  plat::FindResult result;
  std::string folder = path;
  AddTrailingSeparator(folder);
  plat::FindHandle* h = plat::FindFirst(folder + "*.*", e, &result);
  if (!h) {
    error = shown + (result == plat::FindResult::kUnreadable ? ": the folder cannot be read"
                                                             : ": no such folder");
    return nullptr;
  }
  plat::FindClose(h);
  return std::make_unique<FolderSource>(folder, shown);
}

}  // namespace disks
