#include "runs/expander.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "codec/header.h"
#include "codec/result_code.h"
#include "fileops/coding.h"
#include "fileops/files.h"
#include "fileops/naming.h"
#include "fileops/pieces.h"
#include "runs/set_writer.h"
#include "text/paths.h"

int Expander::WaitForDisk(DiskAccess& access) {
  const int32_t number = run_.progress.diskId;
  // The prompt comes first, also when the right disk is in the drive.
  for (bool again = false;; again = true) {
    if (!run_.events.DiskWanted(number, again)) {
      run_.progress.active = 0;
      run_.PumpNow();
      return 0;
    }
    if (access.HasDisk(number)) return 1;
  }
}

// Header copy_flag: the stored data is delivered by a plain copy instead of
// decoding (the whole compressed file as stored, or the joined stream).
int Expander::CopyBranch(const std::string& copySource, const std::string& target,
                         const std::string& shownName) {
  run_.events.Trace(" /!P");
  while (!plat::CopyFileReplacing(copySource, target, &RunContext::CopyTick, &run_)) {
    if (!run_.Going()) return kAborted;
    if (!run_.AskRetry(shownName, RetryReason::kCopyFailed, errno)) {
      run_.progress.active = 0;
      return kCopyAbandoned;
    }
  }
  run_.SetProgress(static_cast<uint32_t>(run_.codec.header.original_size));
  run_.Pump();
  return kDone;
}

int Expander::JoinPieces(const std::string& headPath, const std::string& outputPath,
                         const PieceFinder& pieces, std::vector<plat::FileId>* piecesRead) {
  CodecContext& c = run_.codec;
  run_.ResetProgress(0);
  std::FILE* out = plat::OpenFile(outputPath, "wb");
  if (!out) return run_.Stop(Trouble::kJoinOutputFailed, "", kJoinOutputFailed, errno);
  // A join given up stops the run (told already, or asked) and leaves no output.
  auto giveUp = [&](int result) {
    std::fclose(out);
    plat::RemoveFile(outputPath);
    run_.progress.active = 0;
    run_.PumpNow();
    return result;
  };
  for (;;) {
    std::FILE* head = plat::OpenFile(headPath, "rb");
    if (head) {
      bool whole = ReadHeader(head, c.header);
      std::fclose(head);
      if (whole) break;
    }
    if (!run_.events.FileWanted(headPath, WantReason::kHeadUnreadable)) return giveUp(kAborted);
  }
  const LzsHeader head = c.header;
  const int32_t n = head.piece_count;
  // A head whose sizes contradict each other names no stream that pieces
  // could make whole.
  if (!HasSignatureExact(head) || !HeadAgrees(head)) {
    run_.Tell(Trouble::kDamaged, headPath);
    return giveUp(kDamagedStream);
  }
  run_.events.Trace((" /" + std::to_string(n) + " ").c_str());
  run_.ResetProgress(static_cast<uint32_t>(n));
  PathParts parts;
  SplitPath(headPath, parts);

  for (int32_t k = 1; k <= n;) {
    const std::string beside = PieceName(parts, k);
    const std::string name = pieces ? pieces(k, beside) : beside;
    run_.SetProgress(static_cast<uint32_t>(k));
    run_.Pump();
    if (!run_.Going()) return giveUp(kAborted);
    plat::FileId id;
    switch (AppendPiece(c, head, k, name, out, &id)) {
      case PieceRead::kTaken:
        run_.events.Trace(">");
        if (piecesRead) piecesRead->push_back(id);
        ++k;
        continue;
      case PieceRead::kOutputFailed:
        run_.Tell(Trouble::kWriteFailed, outputPath, errno);
        return giveUp(kWriteFailed);
      case PieceRead::kUnreadable:
      case PieceRead::kForeign:
        // Not there, or a piece of something else: the disk that holds the
        // right one is asked for.
        if (!run_.events.FileWanted(name, WantReason::kPieceUnreadable)) return giveUp(kAborted);
        continue;
    }
  }
  if (std::fclose(out) != 0) {
    plat::RemoveFile(outputPath);
    return run_.Stop(Trouble::kWriteFailed, outputPath, kWriteFailed, errno);
  }
  run_.SetProgress(static_cast<uint32_t>(n));
  run_.Pump();
  return kDone;
}

