// Helpers of the codec tests: the real coders run on memory sources and
// sinks, with a fresh codec context and a scripted front end for progress
// and abort.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/dialogue/dialogue.h"
#include "app/dialogue/dialogue_events.h"
#include "codec/context.h"
#include "codec_reference.h"
#include "runs/run_context.h"
#include "support/scripted_frontend.h"

namespace codec_test {

using Bytes = std::vector<unsigned char>;

Bytes Hex(const char* text);  // "07 61 62 63"
Bytes Text(const std::string& s);
std::string AsString(const Bytes& b);

struct EncodeResult {
  int result;
  Bytes file;  // what reached the sink: header + code stream
  Bytes Stream() const {
    return file.size() < 320 ? Bytes{} : Bytes(file.begin() + 320, file.end());
  }
};

struct DecodeResult {
  int result;
  Bytes file;  // what reached the sink
};

// One coder of a fresh process: its own context (the window tail of no
// earlier encode), and the reference coder made to forget its earlier
// encodes too. Progress and pumps go to `fe`, which can stop the run.
class Coder {
 public:
  Coder();
  // EncodeStream of data; the sink accepts writeLimit bytes, the source
  // reports a read error at its end when failRead.
  EncodeResult Encode(const Bytes& data, const std::string& name = "x.bin",
                      std::size_t writeLimit = SIZE_MAX, bool failRead = false);
  // DecodeStream of a code stream for originalSize bytes.
  DecodeResult Decode(const Bytes& stream, int32_t originalSize, std::size_t writeLimit = SIZE_MAX,
                      bool failRead = false);

  ScriptedFrontEnd fe;
  Dialogue ui{&fe};
  CodecContextPtr context = NewCodecContext();
  CodecContext& c = *context;
  RunSetup setup;
  RunProgress progress;
  CancelToken cancel;
  DialogueEvents events{ui, setup.title};
  RunContext run{setup, progress, events, cancel, c};
};

}  // namespace codec_test
