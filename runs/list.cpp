#include "runs/list.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "codec/header.h"
#include "fileops/naming.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/format.h"

std::size_t ReadListLine(std::string_view text, std::size_t pos, std::string& line) {
  line.clear();
  auto at = [&](std::size_t i) -> char { return i < text.size() ? text[i] : '\0'; };
  for (;;) {
    char c = at(pos);
    if (c == '\0') return pos;
    if (c == '\n') return pos + 1;
    line.push_back(c);
    ++pos;
    if (cp932::IsLeadByte(static_cast<unsigned char>(c))) {
      // The second byte of the pair may be 0x0A; it belongs to the character.
      char trail = at(pos);
      if (trail == '\0') return pos;
      line.push_back(trail);
      ++pos;
    }
  }
}

bool HasOverlongListLine(std::string_view text) {
  std::string line;
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] != '\0') {
    pos = ReadListLine(text, pos, line);
    if (line.size() > kMaxListLine) return true;
  }
  return false;
}

namespace {

// A decimal number as sscanf's %Nd reads it: blanks skipped, then at most
// width characters of an optional sign and digits (at least one). A number
// beyond int saturates rather than wrapping. Not sscanf itself: the
// Windows program would carry the whole scanf machinery for it.
bool ScanDecimal(const std::string& s, std::size_t width, int& out) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  const std::size_t end = width && s.size() - i > width ? i + width : s.size();
  const bool negative = i < end && s[i] == '-';
  if (i < end && (s[i] == '-' || s[i] == '+')) ++i;
  long long value = 0;
  const std::size_t first = i;
  for (; i < end && s[i] >= '0' && s[i] <= '9'; ++i)
    value = std::min(value * 10 + (s[i] - '0'), 1LL << 31);
  if (i == first) return false;
  value = negative ? -value : value;
  out = static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
  return true;
}

// A file line: not empty, not a disk line, with a colon before its name.
bool IsFileLine(const std::string& line) {
  return !line.empty() && line[0] != 'I' && line.find(':') != std::string::npos;
}

// The count and title lines; returns where the body begins.
std::size_t ReadHead(std::string_view text, int32_t& diskCount, std::string& title) {
  std::string line;
  std::size_t pos = ReadListLine(text, 0, line);
  int count = 0;
  // A count line that is no number is taken as a set without disks.
  diskCount = ScanDecimal(line, 8, count) ? count : 0;
  return ReadListLine(text, pos, title);
}

// The disk sections as the extract run walks them, calling fileLine with
// where each file line starts and its name. A count line larger than the
// sections (a damaged list) is not followed past the end of the text.
template <typename FileLine>
void WalkSections(std::string_view text, std::size_t pos, int32_t diskCount, FileLine fileLine,
                  std::vector<std::vector<std::string>>* sections) {
  std::string line;
  for (int32_t disk = 1; disk < diskCount && pos < text.size(); ++disk) {
    if (sections) sections->emplace_back();
    pos = ReadListLine(text, pos, line);  // the line opening the section
    for (;;) {
      const std::size_t start = pos;
      std::size_t next = ReadListLine(text, pos, line);
      if (line.empty() || line[0] == 'I') break;  // the next section, or the end
      pos = next;
      if (!IsFileLine(line)) continue;
      std::string name = line.substr(line.find(':') + 1);
      if (!fileLine(start, name)) return;
      if (sections) sections->back().push_back(std::move(name));
    }
  }
}

}  // namespace

int32_t ParsedList::DiskOf(const std::string& name) const {
  for (std::size_t k = 0; k < sections.size(); ++k)
    if (std::find(sections[k].begin(), sections[k].end(), name) != sections[k].end())
      return static_cast<int32_t>(k + 1);
  return 0;
}

ParsedList ParseList(std::string_view text) {
  ParsedList list;
  const std::size_t body = ReadHead(text, list.diskCount, list.title);
  std::string line;
  for (std::size_t pos = body; pos < text.size();) {
    pos = ReadListLine(text, pos, line);
    int number = 0;
    if (line.size() > 2 && line[0] == 'I' && line[1] == 'D' &&
        ScanDecimal(line.substr(2), 0, number) && number > list.lastDisk)
      list.lastDisk = number;
  }
  WalkSections(
      text, body, list.diskCount, [](std::size_t, const std::string&) { return true; },
      &list.sections);
  return list;
}