// The header of the file at source, read into the codec: kGoOn with the
// file open after it when it is a whole or head file to expand, else what
// ExpandFile returns (the file closed).
int Expander::OpenCompressed(const std::string& source, std::FILE*& in) {
  LzsHeader& header = run_.codec.header;
  in = OpenAskingForDisk(run_, source);
  if (!in) return kSourceUnreadable;
  int r = kGoOn;
  if (!ReadHeader(in, header) || !HasSignatureNoCase(header)) {
    // A file that starts like a compressed one but ends inside its header
    // is damage, not a file to leave out without a word.
    r = CutInsideHeader(in) ? run_.Stop(Trouble::kDamaged, source, kDamagedStream)
                            : kDone;  // not a compressed file: nothing to write
  } else if (header.version != kFormatVersion) {
    run_.Tell(Trouble::kVersion, source);
    r = kVersionMismatch;
  } else if (header.original_size <= 0) {
    r = run_.Stop(Trouble::kBadSize, source, kBadOriginalSize);
  } else if (header.piece_index != 0) {
    r = kPieceSkipped;
  }
  if (r != kGoOn) std::fclose(in);
  return r;
}

// A head file (open as in): its pieces' code streams are joined into the
// temporary file joined, which in then reads. The pieces' headers replace
// the head's in the work area; the sizes and the delivery kind come from
// the head. kGoOn, or the result of the join (in closed).
int Expander::JoinedStream(const std::string& source, const PieceFinder& pieces,
                           std::vector<plat::FileId>& inputs, std::string& joined, std::FILE*& in) {
  CodecContext& codec = run_.codec;
  std::fclose(in);
  in = nullptr;
  const LzsHeader head = codec.header;
  joined = plat::MakeTempFile(plat::TempFolder(), "lzs");
  if (int r = JoinPieces(source, joined, pieces, &inputs)) {
    if (!joined.empty()) plat::RemoveFile(joined);
    joined.clear();
    return r;
  }
  codec.header = head;
  in = plat::OpenFile(joined, "rb");
  if (!in) {
    run_.Tell(Trouble::kTempFailedUnpack, joined, errno);
    plat::RemoveFile(joined);
    joined.clear();
    return kSourceUnreadable;
  }
  return kGoOn;
}

// The partial file that becomes output: kGoOn with out open, or what
// ExpandFile returns.
int Expander::OpenOutput(const std::string& output, const std::vector<plat::FileId>& inputs,
                         std::string& partial, std::FILE*& out) {
  // Renaming over the output replaces it: it must not be what is being expanded.
  plat::FileId outputId;
  if (plat::GetFileId(output, outputId) &&
      std::find(inputs.begin(), inputs.end(), outputId) != inputs.end())
    return run_.Stop(Trouble::kSameAsInput, output, kNameRefused);
  for (Result opened; !(opened = OpenPartial(output, partial, out)).ok();) {
    if (!run_.AskRetry(output, RetryReason::kOutputUnwritable, opened.error)) {
      run_.progress.active = 0;
      return kAborted;
    }
  }
  return kGoOn;
}

