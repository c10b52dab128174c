#include "runs/list_check.h"

#include <cstdio>
#include <vector>

#include "app/dialogue/list_line.h"
#include "fileops/naming.h"

namespace {

// A file line: not empty, not a disk line, with a colon before its name.
bool IsFileLine(const std::string& line) {
  return !line.empty() && line[0] != 'I' && line.find(':') != std::string::npos;
}

}  // namespace

ListCheck CheckList(std::string_view text) {
  ListCheck check;
  if (text.find('\0') != std::string_view::npos) {
    check.problem = ListCheck::kZeroByte;
    check.offending = "KELVOD.LST";
    return check;
  }
  std::string line;
  std::size_t pos = ReadListLine(text, 0, line);
  int diskCount = 0;
  if (std::sscanf(line.c_str(), "%8d", &diskCount) != 1) diskCount = 0;
  std::string title;
  pos = ReadListLine(text, pos, title);
  if (!IsSafeTitle(title)) {
    check.problem = ListCheck::kTitle;
    check.offending = title;
    return check;
  }
  const std::size_t body = pos;

  // The sections as the extract run takes them: by position, each opened by
  // the line it starts with, over at a disk line or an empty line.
  std::vector<std::size_t> reached;  // where each line handed on starts, in order
  for (int disk = 1; disk < diskCount && pos < text.size(); ++disk) {
    pos = ReadListLine(text, pos, line);
    for (;;) {
      const std::size_t start = pos;
      std::size_t next = ReadListLine(text, pos, line);
      if (line.empty() || line[0] == 'I') break;
      pos = next;
      if (!IsFileLine(line)) continue;
      reached.push_back(start);
      std::string name = line.substr(line.find(':') + 1);
      if (!IsSafeRelativeName(name)) {
        check.problem = ListCheck::kName;
        check.offending = name;
        return check;
      }
    }
  }

  // Every file line of the text must have been among them.
  std::size_t next = 0;
  for (pos = body; pos < text.size();) {
    const std::size_t start = pos;
    pos = ReadListLine(text, pos, line);
    if (!IsFileLine(line)) continue;
    if (next < reached.size() && reached[next] == start) {
      ++next;
      continue;
    }
    check.problem = ListCheck::kUnreached;
    check.offending = line;
    return check;
  }
  return check;
}
