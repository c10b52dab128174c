#include "app/dialogue/list_line.h"

#include "text/cp932.h"

std::size_t ReadListLine(std::string_view text, std::size_t pos, std::string& line) {
  line.clear();
  auto at = [&](std::size_t i) -> char { return i < text.size() ? text[i] : '\0'; };
  for (;;) {
    char c = at(pos);
    if (c == '\0') return pos;
    if (c == '\n') return pos + 1;
    line.push_back(c);
    ++pos;
    if (cp932::IsLeadByte(static_cast<unsigned char>(c))) {
      // The second byte of the pair may be 0x0A; it belongs to the character.
      char trail = at(pos);
      if (trail == '\0') return pos;
      line.push_back(trail);
      ++pos;
    }
  }
}

bool HasOverlongListLine(std::string_view text) {
  std::string line;
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] != '\0') {
    pos = ReadListLine(text, pos, line);
    if (line.size() > kMaxListLine) return true;
  }
  return false;
}
