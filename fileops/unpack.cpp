// Taking one file of the disk set back out into the game folder, and the
// expansion of one compressed file that the single-file command shares.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/dialogue/resources/messages.h"
#include "codec/decoder.h"
#include "codec/header.h"
#include "codec/pieces.h"
#include "codec/result_code.h"
#include "fileops/coder_hooks.h"
#include "fileops/file_ops.h"
#include "fileops/naming.h"
#include "fileops/paths.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/format.h"
#include "text/paths.h"

namespace {

// The name an output is written under until it is complete.
constexpr const char* kPartialPrefix = "kv~";

// True when the file is shorter than a header but begins with the
// signature (what is missing counts as zero bytes).
bool CutInsideHeader(std::FILE* f) {
  unsigned char raw[kHeaderSize] = {};
  if (!plat::SeekTo(f, 0) || std::fread(raw, 1, kHeaderSize, f) == kHeaderSize) return false;
  LzsHeader h;
  DecodeHeader(raw, h);
  return HasSignatureNoCase(h);
}

}  // namespace

// Header copy_flag: the stored data is delivered by a plain copy instead of
// decoding (the whole compressed file as stored, or the joined stream).
int FileOps::CopyBranch(const std::string& copySource, const std::string& target,
                        const std::string& shownName) {
  ui.Trace(" /!P");
  while (!plat::CopyFileReplacing(copySource, target)) {
    if (ui.PromptRetry(shownName, msg::kMsgCopyFailed) == kChoiceSkip) {
      ui.StopRun();
      return kCopyAbandoned;
    }
  }
  ui.SetProgress(static_cast<uint32_t>(codec.header.original_size));
  ui.PumpOneMessage();
  return kDone;
}

int FileOps::ExpandFile(const std::string& source, const std::string& output, int32_t* produced) {
  *produced = 0;
  std::FILE* in = OpenSourceAskingForDisk(source);
  if (!in) return kSourceUnreadable;
  if (!ReadHeader(in, codec.header) || !HasSignatureNoCase(codec.header)) {
    // A file that starts like a compressed one but ends inside its header
    // is damage, not a file to leave out without a word.
    const bool cut = CutInsideHeader(in);
    std::fclose(in);
    if (cut) return StopRunWith(Format(msg::kMsgDamagedStream, source.c_str()), kDamagedStream);
    return kDone;  // not a compressed file: nothing to write
  }
  if (codec.header.version != kFormatVersion) {
    ui.ShowMessage(msg::kMsgVersion, msg::kCaptionConfirm, kInformationOk);
    std::fclose(in);
    return kVersionMismatch;
  }
  if (codec.header.original_size <= 0) {
    std::fclose(in);
    return StopRunWith(msg::kMsgBadSize, kBadOriginalSize);
  }
  if (codec.header.piece_index != 0) {
    std::fclose(in);
    return kPieceSkipped;
  }

  // A head file: its pieces' code streams are joined into a temporary file
  // first. The pieces' headers replace the head's in the work area; the size
  // and the delivery kind come from the head file.
  std::string joined;
  std::vector<plat::FileId> inputs(1);
  plat::GetFileId(source, inputs[0]);
  if (codec.header.piece_count != 0) {
    std::fclose(in);
    const LzsHeader head = codec.header;
    joined = plat::MakeTempFile(plat::TempFolder(), "lzs");
    if (int r = JoinPieces(ui, codec, source, joined, &inputs)) {
      if (!joined.empty()) plat::RemoveFile(joined);
      return r;
    }
    codec.header.original_size = head.original_size;
    codec.header.copy_flag = head.copy_flag;
    in = plat::OpenFile(joined, "rb");
    if (!in) {
      ui.ShowMessage(msg::kMsgTempFailedUnpack, msg::kCaptionStop, kStopOk);
      plat::RemoveFile(joined);
      return kSourceUnreadable;
    }
  }
  auto dropJoined = [&] {
    if (!joined.empty()) plat::RemoveFile(joined);
  };

  // No output: a test, decoded into nothing.
  const bool testOnly = output.empty();
  // The output is written under a name of its own in its folder and
  // renamed into place once it is complete: an interrupted or failed file
  // leaves nothing that looks whole behind.
  std::string partial;
  std::FILE* out = nullptr;
  if (!testOnly) {
    // Renaming over the output replaces it: it must not be what is being expanded.
    plat::FileId outputId;
    if (plat::GetFileId(output, outputId) &&
        std::find(inputs.begin(), inputs.end(), outputId) != inputs.end()) {
      std::fclose(in);
      dropJoined();
      return StopRunWith(Format(msg::kMsgSameAsInput, output.c_str()), kNameRefused);
    }
    PathParts parts;
    SplitPath(output, parts);
    const std::string folder = MakePath(parts.drive, parts.folder, "", "");
    for (;;) {
      // A folder where the file goes cannot be replaced by it.
      partial = FolderExists(output) ? std::string() : plat::MakeTempFile(folder, kPartialPrefix);
      if (!partial.empty() && (out = plat::OpenFile(partial, "r+b"))) break;
      if (!partial.empty()) plat::RemoveFile(partial);
      if (ui.PromptRetry(output, msg::kMsgOutputUnwritable) == kChoiceSkip) {
        std::fclose(in);
        dropJoined();
        ui.StopRun();
        return kAborted;
      }
    }
  }

  const int32_t originalSize = codec.header.original_size;
  const int64_t packedSize = codec.header.packed_size;
  int r = kDone;
  if (codec.header.copy_flag != 0) {
    std::fclose(in);
    if (out) {
      std::fclose(out);
      ui.ResetProgress(static_cast<uint32_t>(originalSize));
      r = CopyBranch(joined.empty() ? source : joined, partial, output);
    }
  } else {
    // The stream must be exactly as long as the header says, and the codes
    // must use all of it: a stream of another file (a disk of another set)
    // is damage, never a file of the wrong size.
    int64_t used = -1;
    if (plat::FileLength(in) - (joined.empty() ? kHeaderSize : 0) != packedSize) {
      r = kDamagedStream;
    } else {
      FileSource from(in);
      FileSink file(out);
      NullSink nothing;
      DialogueCoderHooks hooks(ui);
      r = DecodeStream(codec, from, out ? static_cast<ByteSink&>(file) : nothing, originalSize,
                       hooks, &used);
      if (r == kDone && used != packedSize) r = kDamagedStream;
    }
    std::fclose(in);
    if (out && std::fclose(out) != 0 && r == kDone) r = kWriteFailed;
  }
  if (!partial.empty()) {
    if (r == kDone && !plat::RenameReplacing(partial, output)) r = kWriteFailed;
    if (r != kDone) plat::RemoveFile(partial);
  }
  dropJoined();
  switch (r) {
    case kDone:
      *produced = originalSize;
      return r;
    case kDamagedStream:
      return StopRunWith(Format(msg::kMsgDamagedStream, source.c_str()), r);
    case kWriteFailed:
      return StopRunWith(Format(msg::kMsgWriteFailed, output.c_str()), r);
    case kReadFailed:
      return StopRunWith(Format(msg::kMsgReadFailed, source.c_str()), r);
    default:  // aborted, copy abandoned: reported already
      return r;
  }
}

