// Code page 932 <-> UTF-16 for the W interfaces of Windows NT. The code page
// is named explicitly, so the program reads and writes the same names
// whatever the system's language setting is.
#pragma once

#include <string>
#include <string_view>

namespace cp932 {

// False when the text is no valid code page 932 text. The few characters
// that have two code page 932 forms both name the same UTF-16 text.
bool ToWide(std::string_view in, std::wstring& out);
// False when a character has no code page 932 form, or when the result
// would not convert back to the same UTF-16 text (a yen sign would become
// '\', several characters share one form).
bool FromWide(std::wstring_view in, std::string& out);
// Conversion with '?' for every character that has no code page 932 form;
// for texts typed by the user, whose fault then shows when they are used.
std::string FromWideLossy(std::wstring_view in);

// Code page 932 <-> the system's ANSI code page, for the A interfaces of
// Windows 95, 98 and Me: the same bytes where that code page is 932 (a
// Japanese system); false when a character has no form in the other code
// page or would not come back the same.
bool ToAnsi(std::string_view in, std::string& out);
bool FromAnsi(std::string_view in, std::string& out);
// ToAnsi with '?' for every character that has no form (for display).
std::string ToAnsiLossy(std::string_view in);

}  // namespace cp932
