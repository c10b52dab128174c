#include "codec/encoder.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/context.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "codec/streams.h"

namespace {

inline uint64_t Load64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Both children of a node move together as one 64-bit word.
constexpr uint64_t kNoChildren = uint64_t{kTreeNil} | (uint64_t{kTreeNil} << 32);
inline void CopyChildren(int32_t* to, const int32_t* from) { std::memcpy(to, from, 8); }

inline uint64_t BigEndian(uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(v);
  return v;
}

// Inserts the 18 bytes at r into the tree of their first byte, leaving the
// longest match in Codec.matchPosition / matchLength. Bytes 1..17 are
// compared eight at a time: the first differing byte gives the match length
// (trailing zeros of the xor) and the direction (the words compared as
// big-endian numbers). The first node on the path that reaches the longest
// length wins, and an 18-byte match takes that node's place.
struct Match {
  int length;
  int position;
};

inline unsigned DifferenceBits(uint64_t x) {
  if constexpr (std::endian::native == std::endian::little)
    return static_cast<unsigned>(std::countr_zero(x));
  return static_cast<unsigned>(std::countl_zero(x));
}

// The bits of a first-word difference that must be zero for a longer match
// than one ending at word byte b: those of bytes 0..b (all of them for b 7).
constexpr uint64_t BeatMaskOf(unsigned b) {
  if (b >= 7) return ~uint64_t{0};
  if constexpr (std::endian::native == std::endian::little) return (uint64_t{1} << (8 * b + 8)) - 1;
  return ~(~uint64_t{0} >> (8 * b + 8));
}
constexpr uint64_t kBeatMasks[8] = {BeatMaskOf(0), BeatMaskOf(1), BeatMaskOf(2), BeatMaskOf(3),
                                    BeatMaskOf(4), BeatMaskOf(5), BeatMaskOf(6), BeatMaskOf(7)};

// Only the last insert before a code is written needs the longest match;
// the others only place their string in the tree (kFindMatch false).
template <bool kFindMatch>
inline Match Insert(CodecContext& c, std::size_t r) {
  const unsigned char* const w = c.window;
  int32_t* const dad = c.parent;
  int32_t* const kid = c.child;
  const unsigned char* key = w + r;
  // Indices are unsigned and pointer-wide, so stepping down needs no sign
  // extension; the tree arrays hold only values 0..4352.
  std::size_t p = std::size_t{key[0]} + (kRingSize + 1);
  unsigned best = 0;  // the longest match so far
  std::size_t bestPosition = 0;
  // link: the child slot to follow, 2p for the left, 2p + 1 for the right
  // child (cmp >= 0). A tree's root has only a right child.
  std::size_t link = 2 * p + 1;
  std::size_t next = static_cast<uint32_t>(kid[link]);
  // Eight bytes at a time: the first differing byte of the words gives the
  // common prefix, their big-endian order the direction.
  const uint64_t k1 = Load64(key + 1);
  const uint64_t b1 = BigEndian(k1);
  // A node whose first words differ gives a longer match exactly when their
  // difference spares the bits of beatMask.
  uint64_t beatMask = 0;
  while (next != kTreeNil) {
    p = next;
    unsigned i;
    uint64_t v = Load64(w + 1 + p);
    const uint64_t x = v ^ k1;
    if (x != 0) {
      // All ones when the node is the smaller (go right), else zero.
      const std::size_t right = std::size_t{0} - (BigEndian(v) < b1);
      link = 2 * p - right;
      if (kFindMatch && (x & beatMask) == 0) {
        const unsigned byte = DifferenceBits(x) / 8;
        best = 1 + byte;
        beatMask = kBeatMasks[byte];
        bestPosition = p;
      }
      next = static_cast<uint32_t>(kid[link]);
      continue;
    }
    // Bytes 1..8 are equal: the rest decides. The node's address is formed
    // here only, so that the common path above loads with base + index.
    std::size_t at = p;
#if defined(__GNUC__)
    asm("" : "+r"(at));
#endif
    const unsigned char* q = w + at;
    const uint64_t k2 = Load64(key + 9);
    if ((v = Load64(q + 9)) != k2) {
      i = 9 + DifferenceBits(v ^ k2) / 8;
      link = 2 * p + (BigEndian(v) < BigEndian(k2));
    } else if (key[17] != q[17]) {
      i = 17;
      link = 2 * p + (q[17] < key[17]);
    } else {
      break;
    }
    if (kFindMatch && i > best) {
      best = i;
      beatMask = ~uint64_t{0};  // no first-word difference beats 9 bytes or more
      bestPosition = p;
    }
    next = static_cast<uint32_t>(kid[link]);
  }
  if (next != kTreeNil) {
    // All 18 bytes equal: r takes p's place and p leaves the tree.
    dad[r] = dad[p];
    CopyChildren(kid + 2 * r, kid + 2 * p);
    dad[kid[2 * p]] = r;
    dad[kid[2 * p + 1]] = r;
    const int up = dad[p];
    if (kid[2 * up + 1] == static_cast<int32_t>(p))
      kid[2 * up + 1] = r;
    else
      kid[2 * up] = r;
    dad[p] = kTreeNil;
    return {kLookAhead, static_cast<int>(p)};
  }
  // r becomes a leaf; a node that takes another's place gets its children.
  std::memcpy(kid + 2 * r, &kNoChildren, 8);
  kid[link] = r;
  dad[r] = static_cast<int32_t>(p);
  return {static_cast<int>(best), static_cast<int>(bestPosition)};
}

inline void Delete(CodecContext& c, std::size_t p) {
  int32_t* const dad = c.parent;
  int32_t* const kid = c.child;
  if (dad[p] == kTreeNil) return;
  // Unsigned, pointer-wide indices: no sign extension on the way.
  const std::size_t left = static_cast<uint32_t>(kid[2 * p]);
  const std::size_t right = static_cast<uint32_t>(kid[2 * p + 1]);
  std::size_t q;
  if (right == kTreeNil) {
    q = left;
  } else if (left == kTreeNil) {
    q = right;
  } else {
    q = left;
    if (kid[2 * q + 1] != kTreeNil) {
      do q = static_cast<uint32_t>(kid[2 * q + 1]);
      while (kid[2 * q + 1] != kTreeNil);
      const std::size_t above = static_cast<uint32_t>(dad[q]);
      const int32_t below = kid[2 * q];
      kid[2 * above + 1] = below;
      dad[static_cast<uint32_t>(below)] = static_cast<int32_t>(above);
      kid[2 * q] = static_cast<int32_t>(left);
      dad[left] = static_cast<int32_t>(q);
    }
    kid[2 * q + 1] = static_cast<int32_t>(right);
    dad[right] = static_cast<int32_t>(q);
  }
  const std::size_t up = static_cast<uint32_t>(dad[p]);
  dad[q] = static_cast<int32_t>(up);
  if (static_cast<std::size_t>(static_cast<uint32_t>(kid[2 * up + 1])) == p)
    kid[2 * up + 1] = static_cast<int32_t>(q);
  else
    kid[2 * up] = static_cast<int32_t>(q);
  dad[p] = kTreeNil;
}

// Source bytes straight from the read buffer; a refill only when it is
// used up. Stops for good at the end, on a read error or when the source
// grows past what the header can count.
struct Input {
  CodecContext& c;
  ByteSource& source;
  const unsigned char* next = nullptr;
  const unsigned char* end = nullptr;
  int64_t total = 0;
  bool tooLarge = false;

