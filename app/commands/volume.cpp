#include "app/commands/volume.h"

#include <cctype>

#include "app/commands/given_set.h"
#include "text/cp932.h"

namespace {

// The layouts the image formatter gives each size (boot sector, FATs, the
// root directory, then the data clusters); the tests hold every row against
// a freshly formatted image. The 1.25 MB disk of the Japanese machines has
// 1,024-byte sectors: one reserved, two FATs of two, six of root directory.
const FloppyFormat kFloppies[] = {
    {"720k", 720, 1024, 713, 112, "-f 720", {80, 2, 9, 512, 0xF9}},
    {"1200k", 1200, 512, 2371, 224, "-f 1200", {80, 2, 15, 512, 0xF9}},
    {"1232k",
     1232,
     1024,
     1221,
     192,
     "-t 77 -h 2 -s 8 -S 3 -c 1 -r 6 -L 2 -m 0xfe",
     {77, 2, 8, 1024, 0xFE}},
    {"1440k", 1440, 512, 2847, 224, "-f 1440", {80, 2, 18, 512, 0xF0}},
    {"2880k", 2880, 1024, 2863, 240, "-f 2880", {80, 2, 36, 512, 0xF0}},
};

constexpr uint64_t kSlotBytes = 32;
constexpr uint64_t kSmallestVolume = 64 * 1024;

// Characters a short name may hold besides letters and digits.
bool ShortNameSymbol(char c) {
  return std::string_view("!#$%&'()-@^_`{}~").find(c) != std::string_view::npos;
}

// One part of an 8.3 name: short enough, plain characters, one case.
bool PlainPart(std::string_view part, std::size_t most) {
  if (part.size() > most) return false;
  bool lower = false, upper = false;
  for (char c : part) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80) return false;
    if (std::islower(u)) {
      lower = true;
    } else if (std::isupper(u)) {
      upper = true;
    } else if (!std::isdigit(u) && !ShortNameSymbol(c)) {
      return false;
    }
  }
  return !(lower && upper);
}

}  // namespace

std::span<const FloppyFormat> FloppyFormats() { return kFloppies; }

std::string FloppySizeList() {
  std::string out;
  for (const FloppyFormat& f : kFloppies) out += (out.empty() ? "" : ", ") + std::string(f.name);
  return out;
}

std::vector<std::string> MformatArguments(const FloppyFormat& floppy) {
  std::vector<std::string> words;
  for (std::string_view rest = floppy.mformat; !rest.empty();) {
    const std::size_t blank = rest.find(' ');
    if (blank != 0) words.emplace_back(rest.substr(0, blank));
    rest.remove_prefix(blank == std::string_view::npos ? rest.size() : blank + 1);
  }
  return words;
}

const FloppyFormat* FloppyOfGeometry(const images::Geometry& g) {
  for (const FloppyFormat& f : kFloppies)
    if (f.geometry == g) return &f;
  return nullptr;
}

const FloppyFormat* FindFloppyFormat(const std::string& size) {
  std::string lower;
  for (char c : size) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const FloppyFormat& f : kFloppies)
    if (lower == f.name) return &f;
  return nullptr;
}

