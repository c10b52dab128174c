#include "fileops/pieces.h"

#include <algorithm>
#include <cerrno>

#include "codec/header.h"

namespace {

bool CloseOk(std::FILE* f) { return std::fclose(f) == 0; }

}  // namespace

Result WriteHeadFile(const std::string& path, const LzsHeader& header, SpaceModel* space) {
  if (space && !space->Take(path, kHeaderSize, false)) return {kWriteFailed, path, 0};
  std::FILE* head = plat::OpenFile(path, "wb");
  if (!head) return Failure(kWriteFailed, path);
  bool ok = WriteHeader(head, header);
  int error = ok ? 0 : errno;
  if (!CloseOk(head) && ok) {
    ok = false;
    error = errno;
  }
  if (ok) return {};
  plat::RemoveFile(path);
  return {kWriteFailed, path, error};
}

Result WritePieceFile(CodecContext& c, std::FILE* temp, const std::string& tempPath,
                      int64_t streamLength, int32_t k, const std::string& path, SpaceModel* space) {
  const int64_t offset = kHeaderSize + int64_t{k - 1} * kPieceStreamSize;
  const std::size_t expected = static_cast<std::size_t>(
      std::min<int64_t>(kPieceStreamSize, streamLength - (offset - kHeaderSize)));
  std::size_t got = 0;
  if (plat::SeekTo(temp, offset)) got = std::fread(c.transfer, 1, expected, temp);
  // The local temporary file cannot be read back: nothing a disk change mends.
  if (got != expected) return Failure(kReadFailed, tempPath);

  if (space && !space->Take(path, kHeaderSize + got, false)) return {kWriteFailed, path, 0};
  std::FILE* piece = plat::OpenFile(path, "wb");
  if (!piece) return Failure(kWriteFailed, path);
  c.header.piece_index = k;
  bool ok = WriteHeader(piece, c.header) && std::fwrite(c.transfer, 1, got, piece) == got;
  int error = ok ? 0 : errno;
  if (!CloseOk(piece) && ok) {
    ok = false;
    error = errno;
  }
  if (ok) return {};
  plat::RemoveFile(path);
  return {kWriteFailed, path, error};
}

PieceRead AppendPiece(CodecContext& c, const LzsHeader& head, int32_t k, const std::string& path,
                      std::FILE* out, plat::FileId* id) {
  std::FILE* piece = plat::OpenFile(path, "rb");
  if (!piece) return PieceRead::kUnreadable;
  // A piece is taken when it belongs to this head (a disk of another set
  // holds pieces of the same name) and holds exactly its part of the
  // stream, no byte less or more.
  const std::size_t expected = static_cast<std::size_t>(PieceStreamBytes(head.packed_size, k));
  PieceRead outcome = PieceRead::kUnreadable;
  if (ReadHeader(piece, c.header) && HasSignatureExact(c.header)) {
    outcome = PieceRead::kForeign;
    if (PieceAgrees(head, c.header, k) &&
        plat::FileLength(piece) == kHeaderSize + static_cast<int64_t>(expected) &&
        std::fread(c.transfer, 1, expected, piece) == expected && !std::ferror(piece)) {
      outcome = std::fwrite(c.transfer, 1, expected, out) == expected ? PieceRead::kTaken
                                                                      : PieceRead::kOutputFailed;
      if (outcome == PieceRead::kTaken && id) plat::GetFileId(path, *id);
    }
  }
  std::fclose(piece);
  return outcome;
}