  bool Refill() {
    if (c.readError || tooLarge) return false;
    int n = RefillInput(c, source);
    if (n == 0) return false;
    total += n;
    if (total > kLargestStorable) {
      tooLarge = true;
      return false;
    }
    next = c.transfer;
    end = next + n;
    return true;
  }
  inline bool Get(int& byte) {
    if (next == end && !Refill()) return false;
    byte = *next++;
    return true;
  }
};

// A full group goes into the write buffer in one piece when it fits.
inline void PutGroup(CodecContext& c, const unsigned char* group, int length, ByteSink& out) {
  if (c.writeIndex + 17 < kStreamBufferSize) {
    std::memcpy(c.writeBuffer + c.writeIndex, group, 17);  // a fixed size is cheaper
    c.writeIndex += length;
  } else {
    for (int k = 0; k < length; ++k) PutByte(c, group[k], out);
  }
}

bool WriteWholeHeader(ByteSink& out, const LzsHeader& h) {
  unsigned char raw[kHeaderSize];
  EncodeHeader(h, raw);
  return out.Write(raw, kHeaderSize);
}

}  // namespace

void InitMatchTree(CodecContext& c) {
  for (int i = kRingSize + 1; i <= kRingSize + 256; ++i) c.child[2 * i + 1] = kTreeNil;
  for (int i = 0; i < kRingSize; ++i) c.parent[i] = kTreeNil;
}

void InsertNode(CodecContext& c, int r) {
  Match m = Insert<true>(c, r);
  c.matchLength = m.length;
  if (m.length != 0) c.matchPosition = m.position;
}
void DeleteNode(CodecContext& c, int p) { Delete(c, p); }

