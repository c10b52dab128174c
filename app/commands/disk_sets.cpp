#include "app/commands/disk_sets.h"

#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/process.h"
#include "text/cp932.h"
#include "text/paths.h"

namespace {

// The image tools convert long names with the locale's character set.
const std::vector<std::string> kToolEnvironment = {"LC_ALL=C.UTF-8", "MTOOLS_SKIP_CHECK=1"};

struct Entry {
  std::string name;  // code page 932
  bool folder;
};

// The entries of a folder that are neither "." and ".." nor links, sorted.
std::vector<Entry> Entries(const std::string& folder) {
  std::vector<Entry> out;
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(folder + "*.*", e);
  if (!h) return out;
  do {
    if (!e.convertible || e.name == "." || e.name == "..") continue;
    if (plat::IsSymbolicLink(folder + e.name)) continue;
    out.push_back({e.name, e.isFolder});
  } while (plat::FindNext(h, e));
  plat::FindClose(h);
  return out;
}

bool IsListName(const std::string& name) { return cp932::CompareNoCase(name, "kelvod.lst") == 0; }

// A folder of one disk holds an identity marker or the list.
bool IsDiskFolder(const std::string& folder) {
  for (const Entry& e : Entries(folder))
    if (!e.folder && (MarkerNumber(e.name) > 0 || IsListName(e.name))) return true;
  return false;
}

bool IsImageName(const std::string& name) {
  std::size_t dot = cp932::FindLast(name, '.');
  return dot != cp932::npos && cp932::CompareNoCase(name.substr(dot), ".img") == 0;
}

std::string Host(const std::string& inner) { return plat::DisplayPath(inner); }

}  // namespace

