// Make runs that encode the next files ahead on a second thread: the disk
// set, every prompt and message, every list line and status line are those
// of a run on one thread, the code streams those of the plain algorithm
// with its window tail carried from file to file, and an abort leaves no
// temporary file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <thread>

#include "app/dialogue/resources/messages.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "codec_reference.h"
#include "support/run_fixture.h"
#include "text/format.h"

namespace {

// Contents that give the tree search many equal matches (the window tail
// then decides between them), runs, and noise.
std::string Contents(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  static const char* words[] = {"scene ", "jump", ".wav",   "\r\n",
                                "bgm",    "  ",   "flag=1", "\x83\x5c"};
  std::string out;
  const int kind = static_cast<int>(seed % 3);
  while (out.size() < n) {
    if (kind == 0) out += words[gen() % 8];
    if (kind == 1) out += std::string(1 + gen() % 9, static_cast<char>('a' + gen() % 3));
    if (kind == 2) out += static_cast<char>(gen());
  }
  out.resize(n);
  return out;
}

// What one run left: the disk set (file by file, in the order the tree
// lists them), every dialog, the status lines and the list.
struct Outcome {
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::string> dialogs, toLines, fromLines, list;
  std::vector<std::string> leftovers;  // temporary files after the run
  bool done = false;
};

class EncodeAheadTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    // Sizes around the look-ahead and the ring, where the tail changes in
    // part, mixed with larger files; an empty file; a head file (copied as
    // it is); one file whose code stream is cut into pieces.
    const std::size_t sizes[] = {1,    5,    17,   18,    19, 100,   1000, 4095,
                                 4096, 4114, 9000, 30000, 2,  70000, 4113, 33};
    unsigned seed = 0;
    for (int i = 0; i < 48; ++i) {
      const std::string folder = i < 16 ? "" : i < 32 ? "data/" : "data/se/";
      WriteFileBytes(work / (folder + "f" + std::to_string(100 + i) + ".bin"),
                     Contents(sizes[i % 16], ++seed));
    }
    // Short sources of two letters after longer ones: the window tail the
    // longer one leaves decides between equal matches in the short one.
    std::mt19937 gen(5);
    for (int i = 0; i < 200; ++i) {
      std::string two(i % 2 ? 12 + i / 2 % 4 : 4200, 'a');
      for (char& c : two) c = static_cast<char>('a' + gen() % 2);
      WriteFileBytes(work / "tails" / ("t" + std::to_string(1000 + i)), two);
    }
    WriteFileBytes(work / "data" / "empty.txt", "");
    WriteFileBytes(work / "data" / "noise.wav", RandomBytes(1100000, 7));
    for (int i = 0; i < 3; ++i)  // more disks
      WriteFileBytes(work / "data" / ("z" + std::to_string(i) + ".wav"),
                     RandomBytes(400000, 8 + i));
    LzsHeader head;
    StartHeader(head, "old.bmp");
    head.piece_count = 2;
    unsigned char raw[kHeaderSize];
    EncodeHeader(head, raw);
    WriteFileBytes(work / "data" / "old.bmp_lzs", std::string(reinterpret_cast<char*>(raw), 320));
  }

  // A make run of the work folder into destination with `jobs` threads, in
  // an instance of the program of its own (a fresh window tail).
  Outcome Make(int jobs, const fs::path& destination, const fs::path& listFile,
               std::function<void(Rig&)> script = nullptr) {
    auto rig = std::make_unique<Rig>();
    WriteFileBytes(listFile, "");
    rig->state.ListTempPath = Inner(listFile);
    rig->state.Title = "sample";
    rig->state.RunMode = MakeMode;
    rig->fe.controlTexts[kSourceField] = Inner(work);
    rig->fe.controlTexts[kDestinationField] = Inner(destination);
    rig->ui.MainWindowOpened();
    rig->window.SetJobs(jobs);
    rig->fe.answers = {1};  // confirm the run
    if (script) script(*rig);
    rig->window.RunCommand();
    Outcome o;
    o.done = rig->ui.MainWindowClosed();
    for (const RecordedDialog& d : rig->fe.dialogs)
      o.dialogs.push_back(std::to_string(d.kind) + "|" + d.text + "|" + d.caption + "|" +
                          std::to_string(d.style) + "|" + std::to_string(d.answer));
    o.toLines = rig->fe.toLines;
    o.fromLines = rig->fe.fromLines;
    EXPECT_TRUE(ReadCrLfLines(listFile, o.list));
    o.leftovers = TempLeftovers();
    return o;
  }
  // Compares each code stream of the set in out with the plain algorithm's,
  // encoded in the order of the list's lines with the tail carried on;
  // returns how many compared.
  int CheckStreams(const std::vector<std::string>& list, const fs::path& out) {
    reference::ResetProcessState();
    int encoded = 0;
    for (const std::string& line : list) {
      const std::size_t colon = line.find(':');
      if (colon == std::string::npos || line.size() < 4 || line.substr(line.size() - 4) != "_lzs")
        continue;  // not a file line, or a piece (read with its head file)
      std::string name = line.substr(colon + 1);
      std::replace(name.begin(), name.end(), '\\', '/');
      std::string stream = ReadFileBytes(out / name).substr(kHeaderSize);
      if (stream.empty())  // a head file: the stream is in its pieces
        for (int k = 1; fs::exists(out / (name + std::to_string(k))); ++k)
          stream += ReadFileBytes(out / (name + std::to_string(k))).substr(kHeaderSize);
      std::string source = name.substr(0, name.size() - 4);  // "_lzs" off
      if (source.back() == '.') source.pop_back();           // readme._lzs
      const std::string data = ReadFileBytes(work / source);
      const reference::Bytes expected =
          reference::Encode(reference::Bytes(data.begin(), data.end()));
      EXPECT_TRUE(std::string(expected.begin(), expected.end()) == stream) << name;
      ++encoded;
    }
    return encoded;
  }
  static void AddFiles(const fs::path& root, Outcome& o) {
    for (const std::string& f : ListTree(root)) o.files.emplace_back(f, ReadFileBytes(root / f));
  }
};

