#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "codec/encoder.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "codec_test_util.h"

using namespace codec_test;

namespace {

Bytes Random(std::size_t n, unsigned seed, int alphabet = 256) {
  std::mt19937 gen(seed);
  Bytes b(n);
  for (auto& c : b) c = static_cast<unsigned char>(gen() % alphabet);
  return b;
}

// Words from a small vocabulary: many matches of equal length, so the
// tie-breaking of the tree search decides the positions.
Bytes TextLike(std::size_t n, unsigned seed) {
  static const char* words[] = {"the ", "scene ", "jump",   ".wav",   "\r\n",     "bgm",
                                "  ",   "on ",    "flag=1", "title ", "\x83\x5c", "\x82\xa0"};
  std::mt19937 gen(seed);
  Bytes b;
  while (b.size() < n) {
    const char* w = words[gen() % 12];
    b.insert(b.end(), w, w + std::strlen(w));
  }
  b.resize(n);
  return b;
}

// Rows of an 8-bit picture: runs, gradients and a repeated sprite.
Bytes BitmapLike(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  Bytes b(n);
  const std::size_t width = 640;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t x = i % width, y = i / width;
    unsigned char c = static_cast<unsigned char>((x / 40 + y / 30) % 5 * 17);
    if ((x / 16 + y / 16) % 7 == 0) c = static_cast<unsigned char>(x * 3 + y);
    if (gen() % 50 == 0) c = static_cast<unsigned char>(gen());
    b[i] = c;
  }
  return b;
}

Bytes Repeat(unsigned char c, std::size_t n) { return Bytes(n, c); }

void ExpectLikeReference(Coder& coder, const Bytes& data) {
  EncodeResult r = coder.Encode(data);
  ASSERT_EQ(kDone, r.result);
  Bytes expected = reference::Encode(data);
  ASSERT_EQ(expected.size(), r.Stream().size()) << "input of " << data.size();
  ASSERT_TRUE(expected == r.Stream()) << "input of " << data.size();
  ASSERT_EQ(static_cast<int32_t>(expected.size()), coder.c.header.packed_size);
  ASSERT_EQ(static_cast<int32_t>(data.size()), coder.c.header.original_size);
}

TEST(Encoder, StreamsOfTheFirstEncode) {
  struct Case {
    Bytes in;
    const char* stream;
  } cases[] = {
      {Text("abc"), "07 61 62 63"},
      {Repeat('a', 10), "01 61 EE F6"},
      {Repeat(0, 30), "00 DC FF FF F9"},
      {Text("Z"), "01 5A"},
      // Eight codes: the group goes out when it is full, nothing follows.
      {Text("abcdefgh"), "FF 61 62 63 64 65 66 67 68"},
  };
  for (const Case& c : cases) {
    Coder coder;
    EncodeResult r = coder.Encode(c.in);
    ASSERT_EQ(kDone, r.result);
    EXPECT_EQ(Hex(c.stream), r.Stream()) << c.stream;
    EXPECT_EQ(static_cast<int32_t>(c.in.size()), coder.c.header.original_size);
    EXPECT_EQ(static_cast<int32_t>(Hex(c.stream).size()), coder.c.header.packed_size);
  }
}

TEST(Encoder, HeaderOfTheCompressedFile) {
  Coder coder;
  EncodeResult r = coder.Encode(Text("hello hello hello"), "data\\scene.txt");
  ASSERT_EQ(kDone, r.result);
  LzsHeader h;
  DecodeHeader(r.file.data(), h);
  EXPECT_TRUE(HasSignatureExact(h));
  EXPECT_EQ(320, h.header_size);
  EXPECT_EQ(100, h.version);
  EXPECT_EQ(17, h.original_size);
  EXPECT_EQ(static_cast<int32_t>(r.file.size() - 320), h.packed_size);
  EXPECT_EQ(0, h.piece_index);
  EXPECT_EQ(0, h.piece_count);
  EXPECT_EQ(0, h.copy_flag);
  EXPECT_STREQ("data\\scene.txt", h.name);
  for (std::size_t i = 60 + 15; i < 320; ++i) ASSERT_EQ(0, r.file[i]);
}

TEST(Encoder, SameStreamsAsThePlainAlgorithm) {
  Coder coder;
  std::vector<Bytes> inputs;
  for (std::size_t n : {1, 2, 3, 17, 18, 19, 35, 100, 4095, 4096, 4097, 4113, 9000})
    inputs.push_back(Random(n, static_cast<unsigned>(n), n % 2 ? 4 : 256));
  inputs.push_back(TextLike(70000, 1));
  inputs.push_back(BitmapLike(300000, 2));
  inputs.push_back(Random(262144, 3, 3));
  inputs.push_back(Repeat(0, 262144 * 2));
  inputs.push_back(Repeat(0xFF, 50000));
  // Short sources after long ones: the window tail of the earlier encodes
  // takes part in their matches.
  for (unsigned seed = 0; seed < 40; ++seed) {
    inputs.push_back(Random(1 + seed % 20, seed, 2 + seed % 3));
    if (seed % 8 == 0) inputs.push_back(TextLike(5000 + seed, seed));
  }
  for (const Bytes& data : inputs) {
    SCOPED_TRACE(data.size());
    ExpectLikeReference(coder, data);
  }
}

// The group fast path writes whole groups into the 256 KiB write buffer;
// a short prefix before a long run of zeros moves where a group crosses its
// end through every position.
TEST(Encoder, GroupsCrossingTheWriteBufferEnd) {
  Coder coder;
  for (std::size_t prefix = 0; prefix <= 40; ++prefix) {
    SCOPED_TRACE(prefix);
    Bytes data = Random(prefix, static_cast<unsigned>(prefix) + 100);
    data.resize(prefix + 2500000, 0);
    ExpectLikeReference(coder, data);
  }
}

