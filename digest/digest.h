// Content hashes of a byte stream, the three that preservation catalogues
// list: CRC32, MD5 and SHA-1, computed incrementally from the well-kept
// libraries (zlib, nettle). As a ByteSink it hashes a file while it is
// decoded into nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "codec/byte_io.h"

struct ContentHashes {
  // Lowercase hexadecimal; all three empty when hashes are not available.
  std::string crc32, md5, sha1;
};

class ContentHasher final : public ByteSink {
 public:
  ContentHasher();
  ~ContentHasher() override;
  ContentHasher(const ContentHasher&) = delete;
  ContentHasher& operator=(const ContentHasher&) = delete;

  // False in builds without the hashing libraries (Windows): Finish then
  // gives empty strings.
  static bool Available();

  void Update(const unsigned char* data, std::size_t n);
  void Update(std::string_view bytes) {
    Update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  }
  // The digests of everything so far; the hasher then starts afresh.
  ContentHashes Finish();
  int64_t bytes() const { return bytes_; }

  bool Write(const unsigned char* data, std::size_t n) override {
    Update(data, n);
    return true;
  }
  // The stream is hashed in order: no going back.
  bool SeekTo(int64_t offset) override { return offset == bytes_; }
  bool SeekToEnd() override { return true; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  int64_t bytes_ = 0;
};

// The hashes of bytes in memory.
ContentHashes HashBytes(std::string_view bytes);