bool ParseVolumeSize(const std::string& text, uint64_t& bytes, const FloppyFormat*& floppy) {
  floppy = FindFloppyFormat(text);
  if (floppy) {
    bytes = floppy->clusters * floppy->clusterBytes;
    return true;
  }
  std::size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  if (digits == 0 || digits > 15) return false;
  uint64_t value = std::stoull(text.substr(0, digits));
  std::string unit = text.substr(digits);
  for (char& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (unit == "k" || unit == "kb" || unit == "kib") {
    value <<= 10;
  } else if (unit == "m" || unit == "mb" || unit == "mib") {
    value <<= 20;
  } else if (unit == "g" || unit == "gb" || unit == "gib") {
    value <<= 30;
  } else if (!unit.empty()) {
    return false;
  }
  bytes = value;
  return bytes >= kSmallestVolume;
}

int DirectorySlots(const std::string& name) {
  std::size_t dot = name.find('.');
  const bool shortName =
      dot != 0 && name.find('.', dot == std::string::npos ? 0 : dot + 1) == std::string::npos;
  if (shortName && !name.empty()) {
    std::string_view base = std::string_view(name).substr(0, dot);
    std::string_view ext =
        dot == std::string::npos ? std::string_view() : std::string_view(name).substr(dot + 1);
    if (!base.empty() && PlainPart(base, 8) && PlainPart(ext, 3)) return 1;
  }
  // The long name is kept in UTF-16: one unit per character of the code page.
  std::size_t units = 0;
  for (std::size_t i = 0; i < name.size(); i = cp932::Next(name, i)) ++units;
  return 1 + static_cast<int>((units + 12) / 13);
}

VolumeModel::VolumeModel(std::string root, uint64_t bytes, const FloppyFormat* floppy)
    : root_(std::move(root)), bytes_(bytes), floppy_(floppy) {}

void VolumeModel::Clear() {
  usedClusters_ = 0;
  rootSlots_ = 0;
  folderSlots_.clear();
  files_.clear();
  folders_.clear();
}

bool VolumeModel::Fresh() const {
  for (const auto& [relative, placed] : files_)
    if (disks::MarkerNumber(relative) == 0) return false;
  return true;
}

uint64_t VolumeModel::Clusters(uint64_t bytes) const {
  if (!floppy_) return bytes;
  return (bytes + floppy_->clusterBytes - 1) / floppy_->clusterBytes;
}

// A folder holds "." and ".." and its entries, in whole clusters.
uint64_t VolumeModel::FolderClusters(uint64_t slots) const {
  return Clusters((2 + slots) * kSlotBytes);
}

uint64_t VolumeModel::Capacity() const { return floppy_ ? floppy_->clusters : bytes_; }

// Room for an entry of `slots` directory slots in `parent` (the root when
// empty): false when the root's fixed slots are taken; else `grow` counts
// the clusters the parent folder grows by.
bool VolumeModel::EntryRoom(const std::string& parent, uint64_t slots, uint64_t& grow) {
  if (parent.empty()) return rootSlots_ + slots <= floppy_->rootEntries;
  const uint64_t before = folderSlots_[parent];
  grow += FolderClusters(before + slots) - FolderClusters(before);
  return true;
}

uint64_t VolumeModel::FreeBytes() {
  const uint64_t free = Capacity() > usedClusters_ ? Capacity() - usedClusters_ : 0;
  return floppy_ ? free * floppy_->clusterBytes : free;
}

namespace {

// The folder part (ending in '\', or empty) and the last level of a
// relative path without a trailing '\'.
void SplitLast(const std::string& relative, std::string& folder, std::string& name) {
  std::size_t sep = cp932::FindLast(relative, '\\');
  folder = sep == cp932::npos ? std::string() : relative.substr(0, sep + 1);
  name = sep == cp932::npos ? relative : relative.substr(sep + 1);
}

}  // namespace

bool VolumeModel::TakeFolder(const std::string& relative) {
  if (relative.empty() || folders_.count(relative)) return true;
  std::string parent, name;
  SplitLast(relative.substr(0, relative.size() - 1), parent, name);
  if (!TakeFolder(parent)) return false;
  if (!floppy_) {
    folders_.insert(relative);
    return true;
  }
  const uint64_t slots = static_cast<uint64_t>(DirectorySlots(name));
  uint64_t grow = 1;  // the new folder's own cluster
  if (!EntryRoom(parent, slots, grow) || usedClusters_ + grow > Capacity()) return false;
  usedClusters_ += grow;
  (parent.empty() ? rootSlots_ : folderSlots_[parent]) += slots;
  folders_.insert(relative);
  folderSlots_[relative] = 0;
  return true;
}

bool VolumeModel::Take(const std::string& path, uint64_t bytes, bool folder) {
  if (path.compare(0, root_.size(), root_) != 0) return true;  // not on this disk
  std::string relative = path.substr(root_.size());
  if (folder) {
    if (!relative.empty() && !cp932::EndsWithChar(relative, '\\')) relative += '\\';
    return TakeFolder(relative);
  }
  std::string parent, name;
  SplitLast(relative, parent, name);
  if (!TakeFolder(parent)) return false;
  const uint64_t clusters = Clusters(bytes);
  auto placed = files_.find(relative);
  if (placed != files_.end()) {
    // The same file written again (a retry): its old room is given back.
    if (usedClusters_ - placed->second + clusters > Capacity()) return false;
    usedClusters_ = usedClusters_ - placed->second + clusters;
    placed->second = clusters;
    return true;
  }
  uint64_t grow = clusters;
  const uint64_t slots = floppy_ ? static_cast<uint64_t>(DirectorySlots(name)) : 0;
  if ((floppy_ && !EntryRoom(parent, slots, grow)) || usedClusters_ + grow > Capacity())
    return false;
  usedClusters_ += grow;
  if (floppy_) (parent.empty() ? rootSlots_ : folderSlots_[parent]) += slots;
  files_[relative] = clusters;
  return true;
}

bool VolumeModel::FitsAnEmptyDisk(const std::string& relative, uint64_t bytes) const {
  VolumeModel fresh(root_, bytes_, floppy_);
  return fresh.Take(root_ + "disk1.id", 1, false) && fresh.Take(root_ + relative, bytes, false);
}
