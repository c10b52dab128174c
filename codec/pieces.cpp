#include "codec/pieces.h"

#include <cstdio>

#include "app/dialogue/resources/messages.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "platform/platform.h"
#include "text/format.h"
#include "text/paths.h"

namespace {

// Writes the header with the given piece index and then the stream part;
// false when either write fell short.
bool WritePiece(std::FILE* f, const LzsHeader& h, const unsigned char* data, std::size_t size) {
  if (!WriteHeader(f, h)) return false;
  return std::fwrite(data, 1, size, f) == size;
}

bool CloseOk(std::FILE* f) { return std::fclose(f) == 0; }

// After a failed write: the user changes or clears the disk and retries, or
// gives up. Returns 0 to retry, else the result to return.
int AskRetry(Dialogue& ui, PieceHooks& hooks, const PathParts& parts, const std::string& name,
             const std::string& destinationRoot) {
  if (ui.PromptRetry(name, msg::kMsgSplitWriteFailed) == kChoiceSkip) {
    ui.StopRun();
    return kAborted;
  }
  if (int r = hooks.EnsureFolders(parts.drive, parts.folder)) return r;
  return hooks.WriteDiskMarker(destinationRoot);
}

}  // namespace

int SplitPieces(Dialogue& ui, CodecContext& c, PieceHooks& hooks, const std::string& tempPath,
                const std::string& destinationPath, const std::string& destinationRoot) {
  RunState& state = ui.state();
  ui.ResetProgress(0);
  std::FILE* in = plat::OpenFile(tempPath, "rb");
  if (!in) {
    ui.ShowMessage(msg::kMsgSplitSourceMissing, msg::kCaptionStop, kStopOk);
    ui.StopRun();
    return kSourceUnreadable;
  }
  int64_t streamLength = plat::FileLength(in) - kHeaderSize;
  int32_t n = static_cast<int32_t>((streamLength + kPieceStreamSize - 1) / kPieceStreamSize);
  ui.ResetProgress(static_cast<uint32_t>(n));
  PathParts parts;
  SplitPath(destinationPath, parts);

  // The longest piece name must fit a path before anything is written.
  if (PieceName(parts, n).size() > kMaxPathBytes) {
    std::fclose(in);
    ui.ShowMessage(msg::kMsgNameTooLong, msg::kCaptionStop, kStopOk);
    ui.StopRun();
    return kNameRefused;
  }

  // Head file: the header alone, with the number of pieces.
  c.header.piece_count = n;
  for (;;) {
    std::FILE* head =
        hooks.Fits(destinationPath, kHeaderSize) ? plat::OpenFile(destinationPath, "wb") : nullptr;
    if (head) {
      bool ok = WriteHeader(head, c.header);
      if (CloseOk(head) && ok) break;
      plat::RemoveFile(destinationPath);
    }
    if (int r = AskRetry(ui, hooks, parts, destinationPath, destinationRoot)) {
      std::fclose(in);
      return r;
    }
  }
  if (int r = hooks.AppendFileLine(destinationPath)) {
    std::fclose(in);
    return r;
  }

  for (int32_t k = 1; k <= n; ++k) {
    std::string name = PieceName(parts, k);
    ui.ShowCurrentFile(name);
    for (;;) {
      ui.SetProgress(static_cast<uint32_t>(k));
      ui.PumpOneMessage();
      if (state.WorkActive == 0) {
        std::fclose(in);
        return kAborted;
      }
      int64_t offset = kHeaderSize + static_cast<int64_t>(k - 1) * kPieceStreamSize;
      std::size_t expected = static_cast<std::size_t>(
          std::min<int64_t>(kPieceStreamSize, streamLength - (offset - kHeaderSize)));
      std::size_t got = 0;
      if (plat::SeekTo(in, offset)) got = std::fread(c.transfer, 1, expected, in);
      if (got != expected) {
        // The local temporary file cannot be read back: nothing a disk change mends.
        std::fclose(in);
        ui.ShowMessage(Format(msg::kMsgReadFailed, tempPath.c_str()), msg::kCaptionStop, kStopOk);
        ui.StopRun();
        return kReadFailed;
      }
      std::FILE* piece = hooks.Fits(name, kHeaderSize + got) ? plat::OpenFile(name, "wb") : nullptr;
      if (piece) {
        c.header.piece_index = k;
        bool ok = WritePiece(piece, c.header, c.transfer, got);
        if (CloseOk(piece) && ok) break;
      }
      plat::RemoveFile(name);
      if (int r = AskRetry(ui, hooks, parts, name, destinationRoot)) {
        std::fclose(in);
        return r;
      }
    }
    if (int r = hooks.AppendFileLine(name)) {
      std::fclose(in);
      return r;
    }
  }
  std::fclose(in);
  ui.SetProgress(static_cast<uint32_t>(n));
  ui.PumpOneMessage();
  return kDone;
}