int Expander::ExpandFile(const std::string& source, const std::string& output, int32_t* produced,
                         const PieceFinder& pieces) {
  CodecContext& codec = run_.codec;
  *produced = 0;
  std::FILE* in = nullptr;
  if (int r = OpenCompressed(source, in); r != kGoOn) return r;
  std::string joined;
  std::vector<plat::FileId> inputs(1);
  plat::GetFileId(source, inputs[0]);
  if (codec.header.piece_count != 0)
    if (int r = JoinedStream(source, pieces, inputs, joined, in); r != kGoOn) return r;
  auto dropJoined = [&] {
    if (!joined.empty()) plat::RemoveFile(joined);
  };

  // No output: a test, decoded into nothing.
  std::string partial;
  std::FILE* out = nullptr;
  if (!output.empty()) {
    if (int r = OpenOutput(output, inputs, partial, out); r != kGoOn) {
      std::fclose(in);
      dropJoined();
      return r;
    }
  }

  const int32_t originalSize = codec.header.original_size;
  Result r;
  if (codec.header.copy_flag != 0) {
    std::fclose(in);
    if (out) {
      std::fclose(out);
      run_.ResetProgress(static_cast<uint32_t>(originalSize));
      r.code = CopyBranch(joined.empty() ? source : joined, partial, output);
    }
  } else {
    {
      RunCoderHooks hooks(run_);
      r = DecodeStreamFile(codec, in, joined.empty() ? kHeaderSize : 0, out, source, output, hooks,
                           run_.setup.policy.testSink);
    }
    if (out && std::fclose(out) != 0 && r.ok()) r = Failure(kWriteFailed, output);
  }
  if (!partial.empty()) {
    if (r.ok()) r = Publish(partial, output);
    if (!r.ok()) plat::RemoveFile(partial);
  }
  dropJoined();
  switch (r.code) {
    case kDone:
      *produced = originalSize;
      return kDone;
    case kDamagedStream:
      return run_.Stop(Trouble::kDamaged, source, r.code);
    case kWriteFailed:
      return run_.Stop(Trouble::kWriteFailed, output, r.code, r.error);
    case kReadFailed:
      return run_.Stop(Trouble::kReadFailed, source, r.code, r.error);
    default:  // aborted, copy abandoned: told already
      return r.code;
  }
}

int Expander::TestFile(const std::string& source, const std::string& relativeName,
                       int32_t* produced, const PieceFinder& pieces) {
  *produced = 0;
  run_.ResetProgress(0);
  if (!IsSafeRelativeName(relativeName))
    return run_.Stop(Trouble::kUnsafeName, relativeName, kNameRefused);
  run_.events.FileBegun(source, relativeName);
  return ExpandFile(source, "", produced, pieces);
}

namespace {

// A piece file: its header says so (its contents come in through its head).
bool IsPieceFile(const std::string& path) {
  std::FILE* f = plat::OpenFile(path, "rb");
  if (!f) return false;
  LzsHeader h;
  const bool piece = ReadHeader(f, h) && HasSignatureNoCase(h) && h.piece_index != 0;
  std::fclose(f);
  return piece;
}

}  // namespace

