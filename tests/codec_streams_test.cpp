#include <gtest/gtest.h>

#include "codec/streams.h"
#include "codec_test_util.h"

using namespace codec_test;

namespace {

std::string Pattern(std::size_t n) {
  std::string b(n, '\0');
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<char>(i * 7 + i / 251);
  return b;
}

// Reads through GetByte/BytesLeft the way the encoder does.
std::string Drain(CodecContext& c, ByteSource& in) {
  std::string got;
  for (;;) {
    int byte = GetByte(c, in);
    if (BytesLeft(c) == 0) break;
    got.push_back(static_cast<char>(byte));
  }
  return got;
}

TEST(StreamBuffers, EndOfInputAtBufferBoundaries) {
  auto c = NewCodecContext();
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{262143}, std::size_t{262144},
                        std::size_t{262145}, std::size_t{3 * 262144}}) {
    SCOPED_TRACE(n);
    const std::string data = Pattern(n);
    MemorySource in(data);
    ResetStreams(*c);
    EXPECT_EQ(262144, BytesLeft(*c));
    EXPECT_EQ(data, Drain(*c, in));
    EXPECT_FALSE(c->readError);
    // The end stays the end.
    GetByte(*c, in);
    EXPECT_EQ(0, BytesLeft(*c));
  }
}

TEST(StreamBuffers, BytesLeftAroundAFullBuffer) {
  auto c = NewCodecContext();
  const std::string data = Pattern(262145);
  MemorySource in(data);
  ResetStreams(*c);
  for (int i = 0; i < 262144; ++i) GetByte(*c, in);
  EXPECT_EQ(262144, BytesLeft(*c));  // the index wrapped after the last byte
  GetByte(*c, in);
  EXPECT_EQ(1, BytesLeft(*c));  // the second refill brought one byte
  GetByte(*c, in);
  EXPECT_EQ(0, BytesLeft(*c));
}

TEST(StreamBuffers, ReadErrorIsNotTheEnd) {
  auto c = NewCodecContext();
  const std::string data = Pattern(1000);
  MemorySource failing(data, true);
  ResetStreams(*c);
  Drain(*c, failing);
  EXPECT_TRUE(c->readError);
  MemorySource whole(data);
  ResetStreams(*c);
  EXPECT_EQ(data, Drain(*c, whole));
  EXPECT_FALSE(c->readError);
}

// Counts the writes that reach it, so block writes can be seen.
class CountingSink final : public ByteSink {
 public:
  bool Write(const unsigned char* data, std::size_t n) override {
    writes.push_back(n);
    bytes.append(reinterpret_cast<const char*>(data), n);
    return true;
  }
  bool SeekTo(int64_t) override { return true; }
  bool SeekToEnd() override { return true; }
  std::vector<std::size_t> writes;
  std::string bytes;
};

TEST(StreamBuffers, WritesWholeBlocksThenTheRest) {
  auto c = NewCodecContext();
  for (int n : {262144, 262145}) {
    const std::string data = Pattern(static_cast<std::size_t>(n));
    CountingSink out;
    ResetStreams(*c);
    for (int i = 0; i < 262144; ++i) PutByte(*c, data[i], out);
    EXPECT_EQ(0, c->writeIndex);
    EXPECT_EQ(std::vector<std::size_t>{262144}, out.writes);  // one block went out at once
    for (int i = 262144; i < n; ++i) PutByte(*c, data[i], out);
    FlushOutput(*c, out);
    EXPECT_EQ(0, c->writeIndex);
    EXPECT_EQ(data, out.bytes);
    EXPECT_EQ(n == 262144 ? 1u : 2u, out.writes.size());
    EXPECT_FALSE(c->writeError);
  }
}

TEST(StreamBuffers, ShortWritesAreNoticed) {
  auto c = NewCodecContext();
  MemorySink out(262144 + 10);
  ResetStreams(*c);
  for (int i = 0; i < 262144; ++i) PutByte(*c, i, out);
  EXPECT_FALSE(c->writeError);
  for (int i = 0; i < 100; ++i) PutByte(*c, i, out);
  FlushOutput(*c, out);
  EXPECT_TRUE(c->writeError);
  ResetStreams(*c);
  EXPECT_FALSE(c->writeError);
}

}  // namespace
