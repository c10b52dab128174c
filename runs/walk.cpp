#include "runs/walk.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "codec/header.h"
#include "codec/result_code.h"
#include "fileops/naming.h"
#include "platform/platform.h"
#include "runs/set_writer.h"
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

// A name the list and the header can carry: no control characters (a line
// feed would split its list line) and no ':' (taken for a drive).
bool IsStorableName(const std::string& name) {
  for (std::size_t i = 0; i < name.size(); i = cp932::Next(name, i)) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (cp932::Next(name, i) == i + 1 && (c < 0x20 || c == 0x7F || c == ':')) return false;
  }
  return true;
}

// Drops the last level of a relative folder path: data\se\ -> data\ -> "".
void LeaveLevel(std::string& relativePath) {
  if (relativePath.empty()) return;
  RemoveTrailingChar(relativePath, '\\');
  PathParts parts;
  SplitPath(relativePath, parts);
  relativePath = MakePath(parts.drive, parts.folder, "", "");
}

// The walk's search pattern of a folder; false when its path does not fit.
bool PatternOf(const std::string& folder, std::string& pattern) {
  PathParts parts;
  SplitPath(folder, parts);
  pattern = MakePath(parts.drive, parts.folder, "*", ".*");
  return pattern.size() <= kMaxPathBytes && MakePath(parts.drive, parts.folder, "", "") == folder;
}

bool IsDotEntry(const std::string& name) {
  PathParts level;
  SplitPath(name + "\\", level);
  return IsTopLevelFolder(level.folder);
}

class WalkPlan final : public AheadPlan {
 public:
  WalkPlan(const std::string& folder, const std::string& skipped) : skipped_(skipped) {
    ok_ = Enter(folder, "");
  }

  bool Next(std::string& source, std::string& relative) override {
    while (ok_ && !levels_.empty()) {
      Level& level = levels_.back();
      if (level.next == level.entries.size()) {
        levels_.pop_back();
        continue;
      }
      const plat::FindEntry entry = level.entries[level.next++];
      if (!entry.convertible || !IsStorableName(entry.name)) break;
      if (entry.isFolder && entry.isLink) continue;  // never followed
      if (!entry.isFolder) {
        source = level.folder + entry.name;
        relative = level.relative + entry.name;
        return true;
      }
      if (!IsDotEntry(entry.name) &&
          !Enter(level.folder + entry.name + "\\", level.relative + entry.name + "\\"))
        break;
    }
    ok_ = false;
    return false;
  }

 private:
  struct Level {
    std::string folder, relative;
    std::vector<plat::FindEntry> entries;
    std::size_t next = 0;
  };

  // The walk's checks on entering a folder; false where it would stop.
  bool Enter(const std::string& folder, const std::string& relative) {
    std::string pattern;
    if (!PatternOf(folder, pattern)) return false;
    if (IsSameFolder(folder, skipped_)) return true;
    plat::FindEntry entry;
    plat::FindResult found;
    plat::FindHandle* search = plat::FindFirst(pattern, entry, &found);
    if (found == plat::FindResult::kUnreadable) return false;
    if (!search) return true;
    Level level{folder, relative, {}, 0};
    do level.entries.push_back(entry);
    while (plat::FindNext(search, entry));
    plat::FindClose(search);
    levels_.push_back(std::move(level));
    return true;
  }

  std::string skipped_;
  std::vector<Level> levels_;
  bool ok_ = true;
};

// The longest name a file of `length` bytes may take on the disk set: its
// destination, and its last piece when its code stream could reach a piece.
bool NameFits(const std::string& destinationRoot, const std::string& relative, int64_t length) {
  std::string destination;
  if (!DestinationName(destinationRoot, relative, true, destination)) return false;
  // The code stream is at most 9/8 of the file (a flag byte every eight
  // literals); its pieces are numbered in decimal.
  const int64_t mostStream = length + length / 8 + 1;
  if (mostStream < kPieceStreamSize) return true;
  const std::string pieces = std::to_string(PieceCountFor(mostStream));
  return destination.size() + pieces.size() <= kMaxPathBytes;
}

class WorkFolderChecker {
 public:
  WorkFolderChecker(const std::string& skipped, const std::string& destinationRoot,
                    const CancelToken& cancel)
      : skipped_(skipped), root_(destinationRoot), cancel_(cancel) {}

  void Check(const std::string& folder, const std::string& relative) {
    std::string pattern;
    if (!PatternOf(folder, pattern)) return Fatal(Finding::kNameTooLong, relative);
    if (IsSameFolder(folder, skipped_)) return;
    plat::FindEntry entry;
    plat::FindResult found;
    plat::FindHandle* search = plat::FindFirst(pattern, entry, &found);
    if (found == plat::FindResult::kUnreadable) return Fatal(Finding::kFolderUnreadable, relative);
    if (!search) return;
    std::vector<plat::FindEntry> entries;
    do entries.push_back(entry);
    while (plat::FindNext(search, entry));
    plat::FindClose(search);
    for (const plat::FindEntry& e : entries) {
      if (cancel_.Cancelled()) return;
      if (!e.convertible || !IsStorableName(e.name)) {
        Fatal(Finding::kNoStorableName,
              relative + (e.convertible ? cp932::Printable(e.name) : ShownName(e.hostName)));
      } else if (e.isFolder && e.isLink) {
        result.links.push_back(relative + e.name);
      } else if (e.isFolder) {
        if (!IsDotEntry(e.name)) Check(folder + e.name + "\\", relative + e.name + "\\");
      } else {
        File(folder + e.name, relative + e.name);
      }
    }
  }
  WorkFolderCheck result;

