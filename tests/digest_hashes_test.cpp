#include <gtest/gtest.h>

#include <string>

#include "digest/digest.h"

namespace {

// Known digests (the last from md5sum and sha1sum of a million 'a').
TEST(ContentHashes, MatchKnownDigestsFedInAnyBlocks) {
  if (!ContentHasher::Available()) {
    EXPECT_EQ("", HashBytes("abc").sha1);  // the Windows build says so, never a wrong hash
    return;
  }
  const struct {
    std::string in;
    const char *crc32, *md5, *sha1;
  } cases[] = {
      {"", "00000000", "d41d8cd98f00b204e9800998ecf8427e",
       "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "352441c2", "900150983cd24fb0d6963f7d28e17f72",
       "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {std::string(1000000, 'a'), "dc25bfbc", "7707d6ae4e027c70eea2a935c2296f21",
       "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in.size());
    ContentHashes whole = HashBytes(c.in);
    EXPECT_EQ(c.crc32, whole.crc32);
    EXPECT_EQ(c.md5, whole.md5);
    EXPECT_EQ(c.sha1, whole.sha1);
    // As a sink under a decoder: blocks of every size, then the same again
    // after Finish (which starts afresh).
    ContentHasher sink;
    for (int round = 0; round < 2; ++round) {
      const auto* p = reinterpret_cast<const unsigned char*>(c.in.data());
      for (std::size_t at = 0, n = 1; at < c.in.size(); at += n, n = n * 3 + 1) {
        ASSERT_TRUE(sink.Write(p + at, std::min(n, c.in.size() - at)));
      }
      EXPECT_EQ(static_cast<int64_t>(c.in.size()), sink.bytes());
      EXPECT_TRUE(sink.SeekToEnd());
      EXPECT_FALSE(sink.SeekTo(0) && !c.in.empty());
      ContentHashes blocks = sink.Finish();
      EXPECT_EQ(whole.crc32, blocks.crc32);
      EXPECT_EQ(whole.md5, blocks.md5);
      EXPECT_EQ(whole.sha1, blocks.sha1);
    }
  }
}

}  // namespace
