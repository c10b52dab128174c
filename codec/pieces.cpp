#include "codec/pieces.h"

#include <cstdio>

#include "app/progress.h"
#include "app/prompts.h"
#include "app/resources/messages.h"
#include "codec/context.h"
#include "codec/header.h"
#include "fileops/markers.h"
#include "fileops/paths.h"
#include "fileops/result_code.h"
#include "platform/platform.h"
#include "runs/listfile.h"
#include "text/format.h"

namespace {

constexpr std::size_t kMaxPathBytes = 259;

// Writes the header with the given piece index and then the stream part;
// false when either write fell short.
bool WritePiece(std::FILE* f, const unsigned char* data, std::size_t size) {
  if (!WriteHeader(f, Codec.header)) return false;
  return std::fwrite(data, 1, size, f) == size;
}

bool CloseOk(std::FILE* f) { return std::fclose(f) == 0; }

// After a failed write: the user changes or clears the disk and retries, or
// gives up. Returns 0 to retry, else the result to return.
int AskRetry(const std::string& name, const std::string& destinationRoot) {
  if (PromptRetry(name, msg::kMsgSplitWriteFailed) == 0) {
    StopRun();
    return kAborted;
  }
  if (int r = EnsureFolders(Codec.parts.drive, Codec.parts.folder)) return r;
  return WriteDiskMarker(destinationRoot);
}

}  // namespace

int SplitPieces(const std::string& tempPath, const std::string& destinationPath,
                const std::string& destinationRoot) {
  ResetProgress(0);
  std::FILE* in = plat::OpenFile(tempPath, "rb");
  if (!in) {
    ShowMessage(msg::kMsgSplitSourceMissing, msg::kCaptionStop, 0x10);
    StopRun();
    return kSourceUnreadable;
  }
  int64_t streamLength = plat::FileLength(in) - kHeaderSize;
  int32_t n = static_cast<int32_t>((streamLength + kPieceStreamSize - 1) / kPieceStreamSize);
  ResetProgress(static_cast<uint32_t>(n));
  SplitPath(destinationPath, Codec.parts);

  // The longest piece name must fit a path before anything is written.
  if (PieceName(Codec.parts, n).size() > kMaxPathBytes) {
    std::fclose(in);
    ShowMessage(msg::kMsgNameTooLong, msg::kCaptionStop, 0x10);
    StopRun();
    return kNameRefused;
  }

  // Head file: the header alone, with the number of pieces.
  Codec.header.piece_count = n;
  for (;;) {
    std::FILE* head = plat::OpenFile(destinationPath, "wb");
    if (head) {
      bool ok = WriteHeader(head, Codec.header);
      if (CloseOk(head) && ok) break;
      plat::RemoveFile(destinationPath);
    }
    if (int r = AskRetry(destinationPath, destinationRoot)) {
      std::fclose(in);
      return r;
    }
  }
  if (!AppendFileLine(destinationPath, Codec.DiskId)) {
    std::fclose(in);
    return ReportListWriteFailure();
  }

  for (int32_t k = 1; k <= n; ++k) {
    std::string name = PieceName(Codec.parts, k);
    ShowCurrentFile(name);
    for (;;) {
      SetProgress(static_cast<uint32_t>(k));
      PumpOneMessage();
      if (WorkActive == 0) {
        std::fclose(in);
        return kAborted;
      }
      int64_t offset = kHeaderSize + static_cast<int64_t>(k - 1) * kPieceStreamSize;
      std::size_t expected = static_cast<std::size_t>(
          std::min<int64_t>(kPieceStreamSize, streamLength - (offset - kHeaderSize)));
      std::size_t got = 0;
      if (plat::SeekTo(in, offset)) got = std::fread(Codec.transfer, 1, expected, in);
      if (got != expected) {
        // The local temporary file cannot be read back: nothing a disk change mends.
        std::fclose(in);
        ShowMessage(Format(msg::kMsgReadFailed, tempPath.c_str()), msg::kCaptionStop, 0x10);
        StopRun();
        return kReadFailed;
      }
      std::FILE* piece = plat::OpenFile(name, "wb");
      if (piece) {
        Codec.header.piece_index = k;
        bool ok = WritePiece(piece, Codec.transfer, got);
        if (CloseOk(piece) && ok) break;
      }
      plat::RemoveFile(name);
      if (int r = AskRetry(name, destinationRoot)) {
        std::fclose(in);
        return r;
      }
    }
    if (!AppendFileLine(name, Codec.DiskId)) {
      std::fclose(in);
      return ReportListWriteFailure();
    }
  }
  std::fclose(in);
  SetProgress(static_cast<uint32_t>(n));
  PumpOneMessage();
  return kDone;
}

