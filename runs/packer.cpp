#include "runs/packer.h"

#include <cerrno>
#include <cstdio>

#include "codec/header.h"
#include "codec/result_code.h"
#include "fileops/coding.h"
#include "fileops/naming.h"
#include "fileops/pieces.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/paths.h"

namespace {

// Names that only differ in the case of their letters are one file where
// the game runs.
std::string Folded(const std::string& name) {
  std::string out = name;
  for (std::size_t i = 0; i < out.size(); i = cp932::Next(out, i))
    if (out[i] >= 'A' && out[i] <= 'Z' && cp932::Next(out, i) == i + 1) out[i] += 'a' - 'A';
  return out;
}

// A wait for a file encoded ahead looks at the outside as an encode does.
class RunWaiter final : public AheadWaiter {
 public:
  explicit RunWaiter(RunContext& run) : run_(run) {}
  void PumpNow() override { run_.PumpNow(); }
  bool Stopped() override { return !run_.Going(); }

 private:
  RunContext& run_;
};

}  // namespace

void Packer::NoteComeBackName(const std::string& relative) {
  RunWarnings& w = run_.progress.warnings;
  const std::string back = ComeBackName(relative);
  const bool collides = !w.comeBackNames.insert(Folded(back)).second;
  if (back != relative || collides) w.namesThatChange.push_back({relative, back, collides});
}

int Packer::PackFile(const std::string& source, const std::string& destinationRoot,
                     const std::string* relativeName, const PackOptions& options,
                     int32_t* sizeOut) {
  int32_t ignored = 0;
  if (!sizeOut) sizeOut = &ignored;
  run_.ResetProgress(0);
  *sizeOut = 0;
  PackTarget t;
  const int examined = Examine(source, destinationRoot, relativeName, options, t);
  if (t.length > 0 && t.length <= kLargestStorable) *sizeOut = static_cast<int32_t>(t.length);
  if (examined != kGoOn) return examined;
  run_.events.FileBegun(t.destination, t.shownName);
  if (int r = PrepareDestination(source, destinationRoot, options, t); r != kGoOn) return r;
  return WriteOneVersion(source, destinationRoot, relativeName, options, t, sizeOut);
}

// The file's length and header, how it goes onto the disk and under which
// name: kGoOn, or what PackFile returns.
int Packer::Examine(const std::string& source, const std::string& destinationRoot,
                    const std::string* relativeName, const PackOptions& options, PackTarget& t) {
  CodecContext& codec = run_.codec;
  std::FILE* in = OpenAskingForDisk(run_, source);
  if (!in) return kSourceUnreadable;
  t.length = plat::FileLength(in);
  if (t.length < 0 || t.length > kLargestStorable) {
    std::fclose(in);
    return run_.Stop(Trouble::kTooLarge, source, kCannotStore);
  }
  codec.originalCount = codec.packedCount = static_cast<int32_t>(t.length);
  const bool carriesSignature = ReadHeader(in, codec.header) && HasSignatureNoCase(codec.header);
  std::fclose(in);

  t.asItIs =
      CopiedAsIs(codec.header, carriesSignature, t.length, options.noSplit) || options.forceCopy;
  // The files of the work folder (not the tool and the list) that will not
  // come back as they went in are named at the end of the run.
  t.shownName = relativeName ? *relativeName : source;
  if (!DestinationName(destinationRoot, relativeName ? *relativeName : std::string(), !t.asItIs,
                       t.destination))
    return run_.Stop(Trouble::kNameTooLong, "", kNameRefused);
  return kGoOn;
}

// The destination's folders and the disk's marker; kGoOn when the file is
// to be written there.
int Packer::PrepareDestination(const std::string& source, const std::string& destinationRoot,
                               const PackOptions& options, const PackTarget& t) {
  PathParts parts;
  SplitPath(t.destination, parts);
  if (int r = EnsureFolders(run_, parts.drive, parts.folder)) return r;
  if (int r = set_.WriteDiskMarker(destinationRoot)) return r;
  if (options.onlyIfNewer && SkipIfNotNewer(run_, source, t.destination) == kNotNewer)
    return kNotNewer;
  // A disk set starts on empty disks: never write over a file already there.
  RunProgress& p = run_.progress;
  if (p.overwriteChoice != kChoiceOverwriteAll) {
    p.overwriteChoice = kChoiceSkip;
    if (std::FILE* existing = plat::OpenFile(t.destination, "rb")) {
      std::fclose(existing);
      return run_.Stop(Trouble::kSameName, "", kNameRefused);
    }
  }
  return kGoOn;
}

