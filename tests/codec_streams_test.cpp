#include <gtest/gtest.h>

#include "codec/streams.h"
#include "codec_test_util.h"

using namespace codec_test;

namespace {

Bytes Pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(i * 7 + i / 251);
  return b;
}

// Reads f through GetByte/BytesLeft the way the encoder does.
Bytes Drain(std::FILE* f) {
  Bytes got;
  for (;;) {
    int c = GetByte(f);
    if (BytesLeft() == 0) break;
    got.push_back(static_cast<unsigned char>(c));
  }
  return got;
}

TEST(StreamBuffers, EndOfInputAtBufferBoundaries) {
  ScratchDir dir;
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{262143}, std::size_t{262144},
                        std::size_t{262145}, std::size_t{3 * 262144}}) {
    SCOPED_TRACE(n);
    Bytes data = Pattern(n);
    WriteFile(dir.Host("in"), data);
    std::FILE* f = std::fopen(dir.Host("in").c_str(), "rb");
    ResetStreams();
    EXPECT_EQ(262144, BytesLeft());
    EXPECT_EQ(data, Drain(f));
    EXPECT_FALSE(Codec.readError);
    // The end stays the end.
    GetByte(f);
    EXPECT_EQ(0, BytesLeft());
    std::fclose(f);
  }
}

TEST(StreamBuffers, BytesLeftAroundAFullBuffer) {
  ScratchDir dir;
  WriteFile(dir.Host("in"), Pattern(262145));
  std::FILE* f = std::fopen(dir.Host("in").c_str(), "rb");
  ResetStreams();
  for (int i = 0; i < 262144; ++i) GetByte(f);
  EXPECT_EQ(262144, BytesLeft());  // the index wrapped after the last byte
  GetByte(f);
  EXPECT_EQ(1, BytesLeft());  // the second refill brought one byte
  GetByte(f);
  EXPECT_EQ(0, BytesLeft());
  std::fclose(f);
}

TEST(StreamBuffers, ReadErrorIsNotTheEnd) {
  Bytes data = Pattern(1000);
  std::FILE* f = FailingReader(data);
  ResetStreams();
  Bytes got = Drain(f);
  EXPECT_TRUE(Codec.readError);
  std::fclose(f);

  ScratchDir dir;
  WriteFile(dir.Host("in"), data);
  f = std::fopen(dir.Host("in").c_str(), "rb");
  ResetStreams();
  EXPECT_EQ(data, Drain(f));
  EXPECT_FALSE(Codec.readError);
  std::fclose(f);
}

TEST(StreamBuffers, WritesWholeBlocksThenTheRest) {
  ScratchDir dir;
  for (int n : {262144, 262145}) {
    Bytes data = Pattern(static_cast<std::size_t>(n));
    std::FILE* f = std::fopen(dir.Host("out").c_str(), "wb");
    std::setvbuf(f, nullptr, _IONBF, 0);
    ResetStreams();
    for (int i = 0; i < 262144; ++i) PutByte(data[i], f);
    EXPECT_EQ(0, Codec.writeIndex);
    EXPECT_EQ(262144, std::ftell(f));  // one block went out at once
    for (int i = 262144; i < n; ++i) PutByte(data[i], f);
    FlushOutput(f);
    EXPECT_EQ(0, Codec.writeIndex);
    std::fclose(f);
    EXPECT_EQ(data, ReadFile(dir.Host("out")));
    EXPECT_FALSE(Codec.writeError);
  }
}

TEST(StreamBuffers, ShortWritesAreNoticed) {
  std::FILE* f = FailingWriter(262144 + 10);
  ResetStreams();
  for (int i = 0; i < 262144; ++i) PutByte(i, f);
  EXPECT_FALSE(Codec.writeError);
  for (int i = 0; i < 100; ++i) PutByte(i, f);
  FlushOutput(f);
  EXPECT_TRUE(Codec.writeError);
  std::fclose(f);
  ResetStreams();
  EXPECT_FALSE(Codec.writeError);
}

}  // namespace
