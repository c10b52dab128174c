// LZSS encoder: 4096-byte ring pre-filled with zeros, 18-byte look-ahead,
// threshold 2, one binary search tree per leading byte.
#pragma once

#include <cstdio>
#include <string>

void InitMatchTree();
void InsertNode(int r);
void DeleteNode(int p);

// Writes header and code stream of source into out (both open; source at its
// start). The progress range must be set. Closes both files on return.
// Returns 0 (Codec.header holds original_size and packed_size), 3 empty
// source, 11 aborted, 8 write failed, 10 read failed, 14 source too large
// for the format. On every result but 0 the file Codec.tempName is deleted.
// relativeName may be nullptr: the header's name is then sourcePath.
int EncodeStream(std::FILE* source, std::FILE* out, const char* relativeName,
                 const std::string& sourcePath);
