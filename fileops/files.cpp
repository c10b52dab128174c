#include "fileops/files.h"

#include <cerrno>

#include "codec/header.h"
#include "fileops/paths.h"
#include "text/cp932.h"
#include "text/format.h"
#include "text/paths.h"

Result Failure(int code, const std::string& subject) { return {code, subject, errno}; }

Result CopyOnto(const std::string& src, const std::string& dst, SpaceModel* space, int failedCode,
                plat::CopyTick tick, void* context) {
  if (space) {
    int64_t bytes = -1;
    if (std::FILE* f = plat::OpenFile(src, "rb")) {
      bytes = plat::FileLength(f);
      std::fclose(f);
    }
    // The room the disk stands for is used up: no system error.
    if (bytes < 0 || !space->Take(dst, static_cast<uint64_t>(bytes), false))
      return {failedCode, dst, 0};
  }
  if (plat::CopyFileReplacing(src, dst, tick, context)) return {};
  return Failure(failedCode, dst);
}

std::string MarkerPath(const std::string& folder, int32_t number) {
  return Format("%s\\disk%d.id", folder.c_str(), static_cast<int>(number));
}

bool WriteMarkerFile(const std::string& folder, int32_t number, SpaceModel* space,
                     MarkerStamp& stamp) {
  const std::string marker = MarkerPath(folder, number);
  const std::string text = Format("%d", static_cast<int>(number));
  std::FILE* f =
      !space || space->Take(marker, text.size(), false) ? plat::OpenFile(marker, "wb") : nullptr;
  if (!f) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0) written = false;
  MarkerStamp made{marker, {}, 0};
  if (!written || !plat::GetFileId(marker, made.id) || !plat::LastWriteTime(marker, made.written)) {
    // A marker that did not fit counts as not made: the same number goes
    // to the disk in the drive at the next attempt.
    plat::RemoveFile(marker);
    return false;
  }
  stamp = made;
  return true;
}

bool IsStampedMarker(const std::string& path, const MarkerStamp& stamp) {
  plat::FileId id;
  uint64_t time = 0;
  return !stamp.path.empty() && plat::GetFileId(path, id) && id == stamp.id &&
         plat::LastWriteTime(path, time) && time == stamp.written;
}

namespace {

// The name an output is written under until it is complete.
constexpr const char* kPartialPrefix = "kv~";

}  // namespace

Result OpenPartial(const std::string& output, std::string& partial, std::FILE*& file) {
  file = nullptr;
  partial.clear();
  // A folder where the file goes cannot be replaced by it.
  if (FolderExists(output)) return {kWriteFailed, output, EISDIR};
  PathParts parts;
  SplitPath(output, parts);
  partial =
      plat::MakeOpenTempFile(MakePath(parts.drive, parts.folder, "", ""), kPartialPrefix, file);
  if (partial.empty()) return Failure(kWriteFailed, output);
  return {};
}

Result Publish(const std::string& partial, const std::string& output) {
  if (plat::RenameReplacing(partial, output)) return {};
  Result r = Failure(kWriteFailed, output);
  plat::RemoveFile(partial);
  return r;
}

std::string LinkBelow(const std::string& root, const std::string& output) {
  // The game folder itself is the user's choice; below it nothing the set
  // names may lead elsewhere.
  if (output.compare(0, root.size(), root) != 0) return {};
  for (std::size_t i = root.size(); i < output.size(); i = cp932::Next(output, i)) {
    if (output[i] != '\\' || cp932::Next(output, i) != i + 1) continue;
    const std::string level = output.substr(0, i);
    if (plat::IsSymbolicLink(level)) return level;
  }
  return {};
}

bool CutInsideHeader(std::FILE* f) {
  unsigned char raw[kHeaderSize] = {};
  if (!plat::SeekTo(f, 0) || std::fread(raw, 1, kHeaderSize, f) == kHeaderSize) return false;
  LzsHeader h;
  DecodeHeader(raw, h);
  return HasSignatureNoCase(h);
}

int64_t LengthOf(const std::string& path) {
  int64_t length = -1;
  if (std::FILE* f = plat::OpenFile(path, "rb")) {
    length = plat::FileLength(f);
    std::fclose(f);
  }
  return length;
}
