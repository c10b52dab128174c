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

#include "codec/byte_io.h"
#include "codec/context.h"
#include "codec/decoder.h"
#include "codec/encoder.h"
#include "codec/header.h"

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

// The coders on memory: what they cost without the files around them.
struct Coded {
  CodecContextPtr context = NewCodecContext();
  std::string packed;  // header + code stream
};

bool EncodeOnce(Coded& coded, const Bytes& data) {
  MemorySource in(data);
  MemorySink out;
  QuietCoderHooks hooks;
  int r = EncodeStream(*coded.context, in, out, "bench", hooks);
  coded.packed = out.data();
  return r == 0;
}

void Encode(benchmark::State& state, const Bytes& data) {
  Coded coded;
  for (auto _ : state)
    if (!EncodeOnce(coded, data)) state.SkipWithError("encode failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["ratio"] = static_cast<double>(coded.context->header.packed_size) / data.size();
}

void Decode(benchmark::State& state, const Bytes& data) {
  Coded coded;
  if (!EncodeOnce(coded, data)) state.SkipWithError("encode failed");
  const std::string stream = coded.packed.substr(kHeaderSize);
  const auto size = static_cast<int32_t>(data.size());
  for (auto _ : state) {
    MemorySource in(stream);
    MemorySink out;
    QuietCoderHooks hooks;
    if (DecodeStream(*coded.context, in, out, size, hooks) != 0)
      state.SkipWithError("decode failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

void Register(const std::string& name, const Bytes& data) {
  if (data.empty()) return;
  benchmark::RegisterBenchmark(("Encode/" + name).c_str(), Encode, data)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("Decode/" + name).c_str(), Decode, data)
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
