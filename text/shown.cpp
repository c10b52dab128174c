#include "text/shown.h"

namespace {

// The length of the well-formed UTF-8 character at s[i] and its code point;
// 0 when the bytes there are not one.
std::size_t Character(std::string_view s, std::size_t i, char32_t& cp) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t len = c < 0x80                ? 1
                    : c >= 0xC2 && c < 0xE0 ? 2
                    : c >= 0xE0 && c < 0xF0 ? 3
                    : c >= 0xF0 && c < 0xF5 ? 4
                                            : 0;
  if (len == 0 || i + len > s.size()) return 0;
  cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
  for (std::size_t k = 1; k < len; ++k) {
    const unsigned char t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (t & 0x3F);
  }
  // Overlong forms, surrogates and code points beyond Unicode.
  const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
  if (overlong || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) return 0;
  return len;
}

bool Hidden(char32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || (cp >= 0x202A && cp <= 0x202E) ||
         (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string ShownText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const std::size_t len = Character(utf8, i, cp);
    if (len == 0 || Hidden(cp)) {
      out += '?';
      i += len ? len : 1;
    } else {
      out.append(utf8.substr(i, len));
      i += len;
    }
  }
  return out;
}