// Copies or encodes the file onto the disk. A work file may change while it
// is read (a game saved meanwhile, a file cut short): what goes onto the
// disk must be one version of it. It is read once more after a change; a
// second change stops the run.
int Packer::WriteOneVersion(const std::string& source, const std::string& destinationRoot,
                            const std::string* relativeName, const PackOptions& options,
                            const PackTarget& t, int32_t* sizeOut) {
  RunProgress& p = run_.progress;
  CodecContext& codec = run_.codec;
  std::FILE* in = OpenAskingForDisk(run_, source);
  if (!in) return kSourceUnreadable;
  run_.ResetProgress(static_cast<uint32_t>(codec.originalCount));
  for (int attempt = 0;; ++attempt) {
    plat::FileStamp before, after;
    const bool stamped = plat::GetFileStamp(source, before);
    if (attempt > 0) {
      in = OpenAskingForDisk(run_, source);
      if (!in) return kSourceUnreadable;
    }
    std::string tempName;
    int r = kDone;
    if (t.asItIs) {
      std::fclose(in);
      run_.events.Trace(" /!P");
      if (int copied = set_.CopyWithRetry(source, t.destination, destinationRoot)) return copied;
    } else {
      r = EncodeToTemp(source, relativeName, options.noSplit, in, tempName);
      if (r != kDone && r != kSourceEmpty) return r;  // told already
    }
    const bool unchanged = stamped && plat::GetFileStamp(source, after) && after == before &&
                           (r != kDone || t.asItIs || codec.header.original_size == before.length);
    if (!unchanged) {
      if (!tempName.empty()) plat::RemoveFile(tempName);
      if (attempt == 0) continue;
      return run_.Stop(Trouble::kChangedWhileRead, source, kReadFailed);
    }
    if (t.asItIs) {
      if (!options.forceCopy) {
        p.warnings.notExpanded.push_back(t.shownName);
        ++p.tally.files;
        p.tally.bytes += static_cast<uint64_t>(t.length);
      }
      run_.SetProgress(static_cast<uint32_t>(codec.originalCount));
      run_.Pump();
      return kDone;
    }
    if (r == kSourceEmpty) {  // nothing of the file reaches the disk
      p.warnings.emptyFiles.push_back(t.shownName);
      return r;
    }
    return PlaceEncoded(tempName, t.destination, destinationRoot, t.shownName, options.noSplit,
                        sizeOut);
  }
}

// Encodes the open source into a new temporary file (tempName), or takes
// its encode ahead. Closes in. Returns 0, 3 (empty: no temporary file), or
// a failure already told (the temporary file gone).
int Packer::EncodeToTemp(const std::string& source, const std::string* relativeName, bool noSplit,
                         std::FILE* in, std::string& tempName) {
  CodecContext& codec = run_.codec;
  // Encoded ahead on another thread, from where this encode would start.
  if (ahead && relativeName && !noSplit) {
    RunWaiter waiter(run_);
    switch (ahead->Take(source, *relativeName, codec, waiter, tempName)) {
      case EncodeAhead::Taken::kYes:
        std::fclose(in);
        run_.SetProgress(static_cast<uint32_t>(codec.originalCount));
        run_.Pump();
        return kDone;
      case EncodeAhead::Taken::kAborted:
        std::fclose(in);
        return kAborted;
      case EncodeAhead::Taken::kNo:
        break;
    }
  }
  Result r;
  {
    RunCoderHooks hooks(run_);
    r = EncodeToTempFile(codec, in, source, relativeName ? *relativeName : source, hooks, tempName);
  }
  switch (r.code) {
    case kDone:
    case kSourceEmpty:
    case kAborted:  // nothing of the file reaches the disk
      return r.code;
    case kTempCreateFailed:
    case kWriteFailed:  // the local disk is full
      return run_.Stop(Trouble::kTempFailedPack, "", r.code, r.error);
    case kReadFailed:
      return run_.Stop(Trouble::kReadFailed, source, r.code, r.error);
    case kCannotStore:
      return run_.Stop(Trouble::kTooLarge, source, r.code);
    default:  // the name does not fit the header
      return run_.Stop(Trouble::kNameTooLong, "", r.code);
  }
}

