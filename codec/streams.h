// Buffered byte streams in front of the coders' input and output files.
#pragma once

#include <cstddef>
#include <cstdio>

#include "codec/context.h"

void ResetStreams();
// Refills the read buffer from f when needed and returns the next byte.
// After a refill that brought nothing, BytesLeft() is 0 and the byte
// returned is no data; Codec.readError tells a read error from the end.
int GetByte(std::FILE* f);
int BytesLeft();
void PutByte(int c, std::FILE* f);
// Writes what the write buffer holds; a short write sets Codec.writeError.
void FlushOutput(std::FILE* f);

// For coders that walk the buffers themselves: reads up to one buffer of
// input into the start of Codec.transfer and returns the byte count (0 at
// the end or on a read error, which sets Codec.readError).
int RefillInput(std::FILE* f);
// Writes n bytes straight to f; a short write sets Codec.writeError.
void WriteBlock(std::FILE* f, const unsigned char* data, std::size_t n);
