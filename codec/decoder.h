// LZSS decoder, the inverse of the encoder, with the copy branch for files
// whose header carries copy_flag.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Input positioned at the first byte of the code stream, output just created
// empty. Uses Codec.header (original_size > 0, copy_flag) and Codec.tempName
// (the joined stream, "" when none; deleted on every return). Closes both
// files. Returns 0 (producedSize = original_size), 5 damaged code stream
// (output deleted), 7 copy abandoned, 8 write failed (output deleted),
// 10 read failed (output deleted), 11 aborted (partial output stays).
int DecodeStream(std::FILE* in, std::FILE* out, const std::string& destinationPath,
                 const std::string& compressedPath, int32_t* producedSize);