int MarkerNumber(const std::string& name) {
  std::string lower;
  for (char c : name) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  if (lower.size() < 8 || lower.compare(0, 4, "disk") != 0 ||
      lower.compare(lower.size() - 3, 3, ".id") != 0)
    return 0;
  std::string digits = lower.substr(4, lower.size() - 7);
  if (digits.empty() || digits.size() > 9 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  return std::atoi(digits.c_str());
}

bool ImageToolsAvailable(std::string& error) {
  if (plat::ToolAvailable("mcopy") && plat::ToolAvailable("mformat")) return true;
  error = "floppy images need the image tools mformat and mcopy (Debian package: mtools)";
  return false;
}

bool WriteImage(const std::string& folder, const std::string& image, int kilobytes,
                std::string& error) {
  if (!ImageToolsAvailable(error)) return false;
  std::string output;
  const std::string hostImage = Host(image);
  if (plat::RunTool({"mformat", "-C", "-f", std::to_string(kilobytes), "-i", hostImage, "::"},
                    &output, kToolEnvironment) != 0) {
    error = hostImage + ": cannot format the image: " + output;
    return false;
  }
  std::vector<std::string> argv = {"mcopy", "-s", "-m", "-i", hostImage};
  std::string base = folder;
  AddTrailingSeparator(base);
  for (const Entry& e : Entries(base)) argv.push_back(Host(base + e.name));
  if (argv.size() == 5) return true;  // an empty disk
  argv.push_back("::/");
  if (plat::RunTool(argv, &output, kToolEnvironment) != 0) {
    error = hostImage + ": cannot copy onto the image: " + output;
    return false;
  }
  return true;
}

GivenSet::~GivenSet() {
  for (const std::string& folder : temporaries_) plat::RemoveTree(folder);
}

bool GivenSet::AddDisk(const std::string& folder, const std::string& shown, std::string& error) {
  bool any = false;
  for (const Entry& e : Entries(folder)) {
    if (e.folder) continue;
    if (IsListName(e.name) && listFolder.empty()) listFolder = folder;
    const int number = MarkerNumber(e.name);
    if (number <= 0) continue;
    auto [at, added] = disks.emplace(number, GivenDisk{folder, shown, false});
    if (!added && at->second.folder != folder) {
      error = "disk " + std::to_string(number) + " is given twice: " + at->second.shown + " and " +
              shown;
      return false;
    }
    any = true;
  }
  if (!any && listFolder != folder) {
    error = shown + ": no disk of a set (no disk marker, no kelvod.lst)";
    return false;
  }
  return true;
}

bool GivenSet::AddImage(const std::string& image, const std::string& shown, std::string& error) {
  if (!ImageToolsAvailable(error)) return false;
  const std::string folder = plat::MakeTempFolder(plat::TempFolder(), "kvi");
  if (folder.empty()) {
    error = "cannot make a temporary folder to read " + shown;
    return false;
  }
  temporaries_.push_back(folder);
  std::string output;
  if (plat::RunTool({"mcopy", "-s", "-n", "-m", "-i", Host(image), "::*", Host(folder)}, &output,
                    kToolEnvironment) != 0 &&
      Entries(folder).empty()) {
    error = shown + ": cannot read the floppy image: " + output;
    return false;
  }
  return AddDisk(folder, shown, error);
}

bool GivenSet::AddHolder(const std::string& folder, const std::string& shown, std::string& error) {
  bool any = false;
  for (const Entry& e : Entries(folder)) {
    const std::string path = folder + e.name;
    std::string hostName = Host(e.name);
    if (e.folder && IsDiskFolder(path + "\\")) {
      if (!AddDisk(path + "\\", shown + "/" + hostName, error)) return false;
      any = true;
    } else if (!e.folder && IsImageName(e.name)) {
      if (!AddImage(path, shown + "/" + hostName, error)) return false;
      any = true;
    }
  }
  if (!any) error = shown + ": holds no disk of a set (no disk folders, no images)";
  return any;
}

bool GivenSet::Resolve(const std::vector<std::string>& args, std::string& error) {
  const std::string here = plat::CurrentFolder();
  for (const std::string& arg : args) {
    std::string inner;
    if (!plat::FromHostPath(arg, inner)) {
      error = arg + ": the name cannot be used";
      return false;
    }
    // The links of the merged view need where the files are, not where
    // they are from here.
    PathParts parts;
    SplitPath(inner, parts);
    if (parts.drive.empty() && !inner.empty() && inner[0] != '\\') {
      std::string base = here;
      AddTrailingSeparator(base);
      inner = base + inner;
    }
    std::string folder = inner;
    AddTrailingSeparator(folder);
    plat::FindEntry e;
    plat::FindHandle* h = plat::FindFirst(inner, e);
    if (!h) {
      error = arg + ": not found";
      return false;
    }
    plat::FindClose(h);
    bool ok = !e.isFolder            ? AddImage(inner, arg, error)
              : IsDiskFolder(folder) ? AddDisk(folder, arg, error)
                                     : AddHolder(folder, arg, error);
    if (!ok) return false;
  }
  return true;
}

bool GivenSet::Merge(const std::string& from, const std::string& to) {
  for (const Entry& e : Entries(from)) {
    if (e.folder) {
      plat::MakeFolder(to + e.name);
      if (!Merge(from + e.name + "\\", to + e.name + "\\")) return false;
    } else if (!plat::MakeLink(from + e.name, to + e.name)) {
      // The first disk that holds a name wins; another is no part of the set.
      plat::FindEntry existing;
      plat::FindHandle* h = plat::FindFirst(to + e.name, existing);
      if (!h) return false;
      plat::FindClose(h);
    }
  }
  return true;
}

std::string GivenSet::MergedView() {
  const std::string view = plat::MakeTempFolder(plat::TempFolder(), "kvs");
  if (view.empty()) return {};
  temporaries_.push_back(view);
  std::vector<std::string> folders;
  for (const auto& [number, disk] : disks) folders.push_back(disk.folder);
  if (!listFolder.empty()) folders.push_back(listFolder);
  for (const std::string& folder : folders)
    if (!Merge(folder, view)) return {};
  return view;
}