int Expander::UnpackFile(const std::string& source, const std::string& destinationRoot,
                         const std::string& relativeName, bool onlyIfNewer, int32_t* sizeOut,
                         const PieceFinder& pieces) {
  int32_t ignored = 0;
  if (!sizeOut) sizeOut = &ignored;
  run_.ResetProgress(0);
  *sizeOut = 0;

  // A damaged or hostile list must never reach outside the disk set or the game folder.
  if (!IsSafeRelativeName(relativeName))
    return run_.Stop(Trouble::kUnsafeName, relativeName, kNameRefused);

  std::FILE* in = OpenAskingForDisk(run_, source);
  if (!in) return kSourceUnreadable;
  std::fclose(in);

  std::string output;
  if (!OutputName(destinationRoot, relativeName, output))
    return run_.Stop(Trouble::kNameTooLong, "", kNameRefused);
  run_.events.FileBegun(output, relativeName);
  const std::string link = LinkBelow(destinationRoot, output);
  if (!link.empty()) return run_.Stop(Trouble::kLinkInTheWay, link, kNameRefused);
  PathParts parts;
  SplitPath(output, parts);
  if (int r = EnsureFolders(run_, parts.drive, parts.folder)) return r;
  if (onlyIfNewer && SkipIfNotNewer(run_, source, output) == kNotNewer) return kNotNewer;

  // The line of a piece names the file its head has just given: nothing
  // is written for it, and the run's own output is no file in the way.
  if (written.count(output) && IsPieceFile(source)) return kPieceSkipped;

  // A link where the file goes counts as a file in the way: it is asked
  // about and then replaced, never written through.
  RunProgress& p = run_.progress;
  const bool isLink = plat::IsSymbolicLink(output);
  if (p.overwriteChoice != kChoiceOverwriteAll) {
    p.overwriteChoice = kChoiceSkip;
    bool exists = isLink;
    if (std::FILE* existing = exists ? nullptr : plat::OpenFile(output, "rb")) {
      std::fclose(existing);
      exists = true;
    }
    if (exists && run_.AskOverwrite(output) == kChoiceSkip) {
      run_.events.Trace(" /w_skip!");
      return kOverwriteSkipped;
    }
  }
  if (isLink) plat::RemoveFile(output);

  const int r = ExpandFile(source, output, sizeOut, pieces);
  if (r == kDone && *sizeOut > 0) written.insert(output);
  return r;
}

void Expander::RecreateFolders(DiskAccess& access, int32_t disk) {
  const std::string& root = run_.setup.destination;
  for (const std::string& sub : access.FoldersOf(disk)) {
    if (!run_.Going()) return;
    std::string target;
    if (!OutputName(root, sub, target)) continue;
    const std::string link = LinkBelow(root, target + "x");
    if (!link.empty()) {
      run_.Stop(Trouble::kLinkInTheWay, link, kNameRefused);
      return;
    }
    PathParts parts;
    SplitPath(target, parts);
    if (EnsureFolders(run_, parts.drive, parts.folder) != kDone) return;
  }
}

bool DriveAccess::HasDisk(int32_t number) {
  std::string base = folder_;
  RemoveTrailingChar(base, '\\');
  if (std::FILE* f = plat::OpenFile(MarkerPath(base, number), "rb")) {
    std::fclose(f);
    return true;
  }
  return false;
}

std::string DriveAccess::FileOf(int32_t, const std::string& relative) { return folder_ + relative; }

namespace {

// Another set beside this one (its markers or its list) is not ours.
bool HoldsASet(const std::string& folder) {
  plat::FindEntry entry;
  for (const char* pattern : {"\\*.id", "\\kelvod.lst"}) {
    if (plat::FindHandle* h = plat::FindFirst(folder + pattern, entry)) {
      plat::FindClose(h);
      return true;
    }
  }
  return false;
}

}  // namespace

// The folders of the disk in the drive, checked like listed names and
// without following links; parents before their sub-folders.
void DriveAccess::AddFolders(const std::string& relative, std::vector<std::string>& out) {
  plat::FindEntry entry;
  plat::FindHandle* h = plat::FindFirst(folder_ + relative + "*.*", entry);
  if (!h) return;
  std::vector<std::string> subfolders;
  do {
    if (!entry.isFolder || entry.isLink || !entry.convertible || entry.name == "." ||
        entry.name == "..")
      continue;
    subfolders.push_back(relative + entry.name);
  } while (plat::FindNext(h, entry));
  plat::FindClose(h);
  for (const std::string& sub : subfolders) {
    const std::string onDisk = folder_ + sub;
    if (plat::IsSymbolicLink(onDisk) || !IsSafeRelativeName(sub) || HoldsASet(onDisk)) continue;
    out.push_back(sub + "\\");
    AddFolders(sub + "\\", out);
  }
}

std::vector<std::string> DriveAccess::FoldersOf(int32_t) {
  std::vector<std::string> out;
  AddFolders("", out);
  return out;
}
