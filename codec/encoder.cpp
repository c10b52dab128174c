#include "codec/encoder.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "app/progress.h"
#include "app/prompts.h"
#include "codec/context.h"
#include "codec/header.h"
#include "codec/streams.h"
#include "fileops/result_code.h"
#include "platform/platform.h"

namespace {

constexpr int64_t kLargestStorable = INT32_MAX;  // original_size and packed_size are int32

inline uint64_t Load64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Index of the first differing byte of two 8-byte loads whose xor is x != 0.
inline int FirstDifference(uint64_t x) {
  if constexpr (std::endian::native == std::endian::little) return std::countr_zero(x) >> 3;
  return std::countl_zero(x) >> 3;
}

// Inserts the 18 bytes at r into the tree of their first byte, leaving the
// longest match in Codec.matchPosition / matchLength. Bytes 1..17 are
// compared eight at a time; the first node on the path that reaches the
// longest length wins, and an 18-byte match takes that node's place.
inline void Insert(int r) {
  unsigned char* const w = Codec.window;
  int32_t* const dad = Codec.parent;
  int32_t* const lson = Codec.left;
  int32_t* const rson = Codec.right;
  const unsigned char* key = w + r;
  const uint64_t k1 = Load64(key + 1);
  const uint64_t k2 = Load64(key + 9);
  const int k17 = key[17];
  int cmp = 1;
  int p = kRingSize + 1 + key[0];
  int best = 0;
  lson[r] = rson[r] = kTreeNil;
  for (;;) {
    if (cmp >= 0) {
      if (rson[p] == kTreeNil) {
        rson[p] = r;
        dad[r] = p;
        Codec.matchLength = best;
        return;
      }
      p = rson[p];
    } else {
      if (lson[p] == kTreeNil) {
        lson[p] = r;
        dad[r] = p;
        Codec.matchLength = best;
        return;
      }
      p = lson[p];
    }
    const unsigned char* q = w + p;
    int i;
    uint64_t x = k1 ^ Load64(q + 1);
    if (x != 0) {
      i = 1 + FirstDifference(x);
      cmp = key[i] - q[i];
    } else if ((x = k2 ^ Load64(q + 9)) != 0) {
      i = 9 + FirstDifference(x);
      cmp = key[i] - q[i];
    } else {
      cmp = k17 - q[17];
      i = cmp != 0 ? 17 : 18;
    }
    if (i > best) {
      Codec.matchPosition = p;
      best = i;
      if (i >= kLookAhead) break;
    }
  }
  Codec.matchLength = best;
  dad[r] = dad[p];
  lson[r] = lson[p];
  rson[r] = rson[p];
  dad[lson[p]] = r;
  dad[rson[p]] = r;
  if (rson[dad[p]] == p)
    rson[dad[p]] = r;
  else
    lson[dad[p]] = r;
  dad[p] = kTreeNil;
}

inline void Delete(int p) {
  int32_t* const dad = Codec.parent;
  int32_t* const lson = Codec.left;
  int32_t* const rson = Codec.right;
  if (dad[p] == kTreeNil) return;
  int q;
  if (rson[p] == kTreeNil) {
    q = lson[p];
  } else if (lson[p] == kTreeNil) {
    q = rson[p];
  } else {
    q = lson[p];
    if (rson[q] != kTreeNil) {
      do q = rson[q];
      while (rson[q] != kTreeNil);
      rson[dad[q]] = lson[q];
      dad[lson[q]] = dad[q];
      lson[q] = lson[p];
      dad[lson[p]] = q;
    }
    rson[q] = rson[p];
    dad[rson[p]] = q;
  }
  dad[q] = dad[p];
  if (rson[dad[p]] == p)
    rson[dad[p]] = q;
  else
    lson[dad[p]] = q;
  dad[p] = kTreeNil;
}

// Source bytes straight from the read buffer; a refill only when it is
// used up. Stops for good at the end, on a read error or when the source
// grows past what the header can count.
struct Input {
  std::FILE* file;
  const unsigned char* next = nullptr;
  const unsigned char* end = nullptr;
  int64_t total = 0;
  bool tooLarge = false;

  bool Refill() {
    if (Codec.readError || tooLarge) return false;
    int n = RefillInput(file);
    if (n == 0) return false;
    total += n;
    if (total > kLargestStorable) {
      tooLarge = true;
      return false;
    }
    next = Codec.transfer;
    end = next + n;
    return true;
  }
  inline bool Get(int& c) {
    if (next == end && !Refill()) return false;
    c = *next++;
    return true;
  }
};

// Ends an encode that produced no usable compressed file.
int Fail(std::FILE* source, std::FILE* out, int result) {
  std::fclose(source);
  std::fclose(out);
  if (!Codec.tempName.empty()) plat::RemoveFile(Codec.tempName);
  return result;
}

}  // namespace

