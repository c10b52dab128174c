// Byte sources and sinks under the coders: an open file or a memory area.
// The coders call them once per 256 KiB block at most, so a virtual call
// costs nothing that shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes; returns how many, 0 at the end or on a read error
  // (failed() tells which).
  virtual std::size_t Read(unsigned char* buffer, std::size_t n) = 0;
  // The whole length of the source, or -1 when it is not known.
  virtual int64_t Length() = 0;
  bool failed() const { return failed_; }

 protected:
  bool failed_ = false;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // False when not all n bytes were written.
  virtual bool Write(const unsigned char* data, std::size_t n) = 0;
  // The next write goes to offset from the start, or to the end.
  virtual bool SeekTo(int64_t offset) = 0;
  virtual bool SeekToEnd() = 0;
};

// An open stdio stream; the caller opens, positions and closes it.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(std::FILE* f) : f_(f) {}
  std::size_t Read(unsigned char* buffer, std::size_t n) override;
  int64_t Length() override;

 private:
  std::FILE* f_;
};

class FileSink final : public ByteSink {
 public:
  explicit FileSink(std::FILE* f) : f_(f) {}
  bool Write(const unsigned char* data, std::size_t n) override;
  bool SeekTo(int64_t offset) override;
  bool SeekToEnd() override;

 private:
  std::FILE* f_;
};

// Bytes in memory. With failAtEnd the end of the data is a read error (as a
// damaged disk gives it) instead of the end of the source.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view data, bool failAtEnd = false)
      : data_(data), failAtEnd_(failAtEnd) {}
  std::size_t Read(unsigned char* buffer, std::size_t n) override;
  int64_t Length() override { return static_cast<int64_t>(data_.size()); }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
  bool failAtEnd_;
};

// A growing memory area; writes past `limit` bytes fail (a full disk).
class MemorySink final : public ByteSink {
 public:
  explicit MemorySink(std::size_t limit = SIZE_MAX) : limit_(limit) {}
  bool Write(const unsigned char* data, std::size_t n) override;
  bool SeekTo(int64_t offset) override;
  bool SeekToEnd() override;
  const std::string& data() const { return data_; }

 private:
  std::string data_;
  std::size_t pos_ = 0;
  std::size_t limit_;
};

// Takes everything and keeps nothing: a decode that only checks.
class NullSink final : public ByteSink {
 public:
  bool Write(const unsigned char*, std::size_t) override { return true; }
  bool SeekTo(int64_t) override { return true; }
  bool SeekToEnd() override { return true; }
};
