// The work object of the codec: the header of the file being handled, the
// stream buffers, the encoder's ring window and match trees, and the
// decoder's output area. About 1.6 MB, so it lives on the heap; one per
// thread that codes. Zero-filled when made (NewCodecContext): the first
// encode then sees the zero window of a fresh process.
#pragma once

#include <cstdint>
#include <memory>

#include "codec/header.h"

constexpr int kRingSize = 4096;
constexpr int kLookAhead = 18;
constexpr int kThreshold = 2;
constexpr int kTreeNil = 4096;
constexpr int kRingStart = kRingSize - kLookAhead;  // 4078
constexpr int kStreamBufferSize = 262144;
constexpr int kTransferSize = 1048576;
constexpr int kDecodeSlack = 8 * 18 + 24;  // a group of matches past a block, copied in words

struct CodecContext {
  LzsHeader header;

  // Stream buffers; the state when made is that of ResetStreams.
  int32_t readIndex;
  int32_t fill = kStreamBufferSize;
  int32_t writeIndex;
  bool readError;                         // the last refill failed (not the end of the input)
  bool writeError;                        // a write to the output fell short
  unsigned char transfer[kTransferSize];  // read buffer; copy buffer of the pieces
  unsigned char writeBuffer[kStreamBufferSize];

  // Encoder.
  int32_t matchPosition;
  int32_t matchLength;
  int32_t packedCount;
  int32_t originalCount;
  // Ring positions 0..4095, then a copy of positions 0..16 so that an
  // 18-byte comparison never wraps; the rest is padding for word-wide loads.
  // Positions 4078..4112 carry over from one encode to the next.
  unsigned char window[kRingSize + kLookAhead - 1 + 15];
  // Match trees: the parent of each position (entry 4096 absorbs writes
  // made for an absent child), and both children of each node side by side,
  // left at 2p and right at 2p + 1, so that a step down is one indexed load.
  // Positions 4097..4352 are the roots of the 256 trees (right child only).
  int32_t parent[kRingSize + 1];
  int32_t child[2 * (kRingSize + 257)];

  // Decoder: the last 4096 output bytes, then the bytes not yet written out;
  // the slack lets a match be copied in whole words past its end.
  unsigned char decodeArea[kRingSize + kStreamBufferSize + kDecodeSlack];
};

struct CodecContextDeleter {
  void operator()(CodecContext* c) const;
};
using CodecContextPtr = std::unique_ptr<CodecContext, CodecContextDeleter>;
// A zero-filled context, as at the start of a process. The memory comes
// zeroed from the system, so the 1.6 MB are not cleared byte by byte.
CodecContextPtr NewCodecContext();
