#include "platform/wildcard.h"

#include <algorithm>
#include <string>

#include "text/cp932.h"

namespace plat::wildcard {

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool SameChar(std::string_view a, std::string_view b) {
  if (a.size() == 1 && b.size() == 1) return FoldAscii(a[0]) == FoldAscii(b[0]);
  return a == b;
}

bool IsChar(std::string_view c, char what) { return c.size() == 1 && c[0] == what; }

bool MatchChars(const Chars& pattern, const Chars& name) {
  std::size_t p = 0, n = 0;
  std::size_t starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && IsChar(pattern[p], '*')) {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (IsChar(pattern[p], '?') || SameChar(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && IsChar(pattern[p], '*')) ++p;
  return p == pattern.size();
}

bool HasDot(const Chars& name) {
  return std::any_of(name.begin(), name.end(), [](std::string_view c) { return IsChar(c, '.'); });
}

}  // namespace

Chars SplitCp932(std::string_view s) {
  Chars out;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t next = cp932::Next(s, i);
    out.push_back(s.substr(i, next - i));
    i = next;
  }
  return out;
}

Chars SplitUtf8(std::string_view s) {
  Chars out;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t next = i + 1;
    while (next < s.size() && (static_cast<unsigned char>(s[next]) & 0xC0) == 0x80) ++next;
    out.push_back(s.substr(i, next - i));
    i = next;
  }
  return out;
}

bool MatchName(Chars pattern, const Chars& name) {
  std::size_t n = pattern.size();
  if (n >= 2 && IsChar(pattern[n - 2], '.') && IsChar(pattern[n - 1], '*')) {
    if (MatchChars(pattern, name)) return true;
    pattern.resize(n - 2);
    return MatchChars(pattern, name);
  }
  if (n >= 1 && IsChar(pattern[n - 1], '.')) {
    pattern.resize(n - 1);
    return !HasDot(name) && MatchChars(pattern, name);
  }
  return MatchChars(pattern, name);
}

bool HasWildcards(std::string_view s) {
  return cp932::Find(s, '*') != cp932::npos || cp932::Find(s, '?') != cp932::npos;
}

}  // namespace plat::wildcard
