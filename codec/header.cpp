#include "codec/header.h"

#include <cstring>
#include <string_view>

#include "text/cp932.h"

const char kSignature[32] = "LZS_____________(c)1997_ulvane_";

namespace {

constexpr int kNameOffset = 60;

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

void EncodeHeader(const LzsHeader& h, unsigned char out[kHeaderSize]) {
  std::memcpy(out, h.signature, 32);
  Put32(out + 32, h.header_size);
  Put32(out + 36, h.version);
  Put32(out + 40, h.original_size);
  Put32(out + 44, h.packed_size);
  Put32(out + 48, h.piece_index);
  Put32(out + 52, h.piece_count);
  Put32(out + 56, h.copy_flag);
  std::memcpy(out + kNameOffset, h.name, sizeof h.name);
}

void DecodeHeader(const unsigned char in[kHeaderSize], LzsHeader& h) {
  std::memcpy(h.signature, in, 32);
  h.header_size = Get32(in + 32);
  h.version = Get32(in + 36);
  h.original_size = Get32(in + 40);
  h.packed_size = Get32(in + 44);
  h.piece_index = Get32(in + 48);
  h.piece_count = Get32(in + 52);
  h.copy_flag = Get32(in + 56);
  std::memcpy(h.name, in + kNameOffset, sizeof h.name);
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

std::string PieceName(const PathParts& parts, int k) {
  return MakePath(parts.drive, parts.folder, parts.name, parts.ext + std::to_string(k));
}

std::string CutLzsSuffix(const std::string& ext) {
  std::size_t at = cp932::FindText(ext, "_LZS");
  if (at == cp932::npos) at = cp932::FindText(ext, "_lzs");
  return at == cp932::npos ? ext : ext.substr(0, at);
}
