// Reading the list file of a disk set line by line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/paths.h"

// The longest line the readers of a list accept (they take lines into
// path-sized buffers); a list with a longer line is refused when it is read.
inline constexpr std::size_t kMaxListLine = kMaxPathBytes;

// Reads the line that starts at pos in a zero-terminated text (the end of
// text, or a zero byte, is the terminator) into line, without its line feed,
// and returns the position after the line feed. A lead byte is copied with
// the byte after it, which never ends the line (unless it is the
// terminator). At the terminator the line is empty and pos is returned.
std::size_t ReadListLine(std::string_view text, std::size_t pos, std::string& line);
// True when some line of text is longer than kMaxListLine bytes.
bool HasOverlongListLine(std::string_view text);