TEST(Encoder, WindowTailOfEarlierEncodesChangesLaterStreams) {
  // Past the end of a short source the window still holds bytes of earlier
  // files; they take part in the tie-breaking, so the same short source may
  // be coded differently later in the process, and still decodes the same.
  int differing = 0;
  for (unsigned seed = 0; seed < 60; ++seed) {
    const Bytes shortSource = Random(4 + seed % 12, seed, 2);
    Coder coder;
    const Bytes fresh = coder.Encode(shortSource).Stream();
    reference::Encode(shortSource);
    ExpectLikeReference(coder, Random(5000, seed, 2));
    const Bytes later = coder.Encode(shortSource).Stream();
    ASSERT_EQ(reference::Encode(shortSource), later);
    const auto size = static_cast<int32_t>(shortSource.size());
    EXPECT_EQ(shortSource, reference::Decode(later, size).bytes);
    if (later != fresh) ++differing;
  }
  EXPECT_GT(differing, 0);
}

// What lets a make run encode later files ahead: the tail an encode leaves
// follows from the tail before it and the source's two ends.
TEST(Encoder, TailWorkedOutFromTheEndsIsTheTailTheEncodeLeaves) {
  Coder coder;
  const std::size_t lengths[] = {1,    2,    17,   18,   19,   35,   4095, 4096, 4113,
                                 4114, 4115, 4130, 5000, 8191, 8210, 8211, 20000};
  unsigned seed = 1;
  for (std::size_t n : lengths) {
    for (const Bytes& data : {Random(n, ++seed), TextLike(n, ++seed), Repeat('a', n)}) {
      WindowTail before = TailOf(coder.c);
      ASSERT_EQ(kDone, coder.Encode(data).result);
      const std::string bytes = AsString(data);
      const auto endStart = static_cast<std::size_t>(TailEndStart(static_cast<int64_t>(n)));
      AdvanceTail(before, std::string_view(bytes).substr(0, std::min<std::size_t>(n, 18)),
                  static_cast<int64_t>(n),
                  endStart < n ? std::string_view(bytes).substr(endStart) : std::string_view());
      ASSERT_TRUE(before == TailOf(coder.c)) << "source of " << n << " bytes";
    }
  }
  // A tail set from elsewhere is where the next encode starts from.
  Coder other;
  SetTail(other.c, TailOf(coder.c));
  const Bytes shortSource = TextLike(40, 99);
  EXPECT_TRUE(coder.Encode(shortSource).Stream() == other.Encode(shortSource).Stream());
}

TEST(Encoder, EmptySourceWritesOnlyTheHeaderPlaceholder) {
  Coder coder;
  EncodeResult r = coder.Encode({});
  EXPECT_EQ(kSourceEmpty, r.result);
  EXPECT_EQ(320u, r.file.size());
}

TEST(Encoder, AbortIsNoticedAfterAnyCode) {
  for (int pumps : {1, 50, 3}) {
    Coder coder;
    coder.fe.clearWorkActiveAfterPumps = pumps;
    // "abc" is three codes: an abort noticed after the last one still counts.
    EncodeResult r = coder.Encode(pumps == 3 ? Text("abc") : TextLike(20000, 4));
    EXPECT_EQ(kAborted, r.result);
    EXPECT_EQ(pumps, coder.fe.pumpCalls);
  }
}

TEST(Encoder, ReportsProgressPerCode) {
  Coder coder;
  EncodeResult r = coder.Encode(Random(5000, 9));
  ASSERT_EQ(kDone, r.result);
  ASSERT_FALSE(coder.fe.percentTexts.empty());
  EXPECT_EQ("  0%", coder.fe.percentTexts.front());
  EXPECT_EQ("100%", coder.fe.percentTexts.back());
  EXPECT_GE(coder.fe.pumpCalls, 5000 / 18);
}

TEST(Encoder, WriteFailuresAreReported) {
  const Bytes data = Random(600000, 5, 16);
  // The header, the first block of the stream, the last bytes of the stream.
  for (std::size_t limit :
       {std::size_t{100}, std::size_t{320 + 1000}, reference::Encode(data).size() + 320 - 1}) {
    SCOPED_TRACE(limit);
    Coder coder;
    EXPECT_EQ(kWriteFailed, coder.Encode(data, "x", limit).result);
  }
}

TEST(Encoder, ReadErrorsAreNotTakenForTheEnd) {
  for (std::size_t n : {std::size_t{0}, std::size_t{5}, std::size_t{300000}}) {
    Coder coder;
    EXPECT_EQ(kReadFailed, coder.Encode(Random(n, 6), "x", SIZE_MAX, true).result) << n;
  }
}

// A source of known length is refused before anything is written.
class HugeSource final : public ByteSource {
 public:
  std::size_t Read(unsigned char*, std::size_t) override { return 0; }
  int64_t Length() override { return int64_t{1} << 31; }
};

TEST(Encoder, RefusesSourcesOf2GiBOrMore) {
  Coder coder;
  HugeSource in;
  MemorySink out;
  QuietCoderHooks hooks;
  EXPECT_EQ(kCannotStore, EncodeStream(coder.c, in, out, "x", hooks));
  EXPECT_TRUE(out.data().empty());
}

TEST(Encoder, RefusesANameTheHeaderCannotHold) {
  Coder coder;
  std::string name(260, 'n');
  EXPECT_EQ(kNameRefused, coder.Encode(Text("abc"), name).result);
  name.resize(259);
  EXPECT_EQ(kDone, coder.Encode(Text("abc"), name).result);
  EXPECT_EQ(name, std::string(coder.c.header.name));
}

}  // namespace
