#include <gtest/gtest.h>

#include <cstring>

#include "codec/header.h"
#include "codec_test_util.h"

using namespace codec_test;

namespace {

LzsHeader Signed() {
  LzsHeader h;
  ClearHeader(h);
  std::memcpy(h.signature, kSignature, sizeof kSignature);
  return h;
}

TEST(LzsHeader, FieldsAreLittleEndianSignedAtTheirOffsets) {
  LzsHeader h = Signed();
  h.header_size = 320;
  h.version = 100;
  h.original_size = 0x01020304;
  h.packed_size = -2;
  h.piece_index = 7;
  h.piece_count = 0x7FFFFFFF;
  h.copy_flag = -1;
  std::strcpy(h.name, "data\\bgm.wav");
  unsigned char raw[kHeaderSize];
  std::memset(raw, 0xAA, sizeof raw);
  EncodeHeader(h, raw);
  EXPECT_EQ(0, std::memcmp(raw, kSignature, 32));
  EXPECT_EQ(Hex("40 01 00 00 64 00 00 00 04 03 02 01 FE FF FF FF 07 00 00 00 FF FF FF 7F "
                "FF FF FF FF"),
            Bytes(raw + 32, raw + 60));
  EXPECT_EQ(0, std::memcmp(raw + 60, "data\\bgm.wav", 13));
  // Everything behind the name's terminator is zero.
  for (int i = 60 + 13; i < kHeaderSize; ++i) ASSERT_EQ(0, raw[i]) << i;

  LzsHeader back;
  DecodeHeader(raw, back);
  EXPECT_EQ(0, std::memcmp(&h, &back, sizeof h));
  EXPECT_EQ(-2, back.packed_size);
}

// A temporary stdio file holding bytes, positioned at its start.
std::FILE* FileWith(const Bytes& bytes) {
  std::FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

TEST(LzsHeader, ReadNeedsAll320Bytes) {
  LzsHeader h = Signed();
  unsigned char raw[kHeaderSize];
  EncodeHeader(h, raw);

  LzsHeader got = Signed();  // a signature left over from an earlier read
  std::FILE* f = FileWith(Bytes(raw, raw + 319));
  EXPECT_FALSE(ReadHeader(f, got));
  std::fclose(f);
  f = FileWith(Bytes(raw, raw + 320));
  EXPECT_TRUE(ReadHeader(f, got));
  std::fclose(f);
  EXPECT_TRUE(HasSignatureExact(got));
}

TEST(LzsHeader, SignatureTests) {
  LzsHeader h = Signed();
  EXPECT_TRUE(HasSignatureNoCase(h));
  EXPECT_TRUE(HasSignatureExact(h));

  // Every letter's case inverted: recognised by the file operations, not by
  // the piece reader.
  for (char& c : h.signature) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  }
  EXPECT_EQ(0, std::memcmp(h.signature, "lzs_____________(C)1997_ULVANE_", 32));
  EXPECT_TRUE(HasSignatureNoCase(h));
  EXPECT_FALSE(HasSignatureExact(h));

  // Anything but NUL behind the 31 characters.
  h = Signed();
  h.signature[31] = 'x';
  EXPECT_FALSE(HasSignatureNoCase(h));
  EXPECT_FALSE(HasSignatureExact(h));

  // A shorter text.
  h = Signed();
  h.signature[30] = 0;
  EXPECT_FALSE(HasSignatureNoCase(h));
  EXPECT_FALSE(HasSignatureExact(h));
}

TEST(NamingRules, LzsSuffix) {
  EXPECT_EQ("title.wav_lzs", WithLzsSuffix("title.wav"));
  EXPECT_EQ("readme._lzs", WithLzsSuffix("readme"));
  EXPECT_EQ("C:\\game\\data\\bgm.mid_lzs", WithLzsSuffix("C:\\game\\data\\bgm.mid"));
  // 0x95 0x5C is one character: its second byte is no separator.
  EXPECT_EQ("d\\\x95\\.txt_lzs", WithLzsSuffix("d\\\x95\\.txt"));
  EXPECT_EQ("\\\\server\\share\\a.b_lzs", WithLzsSuffix("\\\\server\\share\\a.b"));
}

TEST(NamingRules, PieceNames) {
  PathParts parts;
  SplitPath("A:\\data\\data.bin_lzs", parts);
  EXPECT_EQ("A:\\data\\data.bin_lzs1", PieceName(parts, 1));
  EXPECT_EQ("A:\\data\\data.bin_lzs10", PieceName(parts, 10));
  EXPECT_EQ("A:\\data\\data.bin_lzs12", PieceName(parts, 12));
  SplitPath("readme._lzs", parts);
  EXPECT_EQ("readme._lzs1", PieceName(parts, 1));
}

TEST(NamingRules, CutSuffix) {
  EXPECT_EQ(".wav", CutLzsSuffix(".wav_lzs"));
  EXPECT_EQ(".bin", CutLzsSuffix(".bin_LZS"));
  EXPECT_EQ(".", CutLzsSuffix("._lzs"));
  EXPECT_EQ(".", CutLzsSuffix("._LZS_lzs"));  // the capitals are looked for first
  EXPECT_EQ(".wav_Lzs", CutLzsSuffix(".wav_Lzs"));
  EXPECT_EQ(".txt", CutLzsSuffix(".txt"));
  // 0x83 0x5F is one character, so the first "_lzs" is no match.
  EXPECT_EQ(".\x83_lzs", CutLzsSuffix(".\x83_lzs_lzs"));
}

}  // namespace

TEST(PieceArithmetic, CountsPartsAndAgreement) {
  const struct {
    int64_t packed;
    int32_t count;
    int64_t first, last;
  } cases[] = {
      {1, 1, 1, 1},
      {kPieceStreamSize, 1, kPieceStreamSize, kPieceStreamSize},
      {kPieceStreamSize + 1, 2, kPieceStreamSize, 1},
      {2 * int64_t{kPieceStreamSize} + 1, 3, kPieceStreamSize, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PieceCountFor(c.packed), c.count) << c.packed;
    EXPECT_EQ(PieceStreamBytes(c.packed, 1), c.first) << c.packed;
    EXPECT_EQ(PieceStreamBytes(c.packed, c.count), c.last) << c.packed;
    EXPECT_EQ(PieceStreamBytes(c.packed, c.count + 1), 0) << c.packed;
    EXPECT_EQ(PieceStreamBytes(c.packed, 0), 0) << c.packed;
  }

  LzsHeader head;
  ASSERT_TRUE(StartHeader(head, "data\\movie.avi"));
  head.original_size = 3000000;
  head.packed_size = 2000000;
  head.piece_count = 2;
  EXPECT_TRUE(HeadAgrees(head));
  LzsHeader piece = head;
  piece.piece_index = 2;
  EXPECT_TRUE(PieceAgrees(head, piece, 2));
  EXPECT_FALSE(PieceAgrees(head, piece, 1));
  // Any field of another file makes it a piece of something else.
  for (auto change : std::initializer_list<void (*)(LzsHeader&)>{
           [](LzsHeader& h) { ++h.original_size; }, [](LzsHeader& h) { ++h.packed_size; },
           [](LzsHeader& h) { ++h.piece_count; }, [](LzsHeader& h) { h.name[0] = 'D'; }}) {
    LzsHeader other = piece;
    change(other);
    EXPECT_FALSE(PieceAgrees(head, other, 2));
  }
  head.piece_count = 3;  // not what packed_size gives
  EXPECT_FALSE(HeadAgrees(head));
}
