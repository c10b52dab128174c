#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "codec/result_code.h"
#include "codec_test_util.h"

using namespace codec_test;

namespace {

TEST(Decoder, StreamsOfTheFormat) {
  struct Case {
    const char* stream;
    int32_t size;
    Bytes out;
  } cases[] = {
      {"07 61 62 63", 3, Text("abc")},
      {"01 61 EE F6", 10, Bytes(10, 'a')},
      {"00 DC FF FF F9", 30, Bytes(30, 0)},
      {"07 61 62 63", 2, Text("ab")},  // the size ends it, not the stream
      {"FF 61 62 63 64 65 66 67 68 01 7A", 9, Text("abcdefghz")},
  };
  for (const Case& c : cases) {
    Coder coder;
    DecodeResult r = coder.Decode(Hex(c.stream), c.size);
    EXPECT_EQ(kDone, r.result) << c.stream;
    EXPECT_EQ(c.out, r.file) << c.stream;
  }
}

TEST(Decoder, DamagedStreamsFail) {
  struct Case {
    const char* stream;
    int32_t size;
  } cases[] = {
      {"00 DC FF", 5},      // the match would run past the size
      {"07", 3},            // cut after its flag byte
      {"", 1},              // nothing at all
      {"07 61 62", 3},      // cut before the last literal
      {"00 DC", 18},        // cut inside a match
      {"01 61 EE F6", 11},  // ends one byte short
  };
  for (const Case& c : cases) {
    Coder coder;
    EXPECT_EQ(kDamagedStream, coder.Decode(Hex(c.stream), c.size).result) << c.stream;
  }
}

TEST(Decoder, AgreesWithThePlainAlgorithmOnArbitraryStreams) {
  std::mt19937 gen(11);
  int damaged = 0, whole = 0;
  Coder coder;
  for (int round = 0; round < 400; ++round) {
    Bytes stream(gen() % 300);
    for (auto& c : stream) c = static_cast<unsigned char>(gen() % 4 == 0 ? 0xFF : gen());
    const auto size = static_cast<int32_t>(1 + gen() % 700);
    reference::Decoded expected = reference::Decode(stream, size);
    DecodeResult r = coder.Decode(stream, size);
    if (expected.damaged) {
      ++damaged;
      ASSERT_EQ(kDamagedStream, r.result) << round;
    } else {
      ++whole;
      ASSERT_EQ(kDone, r.result) << round;
      ASSERT_EQ(expected.bytes, r.file) << round;
    }
  }
  EXPECT_GT(damaged, 0);
  EXPECT_GT(whole, 0);
}

TEST(Decoder, RoundTripsAcrossBlocksAndTheRing) {
  std::mt19937 gen(3);
  Bytes data(262144 * 2 + 4099);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<unsigned char>(i % 1000 < 500 ? gen() % 3 : (i / 7) % 251);
  Coder coder;
  EncodeResult packed = coder.Encode(data);
  ASSERT_EQ(kDone, packed.result);
  DecodeResult r = coder.Decode(packed.Stream(), static_cast<int32_t>(data.size()));
  ASSERT_EQ(kDone, r.result);
  EXPECT_TRUE(r.file == data);
}

TEST(Decoder, AbortKeepsWhatWentOutInWholeBlocks) {
  Bytes data(600000);
  std::mt19937 gen(5);
  for (auto& c : data) c = static_cast<unsigned char>(gen());
  Coder coder;
  Bytes stream = coder.Encode(data).Stream();
  coder.fe.pumpCalls = 0;
  coder.fe.clearWorkActiveAfterPumps = 400000;
  DecodeResult r = coder.Decode(stream, static_cast<int32_t>(data.size()));
  EXPECT_EQ(kAborted, r.result);
  EXPECT_EQ(0u, r.file.size() % 262144);
  EXPECT_GT(r.file.size(), 0u);
  EXPECT_TRUE(std::equal(r.file.begin(), r.file.end(), data.begin()));

  // An abort noticed after the final code still counts.
  coder.fe.pumpCalls = 0;
  coder.fe.clearWorkActiveAfterPumps = 3;
  EXPECT_EQ(kAborted, coder.Decode(Hex("07 61 62 63"), 3).result);
}

TEST(Decoder, WriteAndReadFailuresAreReported) {
  Bytes data(400000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * i >> 5);
  Coder coder;
  const Bytes stream = coder.Encode(data).Stream();
  const auto size = static_cast<int32_t>(data.size());
  for (std::size_t limit : {std::size_t{0}, data.size() - 1})
    EXPECT_EQ(kWriteFailed, coder.Decode(stream, size, limit).result) << limit;
  Bytes cut(stream.begin(), stream.begin() + 1000);
  EXPECT_EQ(kReadFailed, coder.Decode(cut, size, SIZE_MAX, true).result);
  EXPECT_EQ(kBadOriginalSize, coder.Decode(stream, 0).result);
}

}  // namespace
