#include "runs/listfile.h"

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"
#include "text/format.h"

namespace {

// The count line keeps its width of 8 characters so it can be overwritten in place.
bool CountLine(int32_t count, std::string& line) {
  line = Format("%8d\r\n", static_cast<int>(count));
  return line.size() == 10;
}

}  // namespace

bool ListFile::WriteLines(const char* mode, const std::string& lines) {
  std::FILE* f = plat::OpenFile(state_.ListTempPath, mode);
  if (!f) return false;
  bool ok = std::fwrite(lines.data(), 1, lines.size(), f) == lines.size();
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

bool ListFile::StartListFile(const std::string& title) {
  std::string count;
  CountLine(0, count);
  return WriteLines("wt", count + title + "\r\n");
}

bool ListFile::AppendDiskLine(int32_t diskId) {
  return WriteLines("at", Format("ID%d\r\n", static_cast<int>(diskId)));
}

bool ListFile::AppendFileLine(const std::string& writtenPath, int32_t diskCounter) {
  std::size_t skip = std::min(state_.DestinationFolder.size(), writtenPath.size());
  return WriteLines(
      "at", Format("%d:", static_cast<int>(diskCounter - 1)) + writtenPath.substr(skip) + "\r\n");
}

int64_t ListFile::FinishListFile(int32_t diskCounter) {
  std::string count;
  if (!CountLine(diskCounter, count)) return -1;
  if (!AppendDiskLine(0)) return -1;
  std::FILE* f = plat::OpenFile(state_.ListTempPath, "r+t");
  if (!f) return -1;
  bool ok = std::fwrite(count.data(), 1, count.size(), f) == count.size();
  ok = std::fflush(f) == 0 && ok;
  int64_t length = plat::FileLength(f);
  if (std::fclose(f) != 0) ok = false;
  return ok ? length : -1;
}
