#include "codec_test_util.h"

#include <cstdio>

#include "codec/byte_io.h"
#include "codec/decoder.h"
#include "codec/encoder.h"

namespace codec_test {

Bytes Hex(const char* text) {
  Bytes out;
  unsigned value;
  int used;
  while (std::sscanf(text, " %2x%n", &value, &used) == 1) {
    out.push_back(static_cast<unsigned char>(value));
    text += used;
  }
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

Coder::Coder() {
  reference::ResetProcessState();
  fe.abort = [this] { progress.active = 0; };
}

EncodeResult Coder::Encode(const Bytes& data, const std::string& name, std::size_t writeLimit,
                           bool failRead) {
  const std::string bytes = AsString(data);
  MemorySource in(bytes, failRead);
  MemorySink out(writeLimit);
  progress.active = 1;
  run.ResetProgress(static_cast<uint32_t>(data.size()));
  EncodeResult r;
  {
    RunCoderHooks hooks(run);
    r.result = EncodeStream(c, in, out, name, hooks);
  }
  r.file = Text(out.data());
  return r;
}

DecodeResult Coder::Decode(const Bytes& stream, int32_t originalSize, std::size_t writeLimit,
                           bool failRead) {
  const std::string bytes = AsString(stream);
  MemorySource in(bytes, failRead);
  MemorySink out(writeLimit);
  progress.active = 1;
  DecodeResult r;
  {
    RunCoderHooks hooks(run);
    r.result = DecodeStream(c, in, out, originalSize, hooks);
  }
  r.file = Text(out.data());
  return r;
}

}  // namespace codec_test
