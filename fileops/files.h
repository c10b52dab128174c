// The single steps the runs put files together with: copies onto a disk,
// identity marker files, outputs written under a name of their own until
// they are complete, links in the way. Each is one attempt that returns what
// happened; retrying, asking and telling are the runs' business.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "fileops/result.h"
#include "fileops/space_model.h"
#include "platform/platform.h"

// The length of a file that can be read, or -1.
int64_t LengthOf(const std::string& path);

// Copies src over dst (space, when given, must take it first). tick, when
// given, is called between blocks (a window stays alive during a long copy
// to a floppy); false from it stops the copy as failed. On failure the code
// is failedCode, the subject dst.
Result CopyOnto(const std::string& src, const std::string& dst, SpaceModel* space,
                int failedCode = kCopyAbandoned, plat::CopyTick tick = nullptr,
                void* context = nullptr);

// --- Disk identity markers "disk%d.id" -----------------------------------------
std::string MarkerPath(const std::string& folder, int32_t number);
// Which marker file a run wrote last, and when: a marker of the same number
// left on another disk by an earlier run is another file, or at least one
// written at another time.
struct MarkerStamp {
  std::string path;
  plat::FileId id;
  uint64_t written = 0;
};
// Writes the marker of `number` into folder (no trailing '\'); false when it
// could not be written whole (nothing is left then).
bool WriteMarkerFile(const std::string& folder, int32_t number, SpaceModel* space,
                     MarkerStamp& stamp);
// True when path is the very marker file stamp names.
bool IsStampedMarker(const std::string& path, const MarkerStamp& stamp);

// --- Outputs ----------------------------------------------------------------------
// An output is written under a name of its own in its folder (partial) and
// renamed into place when complete: an interrupted or failed output leaves
// nothing that looks whole. OpenPartial makes it (kWriteFailed when it
// cannot, or when a folder stands where the output goes); Publish renames
// it over the output (removing it on failure).
Result OpenPartial(const std::string& output, std::string& partial, std::FILE*& file);
Result Publish(const std::string& partial, const std::string& output);

// The first folder level of output below root that is a link ("" when
// none): nothing a set names may lead out of the game folder.
std::string LinkBelow(const std::string& root, const std::string& output);

// True when the file is shorter than a header but begins with the
// signature: a compressed file cut short, not a file of another kind.
bool CutInsideHeader(std::FILE* f);
