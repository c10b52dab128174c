// The tests build paths from UTF-8 texts (dir / "表.txt"). On Windows the
// C++ library turns a narrow path into UTF-16 through the C library's
// multi-byte functions, which take the bytes as the code page of the "C"
// locale; these two replace them with UTF-8 for the test programs (the
// program itself never converts through them).
#include <cerrno>
#include <cwchar>

extern "C" {

std::size_t mbrtowc(wchar_t* out, const char* in, std::size_t n, std::mbstate_t* state) {
  (void)state;
  if (!in) return 0;
  if (n == 0) return static_cast<std::size_t>(-2);
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  unsigned c = s[0];
  std::size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 0;
  if (len == 0) {  // 4-byte sequences have no single UTF-16 unit
    errno = EILSEQ;
    return static_cast<std::size_t>(-1);
  }
  if (n < len) return static_cast<std::size_t>(-2);
  unsigned value = len == 1 ? c : len == 2 ? (c & 0x1F) : (c & 0x0F);
  for (std::size_t i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) {
      errno = EILSEQ;
      return static_cast<std::size_t>(-1);
    }
    value = value << 6 | (s[i] & 0x3F);
  }
  if (out) *out = static_cast<wchar_t>(value);
  return value == 0 ? 0 : len;
}

std::size_t wcrtomb(char* out, wchar_t wc, std::mbstate_t* state) {
  (void)state;
  char buf[4];
  char* p = out ? out : buf;
  unsigned v = static_cast<unsigned>(wc) & 0xFFFF;
  if (v < 0x80) {
    p[0] = static_cast<char>(v);
    return 1;
  }
  if (v < 0x800) {
    p[0] = static_cast<char>(0xC0 | v >> 6);
    p[1] = static_cast<char>(0x80 | (v & 0x3F));
    return 2;
  }
  if (v >= 0xD800 && v < 0xE000) {
    errno = EILSEQ;
    return static_cast<std::size_t>(-1);
  }
  p[0] = static_cast<char>(0xE0 | v >> 12);
  p[1] = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
  p[2] = static_cast<char>(0x80 | (v & 0x3F));
  return 3;
}

// The rest of the C library's files that define the two above.
std::size_t mbrlen(const char* in, std::size_t n, std::mbstate_t* state) {
  return mbrtowc(nullptr, in, n, state);
}

std::size_t mbsrtowcs(wchar_t* out, const char** in, std::size_t n, std::mbstate_t* state) {
  std::size_t count = 0;
  const char* s = *in;
  while (!out || count < n) {
    wchar_t wc = 0;
    std::size_t len = mbrtowc(&wc, s, 4, state);
    if (len == static_cast<std::size_t>(-1) || len == static_cast<std::size_t>(-2))
      return static_cast<std::size_t>(-1);
    if (out) out[count] = wc;
    if (len == 0) {
      if (out) *in = nullptr;
      return count;
    }
    s += len;
    ++count;
  }
  *in = s;
  return count;
}

std::size_t wcsrtombs(char* out, const wchar_t** in, std::size_t n, std::mbstate_t* state) {
  std::size_t count = 0;
  const wchar_t* s = *in;
  for (;; ++s) {
    char buf[4];
    std::size_t len = wcrtomb(buf, *s, state);
    if (len == static_cast<std::size_t>(-1)) return len;
    if (out && count + len > n) break;
    if (out)
      for (std::size_t i = 0; i < len; ++i) out[count + i] = buf[i];
    if (*s == 0) {
      if (out) *in = nullptr;
      return count;
    }
    count += len;
  }
  *in = s;
  return count;
}

}  // extern "C"
