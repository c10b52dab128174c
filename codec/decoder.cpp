#include "codec/decoder.h"

#include <cstring>

#include "codec/context.h"
#include "codec/result_code.h"
#include "codec/streams.h"

namespace {

constexpr uint64_t kRepeatByte = 0x0101010101010101ull;

constexpr int kLongestGroup = 1 + 8 * 2;                // flag byte and eight matches
constexpr int32_t kGroupOutput = 8 * (kLookAhead + 1);  // more than eight matches give

// Copies the match at ring position `position` of 3..18 bytes to op, when
// `count` bytes have been produced: the match starts 1..4096 bytes back.
// Byte by byte in effect, so a match closer than its length repeats what it
// has just written. Up to 24 bytes are stored; the area's slack takes them.
inline void CopyMatch(unsigned char* op, int32_t count, unsigned position, unsigned length) {
  // back + 1 is the distance: ring position of op, minus position, mod 4096.
  const unsigned back =
      (static_cast<unsigned>(count) + (kRingStart - 1) - position) & (kRingSize - 1);
  const unsigned char* src = op - 1 - back;
  if (back >= 7) {
    // Every word read lies wholly before the one being written.
    std::memcpy(op, src, 8);
    std::memcpy(op + 8, src + 8, 8);
    std::memcpy(op + 16, src + 16, 8);
  } else if (back == 0) {
    const uint64_t run = src[0] * kRepeatByte;
    std::memcpy(op, &run, 8);
    std::memcpy(op + 8, &run, 8);
    std::memcpy(op + 16, &run, 8);
  } else {
    for (unsigned k = 0; k < length; ++k) op[k] = src[k];
  }
}

// One code of a group whose input and output room were checked beforehand,
// then the progress and the pump; false when the run is to stop.
[[gnu::always_inline]] inline bool Code(CoderHooks& hooks, unsigned group, unsigned bit,
                                        unsigned char*& op, const unsigned char*& ip,
                                        int32_t& count) {
  if (group & bit) {
    *op++ = *ip++;
    ++count;
  } else {
    const unsigned b0 = ip[0], b1 = ip[1];
    ip += 2;
    const unsigned length = (b1 & 15) + kThreshold + 1;
    CopyMatch(op, count, b0 | (b1 & 0xF0) << 4, length);
    op += length;
    count += static_cast<int32_t>(length);
  }
  hooks.SetProgress(static_cast<uint32_t>(count));
  hooks.PumpOneMessage();
  return !hooks.Stopped();
}

// Code stream bytes straight from the read buffer.
struct Input {
  CodecContext& c;
  ByteSource& source;
  const unsigned char* next = c.transfer;
  const unsigned char* end = c.transfer;
  int64_t taken = 0;  // bytes read from the source so far

  bool Refill() {
    int n = RefillInput(c, source);
    next = c.transfer;
    end = next + n;
    taken += n;
    return n != 0;
  }
  inline bool Get(unsigned& c) {
    if (next == end && !Refill()) return false;
    c = *next++;
    return true;
  }
};

}  // namespace

int DecodeStream(CodecContext& c, ByteSource& in, ByteSink& out, int32_t originalSize,
                 CoderHooks& hooks, int64_t* streamUsed) {
  hooks.ResetProgress(static_cast<uint32_t>(originalSize));
  ResetStreams(c);
  if (originalSize <= 0) return kBadOriginalSize;

  // The output is decoded into one linear area whose first 4096 bytes hold
  // the previous output (zeros before the first byte, the ring's pre-fill):
  // a match at ring position p is then the bytes a fixed distance back.
  unsigned char* const area = c.decodeArea;
  unsigned char* const start = area + kRingSize;
  unsigned char* const blockEnd = start + kStreamBufferSize;
  std::memset(area, 0, kRingSize);
  unsigned char* op = start;
  int32_t count = 0;  // bytes produced
  unsigned flags = 0;
  Input input{c, in};

  for (;;) {
    // Whole groups (flag byte and eight codes) whose input is at hand, whose
    // output fits the block's slack and cannot reach the stated size run
    // without those checks.
    if (flags < 0x200) {
      const unsigned char* ip = input.next;
      const auto ipLimit = reinterpret_cast<std::uintptr_t>(input.end) - kLongestGroup;
      const int32_t countLimit = originalSize - kGroupOutput;
      while (reinterpret_cast<std::uintptr_t>(ip) <= ipLimit && count <= countLimit &&
             op < blockEnd) {
        const unsigned group = *ip++;
        if (!Code(hooks, group, 1, op, ip, count) || !Code(hooks, group, 2, op, ip, count) ||
            !Code(hooks, group, 4, op, ip, count) || !Code(hooks, group, 8, op, ip, count) ||
            !Code(hooks, group, 16, op, ip, count) || !Code(hooks, group, 32, op, ip, count) ||
            !Code(hooks, group, 64, op, ip, count) || !Code(hooks, group, 128, op, ip, count))
          return kAborted;
      }
      input.next = ip;
    }
    if (op >= blockEnd) {
      // Out go the complete blocks; the last 4096 bytes stay as the ring.
      WriteBlock(c, out, start, kStreamBufferSize);
      const std::size_t over = static_cast<std::size_t>(op - blockEnd);
      std::memmove(area, blockEnd - kRingSize, kRingSize + over);
      op = start + over;
      if (c.writeError) return kWriteFailed;
    }
    if (count >= originalSize) {
      WriteBlock(c, out, start, static_cast<std::size_t>(op - start));
      if (c.writeError) return kWriteFailed;
      if (streamUsed) *streamUsed = input.taken - (input.end - input.next);
      hooks.SetProgress(static_cast<uint32_t>(originalSize));
      hooks.PumpOneMessage();
      return kDone;
    }
    if (flags < 0x200 && input.end - input.next >= kLongestGroup &&
        count <= originalSize - kGroupOutput)
      continue;  // only the block was full

    // One code with every check: near the end of the input buffer or of
    // the stated size.
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      unsigned c;
      if (!input.Get(c)) break;
      flags = c | 0xFF00;
    }
    if (flags & 1) {
      unsigned c;
      if (!input.Get(c)) break;
      *op++ = static_cast<unsigned char>(c);
      ++count;
    } else {
      unsigned b0, b1;
      if (!input.Get(b0) || !input.Get(b1)) break;
      const unsigned length = (b1 & 15) + kThreshold + 1;
      // A code that runs past the stated size means the stream does not
      // belong to it.
      if (length > static_cast<unsigned>(originalSize - count)) return kDamagedStream;
      CopyMatch(op, count, b0 | (b1 & 0xF0) << 4, length);
      op += length;
      count += static_cast<int32_t>(length);
    }
    hooks.SetProgress(static_cast<uint32_t>(count));
    hooks.PumpOneMessage();
    if (hooks.Stopped()) return kAborted;
  }
  // The input ran out before the stated size was reached.
  return c.readError ? kReadFailed : kDamagedStream;
}
