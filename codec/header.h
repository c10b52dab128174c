// The 320-byte header of every compressed file, head file and piece file,
// and the naming rules of those files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "text/paths.h"

// Where each field lies in the 320 bytes (integers 32-bit little-endian, signed).
namespace hdr {
inline constexpr int kSignature = 0;    // 32 bytes: 31 characters and a NUL
inline constexpr int kHeaderSize = 32;  // always 320; never tested
inline constexpr int kVersion = 36;     // must be 100
inline constexpr int kOriginalSize = 40;
inline constexpr int kPackedSize = 44;  // of the whole stream, also in pieces
inline constexpr int kPieceIndex = 48;  // k in piece file k, else 0
inline constexpr int kPieceCount = 52;  // n in a head file and its pieces, else 0
inline constexpr int kCopyFlag = 56;
inline constexpr int kName = 60;  // 260 bytes, NUL-terminated
inline constexpr int kSizeOf = 320;
}  // namespace hdr

constexpr int kHeaderSize = hdr::kSizeOf;
constexpr int32_t kFormatVersion = 100;
constexpr int32_t kPieceStreamSize = 1048576;  // code stream bytes per piece
// A whole compressed file on a disk set is always shorter than this.
constexpr int64_t kWholeFileLimit = kHeaderSize + kPieceStreamSize;
// original_size and packed_size are signed 32-bit fields.
constexpr int64_t kLargestStorable = INT32_MAX;
// "LZS", thirteen underscores, "(c)1997_ulvane_" and a NUL.
extern const char kSignature[32];

struct LzsHeader {
  char signature[32];
  int32_t header_size;
  int32_t version;
  int32_t original_size;
  int32_t packed_size;
  int32_t piece_index;
  int32_t piece_count;
  int32_t copy_flag;
  char name[hdr::kSizeOf - hdr::kName];
};

void ClearHeader(LzsHeader& h);
// A cleared header with the signature, header_size, version and name
// (nothing when name does not fit with its terminator: false then).
bool StartHeader(LzsHeader& h, const std::string& name);
// Little-endian, signed, on any host.
void EncodeHeader(const LzsHeader& h, unsigned char out[kHeaderSize]);
void DecodeHeader(const unsigned char in[kHeaderSize], LzsHeader& h);
// Reads 320 bytes into h; false (h unspecified) when fewer could be read.
bool ReadHeader(std::FILE* f, LzsHeader& h);
// Writes the 320 bytes; false when the write falls short.
bool WriteHeader(std::FILE* f, const LzsHeader& h);

// Signature tests: case-insensitive and double-byte aware (PackFile,
// UnpackFile); byte for byte (JoinPieces). The field must hold the 31
// characters followed by a NUL.
bool HasSignatureNoCase(const LzsHeader& h);
bool HasSignatureExact(const LzsHeader& h);

// A source that carries the signature and is stored as it is: a head or
// piece file, or (noSplit, or shorter than a piece) a whole compressed file.
bool CopiedAsIs(const LzsHeader& h, bool carriesSignature, int64_t length, bool noSplit);

// Piece arithmetic: a code stream of packedSize bytes is cut into pieces of
// kPieceStreamSize bytes, the last holding the rest.
int32_t PieceCountFor(int64_t packedSize);
// The stream bytes piece k (1 to n) holds; 0 for a k outside the pieces.
int64_t PieceStreamBytes(int64_t packedSize, int32_t k);
// A head file whose sizes fit each other: a positive original_size and
// packed_size, and the piece count that packed_size gives.
bool HeadAgrees(const LzsHeader& head);
// Piece file k belongs to head: the same sizes, count and name, index k.
// Pieces of another set (or another build of the same game) differ there.
bool PieceAgrees(const LzsHeader& head, const LzsHeader& piece, int32_t k);

// Naming rules.
// title.wav -> title.wav_lzs; readme -> readme._lzs.
std::string WithLzsSuffix(const std::string& path);
// Piece k of a compressed file split into parts: extension + decimal k.
std::string PieceName(const PathParts& parts, int k);
// Cuts the extension before the first "_LZS", else before the first "_lzs".
std::string CutLzsSuffix(const std::string& ext);
