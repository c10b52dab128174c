// The files of a cut compressed file one at a time: the head file (the
// header alone) and piece k with its part of the code stream. Each call is
// one attempt; the runs retry after a disk change and ask for missing disks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/context.h"
#include "fileops/result.h"
#include "fileops/space_model.h"
#include "platform/platform.h"

// Writes the head file at path: the header alone. kWriteFailed (nothing
// left) when it does not fit or a write falls short.
Result WriteHeadFile(const std::string& path, const LzsHeader& header, SpaceModel* space);

// Writes piece k at path from the open temporary compressed file whose code
// stream is streamLength bytes, with c.header (its piece_index set to k).
// kReadFailed (subject: tempPath) when the temporary file cannot be read
// back; kWriteFailed (nothing left) when the piece does not fit or a write
// falls short.
Result WritePieceFile(CodecContext& c, std::FILE* temp, const std::string& tempPath,
                      int64_t streamLength, int32_t k, const std::string& path, SpaceModel* space);

enum class PieceRead {
  kTaken,         // piece k of head: its part of the stream is appended to out
  kUnreadable,    // not there, shorter than its header, or no exact signature
  kForeign,       // a piece of something else, or not exactly its part long
  kOutputFailed,  // writing to out fell short
};
// Reads piece k of the head file's stream from path and appends its part of
// the stream to out. c.header holds the piece's header afterwards; id, when
// given, which file it was.
PieceRead AppendPiece(CodecContext& c, const LzsHeader& head, int32_t k, const std::string& path,
                      std::FILE* out, plat::FileId* id);