int EncodeStream(CodecContext& c, ByteSource& source, ByteSink& out, const std::string& name,
                 CoderHooks& hooks) {
  // A source that the 32-bit size fields cannot describe is refused before
  // anything is written; one whose length is unknown is watched while read.
  if (source.Length() > kLargestStorable) return kCannotStore;
  LzsHeader& h = c.header;
  if (!StartHeader(h, name)) return kNameRefused;
  if (!WriteWholeHeader(out, h)) return kWriteFailed;

  ResetStreams(c);
  InitMatchTree(c);
  c.originalCount = 0;
  c.packedCount = 0;
  int64_t packed = 0;
  unsigned char* const w = c.window;
  std::memset(w, 0, kRingStart);

  unsigned char group[17];
  group[0] = 0;
  int groupLength = 1;
  uint8_t mask = 1;  // the flag bit of the next code; 0 once the group is full
  std::size_t s = 0;
  std::size_t r = kRingStart;
  Input in{c, source};

  int len = 0;
  int byte;
  while (len < kLookAhead && in.Get(byte)) w[r + len++] = static_cast<unsigned char>(byte);
  if (c.readError) return kReadFailed;
  if (in.tooLarge) return kCannotStore;
  c.originalCount = len;
  int32_t original = len;  // kept in a register; c.originalCount follows at the end
  if (len == 0) return kSourceEmpty;

  for (int i = 1; i <= kLookAhead; ++i) Insert<false>(c, r - i);
  Match m = Insert<true>(c, r);
  do {
    if (m.length > len) m.length = len;
    if (m.length <= kThreshold) {
      m.length = 1;
      group[0] |= mask;
      group[groupLength++] = w[r];
    } else {
      group[groupLength++] = static_cast<unsigned char>(m.position);
      group[groupLength++] =
          static_cast<unsigned char>(((m.position >> 4) & 0xF0) | (m.length - (kThreshold + 1)));
    }
    mask = static_cast<uint8_t>(mask << 1);
    if (mask == 0) {
      PutGroup(c, group, groupLength, out);
      packed += groupLength;
      group[0] = 0;
      groupLength = 1;
      mask = 1;
    }
    const int last = m.length;
    int i = 0;
    // Take the match's bytes straight from the read buffer, as many at a
    // time as it holds.
    while (i < last && (in.next != in.end || in.Refill())) {
      const int n = static_cast<int>(std::min<std::ptrdiff_t>(last - i, in.end - in.next));
      const unsigned char* bytes = in.next;
      in.next += n;
      i += n;
      auto take = [&](unsigned char byte) {
        Delete(c, s);
        w[s] = byte;
        if (s < kLookAhead - 1) w[s + kRingSize] = byte;
        s = (s + 1) & (kRingSize - 1);
        r = (r + 1) & (kRingSize - 1);
      };
      for (int k = 0; k < n - 1; ++k) {
        take(bytes[k]);
        Insert<false>(c, r);
      }
      take(bytes[n - 1]);
      // The last byte of the match decides the next code.
      if (i == last)
        m = Insert<true>(c, r);
      else
        Insert<false>(c, r);
    }
    original += i;
    if (i < last) {
      if (c.readError) return kReadFailed;
      if (in.tooLarge) return kCannotStore;
      while (i++ < last) {
        Delete(c, s);
        s = (s + 1) & (kRingSize - 1);
        r = (r + 1) & (kRingSize - 1);
        if (--len != 0) m = Insert<true>(c, r);
      }
    }
    hooks.SetProgress(static_cast<uint32_t>(original));
    hooks.PumpOneMessage();
    if (hooks.Stopped()) return kAborted;
  } while (len > 0);

  if (groupLength > 1) {
    for (int k = 0; k < groupLength; ++k) PutByte(c, group[k], out);
    packed += groupLength;
  }
  FlushOutput(c, out);
  // Nearly incompressible sources just under 2 GiB grow past what the
  // signed size field holds.
  if (packed > kLargestStorable) return kCannotStore;
  c.packedCount = static_cast<int32_t>(packed);
  h.packed_size = c.packedCount;
  c.originalCount = original;
  h.original_size = c.originalCount;
  if (c.writeError || !out.SeekTo(0) || !WriteWholeHeader(out, h) || !out.SeekToEnd())
    return kWriteFailed;
  hooks.SetProgress(static_cast<uint32_t>(c.originalCount));
  hooks.PumpOneMessage();
  return kDone;
}

WindowTail TailOf(const CodecContext& c) {
  WindowTail tail;
  std::memcpy(tail.data(), c.window + kTailStart, kTailSize);
  return tail;
}

void SetTail(CodecContext& c, const WindowTail& tail) {
  std::memcpy(c.window + kTailStart, tail.data(), kTailSize);
}

int64_t TailEndStart(int64_t length) { return std::max<int64_t>(kLookAhead, length - kRingSize); }

void AdvanceTail(WindowTail& tail, std::string_view head, int64_t length, std::string_view end) {
  // The first 18 bytes go to positions 4078 onwards; byte k after them to
  // ring position (k - 18) mod 4096, and those at positions 0 to 16 also to
  // their copy at 4096 onwards. The last write to a position wins.
  for (std::size_t k = 0; k < head.size() && k < kLookAhead; ++k)
    tail[k] = static_cast<unsigned char>(head[k]);
  const int64_t first = TailEndStart(length);
  for (std::size_t i = 0; i < end.size(); ++i) {
    const auto s =
        static_cast<std::size_t>((first + static_cast<int64_t>(i) - kLookAhead) & (kRingSize - 1));
    if (s >= static_cast<std::size_t>(kTailStart))
      tail[s - kTailStart] = static_cast<unsigned char>(end[i]);
    else if (s < kLookAhead - 1)
      tail[s + kRingSize - kTailStart] = static_cast<unsigned char>(end[i]);
  }
}