void InitMatchTree() {
  for (int i = kRingSize + 1; i <= kRingSize + 256; ++i) Codec.right[i] = kTreeNil;
  for (int i = 0; i < kRingSize; ++i) Codec.parent[i] = kTreeNil;
}

void InsertNode(int r) { Insert(r); }
void DeleteNode(int p) { Delete(p); }

int EncodeStream(std::FILE* source, std::FILE* out, const char* relativeName,
                 const std::string& sourcePath) {
  // A source that the 32-bit size fields cannot describe is refused before
  // anything is written; one whose length is unknown is watched while read.
  int64_t length = plat::FileLength(source);
  if (length > kLargestStorable) return Fail(source, out, kCannotStore);
  std::string name = relativeName ? std::string(relativeName) : sourcePath;
  if (name.size() >= sizeof Codec.header.name) return Fail(source, out, kNameRefused);

  LzsHeader& h = Codec.header;
  ClearHeader(h);
  std::memcpy(h.signature, kSignature, sizeof kSignature);
  h.header_size = kHeaderSize;
  h.version = kFormatVersion;
  h.copy_flag = 0;
  std::memcpy(h.name, name.data(), name.size());
  if (!WriteHeader(out, h)) return Fail(source, out, kWriteFailed);

  ResetStreams();
  InitMatchTree();
  Codec.originalCount = 0;
  Codec.packedCount = 0;
  int64_t packed = 0;
  unsigned char* const w = Codec.window;
  std::memset(w, 0, kRingStart);

  unsigned char group[17];
  group[0] = 0;
  int groupLength = 1;
  unsigned mask = 1;
  int s = 0;
  int r = kRingStart;
  Input in{source};

  int len = 0;
  int c;
  while (len < kLookAhead && in.Get(c)) w[r + len++] = static_cast<unsigned char>(c);
  if (Codec.readError) return Fail(source, out, kReadFailed);
  if (in.tooLarge) return Fail(source, out, kCannotStore);
  Codec.originalCount = len;
  if (len == 0) return Fail(source, out, kSourceEmpty);

  for (int i = 1; i <= kLookAhead; ++i) Insert(r - i);
  Insert(r);
  do {
    if (Codec.matchLength > len) Codec.matchLength = len;
    if (Codec.matchLength <= kThreshold) {
      Codec.matchLength = 1;
      group[0] |= static_cast<unsigned char>(mask);
      group[groupLength++] = w[r];
    } else {
      group[groupLength++] = static_cast<unsigned char>(Codec.matchPosition);
      group[groupLength++] = static_cast<unsigned char>(((Codec.matchPosition >> 4) & 0xF0) |
                                                        (Codec.matchLength - (kThreshold + 1)));
    }
    mask = (mask << 1) & 0xFF;
    if (mask == 0) {
      for (int k = 0; k < groupLength; ++k) PutByte(group[k], out);
      packed += groupLength;
      group[0] = 0;
      groupLength = 1;
      mask = 1;
    }
    const int last = Codec.matchLength;
    int i = 0;
    for (; i < last && in.Get(c); ++i) {
      Delete(s);
      w[s] = static_cast<unsigned char>(c);
      if (s < kLookAhead - 1) w[s + kRingSize] = static_cast<unsigned char>(c);
      s = (s + 1) & (kRingSize - 1);
      r = (r + 1) & (kRingSize - 1);
      Insert(r);
    }
    Codec.originalCount += i;
    if (i < last) {
      if (Codec.readError) return Fail(source, out, kReadFailed);
      if (in.tooLarge) return Fail(source, out, kCannotStore);
      while (i++ < last) {
        Delete(s);
        s = (s + 1) & (kRingSize - 1);
        r = (r + 1) & (kRingSize - 1);
        if (--len != 0) Insert(r);
      }
    }
    SetProgress(static_cast<uint32_t>(Codec.originalCount));
    PumpOneMessage();
    if (WorkActive == 0) return Fail(source, out, kAborted);
  } while (len > 0);

  if (groupLength > 1) {
    for (int k = 0; k < groupLength; ++k) PutByte(group[k], out);
    packed += groupLength;
  }
  FlushOutput(out);
  // Nearly incompressible sources just under 2 GiB grow past what the
  // signed size field holds.
  if (packed > kLargestStorable) return Fail(source, out, kCannotStore);
  Codec.packedCount = static_cast<int32_t>(packed);
  h.packed_size = Codec.packedCount;
  h.original_size = Codec.originalCount;
  bool written = !Codec.writeError && std::fseek(out, 0, SEEK_SET) == 0 && WriteHeader(out, h) &&
                 std::fseek(out, 0, SEEK_END) == 0;
  std::fclose(source);
  // Buffered data reaches the disk only at the close: its failure counts.
  if (std::fclose(out) != 0) written = false;
  if (!written) {
    if (!Codec.tempName.empty()) plat::RemoveFile(Codec.tempName);
    return kWriteFailed;
  }
  SetProgress(static_cast<uint32_t>(Codec.originalCount));
  PumpOneMessage();
  return kDone;
}
