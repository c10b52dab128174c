// Helpers shared by the container formats of images/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "images/disk_image.h"

namespace images::detail {

// Little-endian fields; the caller has checked that they lie inside b.
inline uint32_t Le16(std::string_view b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
inline uint32_t Le32(std::string_view b, std::size_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}
inline void Put16(std::string& s, std::size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}
inline void Put32(std::string& s, std::size_t at, uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}
inline unsigned Byte(std::string_view b, std::size_t at) {
  return static_cast<unsigned char>(b[at]);
}

// Keeps the first kMaxNotes lines and counts the rest.
class NoteList {
 public:
  explicit NoteList(std::vector<std::string>& lines) : lines_(lines) {}
  void Add(std::string line);
  // Appends the count of the lines left out, if any.
  void Close();

 private:
  std::vector<std::string>& lines_;
  std::size_t dropped_ = 0;
};

std::string Hex2(unsigned v);  // "0x1f"

// 128 << n for the size codes of sector IDs.
inline constexpr unsigned kLargestSizeCode = 7;

bool D88ToRaw(std::string_view bytes, RawImage& out, std::string& error);
bool NfdToRaw(std::string_view bytes, RawImage& out, std::string& error);
void D88FromRaw(std::string_view raw, const Geometry& g, std::string& out);
void NfdFromRaw(std::string_view raw, const Geometry& g, std::string& out);
// Whether the bytes have the shape of a D88 header (no signature exists).
bool LooksLikeD88(std::string_view bytes);
inline constexpr std::string_view kNfdSignature{"T98FDDIMAGE.R", 13};

}  // namespace images::detail