int FileOps::TestFile(const std::string& source, const std::string& relativeName,
                      int32_t* produced) {
  *produced = 0;
  ui.ResetProgress(0);
  if (!IsSafeRelativeName(relativeName))
    return StopRunWith(Format(msg::kMsgUnsafeName, relativeName.c_str()), kNameRefused);
  ui.ShowCurrentFile(source);
  return ExpandFile(source, "", produced);
}

int FileOps::RefuseLinksBelow(const std::string& root, const std::string& output) {
  // The game folder itself is the user's choice; below it nothing the set
  // names may lead elsewhere.
  if (output.compare(0, root.size(), root) != 0) return kDone;
  for (std::size_t i = root.size(); i < output.size(); i = cp932::Next(output, i)) {
    if (output[i] != '\\' || cp932::Next(output, i) != i + 1) continue;
    const std::string level = output.substr(0, i);
    if (plat::IsSymbolicLink(level))
      return StopRunWith(Format(msg::kMsgLinkInTheWay, level.c_str()), kNameRefused);
  }
  return kDone;
}

int FileOps::UnpackFile(const std::string& source, const std::string& destinationRoot,
                        const std::string& relativeName, int onlyIfNewer, int32_t* sizeOut) {
  int32_t ignored = 0;
  if (!sizeOut) sizeOut = &ignored;
  ui.ResetProgress(0);
  *sizeOut = 0;

  // A damaged or hostile list must never reach outside the disk set or the game folder.
  if (!IsSafeRelativeName(relativeName))
    return StopRunWith(Format(msg::kMsgUnsafeName, relativeName.c_str()), kNameRefused);

  std::FILE* in = OpenSourceAskingForDisk(source);
  if (!in) return kSourceUnreadable;
  std::fclose(in);

  std::string output;
  if (!OutputName(destinationRoot, relativeName, output))
    return StopRunWith(msg::kMsgNameTooLong, kNameRefused);
  ui.ShowCurrentFile(output);
  if (int r = RefuseLinksBelow(destinationRoot, output)) return r;
  PathParts parts;
  SplitPath(output, parts);
  if (int r = EnsureFolders(parts.drive, parts.folder)) return r;
  if (onlyIfNewer && SkipIfNotNewer(source, output) == kNotNewer) return kNotNewer;

  // A link where the file goes counts as a file in the way: it is asked
  // about and then replaced, never written through.
  const bool link = plat::IsSymbolicLink(output);
  if (state.OverwriteChoice != kChoiceOverwriteAll) {
    state.OverwriteChoice = kChoiceSkip;
    bool exists = link;
    if (std::FILE* existing = exists ? nullptr : plat::OpenFile(output, "rb")) {
      std::fclose(existing);
      exists = true;
    }
    if (exists && ui.PromptOverwrite(output) == kChoiceSkip) {
      ui.Trace(" /w_skip!");
      return kOverwriteSkipped;
    }
  }
  if (link) plat::RemoveFile(output);

  return ExpandFile(source, output, sizeOut);
}
