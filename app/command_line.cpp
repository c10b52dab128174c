#include "app/command_line.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

// Passes over one argument: quotes group blanks, a quote after an odd run
// of backslashes is an ordinary character.
std::string_view SkipArgument(std::string_view s) {
  bool quoted = false;
  std::size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (c == '\\') {
      std::size_t run = 0;
      while (i < s.size() && s[i] == '\\') ++run, ++i;
      if (i < s.size() && s[i] == '"' && run % 2 == 1) ++i;
      continue;
    }
    if (c == '"') {
      quoted = !quoted;
    } else if (IsBlank(c) && !quoted) {
      break;
    }
    ++i;
  }
  return s.substr(i);
}

}  // namespace

std::string_view RawArguments(std::string_view commandLine) {
  std::string_view s = commandLine;
  if (!s.empty() && s.front() == '"') {
    std::size_t close = s.find('"', 1);
    s = close == std::string_view::npos ? std::string_view() : s.substr(close + 1);
  }
  while (!s.empty() && !IsBlank(s.front())) s.remove_prefix(1);
  return SkipBlanks(s);
}

std::string CommandLineCopyFromRaw(std::string_view arguments, int skip) {
  std::string_view rest = SkipBlanks(arguments);
  for (int i = 0; i < skip; ++i) rest = SkipBlanks(SkipArgument(rest));
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"' &&
      rest.substr(1, rest.size() - 2).find('"') == std::string_view::npos)
    rest = rest.substr(1, rest.size() - 2);
  return std::string(rest);
}
