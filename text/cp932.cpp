#include "text/cp932.h"

namespace cp932 {

namespace {

// Folder, name and extension of _splitpath are cut to this many bytes.
constexpr std::size_t kPartMax = 255;

unsigned char Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// One character as a comparable unit: a double-byte character is its two
// bytes as one number, a single byte folds ASCII upper case to lower.
unsigned CharValue(std::string_view s, std::size_t i, std::size_t next) {
  if (next - i == 2) return (unsigned{Byte(s, i)} << 8) | Byte(s, i + 1);
  unsigned c = Byte(s, i);
  if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
  return c;
}

// The first n bytes of s, without a lead byte whose trail byte was cut off.
std::string_view CutWhole(std::string_view s, std::size_t n) {
  if (s.size() <= n) return s;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t next = Next(s, i);
    if (next > n) break;
    i = next;
  }
  return s.substr(0, i);
}

void Assign(std::string* out, std::string_view part) {
  if (out) out->assign(part);
}

}  // namespace

std::size_t Next(std::string_view s, std::size_t i) {
  if (i >= s.size()) return s.size();
  if (IsLeadByte(Byte(s, i)) && i + 1 < s.size()) return i + 2;
  return i + 1;
}

std::size_t Find(std::string_view s, char c, std::size_t from) {
  for (std::size_t i = from; i < s.size(); i = Next(s, i)) {
    // A lead byte is never the character looked for, even at the end.
    if (s[i] == c && Next(s, i) == i + 1) return i;
  }
  return npos;
}

std::size_t FindLast(std::string_view s, char c) {
  std::size_t found = npos;
  for (std::size_t i = 0; i < s.size(); i = Next(s, i)) {
    if (s[i] == c && Next(s, i) == i + 1) found = i;
  }
  return found;
}

std::size_t FindText(std::string_view s, std::string_view sub) {
  if (sub.empty()) return 0;
  for (std::size_t i = 0; i < s.size(); i = Next(s, i)) {
    if (s.size() - i < sub.size() || s.compare(i, sub.size(), sub) != 0) continue;
    // The match must end on a character boundary of s, so that a lone lead
    // byte at the end of sub does not match half of a character.
    std::size_t end = i;
    while (end < i + sub.size()) end = Next(s, end);
    if (end == i + sub.size()) return i;
  }
  return npos;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    std::size_t ni = Next(a, i), nj = Next(b, j);
    unsigned ca = CharValue(a, i, ni), cb = CharValue(b, j, nj);
    if (ca != cb) return ca < cb ? -1 : 1;
    i = ni;
    j = nj;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool EndsWithChar(std::string_view s, char c) {
  if (s.empty()) return false;
  std::size_t last = FindLast(s, c);
  return last != npos && last + 1 == s.size();
}

std::string Printable(std::string_view s) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size(); i = Next(out, i)) {
    const unsigned char c = Byte(out, i);
    if (Next(out, i) == i + 1 && (c < 0x20 || c == 0x7F)) out[i] = '?';
  }
  return out;
}

namespace {

// Blanks and line breaks as one blank, none at the end.
std::string OneLine(const std::string& in) {
  std::string out;
  for (char c : in) {
    if (c == '\n' || c == '\r') c = ' ';
    if (!(c == ' ' && !out.empty() && out.back() == ' ')) out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

std::string ShownLine(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t next = Next(s, i);
    const std::string_view one = s.substr(i, next - i);
    std::string utf8;
    if (one == "\\")
      out += '/';
    else if (one == "\n")
      out += ' ';
    else
      out += ToUtf8(Printable(one), utf8) ? utf8 : std::string("?");
    i = next;
  }
  return OneLine(out);
}

std::string ShownHostLine(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    // C1 controls are two bytes in UTF-8: C2 80 to C2 9F.
    if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      out += '?';
      ++i;
    } else if (c == '\n') {
      out += ' ';
    } else {
      out += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
    }
  }
  return OneLine(out);
}

void SplitPathRaw(std::string_view path, std::string* drive, std::string* folder, std::string* name,
                  std::string* ext) {
  std::string_view rest = path;
  // A drive is a single-byte character and ':'; after a lead byte the ':'
  // belongs to that character.
  if (path.size() >= 2 && path[1] == ':' && !IsLeadByte(Byte(path, 0))) {
    Assign(drive, path.substr(0, 2));
    rest = path.substr(2);
  } else {
    Assign(drive, {});
  }

  // Last separator ('\' or '/') and last '.' after it, as whole characters.
  std::size_t folderEnd = 0;  // one past the last separator
  for (std::size_t i = 0; i < rest.size(); i = Next(rest, i)) {
    if ((rest[i] == '\\' || rest[i] == '/') && Next(rest, i) == i + 1) folderEnd = i + 1;
  }
  std::string_view base = rest.substr(folderEnd);
  std::size_t dot = FindLast(base, '.');
  std::string_view baseName = dot == npos ? base : base.substr(0, dot);
  std::string_view extension = dot == npos ? std::string_view{} : base.substr(dot);

  Assign(folder, CutWhole(rest.substr(0, folderEnd), kPartMax));
  Assign(name, CutWhole(baseName, kPartMax));
  Assign(ext, CutWhole(extension, kPartMax));
}

std::string MakePathRaw(std::string_view drive, std::string_view folder, std::string_view name,
                        std::string_view ext) {
  std::string out;
  out.reserve(drive.size() + folder.size() + name.size() + ext.size() + 3);
  if (!drive.empty()) {
    out += drive[0];
    out += ':';
  }
  if (!folder.empty()) {
    out += folder;
    if (!EndsWithChar(folder, '\\') && !EndsWithChar(folder, '/')) out += '\\';
  }
  out += name;
  if (!ext.empty()) {
    if (ext[0] != '.') out += '.';
    out += ext;
  }
  return out;
}

}  // namespace cp932
