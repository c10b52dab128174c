// Conversions between code page 932 and other encodings through iconv.
// glibc's "CP932" is the Microsoft table (0x5C is '\', 0x7E is '~'); the
// plain Shift-JIS tables would turn path separators into yen signs.
#include <iconv.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "text/cp932.h"

namespace cp932 {

namespace {

constexpr char kCodePage[] = "CP932";
constexpr char kUtf8[] = "UTF-8";

// Runs a whole conversion; false on any byte sequence without a form in the
// target encoding or cut off at the end.
bool Run(iconv_t cd, std::string_view in, std::string& out) {
  out.clear();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char buf[1024];
  while (true) {
    char* dst = buf;
    std::size_t dstLeft = sizeof buf;
    std::size_t r = srcLeft == 0 ? iconv(cd, nullptr, nullptr, &dst, &dstLeft)
                                 : iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf, dst - buf);
    if (r != static_cast<std::size_t>(-1)) {
      // Some converters count replacements as irreversible conversions.
      if (r != 0) return false;
      if (srcLeft == 0) return true;
      continue;
    }
    if (errno != E2BIG) return false;  // EILSEQ or EINVAL (cut off)
  }
}

bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  bool ok = Run(cd, in, out);
  iconv_close(cd);
  return ok;
}

// The two directions used at every path crossing, opened once per thread.
struct Cached {
  iconv_t cd;
  Cached(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Cached() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  bool Run(std::string_view in, std::string& out) const {
    return cd != reinterpret_cast<iconv_t>(-1) && cp932::Run(cd, in, out);
  }
};

// Several Unicode characters share one code page 932 form (U+00A5 and '\'
// both become 0x5C, U+00AC and U+FFE2 both 0x81CA). Such a text is refused:
// a yen sign in a host name must not turn into a path separator, and a name
// that does not come back unchanged names a different file.
bool ComesBack(std::string_view original, const std::string& converted,
               bool (*back)(std::string_view, std::string&)) {
  std::string again;
  return back(converted, again) && again == original;
}

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

bool ToUtf8(std::string_view in, std::string& out) {
  if (IsAscii(in)) {
    out.assign(in);
    return true;
  }
  thread_local const Cached cd(kUtf8, kCodePage);
  return cd.Run(in, out);
}

bool FromUtf8(std::string_view in, std::string& out) {
  if (IsAscii(in)) {
    out.assign(in);
    return true;
  }
  thread_local const Cached cd(kCodePage, kUtf8);
  return cd.Run(in, out) && ComesBack(in, out, ToUtf8);
}

bool ToCharset(std::string_view in, const char* charset, std::string& out) {
  return Convert(charset, kCodePage, in, out);
}

bool Utf8ToCharset(std::string_view utf8, const char* charset, std::string& out) {
  return Convert(charset, kUtf8, utf8, out);
}

bool FromCharset(std::string_view in, const char* charset, std::string& out) {
  if (!Convert(kCodePage, charset, in, out)) return false;
  std::string again;
  return Convert(charset, kCodePage, out, again) && again == in;
}

}  // namespace cp932