TEST_F(EncodeAheadTest, TwoThreadsWriteTheSetOfOneAndThePlainAlgorithmsStreams) {
  // Both runs write to the same place, so that every message compares.
  const fs::path out = dir.path / "out", list = dir.path / "out.lst";
  Outcome one = Make(1, out, list);
  AddFiles(out, one);
  fs::rename(out, dir.path / "one");
  Outcome two = Make(2, out, list);
  AddFiles(out, two);
  ASSERT_TRUE(one.done && two.done);
  ASSERT_EQ(one.files.size(), two.files.size());
  for (std::size_t i = 0; i < one.files.size(); ++i) {
    EXPECT_EQ(one.files[i].first, two.files[i].first);
    EXPECT_TRUE(one.files[i].second == two.files[i].second) << one.files[i].first;
  }
  EXPECT_EQ(one.list, two.list);
  EXPECT_EQ(one.dialogs, two.dialogs);
  EXPECT_EQ(one.toLines, two.toLines);
  EXPECT_TRUE(two.leftovers.empty());

  // The streams of the plain algorithm, encoded in the walk's order (names
  // in byte order, a folder where it is met) with the tail carried on.
  const int encoded = CheckStreams(two.list, out);
  EXPECT_EQ(encoded, 252);  // every file but the empty one and the head file
}

TEST_F(EncodeAheadTest, DisksChangeAtTheSamePromptsWithTwoThreads) {
  std::string why;
  if (!TmpfsDrive::Available(&why)) GTEST_SKIP() << "NOTICE: disk change skipped, " << why;
  const std::string program = plat::ProgramFile();
  auto run = [&](int jobs) {
    const fs::path drive = dir.path / "A";  // the same drive for both runs
    const fs::path shelf = dir.path / ("shelf" + std::to_string(jobs));
    auto disk = std::make_unique<TmpfsDrive>(drive, 1200 * 1024);
    Outcome o = Make(jobs, drive / "sample", dir.path / "list.lst", [&](Rig& r) {
      r.fe.onDialog = [&](const RecordedDialog& d) {
        if (d.kind != RecordedDialog::kRetry) return;
        // A full disk: a fresh one, a large one for the program at the end.
        disk->Change(shelf, d.text == program ? 256u << 20 : 0);
        r.fe.answers.push_front(1);
      };
    });
    disk->Change(shelf);
    disk.reset();
    AddFiles(shelf, o);
    return o;
  };
  Outcome one = run(1), two = run(2);
  ASSERT_TRUE(one.done);
  EXPECT_TRUE(two.done);
  EXPECT_GE(std::count_if(one.dialogs.begin(), one.dialogs.end(),
                          [](const std::string& d) { return d[0] == '2'; }),
            3);  // several disk changes
  EXPECT_EQ(one.dialogs, two.dialogs);
  EXPECT_EQ(one.toLines, two.toLines);
  EXPECT_EQ(one.fromLines, two.fromLines);
  EXPECT_EQ(one.list, two.list);
  ASSERT_EQ(one.files.size(), two.files.size());
  for (std::size_t i = 0; i < one.files.size(); ++i) {
    EXPECT_EQ(one.files[i].first, two.files[i].first);
    EXPECT_TRUE(one.files[i].second == two.files[i].second) << one.files[i].first;
  }
  EXPECT_TRUE(two.leftovers.empty());
}

