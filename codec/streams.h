// Buffered byte streams in front of the coders' input and output: one read
// or write per 256 KiB block.
#pragma once

#include <cstddef>

#include "codec/byte_io.h"
#include "codec/context.h"

void ResetStreams(CodecContext& c);
// Refills the read buffer from the source when needed and returns the next
// byte. After a refill that brought nothing, BytesLeft() is 0 and the byte
// returned is no data; c.readError tells a read error from the end.
int GetByte(CodecContext& c, ByteSource& in);
inline int BytesLeft(const CodecContext& c) { return c.fill - c.readIndex; }
void PutByte(CodecContext& c, int byte, ByteSink& out);
// Writes what the write buffer holds; a short write sets c.writeError.
void FlushOutput(CodecContext& c, ByteSink& out);

// For coders that walk the buffers themselves: reads up to one buffer of
// input into the start of c.transfer and returns the byte count (0 at the
// end or on a read error, which sets c.readError).
int RefillInput(CodecContext& c, ByteSource& in);
// Writes n bytes straight to the sink; a short write sets c.writeError.
void WriteBlock(CodecContext& c, ByteSink& out, const unsigned char* data, std::size_t n);
