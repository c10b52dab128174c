// Buffered byte streams in front of the coders' input and output files.
#pragma once

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
