// Conversions between code page 932 and other encodings through the
// system's code page tables (MultiByteToWideChar, WideCharToMultiByte).
// Every conversion is checked both ways: a text that does not come back
// unchanged names a different file and is refused. Windows before 2000
// (and before Vista for UTF-8) refuse the flags that make the system itself
// fail on invalid input; there the check both ways alone decides.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "text/cp932.h"
#include "text/wide_win32.h"

namespace cp932 {

namespace {

constexpr UINT kCodePage = 932;
// The flags of Windows 2000 (no best-fit substitutes) and Vista (fail on
// invalid UTF-16), declared here because the headers are those of NT 4.0.
constexpr DWORD kNoBestFitChars = 0x400;
constexpr DWORD kErrInvalidChars = 0x80;

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// The conversions with the flags given, else, where the system refuses
// them as unknown, without any (`relaxed` then tells).
int ToWideWith(UINT cp, DWORD flags, std::string_view in, wchar_t* out, int size, bool& relaxed) {
  const int n = static_cast<int>(in.size());
  int r = MultiByteToWideChar(cp, flags, in.data(), n, out, size);
  if (r == 0 && flags != 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    relaxed = true;
    r = MultiByteToWideChar(cp, 0, in.data(), n, out, size);
  }
  return r;
}

int FromWideWith(UINT cp, DWORD flags, std::wstring_view in, char* out, int size, BOOL* used) {
  const int n = static_cast<int>(in.size());
  int r = WideCharToMultiByte(cp, flags, in.data(), n, out, size, nullptr, used);
  if (r == 0 && flags != 0 && GetLastError() == ERROR_INVALID_FLAGS)
    r = WideCharToMultiByte(cp, 0, in.data(), n, out, size, nullptr, used);
  return r;
}

// UTF-16 -> code page `cp`, without the system's default character or
// best-fit substitutions (UTF-8 has neither, and takes no such flags).
// Where the system does not know the flags, only NarrowExact's check back
// catches a substitution.
bool Narrow(UINT cp, std::wstring_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  const DWORD flags = cp == CP_UTF8 ? kErrInvalidChars : kNoBestFitChars;
  BOOL usedDefault = FALSE;
  BOOL* used = cp == CP_UTF8 ? nullptr : &usedDefault;
  int size = FromWideWith(cp, flags, in, nullptr, 0, used);
  if (size <= 0 || usedDefault) return false;
  out.resize(static_cast<std::size_t>(size));
  return FromWideWith(cp, flags, in, out.data(), size, used) == size && !usedDefault;
}

// Bytes of code page `cp` -> UTF-16; invalid sequences fail. Where the
// system could not be told to fail on them, the result must convert back
// to the same bytes.
bool Widen(UINT cp, std::string_view in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  bool relaxed = false;
  int size = ToWideWith(cp, MB_ERR_INVALID_CHARS, in, nullptr, 0, relaxed);
  if (size <= 0) return false;
  out.resize(static_cast<std::size_t>(size));
  if (ToWideWith(cp, MB_ERR_INVALID_CHARS, in, out.data(), size, relaxed) != size) return false;
  std::string back;
  return !relaxed || (Narrow(cp, out, back) && back == in);
}

// UTF-16 -> cp, refused unless it converts back to exactly the same text.
bool NarrowExact(UINT cp, std::wstring_view in, std::string& out) {
  std::wstring again;
  return Narrow(cp, in, out) && Widen(cp, out, again) && again == in;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

// "CP932", "cp1252", "65001", or one of a few names of the C library's
// character sets: the code page a character set name stands for.
UINT CodePageOf(const char* charset) {
  std::string_view name = charset ? charset : "";
  static const struct {
    const char* name;
    UINT codePage;
  } kNames[] = {
      {"UTF-8", CP_UTF8},  {"UTF8", CP_UTF8},        {"SHIFT_JIS", 932},    {"SJIS", 932},
      {"EUC-JP", 20932},   {"EUCJP", 20932},         {"ISO-8859-1", 28591}, {"LATIN1", 28591},
      {"US-ASCII", 20127}, {"ANSI_X3.4-1968", 20127}};
  for (const auto& n : kNames)
    if (SameName(name, n.name)) return n.codePage;
  if (name.size() > 2 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'P' || name[1] == 'p'))
    name.remove_prefix(2);
  if (name.empty()) return 0;
  char* end = nullptr;
  std::string digits(name);
  unsigned long cp = std::strtoul(digits.c_str(), &end, 10);
  return end && *end == '\0' ? static_cast<UINT>(cp) : 0;
}

bool Convert(UINT to, UINT from, std::string_view in, std::string& out) {
  std::wstring wide;
  return Widen(from, in, wide) && NarrowExact(to, wide, out);
}

}  // namespace

bool ToWide(std::string_view in, std::wstring& out) { return Widen(kCodePage, in, out); }

bool ToAnsi(std::string_view in, std::string& out) {
  // Code page 932 itself (a Japanese system), and ASCII, which every ANSI
  // code page shares: the same bytes, once they are known to be a text.
  std::wstring wide;
  if (IsAscii(in) || GetACP() == kCodePage) {
    if (!IsAscii(in) && !Widen(kCodePage, in, wide)) return false;
    out.assign(in);
    return true;
  }
  return Convert(CP_ACP, kCodePage, in, out);
}

bool FromAnsi(std::string_view in, std::string& out) {
  std::wstring wide;
  if (IsAscii(in) || GetACP() == kCodePage) {
    if (!IsAscii(in) && !Widen(kCodePage, in, wide)) return false;
    out.assign(in);
    return true;
  }
  return Convert(kCodePage, CP_ACP, in, out);
}

std::string ToAnsiLossy(std::string_view in) {
  std::string out;
  if (ToAnsi(in, out)) return out;
  out.clear();
  for (std::size_t i = 0; i < in.size();) {
    const std::size_t next = Next(in, i);
    std::string one;
    out += ToAnsi(in.substr(i, next - i), one) ? one : std::string("?");
    i = next;
  }
  return out;
}

bool FromWide(std::wstring_view in, std::string& out) { return NarrowExact(kCodePage, in, out); }

std::string FromWideLossy(std::wstring_view in) {
  std::string out;
  if (FromWide(in, out)) return out;
  out.clear();
  for (std::size_t i = 0; i < in.size();) {
    std::size_t len = (in[i] >= 0xD800 && in[i] < 0xDC00 && i + 1 < in.size()) ? 2 : 1;
    std::string one;
    out += FromWide(in.substr(i, len), one) ? one : std::string("?");
    i += len;
  }
  return out;
}

bool ToUtf8(std::string_view in, std::string& out) {
  if (IsAscii(in)) {
    out.assign(in);
    return true;
  }
  return Convert(CP_UTF8, kCodePage, in, out);
}

bool FromUtf8(std::string_view in, std::string& out) {
  if (IsAscii(in)) {
    out.assign(in);
    return true;
  }
  return Convert(kCodePage, CP_UTF8, in, out);
}

bool ToCharset(std::string_view in, const char* charset, std::string& out) {
  UINT cp = CodePageOf(charset);
  return cp != 0 && Convert(cp, kCodePage, in, out);
}

bool Utf8ToCharset(std::string_view utf8, const char* charset, std::string& out) {
  const UINT cp = CodePageOf(charset);
  return cp != 0 && Convert(cp, CP_UTF8, utf8, out);
}

bool FromCharset(std::string_view in, const char* charset, std::string& out) {
  UINT cp = CodePageOf(charset);
  return cp != 0 && Convert(kCodePage, cp, in, out);
}

}  // namespace cp932
