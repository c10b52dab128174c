#include "codec_test_util.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/progress.h"
#include "app/prompts.h"
#include "codec/context.h"
#include "codec/decoder.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "platform/platform.h"

namespace codec_test {

ScratchDir::ScratchDir() {
  static std::atomic<int> serial{0};
  path_ =
      fs::temp_directory_path() /
      ("kelvod-codec-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
       std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" + std::to_string(serial++));
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string Inner(const std::string& host) {
  std::string inner;
  EXPECT_TRUE(plat::FromHostPath(host, inner)) << host;
  return inner;
}

void WriteFile(const std::string& host, const Bytes& data) {
  std::ofstream f(host, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes ReadFile(const std::string& host) {
  std::ifstream f(host, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

Bytes Hex(const char* text) {
  Bytes out;
  unsigned value;
  int used;
  while (std::sscanf(text, " %2x%n", &value, &used) == 1) {
    out.push_back(static_cast<unsigned char>(value));
    text += used;
  }
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void ForgetEarlierEncodes() {
  std::memset(Codec.window, 0, sizeof Codec.window);
  reference::ResetProcessState();
}

namespace {

struct FailingCookie {
  Bytes data;
  std::size_t limit = 0;
  std::size_t pos = 0;
};

ssize_t CookieWrite(void* c, const char*, size_t n) {
  auto* cookie = static_cast<FailingCookie*>(c);
  if (cookie->pos + n > cookie->limit) return 0;  // a write error, as stdio expects it
  cookie->pos += n;
  return static_cast<ssize_t>(n);
}

ssize_t CookieRead(void* c, char* buffer, size_t n) {
  auto* cookie = static_cast<FailingCookie*>(c);
  if (cookie->pos == cookie->data.size()) return -1;
  n = std::min(n, cookie->data.size() - cookie->pos);
  std::memcpy(buffer, cookie->data.data() + cookie->pos, n);
  cookie->pos += n;
  return static_cast<ssize_t>(n);
}

int CookieClose(void* c) {
  delete static_cast<FailingCookie*>(c);
  return 0;
}

int CookieSeek(void* c, off64_t* offset, int whence) {
  auto* cookie = static_cast<FailingCookie*>(c);
  if (whence == SEEK_SET) cookie->pos = static_cast<std::size_t>(*offset);
  *offset = static_cast<off64_t>(cookie->pos);
  return 0;
}

std::FILE* OpenCookie(FailingCookie* cookie, const char* mode) {
  cookie_io_functions_t io{CookieRead, CookieWrite, CookieSeek, CookieClose};
  std::FILE* f = fopencookie(cookie, mode, io);
  // Unbuffered: every failure shows at the call that caused it.
  std::setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

}  // namespace

std::FILE* FailingWriter(std::size_t limit) {
  auto* cookie = new FailingCookie;
  cookie->limit = limit;
  return OpenCookie(cookie, "wb");
}

std::FILE* FailingReader(const Bytes& data) {
  auto* cookie = new FailingCookie;
  cookie->data = data;
  return OpenCookie(cookie, "rb");
}

EncodeResult Encode(const Bytes& data, const char* relativeName) {
  ScratchDir dir;
  const std::string src = dir.Host("source"), out = dir.Host("packed");
  WriteFile(src, data);
  std::FILE* in = std::fopen(src.c_str(), "rb");
  std::FILE* o = std::fopen(out.c_str(), "wb");
  Codec.tempName = Inner(out);
  Codec.originalCount = Codec.packedCount = static_cast<int32_t>(data.size());
  ResetProgress(static_cast<uint32_t>(data.size()));
  WorkActive = 1;
  EncodeResult r;
  r.result = EncodeStream(in, o, relativeName, Inner(src));
  WorkActive = 0;
  Codec.tempName.clear();
  r.exists = fs::exists(out);
  if (r.exists) r.file = ReadFile(out);
  return r;
}

DecodeResult Decode(const Bytes& stream, int32_t originalSize) {
  ScratchDir dir;
  const std::string src = dir.Host("packed"), out = dir.Host("expanded");
  LzsHeader h;
  ClearHeader(h);
  std::memcpy(h.signature, kSignature, sizeof kSignature);
  h.version = kFormatVersion;
  h.header_size = kHeaderSize;
  h.original_size = originalSize;
  unsigned char raw[kHeaderSize];
  EncodeHeader(h, raw);
  Bytes file(raw, raw + kHeaderSize);
  file.insert(file.end(), stream.begin(), stream.end());
  WriteFile(src, file);
  std::FILE* in = std::fopen(src.c_str(), "rb");
  std::fseek(in, kHeaderSize, SEEK_SET);
  std::FILE* o = std::fopen(out.c_str(), "wb");
  Codec.header = h;
  Codec.tempName.clear();
  WorkActive = 1;
  DecodeResult r{};
  r.result = DecodeStream(in, o, Inner(out), Inner(src), &r.produced);
  WorkActive = 0;
  r.exists = fs::exists(out);
  if (r.exists) r.file = ReadFile(out);
  return r;
}

}  // namespace codec_test
