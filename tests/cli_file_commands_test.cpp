// kelvod --compress / --expand / --info run as the real program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "support/test_program.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string out, err;
};

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kelvod-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string P(const std::string& name) const { return (dir / name).string(); }

  static std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  static void Put(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
  }

  Outcome Run(const std::string& args) {
    std::string cmd = test_program::Command() + " " + args + " >'" + P("stdout") + "' 2>'" +
                      P("stderr") + "' </dev/null";
    int raw = std::system(cmd.c_str());
    Outcome o{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(P("stdout")), Slurp(P("stderr"))};
    fs::remove(P("stdout"));
    fs::remove(P("stderr"));
    return o;
  }
  std::string Q(const std::string& name) const { return "'" + P(name) + "'"; }

  fs::path dir;
};

std::string Sample(std::size_t n) {
  std::mt19937 gen(7);
  std::string s;
  while (s.size() < n) s += gen() % 3 ? "scene jump " : std::string(1, static_cast<char>(gen()));
  s.resize(n);
  return s;
}

TEST_F(FileCommands, CompressExpandAndInfo) {
  const std::string data = Sample(300000);
  Put(P("title.wav"), data);
  Outcome c = Run("--compress " + Q("title.wav") + " " + Q("title.wav_lzs"));
  ASSERT_EQ(0, c.status) << c.err;
  const std::string packed = Slurp(P("title.wav_lzs"));
  ASSERT_GT(packed.size(), 320u);
  EXPECT_EQ(0, packed.compare(0, 32, std::string("LZS_____________(c)1997_ulvane_\0", 32)));

  Outcome e = Run("--expand " + Q("title.wav_lzs") + " " + Q("back.wav"));
  ASSERT_EQ(0, e.status) << e.err;
  EXPECT_TRUE(Slurp(P("back.wav")) == data);

  Outcome i = Run("--info " + Q("title.wav_lzs"));
  EXPECT_EQ(0, i.status);
  EXPECT_EQ(
      "kind: whole compressed file\n"
      "signature: LZS_____________(c)1997_ulvane_\n"
      "header_size: 320\n"
      "version: 100\n"
      "original_size: 300000\n"
      "packed_size: " +
          std::to_string(packed.size() - 320) +
          "\n"
          "piece_index: 0\n"
          "piece_count: 0\n"
          "copy_flag: 0\n"
          "name: title.wav\n",
      i.out);
}

TEST_F(FileCommands, LargeStreamsStayWhole) {
  std::mt19937 gen(3);
  std::string noise(1200000, '\0');
  for (char& c : noise) c = static_cast<char>(gen());
  Put(P("noise.bin"), noise);
  ASSERT_EQ(0, Run("--compress " + Q("noise.bin") + " " + Q("n_lzs")).status);
  EXPECT_GT(fs::file_size(P("n_lzs")), 320u + 1048576u);
  EXPECT_NE(std::string::npos, Run("--info " + Q("n_lzs")).out.find("piece_count: 0\n"));
  ASSERT_EQ(0, Run("--expand " + Q("n_lzs") + " " + Q("n.out")).status);
  EXPECT_TRUE(Slurp(P("n.out")) == noise);
}

TEST_F(FileCommands, NameIsShownInUtf8) {
  // "セーブ.dat" in UTF-8; the header holds its code page 932 form.
  const std::string name = "\xe3\x82\xbb\xe3\x83\xbc\xe3\x83\x96.dat";
  Put(P(name), "abc");
  ASSERT_EQ(0, Run("--compress " + Q(name) + " " + Q("s_lzs")).status);
  EXPECT_EQ(0, Slurp(P("s_lzs")).compare(60, 11, "\x83\x5a\x81\x5b\x83\x75.dat\0", 11));
  EXPECT_NE(std::string::npos, Run("--info " + Q("s_lzs")).out.find("name: " + name + "\n"));
}

TEST_F(FileCommands, KindsOfFiles) {
  Put(P("a"), "abcabcabc");
  ASSERT_EQ(0, Run("--compress " + Q("a") + " " + Q("a._lzs")).status);
  std::string head = Slurp(P("a._lzs")).substr(0, 320);
  head[52] = 2;  // piece_count
  Put(P("head"), head);
  std::string piece = head + "xx";
  piece[48] = 1;  // piece_index
  Put(P("piece"), piece);
  Put(P("plain"), std::string(400, 'p'));
  Put(P("short"), head.substr(0, 319));

  EXPECT_EQ("kind: head file", Run("--info " + Q("head")).out.substr(0, 15));
  EXPECT_EQ("kind: piece file", Run("--info " + Q("piece")).out.substr(0, 16));
  for (const char* f : {"plain", "short"}) {
    Outcome o = Run("--info " + Q(f));
    EXPECT_NE(0, o.status);
    EXPECT_EQ("kind: not a compressed file\n", o.out);
  }
  Outcome p = Run("--expand " + Q("piece") + " " + Q("out"));
  EXPECT_NE(0, p.status);
  EXPECT_NE(std::string::npos, p.err.find("piece file"));
  EXPECT_FALSE(fs::exists(P("out")));
}

TEST_F(FileCommands, BadInputsFailWithAMessage) {
  Put(P("empty"), "");
  Put(P("plain"), std::string(400, 'p'));
  Put(P("x"), "xyz");
  // A stream that ends before the size its header states.
  ASSERT_EQ(0, Run("--compress " + Q("x") + " " + Q("x_lzs")).status);
  std::string cut = Slurp(P("x_lzs"));
  cut[40] = 9;  // original_size 9 for a 3-byte stream
  Put(P("cut_lzs"), cut);
  std::string zero = Slurp(P("x_lzs"));
  zero[40] = 0;
  Put(P("zero_lzs"), zero);

  struct Case {
    std::string args, says, output;
  } cases[] = {
      {"--compress " + Q("empty") + " " + Q("o1"), "empty", "o1"},
      {"--compress " + Q("missing") + " " + Q("o2"), "cannot open", "o2"},
      {"--compress " + Q("x") + " " + Q("no/such/folder/o3"), "cannot create", ""},
      {"--compress " + Q("x") + " " + Q("x"), "overwrite the input", ""},
      {"--expand " + Q("plain") + " " + Q("o4"), "not a compressed file", "o4"},
      {"--expand " + Q("cut_lzs") + " " + Q("o5"), "damaged", "o5"},
      {"--expand " + Q("zero_lzs") + " " + Q("o6"), "original size", "o6"},
      {"--info " + Q("missing"), "cannot open", ""},
      {"--compress " + Q("x"), "usage", ""},
      {"--info", "usage", ""},
  };
  for (const Case& c : cases) {
    Outcome o = Run(c.args);
    EXPECT_NE(0, o.status) << c.args;
    EXPECT_NE(std::string::npos, o.err.find(c.says)) << c.args << "\n" << o.err;
    if (!c.output.empty()) {
      EXPECT_FALSE(fs::exists(P(c.output))) << c.args;
    }
  }
  EXPECT_EQ("xyz", Slurp(P("x")));
}

}  // namespace
