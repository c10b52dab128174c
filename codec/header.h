// The 320-byte header of every compressed file, head file and piece file,
// and the naming rules of those files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "fileops/paths.h"

constexpr int kHeaderSize = 320;
constexpr int32_t kFormatVersion = 100;
constexpr int32_t kPieceStreamSize = 1048576;  // code stream bytes per piece
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
  char name[260];
};

void ClearHeader(LzsHeader& h);
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

// Naming rules.
// title.wav -> title.wav_lzs; readme -> readme._lzs.
std::string WithLzsSuffix(const std::string& path);
// Piece k of a compressed file split into parts: extension + decimal k.
std::string PieceName(const PathParts& parts, int k);
// Cuts the extension before the first "_LZS", else before the first "_lzs".
std::string CutLzsSuffix(const std::string& ext);
