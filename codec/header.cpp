#include "codec/header.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "text/cp932.h"

static_assert(sizeof(LzsHeader) == hdr::kSizeOf, "the header has no padding");

const char kSignature[32] = "LZS_____________(c)1997_ulvane_";

namespace {

void Put32(unsigned char* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  p[0] = static_cast<unsigned char>(u);
  p[1] = static_cast<unsigned char>(u >> 8);
  p[2] = static_cast<unsigned char>(u >> 16);
  p[3] = static_cast<unsigned char>(u >> 24);
}

int32_t Get32(const unsigned char* p) {
  uint32_t u = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  return static_cast<int32_t>(u);
}

// The signature field read as a NUL-terminated text; a field without a NUL
// keeps all 32 bytes and so can never equal the 31-character signature.
std::string_view SignatureText(const LzsHeader& h) {
  const void* nul = std::memchr(h.signature, 0, sizeof h.signature);
  std::size_t n = nul ? static_cast<const char*>(nul) - h.signature : sizeof h.signature;
  return std::string_view(h.signature, n);
}

}  // namespace

void ClearHeader(LzsHeader& h) { std::memset(&h, 0, sizeof h); }

bool StartHeader(LzsHeader& h, const std::string& name) {
  ClearHeader(h);
  if (name.size() >= sizeof h.name) return false;
  std::memcpy(h.signature, kSignature, sizeof kSignature);
  h.header_size = kHeaderSize;
  h.version = kFormatVersion;
  h.copy_flag = 0;
  std::memcpy(h.name, name.data(), name.size());
  return true;
}

void EncodeHeader(const LzsHeader& h, unsigned char out[kHeaderSize]) {
  std::memcpy(out + hdr::kSignature, h.signature, sizeof h.signature);
  Put32(out + hdr::kHeaderSize, h.header_size);
  Put32(out + hdr::kVersion, h.version);
  Put32(out + hdr::kOriginalSize, h.original_size);
  Put32(out + hdr::kPackedSize, h.packed_size);
  Put32(out + hdr::kPieceIndex, h.piece_index);
  Put32(out + hdr::kPieceCount, h.piece_count);
  Put32(out + hdr::kCopyFlag, h.copy_flag);
  std::memcpy(out + hdr::kName, h.name, sizeof h.name);
}

void DecodeHeader(const unsigned char in[kHeaderSize], LzsHeader& h) {
  std::memcpy(h.signature, in + hdr::kSignature, sizeof h.signature);
  h.header_size = Get32(in + hdr::kHeaderSize);
  h.version = Get32(in + hdr::kVersion);
  h.original_size = Get32(in + hdr::kOriginalSize);
  h.packed_size = Get32(in + hdr::kPackedSize);
  h.piece_index = Get32(in + hdr::kPieceIndex);
  h.piece_count = Get32(in + hdr::kPieceCount);
  h.copy_flag = Get32(in + hdr::kCopyFlag);
  std::memcpy(h.name, in + hdr::kName, sizeof h.name);
}

bool ReadHeader(std::FILE* f, LzsHeader& h) {
  unsigned char raw[kHeaderSize];
  if (std::fread(raw, 1, kHeaderSize, f) != static_cast<std::size_t>(kHeaderSize)) return false;
  DecodeHeader(raw, h);
  return true;
}

bool WriteHeader(std::FILE* f, const LzsHeader& h) {
  unsigned char raw[kHeaderSize];
  EncodeHeader(h, raw);
  return std::fwrite(raw, 1, kHeaderSize, f) == static_cast<std::size_t>(kHeaderSize);
}

bool HasSignatureNoCase(const LzsHeader& h) {
  return cp932::CompareNoCase(SignatureText(h), std::string_view(kSignature)) == 0;
}

bool HasSignatureExact(const LzsHeader& h) {
  // Equal texts up to and including the NUL: byte equality needs no
  // double-byte handling.
  return std::memcmp(h.signature, kSignature, sizeof kSignature) == 0;
}

std::string WithLzsSuffix(const std::string& path) {
  PathParts parts;
  SplitPath(path, parts);
  // An empty extension becomes "._lzs": the join puts the dot in front.
  return MakePath(parts.drive, parts.folder, parts.name, parts.ext + "_lzs");
}

bool CopiedAsIs(const LzsHeader& h, bool carriesSignature, int64_t length, bool noSplit) {
  return carriesSignature && (h.piece_count != 0 || noSplit || length < kWholeFileLimit);
}

int32_t PieceCountFor(int64_t packedSize) {
  return static_cast<int32_t>((packedSize + kPieceStreamSize - 1) / kPieceStreamSize);
}

int64_t PieceStreamBytes(int64_t packedSize, int32_t k) {
  if (k < 1 || k > PieceCountFor(packedSize)) return 0;
  return std::min<int64_t>(kPieceStreamSize, packedSize - int64_t{k - 1} * kPieceStreamSize);
}

bool HeadAgrees(const LzsHeader& head) {
  return head.original_size > 0 && head.packed_size > 0 &&
         head.piece_count == PieceCountFor(head.packed_size);
}

bool PieceAgrees(const LzsHeader& head, const LzsHeader& piece, int32_t k) {
  return piece.piece_index == k && piece.piece_count == head.piece_count &&
         piece.original_size == head.original_size && piece.packed_size == head.packed_size &&
         piece.version == head.version && std::memcmp(piece.name, head.name, sizeof head.name) == 0;
}

std::string PieceName(const PathParts& parts, int k) {
  return MakePath(parts.drive, parts.folder, parts.name, parts.ext + std::to_string(k));
}

std::string CutLzsSuffix(const std::string& ext) {
  std::size_t at = cp932::FindText(ext, "_LZS");
  if (at == cp932::npos) at = cp932::FindText(ext, "_lzs");
  return at == cp932::npos ? ext : ext.substr(0, at);
}