namespace {

int GiveUpJoin(std::FILE* out, const std::string& outputPath, int result) {
  std::fclose(out);
  plat::RemoveFile(outputPath);
  if (result != kAborted || WorkActive != 0) StopRun();
  return result;
}

}  // namespace

int JoinPieces(const std::string& headPath, const std::string& outputPath) {
  ResetProgress(0);
  std::FILE* out = plat::OpenFile(outputPath, "wb");
  if (!out) {
    ShowMessage(msg::kMsgJoinOutputFailed, msg::kCaptionStop, 0x10);
    StopRun();
    return kJoinOutputFailed;
  }
  SplitPath(headPath, Codec.parts);

  for (;;) {
    std::FILE* head = plat::OpenFile(headPath, "rb");
    if (head) {
      bool whole = ReadHeader(head, Codec.header);
      std::fclose(head);
      if (whole) break;
    }
    if (ShowMessage(Format(msg::kMsgHeadUnreadable, headPath.c_str()), msg::kCaptionConfirm,
                    0x41) != 1)
      return GiveUpJoin(out, outputPath, kAborted);
  }
  const int32_t n = Codec.header.piece_count;
  const int64_t packedSize = Codec.header.packed_size;
  Trace(Format(" /%d ", static_cast<int>(n)).c_str());
  ResetProgress(static_cast<uint32_t>(n));

  for (int32_t k = 1;;) {
    std::string name = PieceName(Codec.parts, k);
    SetProgress(static_cast<uint32_t>(k));
    PumpOneMessage();
    if (WorkActive == 0) return GiveUpJoin(out, outputPath, kAborted);

    bool accepted = false;
    if (std::FILE* piece = plat::OpenFile(name, "rb")) {
      if (ReadHeader(piece, Codec.header) && HasSignatureExact(Codec.header)) {
        std::size_t got = std::fread(Codec.transfer, 1, kPieceStreamSize, piece);
        // Every piece but the last holds a full part of the stream; the last
        // holds the rest. A shorter piece is damaged and asked for again.
        int64_t rest = packedSize - static_cast<int64_t>(k - 1) * kPieceStreamSize;
        std::size_t expected = k < n ? kPieceStreamSize
                               : (rest > 0 && rest <= kPieceStreamSize)
                                   ? static_cast<std::size_t>(rest)
                                   : 1;
        if (!std::ferror(piece) && got >= expected) {
          accepted = true;
          if (std::fwrite(Codec.transfer, 1, got, out) != got) {
            std::fclose(piece);
            ShowMessage(Format(msg::kMsgWriteFailed, outputPath.c_str()), msg::kCaptionStop, 0x10);
            return GiveUpJoin(out, outputPath, kWriteFailed);
          }
          Trace(">");
          ++k;
        }
      }
      std::fclose(piece);
    }
    if (!accepted && ShowMessage(Format(msg::kMsgPieceUnreadable, name.c_str()),
                                 msg::kCaptionConfirm, 0x41) != 1)
      return GiveUpJoin(out, outputPath, kAborted);

    if (k > n) {
      if (std::fclose(out) != 0) {
        plat::RemoveFile(outputPath);
        ShowMessage(Format(msg::kMsgWriteFailed, outputPath.c_str()), msg::kCaptionStop, 0x10);
        StopRun();
        return kWriteFailed;
      }
      SetProgress(static_cast<uint32_t>(n));
      PumpOneMessage();
      return kDone;
    }
  }
}
