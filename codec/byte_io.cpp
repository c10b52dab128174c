#include "codec/byte_io.h"

#include <algorithm>
#include <climits>
#include <cstring>

std::size_t FileSource::Read(unsigned char* buffer, std::size_t n) {
  std::size_t got = std::fread(buffer, 1, n, f_);
  if (got < n && std::ferror(f_)) {
    // Whatever came with the failing read is dropped: the caller stops on
    // the error and must not take a shortened input for the whole one.
    failed_ = true;
    return 0;
  }
  return got;
}

// Files the coders handle are below 2 GiB (their sizes are 32-bit fields),
// so the C library's positions, a long, reach every byte of them.
int64_t FileSource::Length() {
  const long here = std::ftell(f_);
  if (here < 0 || std::fseek(f_, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(f_);
  if (std::fseek(f_, here, SEEK_SET) != 0) return -1;
  return end;
}

bool FileSink::Write(const unsigned char* data, std::size_t n) {
  return std::fwrite(data, 1, n, f_) == n;
}

bool FileSink::SeekTo(int64_t offset) {
  return offset >= 0 && offset <= LONG_MAX &&
         std::fseek(f_, static_cast<long>(offset), SEEK_SET) == 0;
}

bool FileSink::SeekToEnd() { return std::fseek(f_, 0, SEEK_END) == 0; }

std::size_t MemorySource::Read(unsigned char* buffer, std::size_t n) {
  n = std::min(n, data_.size() - pos_);
  if (n == 0 && failAtEnd_) {
    failed_ = true;
    return 0;
  }
  std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

bool MemorySink::Write(const unsigned char* data, std::size_t n) {
  if (pos_ > limit_ || n > limit_ - pos_) return false;
  if (data_.size() < pos_ + n) data_.resize(pos_ + n);
  std::memcpy(data_.data() + pos_, data, n);
  pos_ += n;
  return true;
}

bool MemorySink::SeekTo(int64_t offset) {
  if (offset < 0) return false;
  pos_ = static_cast<std::size_t>(offset);
  return true;
}

bool MemorySink::SeekToEnd() {
  pos_ = data_.size();
  return true;
}
