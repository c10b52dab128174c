#include "app/commands/progress_line.h"

#include <algorithm>
#include <cstdio>

#include "platform/console.h"

namespace {

constexpr int kBarWidth = 20;
constexpr std::size_t kLineWidth = 110;

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
  return text;
}

}  // namespace

std::string EndOfName(const std::string& name, std::size_t room) {
  if (name.size() <= room) return name;
  if (room <= 3) return "";
  std::size_t from = name.size() - (room - 3);
  while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
  return "..." + name.substr(from);
}

ProgressLine::ProgressLine(bool quiet) : on_(!quiet && plat::StdErrIsTerminal()) {}

void ProgressLine::SetTotals(uint64_t files, uint64_t bytes) {
  filesTotal_ = files;
  bytesTotal_ = bytes;
  Draw(false);
}

void ProgressLine::BeginFile(const std::string& shown, uint64_t bytes) {
  EndFile();
  file_ = shown;
  fileBytes_ = bytes;
  within_ = withinTotal_ = 0;
  inFile_ = true;
  Draw(false);
}

void ProgressLine::Within(uint64_t done, uint64_t total) {
  within_ = done;
  withinTotal_ = total;
  Draw(false);
}

void ProgressLine::EndFile() {
  if (!inFile_) return;
  inFile_ = false;
  ++filesDone_;
  bytesDone_ += fileBytes_;
  within_ = withinTotal_ = 0;
}

void ProgressLine::SetDisk(int32_t number) {
  disk_ = number;
  Draw(false);
}

void ProgressLine::Erase() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

void ProgressLine::Draw(bool force) {
  if (!on_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && shown_ && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  // The whole run: by bytes where they are known, the file at work counted
  // by how far it has come; else by files.
  double fraction = 0;
  const double inFile = withinTotal_ ? static_cast<double>(within_) / withinTotal_ : 0;
  if (bytesTotal_)
    fraction = (bytesDone_ + inFile * fileBytes_) / static_cast<double>(bytesTotal_);
  else if (filesTotal_)
    fraction = (filesDone_ + inFile) / static_cast<double>(filesTotal_);
  fraction = std::clamp(fraction, 0.0, 1.0);
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string line = "\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') +
                     "] " + std::to_string(static_cast<int>(fraction * 100)) + "%  " +
                     std::to_string(filesDone_) +
                     (filesTotal_ ? "/" + std::to_string(filesTotal_) : "") + " files";
  if (bytesTotal_) line += "  " + Megabytes(bytesDone_) + "/" + Megabytes(bytesTotal_) + " MB";
  if (disk_) line += "  disk " + std::to_string(disk_);
  if (!file_.empty() && line.size() + 2 < kLineWidth)
    line += "  " + EndOfName(file_, kLineWidth - line.size() - 2);
  std::fputs(line.c_str(), stderr);
  std::fputs("\033[K", stderr);
  std::fflush(stderr);
  shown_ = true;
}
