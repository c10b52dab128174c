// --make --dry-run: the plan of a make run, written nowhere. Every file is
// encoded into nothing in the walk's order, as the make encodes it, and
// placed on the disks the volume model fills, as the make places it.
#include "app/commands/make_plan.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/byte_io.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "fileops/naming.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/paths.h"

namespace {

struct DiskPlan {
  uint64_t files = 0, bytes = 0;
  bool last = false;  // holds the program and the list
};

// The disk-set files of one work file: its name there and the bytes of
// each (a whole file, or a head file and its pieces).
std::vector<std::pair<std::string, uint64_t>> Parts(CodecContext& c, CoderHooks& hooks,
                                                    const PlannedFile& f, uint64_t& original) {
  std::FILE* in = plat::OpenFile(f.source, "rb");
  if (!in) return {};
  LzsHeader h;
  const bool signature = ReadHeader(in, h) && HasSignatureNoCase(h);
  if (CopiedAsIs(h, signature, f.length, false)) {
    std::fclose(in);
    return {{f.relative, static_cast<uint64_t>(f.length)}};
  }
  plat::SeekTo(in, 0);
  FileSource from(in);
  NullSink nothing;
  const int r = EncodeStream(c, from, nothing, f.relative, hooks);
  std::fclose(in);
  if (r != kDone) return {};  // empty: left out
  original += static_cast<uint64_t>(c.header.original_size);
  const std::string name = WithLzsSuffix(f.relative);
  const int64_t stream = c.header.packed_size;
  if (stream < kPieceStreamSize) return {{name, kHeaderSize + static_cast<uint64_t>(stream)}};
  std::vector<std::pair<std::string, uint64_t>> parts = {{name, kHeaderSize}};
  PathParts p;
  SplitPath(name, p);
  for (int32_t k = 1; k <= PieceCountFor(stream); ++k)
    parts.push_back(
        {PieceName(p, k), kHeaderSize + static_cast<uint64_t>(PieceStreamBytes(stream, k))});
  return parts;
}

std::string Thousands(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

PlanOutcome PlanMake(const WorkFolderCheck& check, SpaceModel& disk, uint64_t lastDiskNeed,
                     CodecContext& codec, CoderHooks& hooks, const std::function<void()>& nextDisk,
                     const std::string& root) {
  PlanOutcome out;
  std::vector<DiskPlan> disks(1);
  disk.Take(root + "disk1.id", 1, false);
  auto fresh = [&] {
    disks.emplace_back();
    nextDisk();
    disk.Take(root + "disk" + std::to_string(disks.size()) + ".id", 1, false);
  };
  for (const PlannedFile& f : check.files) {
    uint64_t original = 0;
    const auto parts = Parts(codec, hooks, f, original);
    if (parts.empty()) {
      if (f.length == 0) out.warnings.emptyFiles.push_back(f.relative);
      continue;
    }
    const std::string back = ComeBackName(f.relative);
    if (parts.size() == 1 && parts[0].first == f.relative)
      out.warnings.notExpanded.push_back(f.relative);
    else if (back != f.relative)
      out.warnings.namesThatChange.push_back({f.relative, back, false});
    ++disks.back().files;
    out.original += original;
    for (const auto& [name, bytes] : parts) {
      if (!disk.Take(root + name, bytes, false)) {
        fresh();
        if (!disk.Take(root + name, bytes, false))
          out.fatal.push_back({Finding::kDoesNotFit, name});
      }
      disks.back().bytes += bytes;
    }
  }
  out.warnings.linksNotFollowed = check.links;
  if (!disk.FitsAnEmptyDisk("kelvod.lst", lastDiskNeed))
    out.fatal.push_back({Finding::kLastDiskTooSmall, ""});
  if (disk.FreeBytes() < lastDiskNeed) fresh();
  disks.back().last = true;

  for (std::size_t k = 0; k < disks.size(); ++k) {
    out.text += "disk " + std::to_string(k + 1) + ": " + std::to_string(disks[k].files) +
                " files, " + Thousands(disks[k].bytes) + " bytes" +
                (disks[k].last ? "; the program and the list" : "") + "\n";
  }
  out.disks = disks.size();
  return out;
}
