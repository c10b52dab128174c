// The list file of a disk set, in one place: its lines (count line, title
// line, disk lines, file lines, end line), the reader every reader uses
// (window start-up, the extract run, each batch command), its checks, and
// the writer of a make run. On disk every line ends with CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/paths.h"

// The longest line the readers accept (they take lines into path-sized
// buffers); a list with a longer line is refused when it is read.
inline constexpr std::size_t kMaxListLine = kMaxPathBytes;

// Reads the line that starts at pos in a zero-terminated text (the end of
// the text, or a zero byte, is the terminator) into line, without its line
// feed, and returns the position after the line feed. A lead byte is copied
// with the byte after it, which never ends the line (unless it is the
// terminator). At the terminator the line is empty and pos is returned.
std::size_t ReadListLine(std::string_view text, std::size_t pos, std::string& line);
// True when some line of text is longer than kMaxListLine bytes.
bool HasOverlongListLine(std::string_view text);

// A list as the extract run follows it.
struct ParsedList {
  // The count line: disks 1 to diskCount - 1 make up the set (0 when it is
  // no number).
  int32_t diskCount = 0;
  std::string title;
  // The file lines of each disk section, by position (a section is opened
  // by its first line, whatever number a disk line there carries, and ends
  // at a disk line or an empty line); their names after the first colon.
  std::vector<std::vector<std::string>> sections;
  // The highest disk number a disk line gives, also behind the end line: a
  // last disk that got only the program and the list lies beyond the count.
  int32_t lastDisk = 0;
  // The disk whose section lists name (the first that does), or 0.
  int32_t DiskOf(const std::string& name) const;
};
ParsedList ParseList(std::string_view text);

// The checks a list must pass before anything is written from it.
struct ListCheck {
  enum Problem {
    kNone,
    kZeroByte,   // a NUL byte: the text would end there for every reader
    kLongLine,   // a line longer than kMaxListLine
    kTitle,      // the title cannot name a folder and a menu entry
    kName,       // a listed name would reach outside the game folder
    kUnreached,  // a file line no disk section reaches (count, disk lines)
  } problem = kNone;
  // The offending title, name or line, for the message.
  std::string offending;
  explicit operator bool() const { return problem == kNone; }
};
// text: the list as read (LF line ends).
ListCheck CheckList(std::string_view text);

// Reads a list file whole, each CR LF as LF (as text-mode reading gives
// it). False when it cannot be opened or read.
bool ReadListFile(const std::string& path, std::string& text);

// The most bytes the list of a make run can take, known before anything
// is written so that the last disk is known to hold the program and the
// list. Each file counts with its head line and, when its code stream could
// reach a piece's size, a line for every piece its worst-case stream makes;
// each line may open a disk of its own.
class ListSizeBound {
 public:
  explicit ListSizeBound(const std::string& title) : fixed_(10 + title.size() + 2) {}
  // relative: the file's name in the work folder; length: its bytes.
  void Add(const std::string& relative, int64_t length);
  uint64_t Bytes() const;

 private:
  uint64_t fixed_;      // the count line, the title line
  uint64_t names_ = 0;  // the file lines without their disk numbers
  uint64_t lines_ = 0;
};

// The list of a make run, written to a file line by line: one open, write
// and close per line, so the list on disk is complete after every line and
// no stream stays open while disks are changed. Each call returns false
// when its lines could not be written completely.
class ListWriter {
 public:
  // path: the list file; file lines are named relative to destination.
  ListWriter(const std::string& path, const std::string& destination)
      : path_(path), destination_(destination) {}
  bool Start(const std::string& title);
  bool AppendDiskLine(int32_t diskId);
  // The line "n:name" of a file just written, n = diskCounter - 1.
  bool AppendFileLine(const std::string& writtenPath, int32_t diskCounter);
  // Appends the end line and writes the count over the placeholder;
  // returns the file's length, or -1 when it failed.
  int64_t Finish(int32_t diskCounter);

 private:
  bool WriteLines(const char* mode, const std::string& lines);
  const std::string& path_;
  const std::string& destination_;
};
