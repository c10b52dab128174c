// What a person rescuing a game meets: sets that lack disks or their list,
// content hashes checked against the system's own tools, and images in the
// formats of the period written and read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/batch_fixture.h"

namespace {

// The stderr lines that begin with prefix, without it, sorted.
std::vector<std::string> LinesAfter(const std::string& text, const std::string& prefix) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
  std::sort(out.begin(), out.end());
  return out;
}

class SalvageTest : public BatchTest {
 protected:
  // Five 1440k disks: a file cut into three pieces over disks 1 to 3, whole
  // files on 3 and 4, the list and the program on the last.
  void SetUp() override {
    BatchTest::SetUp();
    NEEDS_A_FLOPPY_SIZED_PROGRAM();
    work = dir.path / "work";
    for (int i = 0; i < 8; ++i)
      WriteFileBytes(
          work / (i % 2 ? "f" + std::to_string(i) + ".dat" : "sub/g" + std::to_string(i) + ".bin"),
          RandomBytes(250000 + i * 1000, i + 1));
    WriteFileBytes(work / "big.wav", RandomBytes(2500000, 99));
    set = dir.path / "set";
    Outcome made = Kelvod({"--make", work.string(), "--to", set.string(), "--title", "svt",
                           "--volume-size", "1440k", "--quiet"});
    ASSERT_EQ(made.status, 0) << made.err;
    disks = Disks(set);
  }
  // The disks but those numbered in left (1-based), as operands.
  std::vector<std::string> Without(std::vector<int> left) {
    std::vector<std::string> out;
    for (std::size_t n = 1; n <= disks.size(); ++n)
      if (std::find(left.begin(), left.end(), static_cast<int>(n)) == left.end())
        out.push_back(disks[n - 1].string());
    return out;
  }
  Outcome Salvage(const std::string& to, std::vector<std::string> operands) {
    std::vector<std::string> args = {"--extract", "--salvage", "--to", (dir.path / to).string()};
    args.insert(args.end(), operands.begin(), operands.end());
    return Kelvod(args);
  }
  // The work files that a disk's folder holds, as listed names.
  std::vector<std::string> ListedOn(int disk) {
    std::vector<std::string> out;
    for (const auto& f : ListTree(disks[disk - 1]))
      if (f.find("_lzs") != std::string::npos) out.push_back(f);
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path work, set;
  std::vector<fs::path> disks;
};

TEST_F(SalvageTest, RestoresWhatTheHeadersNameAndNamesExactlyWhatIsMissing) {
  ASSERT_EQ(disks.size(), 5u);
  ASSERT_EQ(ListedOn(2), std::vector<std::string>{"big.wav_lzs2"});
  ASSERT_EQ(ListedOn(5), std::vector<std::string>{"sub/g6.bin_lzs"});

  // The last disk lost, and a file copied under its 8.3 short name: all
  // but the last disk's file comes back, and a warning says what cannot be
  // known without the list.
  fs::rename(disks[0] / "big.wav_lzs1", disks[0] / "BIGWAV~1");
  Outcome lost = Salvage("lost", Without({5}));
  EXPECT_EQ(lost.status, 0) << lost.err;
  EXPECT_NE(lost.err.find("warning: no readable kelvod.lst among the disks given"),
            std::string::npos)
      << lost.err;
  fs::remove(work / "sub/g6.bin");
  ExpectSameTree(work, dir.path / "lost");
  EXPECT_EQ(LinesAfter(lost.err, "kelvod: error: "), std::vector<std::string>{});

  // A middle disk lost, the list there: exactly its files named, by list.
  std::vector<std::string> expected;
  for (const std::string& name : ListedOn(4))
    expected.push_back(name + ": on disk 4, which was not given");
  Outcome middle = Salvage("middle", Without({4}));
  EXPECT_EQ(middle.status, 2);
  EXPECT_EQ(LinesAfter(middle.err, "kelvod: error: "), expected) << middle.err;
  EXPECT_TRUE(fs::exists(dir.path / "middle/big.wav"));
  EXPECT_FALSE(fs::exists(dir.path / "middle/f5.dat"));
  EXPECT_TRUE(fs::exists(dir.path / "middle/sub/g6.bin"));

  // The disk of a piece lost, and the list with it: the cut file is named
  // by its missing piece and left out, the rest comes back whole.
  Outcome piece = Salvage("piece", Without({2, 5}));
  EXPECT_EQ(piece.status, 2);
  EXPECT_EQ(LinesAfter(piece.err, "kelvod: error: "),
            std::vector<std::string>{"big.wav_lzs: piece 2 of 3 is missing (big.wav_lzs2)"})
      << piece.err;
  EXPECT_FALSE(fs::exists(dir.path / "piece/big.wav"));
  EXPECT_TRUE(ReadFileBytes(dir.path / "piece/f7.dat") == ReadFileBytes(work / "f7.dat"));
  EXPECT_TRUE(TempIsEmpty());
}

// CRC32, MD5 and SHA-1 as cksum-like lines: "crc md5 sha1  name".
TEST_F(SalvageTest, HashesAreThoseOfTheSystemsOwnTools) {
  Outcome hashed = Kelvod({"--test", "--hashes", "--quiet", set.string()});
  ASSERT_EQ(hashed.status, 0) << hashed.err;
  const std::string sums = Shell("cd '" + work.string() + "' && find . -type f | sort | " +
                                 "sed 's|^./||' | while read f; do echo \"$(md5sum < \"$f\" | "
                                 "cut -c1-32) $(sha1sum < \"$f\" | cut -c1-40)  $f\"; done");
  std::string ours;
  std::istringstream in(hashed.out);
  for (std::string line; std::getline(in, line);)
    if (line.find("  ") != std::string::npos && line.find("/disk") == std::string::npos)
      ours += line.substr(9) + "\n";  // without the CRC32
  std::vector<std::string> a, b;
  std::istringstream sa(sums), sb(ours);
  for (std::string l; std::getline(sa, l);) a.push_back(l);
  for (std::string l; std::getline(sb, l);) b.push_back(l);
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(b, a) << hashed.out;
  // The CRC32 as zlib computes it (gzip keeps it in its trailer).
  const std::string crc = Shell("gzip -c < '" + (work / "f1.dat").string() +
                                "' | tail -c8 | od -An -tx4 -N4 | tr -d ' \\n'");
  EXPECT_NE(hashed.out.find(crc + " "), std::string::npos) << crc;

  Outcome json = Kelvod({"--list", "--json", "--hashes", set.string()});
  ASSERT_EQ(json.status, 0) << json.err;
  const std::string sha1 = Shell("sha1sum < '" + (work / "big.wav").string() + "' | cut -c1-40");
  EXPECT_NE(json.out.find("\"sha1\":\"" + sha1.substr(0, 40) + "\""), std::string::npos);
}

// Every format an emulator of the period reads: written by --images,
// listed by its content under any name, and expanded byte for byte.
TEST_F(BatchTest, ImagesOfEachFormatReadBackAndExpand) {
  NEEDS_A_FLOPPY_SIZED_PROGRAM();
  const fs::path work = SmallWork();
  for (const char* format : {"img", "hdm", "fdi", "d88", "nfd", "dim"}) {
    SCOPED_TRACE(format);
    const fs::path images = dir.path / (std::string("images-") + format);
    Outcome made =
        Kelvod({"--make", work.string(), "--to", images.string(), "--title", "g", "--volume-size",
                "1232k", "--images", "--image-format", format, "--quiet"});
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_EQ(ListTree(images).size(), 1u);
    // Named without its extension: read by its header or size, not its name.
    const fs::path image = images / ListTree(images)[0];
    fs::rename(image, images / "floppy");
    const fs::path game = dir.path / (std::string("game-") + format);
    Outcome back = Kelvod({"--extract", "--to", game.string(), (images / "floppy").string()});
    EXPECT_EQ(back.status, 0) << back.err;
    ExpectSameTree(work, game);
    // The image's own hashes, as catalogues of preserved disks give them.
    Outcome hashed = Kelvod({"--test", "--hashes", "--quiet", (images / "floppy").string()});
    const std::string sha1 = Shell("sha1sum < '" + (images / "floppy").string() + "'");
    EXPECT_NE(hashed.out.find(sha1.substr(0, 40) + "  "), std::string::npos) << hashed.out;
  }
  EXPECT_TRUE(TempIsEmpty());
}

}  // namespace
