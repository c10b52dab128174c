// Helpers of the codec tests: scratch folders, whole-file reads and writes,
// and runs of the real coders on byte vectors.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "codec_reference.h"

namespace codec_test {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

// A scratch folder removed again at the end of the test.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  std::string Host(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string Inner(const std::string& host);
void WriteFile(const std::string& host, const Bytes& data);
Bytes ReadFile(const std::string& host);
Bytes Hex(const char* text);  // "07 61 62 63"
Bytes Text(const std::string& s);

// The state of a fresh process: window tails of both the real encoder and
// the reference are zero again.
void ForgetEarlierEncodes();

// A stdio stream that accepts `limit` bytes and then fails every write.
std::FILE* FailingWriter(std::size_t limit);
// A stdio stream that yields `data` and then reports a read error.
std::FILE* FailingReader(const Bytes& data);

struct EncodeResult {
  int result;
  Bytes file;   // header + code stream ("" when no file remains)
  bool exists;  // the output file is still there
  Bytes Stream() const {
    return file.size() < 320 ? Bytes{} : Bytes(file.begin() + 320, file.end());
  }
};
// EncodeStream on data through real files, with WorkActive set and the
// output as the temporary file; relativeName as EncodeStream takes it.
EncodeResult Encode(const Bytes& data, const char* relativeName = "x.bin");

struct DecodeResult {
  int result;
  int32_t produced;
  Bytes file;
  bool exists;
};
// DecodeStream of a code stream stored behind a header with originalSize.
DecodeResult Decode(const Bytes& stream, int32_t originalSize);

}  // namespace codec_test
