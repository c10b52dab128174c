#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "app/prompts.h"
#include "codec/context.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "codec_test_util.h"
#include "fileops/result_code.h"
#include "support/scripted_frontend.h"

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

void ExpectLikeReference(const Bytes& data) {
  EncodeResult r = Encode(data);
  ASSERT_EQ(kDone, r.result);
  Bytes expected = reference::Encode(data);
  ASSERT_EQ(expected.size(), r.Stream().size()) << "input of " << data.size();
  ASSERT_TRUE(expected == r.Stream()) << "input of " << data.size();
  ASSERT_EQ(static_cast<int32_t>(expected.size()), Codec.header.packed_size);
  ASSERT_EQ(static_cast<int32_t>(data.size()), Codec.header.original_size);
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
    ForgetEarlierEncodes();
    EncodeResult r = Encode(c.in);
    ASSERT_EQ(kDone, r.result);
    EXPECT_EQ(Hex(c.stream), r.Stream()) << c.stream;
    EXPECT_EQ(static_cast<int32_t>(c.in.size()), Codec.header.original_size);
    EXPECT_EQ(static_cast<int32_t>(Hex(c.stream).size()), Codec.header.packed_size);
  }
}

TEST(Encoder, HeaderOfTheCompressedFile) {
  EncodeResult r = Encode(Text("hello hello hello"), "data\\scene.txt");
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

  // Without a relative name the header carries the source path.
  r = Encode(Text("x"), nullptr);
  DecodeHeader(r.file.data(), h);
  EXPECT_EQ('\\', h.name[0]);
  EXPECT_STREQ("source", std::strrchr(h.name, '\\') + 1);
}

TEST(Encoder, SameStreamsAsThePlainAlgorithm) {
  ForgetEarlierEncodes();
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
    ExpectLikeReference(data);
  }
}

TEST(Encoder, WindowTailOfEarlierEncodesChangesLaterStreams) {
  // Past the end of a short source the window still holds bytes of earlier
  // files; they take part in the tie-breaking, so the same short source may
  // be coded differently later in the process, and still decodes the same.
  int differing = 0;
  for (unsigned seed = 0; seed < 60; ++seed) {
    const Bytes shortSource = Random(4 + seed % 12, seed, 2);
    ForgetEarlierEncodes();
    const Bytes fresh = Encode(shortSource).Stream();
    reference::Encode(shortSource);
    ExpectLikeReference(Random(5000, seed, 2));
    const Bytes later = Encode(shortSource).Stream();
    ASSERT_EQ(reference::Encode(shortSource), later);
    const auto size = static_cast<int32_t>(shortSource.size());
    EXPECT_EQ(shortSource, reference::Decode(later, size).bytes);
    if (later != fresh) ++differing;
  }
  EXPECT_GT(differing, 0);
}

TEST(Encoder, EmptySourceLeavesNoFile) {
  EncodeResult r = Encode({});
  EXPECT_EQ(kSourceEmpty, r.result);
  EXPECT_FALSE(r.exists);
}

TEST(Encoder, AbortAfterAnyCodeDeletesTheTemporaryFile) {
  for (int pumps : {1, 50, 3}) {
    ScriptedFrontEnd fe;
    fe.clearWorkActiveAfterPumps = pumps;
    // "abc" is three codes: an abort noticed after the last one still counts.
    EncodeResult r = Encode(pumps == 3 ? Text("abc") : TextLike(20000, 4));
    EXPECT_EQ(kAborted, r.result);
    EXPECT_FALSE(r.exists);
    EXPECT_EQ(pumps, fe.pumpCalls);
  }
}

TEST(Encoder, ReportsProgressPerCode) {
  ScriptedFrontEnd fe;
  EncodeResult r = Encode(Random(5000, 9));
  ASSERT_EQ(kDone, r.result);
  ASSERT_FALSE(fe.percentTexts.empty());
  EXPECT_EQ("  0%", fe.percentTexts.front());
  EXPECT_EQ("100%", fe.percentTexts.back());
  EXPECT_GE(fe.pumpCalls, 5000 / 18);
}

// Runs EncodeStream on the given streams with a file of its own as
// Codec.tempName, and tells whether that file survived.
int EncodeWith(std::FILE* in, std::FILE* out, bool* tempLeft, const char* name = "x") {
  ScratchDir dir;
  WriteFile(dir.Host("temp"), {});
  Codec.tempName = Inner(dir.Host("temp"));
  WorkActive = 1;
  int result = EncodeStream(in, out, name, "\\x");
  WorkActive = 0;
  Codec.tempName.clear();
  *tempLeft = fs::exists(dir.Host("temp"));
  return result;
}

TEST(Encoder, WriteFailuresAreReported) {
  ScratchDir dir;
  const Bytes data = Random(600000, 5, 16);
  WriteFile(dir.Host("src"), data);
  // The header, the first block of the stream, the last bytes of the stream.
  for (std::size_t limit :
       {std::size_t{100}, std::size_t{320 + 1000}, reference::Encode(data).size() + 320 - 1}) {
    SCOPED_TRACE(limit);
    bool tempLeft;
    int r = EncodeWith(std::fopen(dir.Host("src").c_str(), "rb"), FailingWriter(limit), &tempLeft);
    EXPECT_EQ(kWriteFailed, r);
    EXPECT_FALSE(tempLeft);
  }
}

TEST(Encoder, ReadErrorsAreNotTakenForTheEnd) {
  ScratchDir dir;
  for (std::size_t n : {std::size_t{0}, std::size_t{5}, std::size_t{300000}}) {
    bool tempLeft;
    int r = EncodeWith(FailingReader(Random(n, 6)), std::fopen(dir.Host("out").c_str(), "wb"),
                       &tempLeft);
    EXPECT_EQ(kReadFailed, r) << n;
    EXPECT_FALSE(tempLeft);
  }
}

TEST(Encoder, RefusesSourcesOf2GiBOrMore) {
  ScratchDir dir;
  const std::string big = dir.Host("big");
  WriteFile(big, {});
  fs::resize_file(big, std::uintmax_t{1} << 31);  // sparse: nothing is stored
  bool tempLeft;
  std::FILE* out = std::fopen(dir.Host("out").c_str(), "wb");
  EXPECT_EQ(kCannotStore, EncodeWith(std::fopen(big.c_str(), "rb"), out, &tempLeft));
  EXPECT_FALSE(tempLeft);
  EXPECT_EQ(0u, fs::file_size(dir.Host("out")));
}

TEST(Encoder, RefusesANameTheHeaderCannotHold) {
  ScratchDir dir;
  WriteFile(dir.Host("src"), Text("abc"));
  bool tempLeft;
  std::string name(260, 'n');
  EXPECT_EQ(kNameRefused,
            EncodeWith(std::fopen(dir.Host("src").c_str(), "rb"),
                       std::fopen(dir.Host("out").c_str(), "wb"), &tempLeft, name.c_str()));
  EXPECT_FALSE(tempLeft);
  name.resize(259);
  EXPECT_EQ(kDone, EncodeWith(std::fopen(dir.Host("src").c_str(), "rb"),
                              std::fopen(dir.Host("out").c_str(), "wb"), &tempLeft, name.c_str()));
  EXPECT_EQ(name, std::string(Codec.header.name));
}

}  // namespace
