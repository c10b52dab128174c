// LZSS encoder: 4096-byte ring pre-filled with zeros, 18-byte look-ahead,
// threshold 2, one binary search tree per leading byte.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/byte_io.h"
#include "codec/context.h"
#include "codec/hooks.h"

void InitMatchTree(CodecContext& c);
void InsertNode(CodecContext& c, int r);
void DeleteNode(CodecContext& c, int p);

// Writes the whole compressed file of source into out: the header with
// `name`, the code stream, then the header again with the sizes. The source
// is read from where it stands; progress goes against the range the caller
// set. Returns 0 (c.header holds original_size and packed_size), 3 empty
// source, 8 write failed, 10 read failed, 11 aborted, 13 the name does not
// fit the header, 14 too large for the format. Neither opens, closes nor
// deletes anything: on a failure the caller drops the output.
int EncodeStream(CodecContext& c, ByteSource& source, ByteSink& out, const std::string& name,
                 CoderHooks& hooks);

// The only state one encode leaves to the next: window positions 4078 to
// 4112, which a short source does not overwrite. They follow from the
// sources' bytes alone, so the tail after a file can be worked out from its
// first 18 and last 4096 bytes without encoding it, and a later file can be
// encoded ahead from the right starting point.
constexpr int kTailStart = kRingStart;
constexpr int kTailSize = kRingSize + kLookAhead - 1 - kRingStart;  // 35
using WindowTail = std::array<unsigned char, kTailSize>;
WindowTail TailOf(const CodecContext& c);
void SetTail(CodecContext& c, const WindowTail& tail);
// The bytes of a source of `length` bytes that decide the tail after it:
// the first min(length, 18) bytes and the bytes from TailEndStart(length)
// to its end.
int64_t TailEndStart(int64_t length);
// The tail after encoding such a source from `tail` (what EncodeStream
// leaves when it returns 0); head and end as above.
void AdvanceTail(WindowTail& tail, std::string_view head, int64_t length, std::string_view end);
