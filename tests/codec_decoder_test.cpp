#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "app/prompts.h"
#include "app/resources/messages.h"
#include "codec/context.h"
#include "codec/decoder.h"
#include "codec/header.h"
#include "codec_test_util.h"
#include "fileops/result_code.h"
#include "support/scripted_frontend.h"

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
    DecodeResult r = Decode(Hex(c.stream), c.size);
    EXPECT_EQ(kDone, r.result) << c.stream;
    EXPECT_EQ(c.size, r.produced);
    EXPECT_EQ(c.out, r.file) << c.stream;
  }
}

TEST(Decoder, DamagedStreamsFailAndLeaveNoOutput) {
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
    DecodeResult r = Decode(Hex(c.stream), c.size);
    EXPECT_EQ(kDamagedStream, r.result) << c.stream;
    EXPECT_FALSE(r.exists) << c.stream;
  }
}

TEST(Decoder, AgreesWithThePlainAlgorithmOnArbitraryStreams) {
  std::mt19937 gen(11);
  int damaged = 0, whole = 0;
  for (int round = 0; round < 400; ++round) {
    Bytes stream(gen() % 300);
    for (auto& c : stream) c = static_cast<unsigned char>(gen() % 4 == 0 ? 0xFF : gen());
    const auto size = static_cast<int32_t>(1 + gen() % 700);
    reference::Decoded expected = reference::Decode(stream, size);
    DecodeResult r = Decode(stream, size);
    if (expected.damaged) {
      ++damaged;
      ASSERT_EQ(kDamagedStream, r.result) << round;
      ASSERT_FALSE(r.exists);
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
  EncodeResult packed = Encode(data);
  ASSERT_EQ(kDone, packed.result);
  DecodeResult r = Decode(packed.Stream(), static_cast<int32_t>(data.size()));
  ASSERT_EQ(kDone, r.result);
  EXPECT_TRUE(r.file == data);
}

TEST(Decoder, AbortKeepsThePartialOutput) {
  Bytes data(600000);
  std::mt19937 gen(5);
  for (auto& c : data) c = static_cast<unsigned char>(gen());
  Bytes stream = Encode(data).Stream();
  ScriptedFrontEnd fe;
  fe.clearWorkActiveAfterPumps = 400000;
  DecodeResult r = Decode(stream, static_cast<int32_t>(data.size()));
  EXPECT_EQ(kAborted, r.result);
  ASSERT_TRUE(r.exists);
  // Whole blocks went out; each is the start of the data.
  EXPECT_EQ(0u, r.file.size() % 262144);
  EXPECT_GT(r.file.size(), 0u);
  EXPECT_TRUE(std::equal(r.file.begin(), r.file.end(), data.begin()));

  // An abort noticed after the final code still counts.
  fe.pumpCalls = 0;
  fe.clearWorkActiveAfterPumps = 3;
  EXPECT_EQ(kAborted, Decode(Hex("07 61 62 63"), 3).result);
}

// Runs DecodeStream of `stream` (size `size`) with the given files.
int DecodeWith(std::FILE* in, std::FILE* out, const std::string& destination, int32_t size) {
  ClearHeader(Codec.header);
  Codec.header.original_size = size;
  WorkActive = 1;
  int32_t produced = 0;
  int result = DecodeStream(in, out, destination, "\\unused", &produced);
  WorkActive = 0;
  return result;
}

TEST(Decoder, WriteAndReadFailuresDeleteTheOutput) {
  ScratchDir dir;
  Bytes data(400000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * i >> 5);
  const Bytes stream = Encode(data).Stream();
  const auto size = static_cast<int32_t>(data.size());
  WriteFile(dir.Host("stream"), stream);

  for (std::size_t limit : {std::size_t{0}, data.size() - 1}) {
    WriteFile(dir.Host("out"), Text("x"));
    int r = DecodeWith(std::fopen(dir.Host("stream").c_str(), "rb"), FailingWriter(limit),
                       Inner(dir.Host("out")), size);
    EXPECT_EQ(kWriteFailed, r) << limit;
    EXPECT_FALSE(fs::exists(dir.Host("out")));
  }

  Bytes cut(stream.begin(), stream.begin() + 1000);
  int r = DecodeWith(FailingReader(cut), std::fopen(dir.Host("out").c_str(), "wb"),
                     Inner(dir.Host("out")), size);
  EXPECT_EQ(kReadFailed, r);
  EXPECT_FALSE(fs::exists(dir.Host("out")));
}

TEST(Decoder, JoinedStreamIsDeletedOnEveryReturn) {
  ScratchDir dir;
  for (const char* stream : {"07 61 62 63", "07"}) {
    WriteFile(dir.Host("joined"), Hex(stream));
    Codec.tempName = Inner(dir.Host("joined"));
    int r = DecodeWith(std::fopen(dir.Host("joined").c_str(), "rb"),
                       std::fopen(dir.Host("out").c_str(), "wb"), Inner(dir.Host("out")), 3);
    EXPECT_EQ(std::strlen(stream) > 2 ? kDone : kDamagedStream, r);
    EXPECT_FALSE(fs::exists(dir.Host("joined")));
    Codec.tempName.clear();
  }
}

class CopyBranch : public ::testing::Test {
 protected:
  void SetUp() override {
    compressed = dir.Host("file.bin_lzs");
    WriteFile(compressed, Text("stored bytes, header included"));
  }
  int Run(const std::string& destinationHost) {
    ClearHeader(Codec.header);
    Codec.header.original_size = 77;
    Codec.header.copy_flag = 1;
    WriteFile(dir.Host("created"), {});
    WorkActive = 1;
    produced = 0;
    int r = DecodeStream(std::fopen(compressed.c_str(), "rb"),
                         std::fopen(dir.Host("created").c_str(), "wb"), Inner(destinationHost),
                         Inner(compressed), &produced);
    return r;
  }
  void TearDown() override {
    WorkActive = 0;
    Codec.tempName.clear();
    Codec.header.copy_flag = 0;
  }
  ScratchDir dir;
  std::string compressed;
  int32_t produced = 0;
};

TEST_F(CopyBranch, CopiesTheCompressedFileOrTheJoinedStream) {
  ScriptedFrontEnd fe;
  EXPECT_EQ(kDone, Run(dir.Host("out.bin")));
  EXPECT_EQ(Text("stored bytes, header included"), ReadFile(dir.Host("out.bin")));
  EXPECT_EQ(77, produced);
  EXPECT_EQ(std::vector<std::string>{" /!P"}, fe.traces);

  WriteFile(dir.Host("joined"), Text("joined stream"));
  Codec.tempName = Inner(dir.Host("joined"));
  EXPECT_EQ(kDone, Run(dir.Host("out.bin")));
  EXPECT_EQ(Text("joined stream"), ReadFile(dir.Host("out.bin")));
  EXPECT_FALSE(fs::exists(dir.Host("joined")));
}

TEST_F(CopyBranch, FailedCopyAsksToRetry) {
  ScriptedFrontEnd fe;
  const std::string destination = dir.Host("later/out.bin");
  fe.answers = {kIdOk};
  fe.onDialog = [&](const RecordedDialog& d) {
    EXPECT_EQ(RecordedDialog::kRetry, d.kind);
    EXPECT_EQ(msg::kMsgCopyFailed, d.caption);
    fs::create_directory(dir.Host("later"));
  };
  EXPECT_EQ(kDone, Run(destination));
  EXPECT_EQ(1u, fe.dialogs.size());
  EXPECT_EQ(Text("stored bytes, header included"), ReadFile(destination));
}

TEST_F(CopyBranch, AbortInThePromptGivesUp) {
  ScriptedFrontEnd fe;
  WriteFile(dir.Host("joined"), Text("joined stream"));
  Codec.tempName = Inner(dir.Host("joined"));
  EXPECT_EQ(kCopyAbandoned, Run(dir.Host("missing/out.bin")));  // Escape: Abort
  EXPECT_EQ(0, WorkActive);
  EXPECT_FALSE(fs::exists(dir.Host("joined")));
  EXPECT_EQ(1u, fe.dialogs.size());
}

}  // namespace
