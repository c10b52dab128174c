#include "fileops/unpack.h"

#include <cstdio>

#include "app/progress.h"
#include "app/prompts.h"
#include "app/resources/messages.h"
#include "codec/context.h"
#include "codec/decoder.h"
#include "codec/header.h"
#include "codec/pieces.h"
#include "fileops/naming.h"
#include "fileops/pack.h"
#include "fileops/paths.h"
#include "fileops/result_code.h"
#include "fileops/source.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/format.h"

namespace {

// "." and ".." levels, what Windows trims to them ("...", ". ."), and
// empty levels.
bool IsDotsOrEmpty(std::string_view level) {
  for (char c : level)
    if (c != '.' && c != ' ') return false;
  return true;
}

}  // namespace

bool IsSafeRelativeName(const std::string& name) {
  if (name.empty() || name[0] == '\\' || name[0] == '/') return false;
  std::string_view text(name);
  std::size_t levelStart = 0;
  for (std::size_t i = 0; i < text.size(); i = cp932::Next(text, i)) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (cp932::IsLeadByte(c)) continue;  // a double-byte character is never a separator
    if (c < 0x20 || c == 0x7F || c == ':') return false;  // control characters, drives, streams
    if (c == '\\' || c == '/') {
      if (IsDotsOrEmpty(text.substr(levelStart, i - levelStart))) return false;
      levelStart = i + 1;
    }
  }
  return !IsDotsOrEmpty(text.substr(levelStart));
}

int UnpackFile(const std::string& source, const std::string& destinationRoot,
               const std::string& relativeName, int onlyIfNewer, int32_t* sizeOut) {
  int32_t ignored = 0;
  if (!sizeOut) sizeOut = &ignored;
  ResetProgress(0);
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
  ShowCurrentFile(output);
  PathParts parts;
  SplitPath(output, parts);
  if (int r = EnsureFolders(parts.drive, parts.folder)) return r;
  if (onlyIfNewer && SkipIfNotNewer(source, output) == kNotNewer) return kNotNewer;

  if (OverwriteChoice != -1) {
    OverwriteChoice = 0;
    if (std::FILE* existing = plat::OpenFile(output, "rb")) {
      std::fclose(existing);
      if (PromptOverwrite(output) == 0) {
        Trace(" /w_skip!");
        return kOverwriteSkipped;
      }
    }
  }

  in = OpenSourceAskingForDisk(source);
  if (!in) return kSourceUnreadable;
  if (!ReadHeader(in, Codec.header) || !HasSignatureNoCase(Codec.header)) {
    std::fclose(in);
    return kDone;  // not a compressed file: nothing to write
  }
  if (Codec.header.version != kFormatVersion) {
    ShowMessage(msg::kMsgVersion, msg::kCaptionConfirm, 0x40);
    std::fclose(in);
    return kVersionMismatch;
  }
  if (Codec.header.original_size <= 0) {
    std::fclose(in);
    return StopRunWith(msg::kMsgBadSize, kBadOriginalSize);
  }
  if (Codec.header.piece_index != 0) {
    std::fclose(in);
    return kPieceSkipped;
  }

  Codec.tempName.clear();
  if (Codec.header.piece_count != 0) {
    std::fclose(in);
    // The pieces' headers replace the head's in the work area; the size and
    // the delivery kind come from the head file.
    const LzsHeader head = Codec.header;
    Codec.tempFolder = plat::TempFolder();
    Codec.tempName = plat::MakeTempFile(Codec.tempFolder, "lzs");
    if (int r = JoinPieces(source, Codec.tempName)) {
      if (!Codec.tempName.empty()) plat::RemoveFile(Codec.tempName);
      Codec.tempName.clear();
      return r;
    }
    Codec.header.original_size = head.original_size;
    Codec.header.copy_flag = head.copy_flag;
    in = plat::OpenFile(Codec.tempName, "rb");
    if (!in) {
      ShowMessage(msg::kMsgTempFailedUnpack, msg::kCaptionStop, 0x10);
      plat::RemoveFile(Codec.tempName);
      Codec.tempName.clear();
      return kSourceUnreadable;
    }
  }

  std::FILE* out = nullptr;
  while (!(out = plat::OpenFile(output, "wb"))) {
    if (PromptRetry(output, msg::kMsgOutputUnwritable) == 0) {
      std::fclose(in);
      if (!Codec.tempName.empty()) plat::RemoveFile(Codec.tempName);
      Codec.tempName.clear();
      StopRun();
      return kAborted;
    }
  }

  int32_t produced = 0;
  int r = DecodeStream(in, out, output, source, &produced);
  Codec.tempName.clear();
  switch (r) {
    case kDone:
      *sizeOut = produced;
      return kDone;
    case kDamagedStream:
      return StopRunWith(Format(msg::kMsgDamagedStream, source.c_str()), r);
    case kWriteFailed:
      return StopRunWith(Format(msg::kMsgWriteFailed, output.c_str()), r);
    case kReadFailed:
      return StopRunWith(Format(msg::kMsgReadFailed, source.c_str()), r);
    default:  // copy abandoned, aborted: already reported
      return r;
  }
}
