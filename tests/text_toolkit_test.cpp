// The code page 932 toolkit: double-byte characters whose second byte looks
// like '\' or a letter must never be taken apart.
#include <gtest/gtest.h>

#include "text/cp932.h"
#include "text/shown.h"

namespace {

const std::string kSo = "\x83\x5c";   // ソ: second byte 0x5C
const std::string kHyo = "\x95\x5c";  // 表: second byte 0x5C
const std::string kA = "\x83\x41";    // ア: second byte 'A'

TEST(Cp932, SearchesSkipSecondBytes) {
  std::string s = "a" + kSo + "b\\c";
  EXPECT_EQ(cp932::Find(s, '\\'), 4u);
  EXPECT_EQ(cp932::FindLast(kHyo + kSo, '\\'), cp932::npos);
  EXPECT_FALSE(cp932::EndsWithChar("x" + kSo, '\\'));
  EXPECT_TRUE(cp932::EndsWithChar("x" + kSo + "\\", '\\'));
  EXPECT_EQ(cp932::FindText("z" + kA + "_lzs", "A_lzs"), cp932::npos);
  EXPECT_EQ(cp932::FindText(".wav_LZS_lzs", "_lzs"), 8u);
  // A lead byte at the very end stands alone and is not read past.
  EXPECT_EQ(cp932::Next("a\x83", 1), 2u);
}

TEST(Cp932, CaseFoldsAsciiLettersOnly) {
  EXPECT_EQ(cp932::CompareNoCase("Disk1.ID", "disk1.id"), 0);
  EXPECT_NE(cp932::CompareNoCase(kA,
                                 "\x83"
                                 "a"),
            0);  // 'A' as a second byte does not fold
  EXPECT_LT(cp932::CompareNoCase("a", "b"), 0);
  EXPECT_GT(cp932::CompareNoCase("ab", "a"), 0);
}

TEST(Cp932, SplitAndMakeFollowTheRuntime) {
  std::string drive, folder, name, ext;
  cp932::SplitPathRaw("C:\\a.b\\c", &drive, &folder, &name, &ext);
  EXPECT_EQ(drive, "C:");
  EXPECT_EQ(folder, "\\a.b\\");
  EXPECT_EQ(name, "c");
  EXPECT_EQ(ext, "");
  cp932::SplitPathRaw("data/" + kSo + "\\x.wav_lzs", &drive, &folder, &name, &ext);
  EXPECT_EQ(folder, "data/" + kSo + "\\");
  EXPECT_EQ(ext, ".wav_lzs");
  cp932::SplitPathRaw("\\d\\" + kHyo, &drive, &folder, &name, &ext);
  EXPECT_EQ(folder, "\\d\\");
  EXPECT_EQ(name, kHyo);
  EXPECT_EQ(cp932::MakePathRaw("", "\\t", "readme", "_lzs"), "\\t\\readme._lzs");
  EXPECT_EQ(cp932::MakePathRaw("", "", "readme", "."), "readme.");
  EXPECT_EQ(cp932::MakePathRaw("Cx", "\\", "a", ".b"), "C:\\a.b");
}

TEST(Cp932, ConversionsRefuseWhatHasNoForm) {
  std::string out;
  ASSERT_TRUE(cp932::ToUtf8("\xc4\xde\xd9" + kSo, out));
  EXPECT_EQ(out, "ﾄﾞﾙソ");
  std::string back;
  ASSERT_TRUE(cp932::FromUtf8(out, back));
  EXPECT_EQ(back, "\xc4\xde\xd9" + kSo);
  EXPECT_FALSE(cp932::FromUtf8("😀", out));
  EXPECT_FALSE(cp932::FromUtf8("한", out));
  EXPECT_FALSE(cp932::ToUtf8("\x83", out));  // cut in the middle of a character
  ASSERT_TRUE(cp932::FromUtf8("\\~", out));
  EXPECT_EQ(out, "\\~");  // not a yen sign or an overline
}

TEST(Cp932, HalfWidthKatakanaAndCutCharactersStayWhole) {
  // 0xA1-0xDF are single-byte characters: the '\' after one is a separator.
  EXPECT_EQ(cp932::Find("\xb1\\", '\\'), 1u);
  // A lone lead byte at the end of the text looked for matches no half
  // character, and one at the end of the text searched is not read past.
  EXPECT_EQ(cp932::FindText(kSo, "\x83"), cp932::npos);
  EXPECT_EQ(cp932::Find("a\x83", '\\'), cp932::npos);
  EXPECT_FALSE(cp932::EndsWithChar("\x83", '\\'));
  // Parts are cut to 255 bytes without leaving half a character behind.
  std::string name;
  cp932::SplitPathRaw("\\d\\" + std::string(254, 'n') + kHyo + ".x", nullptr, nullptr, &name,
                      nullptr);
  EXPECT_EQ(name, std::string(254, 'n'));
}

TEST(Cp932, ConversionsRefuseTextThatWouldNotComeBack) {
  std::string out;
  // U+00A5 shares 0x5C with '\': a yen sign must not become a separator.
  EXPECT_FALSE(cp932::FromUtf8("a\u00a5b", out));
  EXPECT_FALSE(cp932::FromUtf8("\u00ac", out));  // shares 0x81CA with U+FFE2
  EXPECT_FALSE(cp932::ToUtf8("\xff", out));      // no character at all

  ASSERT_TRUE(cp932::ToCharset(kHyo + "\xb1", "EUC-JP", out));
  EXPECT_EQ(out, "\xc9\xbd\x8e\xb1");
  std::string back;
  ASSERT_TRUE(cp932::FromCharset(out, "EUC-JP", back));
  EXPECT_EQ(back, kHyo + "\xb1");
  EXPECT_FALSE(cp932::ToCharset(kHyo, "ISO-8859-1", out));
  EXPECT_FALSE(cp932::FromCharset("x", "NO-SUCH-CHARSET", out));
}

TEST(ShownText, HidesControlsDirectionMarksAndBrokenUtf8) {
  EXPECT_EQ(ShownText("a\x1b[31mb\tc\x7f"), "a?[31mb?c?");
  // C1 CSI, a right-to-left override, a stray byte, a cut character.
  EXPECT_EQ(ShownText("\xc2\x9bx\xe2\x80\xaey\xff\xe6\x97\xa5\xe6\x97"), "?x?y?\xe6\x97\xa5??");
  std::string bytes;
  ASSERT_TRUE(cp932::Utf8ToCharset("\u00f2\\", "CP850", bytes));
  EXPECT_EQ(bytes, "\x95\x5c");  // a code page 932 character as another program shows it
}

}  // namespace