// The compressed file in tempName onto the disk: cut into pieces, or copied.
int Packer::PlaceEncoded(const std::string& tempName, const std::string& destination,
                         const std::string& destinationRoot, const std::string& shownName,
                         bool noSplit, int32_t* sizeOut) {
  CodecContext& codec = run_.codec;
  NoteComeBackName(shownName);
  ++run_.progress.tally.files;
  run_.progress.tally.bytes += static_cast<uint64_t>(codec.header.original_size);
  *sizeOut = codec.header.packed_size + kHeaderSize;

  int r;
  if (!noSplit && codec.header.packed_size >= kPieceStreamSize) {
    r = SplitPieces(tempName, destination, destinationRoot, shownName);
  } else {
    r = set_.CopyWithRetry(tempName, destination, destinationRoot);
    if (r == kDone) r = set_.AppendFileLine(destination);
  }
  plat::RemoveFile(tempName);
  return r;
}

int Packer::SplitPieces(const std::string& tempPath, const std::string& destinationPath,
                        const std::string& destinationRoot, const std::string& shownName) {
  CodecContext& c = run_.codec;
  run_.ResetProgress(0);
  std::FILE* in = plat::OpenFile(tempPath, "rb");
  if (!in) return run_.Stop(Trouble::kSplitSourceMissing, "", kSourceUnreadable, errno);
  const int64_t streamLength = plat::FileLength(in) - kHeaderSize;
  const int32_t n = PieceCountFor(streamLength);
  run_.ResetProgress(static_cast<uint32_t>(n));
  PathParts parts;
  SplitPath(destinationPath, parts);
  auto giveUp = [&](int r) {
    std::fclose(in);
    return r;
  };

  // The longest piece name must fit a path before anything is written.
  if (PieceName(parts, n).size() > kMaxPathBytes)
    return giveUp(run_.Stop(Trouble::kNameTooLong, "", kNameRefused));

  // Head file: the header alone, with the number of pieces.
  c.header.piece_count = n;
  for (Result written; !(written = WriteHeadFile(destinationPath, c.header, set_.space())).ok();) {
    if (int r = set_.RetryOnFreshDisk(destinationPath, RetryReason::kSplitWriteFailed,
                                      destinationRoot, kAborted, written.error))
      return giveUp(r);
  }
  if (int r = set_.AppendFileLine(destinationPath)) return giveUp(r);

  for (int32_t k = 1; k <= n; ++k) {
    const std::string name = PieceName(parts, k);
    run_.events.FileBegun(name, shownName);
    for (;;) {
      run_.SetProgress(static_cast<uint32_t>(k));
      run_.Pump();
      if (!run_.Going()) return giveUp(kAborted);
      Result written = WritePieceFile(c, in, tempPath, streamLength, k, name, set_.space());
      if (written.ok()) break;
      // The local temporary file cannot be read back: nothing a disk change mends.
      if (written.code == kReadFailed)
        return giveUp(run_.Stop(Trouble::kReadFailed, tempPath, kReadFailed, written.error));
      if (int r = set_.RetryOnFreshDisk(name, RetryReason::kSplitWriteFailed, destinationRoot,
                                        kAborted, written.error))
        return giveUp(r);
    }
    if (int r = set_.AppendFileLine(name)) return giveUp(r);
  }
  std::fclose(in);
  run_.SetProgress(static_cast<uint32_t>(n));
  run_.Pump();
  return kDone;
}
