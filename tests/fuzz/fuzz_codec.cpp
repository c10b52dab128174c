// libFuzzer target of the codec, on memory: arbitrary bytes as a header to
// recognise, as a code stream to decode with a bounded original_size, and as
// a source to encode and decode back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "codec/byte_io.h"
#include "codec/context.h"
#include "codec/decoder.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "codec/result_code.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// One context for the whole session, as one process keeps one: the window
// tail of earlier inputs takes part in later encodes.
CodecContext& Context() {
  static CodecContextPtr context = NewCodecContext();
  return *context;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CodecContext& c = Context();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

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
    const int32_t originalSize = 1 + (data[0] | data[1] << 8);
    MemorySource in(bytes.substr(2));
    MemorySink out;
    QuietCoderHooks hooks;
    int r = DecodeStream(c, in, out, originalSize, hooks);
    Check(r == kDone || r == kDamagedStream);
    if (r == kDone) Check(out.data().size() == static_cast<size_t>(originalSize));
  }

  // Encode and decode back.
  if (size > 0) {
    MemorySource source(bytes);
    MemorySink packed;
    QuietCoderHooks hooks;
    Check(EncodeStream(c, source, packed, "fuzz", hooks) == kDone);
    Check(packed.data().size() == static_cast<size_t>(kHeaderSize + c.header.packed_size));
    MemorySource stream(std::string_view(packed.data()).substr(kHeaderSize));
    MemorySink back;
    Check(DecodeStream(c, stream, back, c.header.original_size, hooks) == kDone);
    Check(back.data() == bytes);
  }
  return 0;
}
