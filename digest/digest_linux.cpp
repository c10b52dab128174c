// zlib's CRC32 and nettle's MD5 and SHA-1.
#include <nettle/md5.h>
#include <nettle/sha1.h>
#include <zlib.h>

#include "digest/digest.h"

struct ContentHasher::State {
  uLong crc = crc32_z(0, Z_NULL, 0);
  md5_ctx md5;
  sha1_ctx sha1;
  State() {
    md5_init(&md5);
    sha1_init(&sha1);
  }
};

namespace {

std::string Hex(const uint8_t* d, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += digits[d[i] >> 4];
    s += digits[d[i] & 15];
  }
  return s;
}

}  // namespace

ContentHasher::ContentHasher() : state_(std::make_unique<State>()) {}
ContentHasher::~ContentHasher() = default;

bool ContentHasher::Available() { return true; }

void ContentHasher::Update(const unsigned char* data, std::size_t n) {
  state_->crc = crc32_z(state_->crc, data, n);
  md5_update(&state_->md5, n, data);
  sha1_update(&state_->sha1, n, data);
  bytes_ += static_cast<int64_t>(n);
}

ContentHashes ContentHasher::Finish() {
  ContentHashes h;
  const uint8_t crc[4] = {
      static_cast<uint8_t>(state_->crc >> 24), static_cast<uint8_t>(state_->crc >> 16),
      static_cast<uint8_t>(state_->crc >> 8), static_cast<uint8_t>(state_->crc)};
  h.crc32 = Hex(crc, 4);
  uint8_t md5[MD5_DIGEST_SIZE], sha1[SHA1_DIGEST_SIZE];
  md5_digest(&state_->md5, sizeof md5, md5);  // also starts the context afresh
  sha1_digest(&state_->sha1, sizeof sha1, sha1);
  h.md5 = Hex(md5, sizeof md5);
  h.sha1 = Hex(sha1, sizeof sha1);
  state_->crc = crc32_z(0, Z_NULL, 0);
  bytes_ = 0;
  return h;
}