// Files changed after they were encoded ahead (an author saving while the
// set is made): the set holds what the files hold when their turn comes.
TEST_F(EncodeAheadTest, FilesChangedAfterTheirEncodeAheadAreEncodedAgain) {
  bool changed = false;
  const fs::path out = dir.path / "out";
  Outcome o = Make(2, out, dir.path / "out.lst", [&](Rig& r) {
    r.fe.onPump = [&] {
      if (changed || r.fe.toLines.size() < 3 || TempLeftovers().size() < 2) return;
      changed = true;
      for (const std::string& f : ListTree(work)) {
        const std::string name = fs::path(f).filename().string();
        const bool begun =
            std::any_of(r.fe.toLines.begin(), r.fe.toLines.end(),
                        [&](const std::string& to) { return to.find(name) != std::string::npos; });
        if (!begun && name != "old.bmp_lzs" && name != "empty.txt")
          WriteFileBytes(work / f, ReadFileBytes(work / f) + "saved again");
      }
    };
  });
  ASSERT_TRUE(changed) << "nothing was encoded ahead";
  ASSERT_TRUE(o.done);
  EXPECT_EQ(CheckStreams(o.list, out), 252);
  EXPECT_TRUE(o.leftovers.empty());
}

TEST_F(EncodeAheadTest, AWorkFileChangedWhileItIsReadIsReadAgainOrStopsTheRun) {
  const fs::path noise = work / "data" / "noise.wav";
  const std::string original = ReadFileBytes(noise);
  for (int jobs : {1, 2}) {
    // Cut short while the set is made: the set holds it as it is afterwards.
    WriteFileBytes(noise, original);
    const fs::path out = dir.path / ("once" + std::to_string(jobs));
    bool cut = false;
    Outcome once = Make(jobs, out, dir.path / "once.lst", [&](Rig& r) {
      r.fe.onPump = [&] {
        if (cut || r.fe.toLines.empty() ||
            r.fe.toLines.back().find("noise.wav") == std::string::npos)
          return;
        fs::resize_file(noise, 300000);
        cut = true;
      };
    });
    ASSERT_TRUE(once.done && cut) << jobs;
    int32_t produced = 0;
    ASSERT_EQ(rig.expander.ExpandFile(Inner(out / "data/noise.wav_lzs"), Inner(dir.path / "back"),
                                      &produced),
              kDone);
    EXPECT_TRUE(ReadFileBytes(dir.path / "back") == original.substr(0, 300000)) << jobs;

    // Changing all the time (a game that keeps writing it): read twice,
    // changed twice, the run stops and names it.
    std::atomic<bool> stop{false};
    WriteFileBytes(noise, original);
    std::thread writer([&] {
      for (int n = 0; !stop; ++n) {
        std::fstream f(noise, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp((n * 4099) % 1000000);
        f.put(static_cast<char>(n));
        f.close();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    Outcome again = Make(jobs, dir.path / ("again" + std::to_string(jobs)), dir.path / "again.lst");
    stop = true;
    writer.join();
    EXPECT_FALSE(again.done) << jobs;
    const std::string named = Format(msg::kMsgChangedWhileRead, Inner(noise).c_str());
    EXPECT_TRUE(std::any_of(again.dialogs.begin(), again.dialogs.end(), [&](const std::string& d) {
      return d.find(named) != std::string::npos;
    })) << jobs;
    EXPECT_TRUE(again.leftovers.empty()) << jobs;
  }
}

TEST_F(EncodeAheadTest, AbortWithFilesEncodedAheadStopsAtOnceAndLeavesNoTemporaryFile) {
  std::size_t linesAtAbort = 0;
  std::size_t filesAtAbort = 0;
  Outcome o = Make(2, dir.path / "out", dir.path / "out.lst", [&](Rig& r) {
    r.fe.onPump = [&] {
      // Some files placed, and others waiting in the temporary folder,
      // encoded ahead.
      if (linesAtAbort == 0 && r.fe.toLines.size() >= 3 && TempLeftovers().size() >= 2) {
        std::vector<std::string> lines;
        ReadCrLfLines(dir.path / "out.lst", lines);
        linesAtAbort = lines.size();
        filesAtAbort = r.fe.toLines.size();
        r.fe.answers.push_front(1);  // OK in the confirmation of Abort
        r.window.Command(kIdAbort);
      }
    };
  });
  ASSERT_GT(linesAtAbort, 0u) << "nothing was encoded ahead";
  EXPECT_FALSE(o.done);
  EXPECT_EQ(o.dialogs.back().substr(0, 2 + std::strlen(msg::kMsgAborted)),
            "0|" + std::string(msg::kMsgAborted));
  // The file in hand may still be placed (an abort seen at the last look
  // of an encode comes after it, as with one thread); no file after it is
  // begun.
  std::vector<std::string> placed(o.list.begin() + static_cast<long>(linesAtAbort), o.list.end());
  EXPECT_LE(placed.size(), 1u);
  ASSERT_GT(filesAtAbort, 0u);
  const std::string inHand = o.toLines[filesAtAbort - 1];
  for (std::size_t i = filesAtAbort; i < o.toLines.size(); ++i)
    EXPECT_EQ(o.toLines[i].substr(0, inHand.size()), inHand);  // its pieces at most
  EXPECT_TRUE(o.leftovers.empty()) << o.leftovers.front();
}

}  // namespace