ListCheck CheckList(std::string_view text) {
  ListCheck check;
  auto fail = [&](ListCheck::Problem problem, std::string offending) {
    check.problem = problem;
    check.offending = std::move(offending);
    return check;
  };
  if (text.find('\0') != std::string_view::npos) return fail(ListCheck::kZeroByte, "KELVOD.LST");
  if (HasOverlongListLine(text)) return fail(ListCheck::kLongLine, "KELVOD.LST");
  int32_t diskCount = 0;
  std::string title;
  const std::size_t body = ReadHead(text, diskCount, title);
  if (!IsSafeTitle(title)) return fail(ListCheck::kTitle, title);

  // Every name the sections hand on stays inside the game folder.
  std::vector<std::size_t> reached;  // where each line handed on starts, in order
  WalkSections(
      text, body, diskCount,
      [&](std::size_t start, const std::string& name) {
        reached.push_back(start);
        if (IsSafeRelativeName(name)) return true;
        fail(ListCheck::kName, name);
        return false;
      },
      nullptr);
  if (!check) return check;

  // Every file line of the text must have been among them.
  std::string line;
  std::size_t next = 0;
  for (std::size_t pos = body; pos < text.size();) {
    const std::size_t start = pos;
    pos = ReadListLine(text, pos, line);
    if (!IsFileLine(line)) continue;
    if (next < reached.size() && reached[next] == start) {
      ++next;
      continue;
    }
    return fail(ListCheck::kUnreached, line);
  }
  return check;
}

bool ReadListFile(const std::string& path, std::string& text) {
  std::FILE* f = plat::OpenFile(path, "rb");
  if (!f) return false;
  std::string raw;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) raw.append(buf, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  // A list cut short by a read error would expand only part of the game.
  if (failed) return false;
  text.clear();
  text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i)
    if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) text += raw[i];
  return true;
}

namespace {

// The count line keeps its width of 8 characters so it can be overwritten in place.
bool CountLine(int32_t count, std::string& line) {
  line = Format("%8d\r\n", static_cast<int>(count));
  return line.size() == 10;
}

}  // namespace

bool ListWriter::WriteLines(const char* mode, const std::string& lines) {
  std::FILE* f = plat::OpenFile(path_, mode);
  if (!f) return false;
  bool ok = std::fwrite(lines.data(), 1, lines.size(), f) == lines.size();
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

bool ListWriter::Start(const std::string& title) {
  std::string count;
  CountLine(0, count);
  return WriteLines("wt", count + title + "\r\n");
}

bool ListWriter::AppendDiskLine(int32_t diskId) {
  return WriteLines("at", Format("ID%d\r\n", static_cast<int>(diskId)));
}

bool ListWriter::AppendFileLine(const std::string& writtenPath, int32_t diskCounter) {
  std::size_t skip = std::min(destination_.size(), writtenPath.size());
  return WriteLines(
      "at", Format("%d:", static_cast<int>(diskCounter - 1)) + writtenPath.substr(skip) + "\r\n");
}

int64_t ListWriter::Finish(int32_t diskCounter) {
  std::string count;
  if (!CountLine(diskCounter, count)) return -1;
  if (!AppendDiskLine(0)) return -1;
  std::FILE* f = plat::OpenFile(path_, "r+t");
  if (!f) return -1;
  bool ok = std::fwrite(count.data(), 1, count.size(), f) == count.size();
  ok = std::fflush(f) == 0 && ok;
  int64_t length = plat::FileLength(f);
  if (std::fclose(f) != 0) ok = false;
  return ok ? length : -1;
}

namespace {

uint64_t Digits(uint64_t n) {
  uint64_t d = 1;
  for (; n >= 10; n /= 10) ++d;
  return d;
}

}  // namespace

void ListSizeBound::Add(const std::string& relative, int64_t length) {
  const uint64_t n = static_cast<uint64_t>(std::max<int64_t>(length, 0));
  // ":" name "._lzs" CR LF: a name without extension gets the dot too.
  const uint64_t line = 1 + relative.size() + 5 + 2;
  names_ += line;
  ++lines_;
  // The coder's worst case: a flag byte for every eight literals.
  const uint64_t stream = n + n / 8 + 1;
  if (stream < static_cast<uint64_t>(kPieceStreamSize)) return;
  const uint64_t pieces = (stream + kPieceStreamSize - 1) / kPieceStreamSize;
  names_ += pieces * (line + Digits(pieces));
  lines_ += pieces;
}

uint64_t ListSizeBound::Bytes() const {
  // Every file line on a disk of its own, the last disk with only the
  // program and the list, and the end line: "ID" number CR LF each.
  const uint64_t disks = lines_ + 1;
  const uint64_t number = Digits(disks);
  return fixed_ + names_ + lines_ * number + (disks + 1) * (2 + number + 2);
}