 private:
  void Fatal(Finding::Kind kind, const std::string& subject) {
    result.fatal.push_back({kind, subject});
  }
  void File(const std::string& source, const std::string& relative) {
    int64_t length = -1;
    if (std::FILE* f = plat::OpenFile(source, "rb")) {
      length = plat::FileLength(f);
      std::fclose(f);
    }
    if (length > kLargestStorable) return Fatal(Finding::kTooLarge, relative);
    if (!NameFits(root_, relative, std::max<int64_t>(length, 0)))
      return Fatal(Finding::kNameTooLong, relative);
    result.files.push_back({source, relative, length});
    if (length > 0) result.bytes += static_cast<uint64_t>(length);
  }
  const std::string& skipped_;
  const std::string& root_;
  const CancelToken& cancel_;
};

}  // namespace

WorkFolderCheck CheckWorkFolder(const std::string& folder, const std::string& skipped,
                                const std::string& destinationRoot, const CancelToken& cancel) {
  WorkFolderChecker checker(skipped, destinationRoot, cancel);
  checker.Check(folder, "");
  return std::move(checker.result);
}

std::unique_ptr<AheadPlan> PlanWalk(const std::string& folder, const std::string& skipped) {
  return std::make_unique<WalkPlan>(folder, skipped);
}

void WalkFolder(Packer& packer, RunContext& run, const std::string& folder,
                const std::string& destinationRoot, std::string& relativePath) {
  std::string pattern;
  const bool fits = PatternOf(folder, pattern);
  run.events.FolderBegun(pattern);
  run.Pump();

  // A folder whose path does not fit would be searched under a cut name,
  // which finds nothing: the files in it would be missing from the set.
  if (!fits) {
    run.Stop(Trouble::kNameTooLong, "", kNameRefused);
    return;
  }

  // The disk set may lie inside the work folder: never pack it into itself,
  // however either folder is spelled.
  const std::string& skipped = run.setup.setFolder.empty() ? destinationRoot : run.setup.setFolder;
  if (!IsSameFolder(folder, skipped)) {
    if (!run.Going()) return;
    plat::FindEntry entry;
    plat::FindResult found;
    plat::FindHandle* search = plat::FindFirst(pattern, entry, &found);
    if (found == plat::FindResult::kUnreadable) {
      // Its files would be missing from the set without a word.
      run.Stop(Trouble::kFolderUnreadable, folder, kReadFailed, errno);
      return;
    }
    if (search) {
      if (!run.Going()) {
        plat::FindClose(search);
        return;
      }
      int files = 0;
      for (;;) {
        if (!entry.convertible || !IsStorableName(entry.name)) {
          // Nothing of a file whose name the disk set cannot hold is written.
          plat::FindClose(search);
          const std::string shown =
              entry.convertible ? cp932::Printable(entry.name) : ShownName(entry.hostName);
          run.Stop(Trouble::kNoStorableName, folder + shown, kCannotStore);
          return;
        }
        if (entry.isFolder && entry.isLink) {
          // A link to a folder may lead back up (a loop) or out of the work
          // folder: never followed, and named at the end of the run.
          run.progress.warnings.linksNotFollowed.push_back(relativePath + entry.name);
        } else if (entry.isFolder) {
          if (!IsDotEntry(entry.name)) {
            relativePath += entry.name + "\\";
            WalkFolder(packer, run, folder + entry.name + "\\", destinationRoot, relativePath);
          }
        } else {
          std::string relativeName = relativePath + entry.name;
          (void)packer.PackFile(folder + entry.name, destinationRoot, &relativeName, {});
          ++files;
        }
        run.Pump();
        if (!plat::FindNext(search, entry)) {
          plat::FindClose(search);
          break;
        }
        if (!run.Going()) {
          plat::FindClose(search);
          return;
        }
      }
      if (files == 0) EmptyFolder(run, destinationRoot, relativePath);
    }
  }
  LeaveLevel(relativePath);
}

bool IsSameFolder(const std::string& a, const std::string& b) {
  return cp932::CompareNoCase(a, b) == 0 || plat::SameFile(a, b);
}

int EmptyFolder(RunContext& run, const std::string& destinationRoot,
                const std::string& relativePath) {
  PathParts root;
  SplitPath(destinationRoot, root);
  std::string target = destinationRoot;
  if (root.name.empty()) {
    PathParts rel;
    SplitPath(relativePath, rel);
    target = MakePath(root.drive, JoinFolders(root.folder, rel.folder), rel.name, rel.ext);
  }
  run.events.FileBegun(target, relativePath);
  PathParts parts;
  SplitPath(target, parts);
  return EnsureFolders(run, parts.drive, parts.folder) ? kFolderFailed : kDone;
}
