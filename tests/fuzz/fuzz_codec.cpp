// libFuzzer target: arbitrary bytes as a header to recognise, as a code
// stream to decode with a bounded original_size, and as a source to encode
// and decode back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/prompts.h"
#include "codec/context.h"
#include "codec/decoder.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "fileops/result_code.h"

namespace {

// An in-memory file behind a stdio stream, so that each run touches no disk.
struct Memory {
  std::string data;
  std::size_t pos = 0;
};

ssize_t MemoryRead(void* c, char* buffer, size_t n) {
  auto* m = static_cast<Memory*>(c);
  n = std::min(n, m->data.size() - std::min(m->pos, m->data.size()));
  std::memcpy(buffer, m->data.data() + m->pos, n);
  m->pos += n;
  return static_cast<ssize_t>(n);
}

ssize_t MemoryWrite(void* c, const char* buffer, size_t n) {
  auto* m = static_cast<Memory*>(c);
  if (m->data.size() < m->pos + n) m->data.resize(m->pos + n);
  std::memcpy(m->data.data() + m->pos, buffer, n);
  m->pos += n;
  return static_cast<ssize_t>(n);
}

int MemorySeek(void* c, off64_t* offset, int whence) {
  auto* m = static_cast<Memory*>(c);
  off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->data.size();
  m->pos = static_cast<std::size_t>(base + *offset);
  *offset = static_cast<off64_t>(m->pos);
  return 0;
}

// Closing keeps the contents: the caller owns the Memory.
int MemoryClose(void*) { return 0; }

std::FILE* Open(Memory& m, const char* mode) {
  return fopencookie(&m, mode, {MemoryRead, MemoryWrite, MemorySeek, MemoryClose});
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WorkActive = 1;
  Codec.tempName.clear();

  if (size >= static_cast<size_t>(kHeaderSize)) {
    LzsHeader h;
    DecodeHeader(data, h);
    Check(!HasSignatureExact(h) || HasSignatureNoCase(h));
    unsigned char again[kHeaderSize];
    EncodeHeader(h, again);
    Check(std::memcmp(again, data, kHeaderSize) == 0);
  }

  // Decode: the first two bytes give original_size (1..65536), the rest is
  // the code stream.
  if (size >= 2) {
    Memory in{std::string(reinterpret_cast<const char*>(data) + 2, size - 2)}, out;
    ClearHeader(Codec.header);
    Codec.header.original_size = 1 + (data[0] | data[1] << 8);
    int32_t produced = -1;
    int r = DecodeStream(Open(in, "rb"), Open(out, "wb"), "\\nonexistent\\fuzz.out",
                         "\\nonexistent\\fuzz.lzs", &produced);
    Check(r == kDone || r == kDamagedStream);
    if (r == kDone) {
      Check(produced == Codec.header.original_size);
      Check(out.data.size() == static_cast<size_t>(produced));
    }
  }

  // Encode and decode back.
  if (size > 0) {
    Memory source{std::string(reinterpret_cast<const char*>(data), size)}, packed, back;
    int r = EncodeStream(Open(source, "rb"), Open(packed, "wb"), "fuzz", "\\fuzz");
    Check(r == kDone);
    Check(packed.data.size() == static_cast<size_t>(kHeaderSize + Codec.header.packed_size));
    packed.pos = kHeaderSize;
    int32_t produced = -1;
    r = DecodeStream(Open(packed, "rb"), Open(back, "wb"), "\\nonexistent\\a", "\\nonexistent\\b",
                     &produced);
    Check(r == kDone && back.data == source.data);
  }
  WorkActive = 0;
  return 0;
}
