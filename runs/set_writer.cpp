#include "runs/set_writer.h"

#include <cerrno>

#include "codec/result_code.h"
#include "fileops/paths.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/paths.h"

int EnsureFolders(RunContext& run, const std::string& drive, const std::string& folder) {
  if (IsTopLevelFolder(folder)) return kDone;
  // The usual case, every level there already, in one look: the whole
  // folder exists only when each level above it does.
  {
    std::string whole = MakePath(drive, folder, "", "");
    RemoveTrailingChar(whole, '\\');
    if (FolderExists(whole)) return kDone;
  }
  SpaceModel* space = run.setup.policy.space;
  // Levels gathered so far; a rooted folder keeps its leading separator, a
  // relative one starts empty so that its first name is not cut.
  const bool rooted = folder[0] == '\\' || folder[0] == '/';
  std::string gathered = rooted ? "\\" : "";
  std::size_t pos = rooted ? 1 : 0;
  while (true) {
    std::size_t sep = cp932::Find(folder, '\\', pos);
    if (sep == cp932::npos) return kDone;
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

    const bool room = !space || space->Take(candidate, 0, true);
    if (room && plat::MakeFolder(candidate)) continue;
    if (!run.AskRetry(candidate, RetryReason::kFolderFailed, room ? errno : 0)) {
      run.progress.active = 0;
      return kFolderFailed;
    }
    // Retry: the user may have put a fresh disk in, which lacks the levels
    // made so far as well: they are made again from the top.
    gathered = rooted ? "\\" : "";
    pos = rooted ? 1 : 0;
  }
}

int SetWriter::WriteDiskMarker(const std::string& folder) {
  RunProgress& p = run_.progress;
  std::string base = folder;
  RemoveTrailingChar(base, '\\');
  // The marker written last still there: the usual case, in one look and
  // without reading the folder.
  if (lastMarker_.path == MarkerPath(base, p.diskId - 1) && p.diskId > 1 &&
      IsStampedMarker(lastMarker_.path, lastMarker_))
    return kDone;

  // A disk with the marker this run wrote last is the disk in the drive and
  // is marked. Any other "*.id" (another set's, or an earlier run's that was
  // interrupted) means the disk is not empty: its files would be listed
  // under a number no disk of this set carries.
  for (;;) {
    plat::FindEntry entry;
    plat::FindHandle* h = plat::FindFirst(base + "\\*.id", entry);
    if (!h) break;
    const std::string found = base + "\\" + entry.name;
    bool ours = false;
    do {
      ours = p.diskId > 1 && IsStampedMarker(base + "\\" + entry.name, lastMarker_);
    } while (!ours && plat::FindNext(h, entry));
    plat::FindClose(h);
    if (ours) return kDone;
    if (!run_.AskRetry(found, RetryReason::kForeignMarker)) {
      run_.progress.active = 0;
      return kNameRefused;
    }
    // Retry: another disk may be in the drive now; its folders first.
    PathParts parts;
    SplitPath(base + "\\", parts);
    if (int r = EnsureFolders(run_, parts.drive, parts.folder)) return r;
  }

  run_.events.DiskBegun(p.diskId);
  // A marker that cannot be written is not made: the copy that follows
  // fails and raises the retry prompt.
  if (!WriteMarkerFile(base, p.diskId, space(), lastMarker_)) return kDone;
  if (!list_.AppendDiskLine(p.diskId))
    return run_.Stop(Trouble::kListWriteFailed, "", kNameRefused, errno);
  ++p.diskId;
  return kDone;
}

int SetWriter::AppendFileLine(const std::string& writtenPath) {
  // A file line under disk 0 names no disk of the set: it could never be
  // expanded.
  if (run_.progress.diskId <= 1) return run_.Stop(Trouble::kNoDisk, "", kNameRefused);
  if (list_.AppendFileLine(writtenPath, run_.progress.diskId)) return kDone;
  return run_.Stop(Trouble::kListWriteFailed, "", kNameRefused, errno);
}

int SetWriter::RetryOnFreshDisk(const std::string& path, RetryReason why,
                                const std::string& destinationRoot, int abandoned, int error) {
  if (!run_.AskRetry(path, why, error)) {
    run_.progress.active = 0;
    return abandoned;
  }
  PathParts parts;
  SplitPath(path, parts);
  if (int r = EnsureFolders(run_, parts.drive, parts.folder)) return r;
  return WriteDiskMarker(destinationRoot);
}

int SetWriter::CopyWithRetry(const std::string& src, const std::string& destination,
                             const std::string& destinationRoot) {
  for (Result copied;
       !(copied = CopyOnto(src, destination, space(), kCopyAbandoned, &RunContext::CopyTick, &run_))
            .ok();) {
    if (!run_.Going()) return kAborted;
    if (int r = RetryOnFreshDisk(destination, RetryReason::kCopyFailed, destinationRoot,
                                 kCopyAbandoned, copied.error))
      return r;
  }
  return kDone;
}

bool SetWriter::HasRoom(uint64_t need) {
  if (space()) return space()->FreeBytes() >= need;
  uint64_t free = 0;
  return plat::FreeBytes(run_.setup.destination, free) && free >= need;
}
