// The one display filter for names from outside in messages of the host's
// form (UTF-8): a terminal must not take part of a name for an escape
// sequence, and a name must not reorder or hide the text around it.
// cp932::Printable does the same for code page 932 text.
#pragma once

#include <string>
#include <string_view>

// The text with '?' for each control character (C0, DEL, C1), each
// direction override or isolate, and each byte that is no part of a
// well-formed UTF-8 character.
std::string ShownText(std::string_view utf8);
