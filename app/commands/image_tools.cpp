#include "app/commands/image_tools.h"

#include <cstdio>

#include "platform/platform.h"
#include "platform/process.h"
#include "text/cp932.h"
#include "text/paths.h"
#include "text/shown.h"

namespace disks {

namespace {

constexpr const char* kOwnConfig = "own.rc";
constexpr const char* k932Config = "cp932.rc";

// Everything mtools reads from the environment is set here: the user's
// settings must not change how a name is stored or how a listing looks.
const std::vector<std::string> kToolVariables = {
    // Long names are converted with the locale's character set.
    "LC_ALL=C.UTF-8",
    // Period disks carry boot sectors of every kind.
    "MTOOLS_SKIP_CHECK=1", "MTOOLS_FAT_COMPATIBILITY=1",
    // The listing's columns, and names as they are stored.
    "MTOOLS_LOWER_CASE=0", "MTOOLS_DOTTED_DIR=0", "MTOOLS_TWENTY_FOUR_HOUR_CLOCK=1",
    "MTOOLS_DATE_STRING=yyyy-mm-dd", "MTOOLS_NO_VFAT=0", "MTOOLS_NAME_NUMERIC_TAIL=1",
    "MTOOLS_LOCK_TIMEOUT=5"};

}  // namespace

bool ImageToolsAvailable(std::string& error) {
#if defined(_WIN32)
  error =
      "floppy images are read and written by the Linux program (with mtools), not by kelvod.exe";
  return false;
#else
  for (const char* tool : {"mformat", "mcopy", "mdir"}) {
    if (!plat::ToolAvailable(tool)) {
      error = "floppy images need the image tools mformat, mcopy and mdir (Debian package: mtools)";
      return false;
    }
  }
  return true;
#endif
}

ToolFolder::~ToolFolder() {
  if (!inner_.empty()) plat::RemoveTree(inner_);
}

bool ToolFolder::Make(const std::string& parent, const char* prefix) {
  inner_ = plat::MakeTempFolder(parent, prefix);
  if (inner_.empty() || !plat::ToHostPath(inner_, host_)) return false;
  for (const auto& [name, text] :
       {std::pair{kOwnConfig, ""}, {k932Config, "default_codepage=932\n"}}) {
    std::FILE* f = plat::OpenFile(inner_ + name, "wb");
    if (!f) return false;
    const bool written = std::fputs(text, f) >= 0;
    if (std::fclose(f) != 0 || !written) return false;
  }
  return true;
}

int ToolFolder::Run(const std::vector<std::string>& argv, std::string& output, CodePage codePage,
                    std::size_t outputLimit) const {
  output.clear();
  plat::ToolSetup setup;
  setup.folder = host_;
  setup.env = kToolVariables;
  // No ~/.mtoolsrc of the user's changes the drive mapping: ours is the
  // only configuration besides the system's.
  setup.env.push_back("HOME=" + host_);
  setup.env.push_back(std::string("MTOOLSRC=") +
                      (codePage == CodePage::k932 ? k932Config : kOwnConfig));
  setup.unset = {"MTOOLS*", "LC_*", "LANG", "LANGUAGE"};
  setup.outputLimit = outputLimit;
  return plat::RunTool(argv, &output, setup);
}

std::string FatNameFault(std::string_view level, bool writing) {
  if (level.empty() || level == "." || level == "..") return "is no name";
  std::size_t units = 0;
  for (std::size_t i = 0; i < level.size(); i = cp932::Next(level, i), ++units) {
    const unsigned char c = static_cast<unsigned char>(level[i]);
    if (cp932::Next(level, i) != i + 1) continue;
    if (c < 0x20 || c == 0x7F) return "holds a control character";
    if (std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
      return std::string("holds '") + static_cast<char>(c) + "', which a FAT volume cannot hold";
  }
  if (!writing) return {};
  if (level.back() == '.' || level.back() == ' ')
    return "ends in a dot or a blank, which a FAT volume drops";
  if (units > 255) return "is longer than the 255 characters of a FAT name";
  std::string upper;
  for (char c : level) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  for (const char* device : {"CON", "PRN", "AUX", "NUL"})
    if (upper == device) return "is the name of a device";
  if (upper.size() == 4 && (upper.rfind("COM", 0) == 0 || upper.rfind("LPT", 0) == 0) &&
      upper[3] >= '1' && upper[3] <= '9')
    return "is the name of a device";
  return {};
}

std::string AbsolutePath(const std::string& inner) {
  PathParts parts;
  SplitPath(inner, parts);
  if (!parts.drive.empty() || (!inner.empty() && inner[0] == '\\')) return inner;
  std::string base = plat::CurrentFolder();
  AddTrailingSeparator(base);
  return base + inner;
}

std::string FoldCase(std::string_view name) {
  std::string out(name);
  for (std::size_t i = 0; i < out.size(); i = cp932::Next(out, i))
    if (out[i] >= 'a' && out[i] <= 'z' && cp932::Next(out, i) == i + 1)
      out[i] = static_cast<char>(out[i] - 32);
  return out;
}

std::string ToolReason(const std::string& output) {
  std::string out;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    start = end + 1;
    for (const char* noise : {"mdir: ", "mcopy: ", "mformat: ", "init :: ", "init : "}) {
      if (line.rfind(noise, 0) == 0) line.erase(0, std::string(noise).size());
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    if (line.empty() || line.rfind("Cannot initialize", 0) == 0) continue;
    out += (out.empty() ? "" : "; ") + line;
  }
  if (out.size() > 300) out = out.substr(0, 300) + "...";
  return ShownText(out.empty() ? "the image tools gave no reason" : out);
}

}  // namespace disks
