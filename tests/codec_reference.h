// A plain, byte-at-a-time transcription of the coder's algorithm, kept apart
// from the real one (own window, trees and buffers) so that the real coder's
// streams can be checked against it byte for byte.
#pragma once

#include <cstdint>
#include <vector>

namespace reference {

using Bytes = std::vector<unsigned char>;

// Forgets every earlier encode, as a fresh process would.
void ResetProcessState();

// The code stream of data (no header). Like the real encoder, the window
// tail left by earlier encodes takes part in later ones.
Bytes Encode(const Bytes& data);

struct Decoded {
  Bytes bytes;   // what the count-based decoder produced
  bool damaged;  // the stream ran out, or its last code ran past the size
};
Decoded Decode(const Bytes& stream, int32_t originalSize);

}  // namespace reference
