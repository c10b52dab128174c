// Code page 932 (Shift-JIS) text toolkit. Every text and path inside the
// program is a byte string in this code page, exactly as the disk sets store
// it. A lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it form one
// character; that second byte may be 0x5C ("\") or 0x0A and is never taken
// for a separator or a line end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cp932 {

constexpr std::size_t npos = std::string_view::npos;

inline bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
// A byte that may follow a lead byte in a double-byte character.
inline bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Index of the character after the one at i. A lead byte at the very end of
// the text counts as a character of its own.
std::size_t Next(std::string_view s, std::size_t i);

// First / last occurrence of the single-byte character c as a whole
// character, or npos.
std::size_t Find(std::string_view s, char c, std::size_t from = 0);
std::size_t FindLast(std::string_view s, char c);

// First occurrence of sub as a sequence of whole characters, or npos.
std::size_t FindText(std::string_view s, std::string_view sub);

// Case-insensitive comparison: ASCII letters fold, a double-byte character
// compares as one unit. <0, 0, >0 like strcmp.
int CompareNoCase(std::string_view a, std::string_view b);

// True when the text ends with c as a whole character (not as the second
// byte of a double-byte character).
bool EndsWithChar(std::string_view s, char c);

// The text with '?' for each single-byte control character (and DEL), for
// a message that names something from outside: a terminal must not take
// part of a name for an escape sequence.
std::string Printable(std::string_view s);
// The one form names and texts take in a line of the terminal's output
// (the batch commands, the single-file commands): UTF-8, '?' for control
// characters and for characters without a form, '/' for the separator '\',
// on one line (line breaks and runs of blanks as one blank).
std::string ShownLine(std::string_view s);
// The same for a text that already is UTF-8 (a host name).
std::string ShownHostLine(std::string_view utf8);

// The C runtime's _splitpath: drive = first two bytes when the second is
// ':' (and the first no lead byte); folder up to and including the last '\' or '/'; extension from
// the last '.' after the folder; folder, name and extension cut to 255 bytes.
void SplitPathRaw(std::string_view path, std::string* drive, std::string* folder, std::string* name,
                  std::string* ext);

// The C runtime's _makepath: of a non-empty drive only its first character
// and ':'; a folder gets a '\' unless it ends in '\' or '/'; the extension
// gets a '.' unless it begins with one.
std::string MakePathRaw(std::string_view drive, std::string_view folder, std::string_view name,
                        std::string_view ext);

// Conversions at the platform and front-end boundary. They return false,
// leaving out unspecified, when the text has no form in the target
// encoding (never a silent replacement). Conversions into code page 932
// also refuse text that would not convert back unchanged (a yen sign would
// become '\').
bool ToUtf8(std::string_view in, std::string& out);
bool FromUtf8(std::string_view in, std::string& out);
// Conversion to / from a named character set (for a terminal whose locale
// is not UTF-8).
bool ToCharset(std::string_view in, const char* charset, std::string& out);
bool FromCharset(std::string_view in, const char* charset, std::string& out);
// UTF-8 text into the bytes of a named character set ("CP850"), for bytes
// that another program showed in UTF-8; false when a character has no form
// there.
bool Utf8ToCharset(std::string_view utf8, const char* charset, std::string& out);

}  // namespace cp932
