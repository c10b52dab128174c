// LZSS decoder, the inverse of the encoder.
#pragma once

#include <cstdint>

#include "codec/byte_io.h"
#include "codec/context.h"
#include "codec/hooks.h"

// Decodes the code stream read from `in` (positioned at its first byte)
// into `out` until originalSize bytes came out; sets the progress range to
// originalSize. Returns 0, 4 originalSize is 0 or negative, 5 damaged code
// stream (it ends early, or its last code runs past the size), 8 write
// failed, 10 read failed, 11 aborted (what was written in whole blocks
// stays in the sink). Neither opens, closes nor deletes anything. On 0,
// streamUsed (when given) receives how many stream bytes the codes took:
// a stream that goes on behind them does not belong to these sizes.
int DecodeStream(CodecContext& c, ByteSource& in, ByteSink& out, int32_t originalSize,
                 CoderHooks& hooks, int64_t* streamUsed = nullptr);