namespace {

int GiveUpJoin(Dialogue& ui, std::FILE* out, const std::string& outputPath, int result) {
  std::fclose(out);
  plat::RemoveFile(outputPath);
  if (result != kAborted || ui.state().WorkActive != 0) ui.StopRun();
  return result;
}

}  // namespace

int JoinPieces(Dialogue& ui, CodecContext& c, const std::string& headPath,
               const std::string& outputPath, std::vector<plat::FileId>* piecesRead) {
  ui.ResetProgress(0);
  std::FILE* out = plat::OpenFile(outputPath, "wb");
  if (!out) {
    ui.ShowMessage(msg::kMsgJoinOutputFailed, msg::kCaptionStop, kStopOk);
    ui.StopRun();
    return kJoinOutputFailed;
  }
  PathParts parts;
  SplitPath(headPath, parts);

  for (;;) {
    std::FILE* head = plat::OpenFile(headPath, "rb");
    if (head) {
      bool whole = ReadHeader(head, c.header);
      std::fclose(head);
      if (whole) break;
    }
    if (ui.ShowMessage(Format(msg::kMsgHeadUnreadable, headPath.c_str()), msg::kCaptionConfirm,
                       kInformationOkCancel) != kIdOk)
      return GiveUpJoin(ui, out, outputPath, kAborted);
  }
  const LzsHeader head = c.header;
  const int32_t n = head.piece_count;
  // A head whose sizes contradict each other names no stream that pieces
  // could make whole.
  if (!HasSignatureExact(head) || !HeadAgrees(head)) {
    ui.ShowMessage(Format(msg::kMsgDamagedStream, headPath.c_str()), msg::kCaptionStop, kStopOk);
    return GiveUpJoin(ui, out, outputPath, kDamagedStream);
  }
  ui.Trace(Format(" /%d ", static_cast<int>(n)).c_str());
  ui.ResetProgress(static_cast<uint32_t>(n));

  for (int32_t k = 1;;) {
    std::string name = PieceName(parts, k);
    ui.SetProgress(static_cast<uint32_t>(k));
    ui.PumpOneMessage();
    if (ui.state().WorkActive == 0) return GiveUpJoin(ui, out, outputPath, kAborted);

    // A piece is taken when it belongs to this head (a disk of another set
    // holds pieces of the same name) and holds exactly its part of the
    // stream, no byte less or more; otherwise the disk that holds the
    // right one is asked for.
    bool accepted = false;
    if (std::FILE* piece = plat::OpenFile(name, "rb")) {
      const std::size_t expected = static_cast<std::size_t>(PieceStreamBytes(head.packed_size, k));
      if (ReadHeader(piece, c.header) && HasSignatureExact(c.header) &&
          PieceAgrees(head, c.header, k) &&
          plat::FileLength(piece) == kHeaderSize + int64_t(expected)) {
        std::size_t got = std::fread(c.transfer, 1, expected, piece);
        if (!std::ferror(piece) && got == expected) {
          accepted = true;
          if (std::fwrite(c.transfer, 1, got, out) != got) {
            std::fclose(piece);
            ui.ShowMessage(Format(msg::kMsgWriteFailed, outputPath.c_str()), msg::kCaptionStop,
                           kStopOk);
            return GiveUpJoin(ui, out, outputPath, kWriteFailed);
          }
          ui.Trace(">");
          if (piecesRead) {
            plat::FileId id;
            if (plat::GetFileId(name, id)) piecesRead->push_back(id);
          }
          ++k;
        }
      }
      std::fclose(piece);
    }
    if (!accepted && ui.ShowMessage(Format(msg::kMsgPieceUnreadable, name.c_str()),
                                    msg::kCaptionConfirm, kInformationOkCancel) != kIdOk)
      return GiveUpJoin(ui, out, outputPath, kAborted);

    if (k > n) {
      if (std::fclose(out) != 0) {
        plat::RemoveFile(outputPath);
        ui.ShowMessage(Format(msg::kMsgWriteFailed, outputPath.c_str()), msg::kCaptionStop,
                       kStopOk);
        ui.StopRun();
        return kWriteFailed;
      }
      ui.SetProgress(static_cast<uint32_t>(n));
      ui.PumpOneMessage();
      return kDone;
    }
  }
}
