// Encoder input MB/s and decoder output MB/s on generated 4 MiB inputs, on
// the sample work folder (when it exists) and on a file named by the
// environment variable KELVOD_BENCH_FILE (for example the bitmaps that
// bench/fetch_bitmaps.sh collects).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/prompts.h"
#include "codec/context.h"
#include "codec/decoder.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

constexpr std::size_t kInputSize = 4 << 20;

Bytes RandomBytes() {
  std::mt19937 gen(1);
  Bytes b(kInputSize, '\0');
  for (char& c : b) c = static_cast<char>(gen());
  return b;
}

// Script lines from a small vocabulary, in code page 932 and ASCII.
Bytes TextLike() {
  static const char* words[] = {"\x83\x5a\x83\x8a\x83\x74",
                                "scene",
                                "bgm",
                                "jump.wav",
                                "flag",
                                "\x82\xa0\x82\xa2",
                                "title",
                                "=",
                                "if",
                                "  ",
                                "0",
                                "1"};
  std::mt19937 gen(2);
  Bytes b;
  while (b.size() < kInputSize) {
    int n = 3 + static_cast<int>(gen() % 8);
    for (int i = 0; i < n; ++i) {
      b += words[gen() % 12];
      b += ' ';
    }
    b += "\r\n";
  }
  b.resize(kInputSize);
  return b;
}

// An 8-bit picture: flat areas, gradients, repeated tiles and some noise.
Bytes BitmapLike() {
  std::mt19937 gen(3);
  Bytes b(kInputSize, '\0');
  const std::size_t width = 1024;
  for (std::size_t i = 0; i < kInputSize; ++i) {
    std::size_t x = i % width, y = i / width;
    unsigned c = (x / 64 + y / 48) % 6 * 29;
    if ((x / 32 + y / 32) % 5 == 0) c = (x % 32) * 4 + (y % 32);
    if (gen() % 40 == 0) c = gen();
    b[i] = static_cast<char>(c);
  }
  return b;
}

Bytes Zeros() { return Bytes(kInputSize, '\0'); }

Bytes ReadWhole(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Every file of the sample folder, one after the other.
Bytes SampleFolder() {
  fs::path root = fs::path(KELVOD_SOURCE_DIR) / "examples" / "sample";
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec))
    if (it->is_regular_file()) files.push_back(it->path());
  std::sort(files.begin(), files.end());
  Bytes all;
  for (const auto& f : files) all += ReadWhole(f);
  return all;
}

std::string Inner(const fs::path& p) {
  std::string inner;
  plat::FromHostPath(p.string(), inner);
  return inner;
}

struct Files {
  fs::path source, packed, expanded;
};

Files Prepare(const std::string& tag, const Bytes& data) {
  fs::path dir = fs::temp_directory_path() / ("kelvod-bench-" + tag);
  fs::create_directories(dir);
  Files f{dir / "source", dir / "packed", dir / "expanded"};
  std::ofstream(f.source, std::ios::binary).write(data.data(), static_cast<long>(data.size()));
  return f;
}

bool EncodeOnce(const Files& f, std::size_t size) {
  Codec.tempName = Inner(f.packed);
  Codec.originalCount = Codec.packedCount = static_cast<int32_t>(size);
  WorkActive = 1;
  int r = EncodeStream(plat::OpenFile(Inner(f.source), "rb"), plat::OpenFile(Inner(f.packed), "wb"),
                       "bench", Inner(f.source));
  WorkActive = 0;
  Codec.tempName.clear();
  return r == 0;
}

void Encode(benchmark::State& state, const std::string& tag, const Bytes& data) {
  Files f = Prepare(tag, data);
  for (auto _ : state)
    if (!EncodeOnce(f, data.size())) state.SkipWithError("encode failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["ratio"] = static_cast<double>(Codec.header.packed_size) / data.size();
  fs::remove_all(f.source.parent_path());
}

void Decode(benchmark::State& state, const std::string& tag, const Bytes& data) {
  Files f = Prepare(tag, data);
  if (!EncodeOnce(f, data.size())) state.SkipWithError("encode failed");
  const LzsHeader header = Codec.header;
  for (auto _ : state) {
    std::FILE* in = plat::OpenFile(Inner(f.packed), "rb");
    std::fseek(in, kHeaderSize, SEEK_SET);
    Codec.header = header;
    WorkActive = 1;
    int32_t produced = 0;
    int r = DecodeStream(in, plat::OpenFile(Inner(f.expanded), "wb"), Inner(f.expanded),
                         Inner(f.packed), &produced);
    WorkActive = 0;
    if (r != 0) state.SkipWithError("decode failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  fs::remove_all(f.source.parent_path());
}

void Register(const std::string& name, const Bytes& data) {
  if (data.empty()) return;
  benchmark::RegisterBenchmark(("Encode/" + name).c_str(), Encode, name, data)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("Decode/" + name).c_str(), Decode, name, data)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Register("random", RandomBytes());
  Register("text_like", TextLike());
  Register("bitmap_like", BitmapLike());
  Register("zeros", Zeros());
  Register("sample_folder", SampleFolder());
  if (const char* file = std::getenv("KELVOD_BENCH_FILE")) Register("bench_file", ReadWhole(file));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
