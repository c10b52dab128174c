// The command line as Windows hands it over: one text, which the program
// takes apart itself (argv is only used for the options in front).
#pragma once

#include <string>
#include <string_view>

// The text after the program's name and the blanks that follow it. The
// name ends at the closing quote when it begins with one, else at the first
// blank.
std::string_view RawArguments(std::string_view commandLine);

// The command-line copy from the raw arguments: `skip` arguments (the
// options, split by the C runtime's rules for quotes and backslashes) and
// the blanks after each are passed over, the rest is taken verbatim. One
// pair of double quotes enclosing the whole rest is removed: a work folder
// with blanks arrives quoted, and a quoted path names no folder.
std::string CommandLineCopyFromRaw(std::string_view arguments, int skip);
