// LZSS encoder: 4096-byte ring pre-filled with zeros, 18-byte look-ahead,
// threshold 2, one binary search tree per leading byte.
#pragma once

#include <string>

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
