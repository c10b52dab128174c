#include "codec_reference.h"

#include <cstring>

namespace reference {
namespace {

constexpr int N = 4096, F = 18, THRESHOLD = 2, NIL = N;
constexpr int kBuffer = 262144;

struct State {
  unsigned char text[N + F - 1];
  int dad[N + 1], lson[N + 1], rson[N + 257];
  int matchPosition, matchLength;
};
State g;

// The stream reader: refill at index 0, wrap to 0 at the fill.
struct Reader {
  const Bytes* src;
  std::size_t pos = 0;
  unsigned char buffer[kBuffer];
  int index = 0, fill = kBuffer;
  int Get() {
    if (index == 0) {
      std::size_t n = src->size() - pos;
      if (n > static_cast<std::size_t>(kBuffer)) n = kBuffer;
      if (n != 0) std::memcpy(buffer, src->data() + pos, n);
      pos += n;
      fill = static_cast<int>(n);
    }
    int c = buffer[index];
    if (++index >= fill) index = 0;
    return c;
  }
  int Left() const { return fill - index; }
};

void InitTree() {
  for (int i = N + 1; i <= N + 256; i++) g.rson[i] = NIL;
  for (int i = 0; i < N; i++) g.dad[i] = NIL;
}

void InsertNode(int r) {
  int i, p, cmp = 1;
  unsigned char* key = &g.text[r];
  p = N + 1 + key[0];
  g.rson[r] = g.lson[r] = NIL;
  g.matchLength = 0;
  for (;;) {
    if (cmp >= 0) {
      if (g.rson[p] != NIL) {
        p = g.rson[p];
      } else {
        g.rson[p] = r;
        g.dad[r] = p;
        return;
      }
    } else {
      if (g.lson[p] != NIL) {
        p = g.lson[p];
      } else {
        g.lson[p] = r;
        g.dad[r] = p;
        return;
      }
    }
    for (i = 1; i < F; i++)
      if ((cmp = key[i] - g.text[p + i]) != 0) break;
    if (i > g.matchLength) {
      g.matchPosition = p;
      if ((g.matchLength = i) >= F) break;
    }
  }
  g.dad[r] = g.dad[p];
  g.lson[r] = g.lson[p];
  g.rson[r] = g.rson[p];
  g.dad[g.lson[p]] = r;
  g.dad[g.rson[p]] = r;
  if (g.rson[g.dad[p]] == p)
    g.rson[g.dad[p]] = r;
  else
    g.lson[g.dad[p]] = r;
  g.dad[p] = NIL;
}

void DeleteNode(int p) {
  int q;
  if (g.dad[p] == NIL) return;
  if (g.rson[p] == NIL) {
    q = g.lson[p];
  } else if (g.lson[p] == NIL) {
    q = g.rson[p];
  } else {
    q = g.lson[p];
    if (g.rson[q] != NIL) {
      do {
        q = g.rson[q];
      } while (g.rson[q] != NIL);
      g.rson[g.dad[q]] = g.lson[q];
      g.dad[g.lson[q]] = g.dad[q];
      g.lson[q] = g.lson[p];
      g.dad[g.lson[p]] = q;
    }
    g.rson[q] = g.rson[p];
    g.dad[g.rson[p]] = q;
  }
  g.dad[q] = g.dad[p];
  if (g.rson[g.dad[p]] == p)
    g.rson[g.dad[p]] = q;
  else
    g.lson[g.dad[p]] = q;
  g.dad[p] = NIL;
}

}  // namespace

void ResetProcessState() { std::memset(&g, 0, sizeof g); }

Bytes Encode(const Bytes& data) {
  static Reader reader;
  reader = Reader{};
  reader.src = &data;
  Bytes out;
  int i, c, len, r, s, last, codePtr;
  unsigned char code[17], mask;

  InitTree();
  code[0] = 0;
  codePtr = mask = 1;
  s = 0;
  r = N - F;
  for (i = s; i < r; i++) g.text[i] = 0;
  for (len = 0; len < F; len++) {
    c = reader.Get();
    if (reader.Left() == 0) break;
    g.text[r + len] = static_cast<unsigned char>(c);
  }
  if (len == 0) return out;
  for (i = 1; i <= F; i++) InsertNode(r - i);
  InsertNode(r);
  do {
    if (g.matchLength > len) g.matchLength = len;
    if (g.matchLength <= THRESHOLD) {
      g.matchLength = 1;
      code[0] |= mask;
      code[codePtr++] = g.text[r];
    } else {
      code[codePtr++] = static_cast<unsigned char>(g.matchPosition);
      code[codePtr++] = static_cast<unsigned char>(((g.matchPosition >> 4) & 0xF0) |
                                                   (g.matchLength - (THRESHOLD + 1)));
    }
    if ((mask <<= 1) == 0) {
      for (i = 0; i < codePtr; i++) out.push_back(code[i]);
      code[0] = 0;
      codePtr = mask = 1;
    }
    last = g.matchLength;
    for (i = 0; i < last; i++) {
      c = reader.Get();
      if (reader.Left() == 0) break;
      DeleteNode(s);
      g.text[s] = static_cast<unsigned char>(c);
      if (s < F - 1) g.text[s + N] = static_cast<unsigned char>(c);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      InsertNode(r);
    }
    while (i++ < last) {
      DeleteNode(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len) InsertNode(r);
    }
  } while (len > 0);
  if (codePtr > 1)
    for (i = 0; i < codePtr; i++) out.push_back(code[i]);
  return out;
}

Decoded Decode(const Bytes& stream, int32_t originalSize) {
  static Reader reader;
  reader = Reader{};
  reader.src = &stream;
  std::size_t taken = 0;
  auto get = [&] {
    ++taken;
    return reader.Get();
  };
  unsigned char text[N];
  std::memset(text, 0, sizeof text);
  Decoded d{{}, false};
  unsigned r = N - F, flags = 0;
  int32_t count = 0;
  do {
    if (((flags >>= 1) & 256) == 0) flags = static_cast<unsigned>(get()) | 0xFF00;
    if (flags & 1) {
      int c = get();
      d.bytes.push_back(static_cast<unsigned char>(c));
      text[r++] = static_cast<unsigned char>(c);
      r &= N - 1;
      ++count;
    } else {
      int i = get();
      int j = get();
      i |= (j & 0xF0) << 4;
      j = (j & 0x0F) + THRESHOLD;
      for (int k = 0; k <= j; k++) {
        unsigned char c = text[(i + k) & (N - 1)];
        d.bytes.push_back(c);
        text[r++] = c;
        r &= N - 1;
        ++count;
      }
    }
  } while (count < originalSize);
  d.damaged = taken > stream.size() || count > originalSize;
  return d;
}

}  // namespace reference
