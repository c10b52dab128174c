#include "app/commands/given_set.h"

#include <algorithm>

#include "app/commands/image_tools.h"
#include "app/commands/sources.h"
#include "images/disk_image.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/paths.h"
#include "text/shown.h"

namespace disks {

namespace {

// What lies at a path: a folder, an ordinary file, or neither.
enum class Found { kNothing, kFolder, kFile };
Found Look(const std::string& path) {
  std::string folder = path;
  AddTrailingSeparator(folder);
  plat::FindEntry e;
  plat::FindResult result;
  // The folder part of a search is taken literally: this also holds for
  // names with wildcard characters.
  if (plat::FindHandle* h = plat::FindFirst(folder + "*.*", e, &result)) {
    plat::FindClose(h);
    return Found::kFolder;
  }
  if (result == plat::FindResult::kUnreadable) return Found::kFolder;
  return plat::IsRegularFile(path) ? Found::kFile : Found::kNothing;
}

// The entries of a folder that are neither links nor "." and "..".
template <typename Visit>
void EachEntry(const std::string& folder, Visit visit) {
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(folder + "*.*", e);
  for (bool more = h != nullptr; more; more = plat::FindNext(h, e)) {
    if (e.isLink || (e.convertible && (e.name == "." || e.name == ".."))) continue;
    if (!visit(e)) break;
  }
  if (h) plat::FindClose(h);
}

}  // namespace

int MarkerNumber(std::string_view name) {
  std::string lower;
  for (char c : name) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  if (lower.size() < 8 || lower.compare(0, 4, "disk") != 0 ||
      lower.compare(lower.size() - 3, 3, ".id") != 0)
    return 0;
  const std::string digits = lower.substr(4, lower.size() - 7);
  if (digits.empty() || digits.size() > 9 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  return std::stoi(digits);
}

bool IsListName(std::string_view name) { return cp932::CompareNoCase(name, "kelvod.lst") == 0; }

bool IsDiskFolder(const std::string& folder) {
  std::string base = folder;
  AddTrailingSeparator(base);
  bool disk = false;
  EachEntry(base, [&](const plat::FindEntry& e) {
    disk = !e.isFolder && e.convertible && (MarkerNumber(e.name) > 0 || IsListName(e.name));
    return !disk;
  });
  return disk;
}

bool HoldsDisks(const std::string& folder) {
  std::string base = folder;
  AddTrailingSeparator(base);
  bool holds = false;
  EachEntry(base, [&](const plat::FindEntry& e) {
    if (!e.convertible) return true;
    const std::string path = base + e.name;
    holds =
        e.isFolder ? IsDiskFolder(path) : IsContainerImage(path, false) || IsFatImage(path, false);
    return !holds;
  });
  return holds;
}

namespace {

// What a file's name alone makes it: an image of a container format, or
// raw sectors (kRaw), or neither.
images::ImageFormat NamedFormat(const std::string& path) {
  const std::size_t sep = cp932::FindLast(path, '\\');
  return images::DetectImage("", std::string_view(path).substr(sep == cp932::npos ? 0 : sep + 1));
}

}  // namespace

std::unique_ptr<DiskSource> OpenDisk(const std::string& path, bool isFolder,
                                     const std::string& shown, std::string& error) {
  for (const DiskSourceKind& kind : DiskSourceKinds())
    if (kind.recognises(path, isFolder)) return kind.open(path, shown, error);
  // Named, but not recognised by its content: the reason comes from the
  // format its name claims, else from the image tools.
  const images::ImageFormat named = NamedFormat(path);
  if (named != images::ImageFormat::kUnknown && named != images::ImageFormat::kRaw)
    return OpenContainerImage(path, shown, error);
  return OpenFatImage(path, shown, error);
}

DiskSource* GivenSet::ListDisk() const {
  const GivenDisk* best = nullptr;
  int bestNumber = -1;
  for (const GivenDisk& d : disks_) {
    if (d.listName.empty()) continue;
    const int number =
        d.numbers.empty() ? 0 : *std::max_element(d.numbers.begin(), d.numbers.end());
    if (number > bestNumber) {
      best = &d;
      bestNumber = number;
    }
  }
  return best ? best->source.get() : nullptr;
}

std::string GivenSet::ListName() const {
  const DiskSource* list = ListDisk();
  for (const GivenDisk& d : disks_)
    if (d.source.get() == list && list) return d.listName;
  return {};
}

bool GivenSet::Add(std::unique_ptr<DiskSource> source, bool named, std::string& error) {
  GivenDisk disk;
  for (const DiskEntry& e : source->Entries()) {
    if (e.folder || cp932::Find(e.name, '\\') != cp932::npos) continue;
    if (const int n = MarkerNumber(e.name); n > 0) disk.numbers.push_back(n);
    if (IsListName(e.name) && disk.listName.empty()) disk.listName = e.name;
  }
  if (disk.numbers.empty() && disk.listName.empty()) {
    const std::string why = source->Shown() + ": no disk of a set (no disk marker, no kelvod.lst)";
    if (named)
      error = why;
    else
      notes_.push_back(why + ", left out");
    return !named;
  }
  plat::FileId id;
  const bool known = plat::GetFileId(source->Path(), id);
  for (const GivenDisk& other : disks_) {
    plat::FileId otherId;
    // The same disk named twice (itself and through its holder) is one.
    if (known && plat::GetFileId(other.source->Path(), otherId) && otherId == id) return true;
  }
  for (int n : disk.numbers) {
    auto [at, added] = byNumber_.emplace(n, source.get());
    if (!added && at->second != source.get()) {
      error = "disk " + std::to_string(n) + " is given twice: " + at->second->Shown() + " and " +
              source->Shown();
      return false;
    }
  }
  disk.source = std::move(source);
  disks_.push_back(std::move(disk));
  return true;
}

bool GivenSet::AddHolder(const std::string& folder, const std::string& shown, std::string& error) {
  const std::size_t before = disks_.size();
  bool ok = true;
  EachEntry(folder, [&](const plat::FindEntry& e) {
    const std::string memberShown = ShownText(shown + plat::kHostSeparator + e.hostName);
    if (!e.convertible) {
      notes_.push_back(memberShown + ": the name has no code page 932 form, left out");
      return true;
    }
    const std::string path = folder + e.name;
    const bool disk =
        e.isFolder ? IsDiskFolder(path) : IsContainerImage(path, false) || IsFatImage(path, false);
    if (!disk && !e.isFolder && NamedFormat(path) != images::ImageFormat::kUnknown)
      notes_.push_back(memberShown + ": named like a disk image but none by its content, left out");
    if (!disk) return true;
    std::unique_ptr<DiskSource> source = OpenDisk(path, e.isFolder, memberShown, error);
    readFailed_ = !source;
    ok = source && Add(std::move(source), false, error);
    return ok;
  });
  if (ok && disks_.size() == before) {
    error = ShownText(shown) + ": holds no disk of a set (no disk folders, no images)";
    return false;
  }
  return ok;
}

bool GivenSet::Resolve(const std::vector<std::string>& args, std::string& error) {
  for (const std::string& arg : args) {
    const std::string shown = ShownText(arg);
    std::string inner;
    if (!plat::FromHostPath(arg, inner)) {
      error = shown + ": the name has no code page 932 form";
      return false;
    }
    inner = AbsolutePath(inner);
    std::string trimmed = inner;
    while (trimmed.size() > 1 && cp932::EndsWithChar(trimmed, '\\')) trimmed.pop_back();
    const Found found = Look(trimmed);
    if (found == Found::kNothing) {
      error = shown + ": not found";
      return false;
    }
    if (found == Found::kFolder && !IsDiskFolder(trimmed)) {
      std::string folder = trimmed;
      AddTrailingSeparator(folder);
      if (!AddHolder(folder, arg, error)) return false;
      continue;
    }
    std::unique_ptr<DiskSource> source = OpenDisk(trimmed, found == Found::kFolder, shown, error);
    readFailed_ = !source;
    if (!source || !Add(std::move(source), true, error)) return false;
  }
  return true;
}

}  // namespace disks
