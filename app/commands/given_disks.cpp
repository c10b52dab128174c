#include "app/commands/given_disks.h"

#include "app/commands/batch_commands.h"
#include "app/commands/batch_options.h"
#include "app/exit_status.h"
#include "fileops/naming.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/shown.h"

namespace {

// A relative name on a disk, in the host's form.
std::string HostRelative(const std::string& relative) {
  std::string out = plat::DisplayPath(relative);
  while (!out.empty() && out[0] == '/') out.erase(0, 1);
  return out;
}

}  // namespace

bool GivenDisks::Resolve(const std::vector<std::string>& args, std::string& error) {
  if (!set_.Resolve(args, error)) return false;
  for (const auto& [number, disk] : set_.Disks()) byNumber_[number] = disk;
  return true;
}

void GivenDisks::NumberTheRest() {
  int32_t next = byNumber_.empty() ? 1 : byNumber_.rbegin()->first + 1;
  for (const disks::GivenDisk& disk : set_.All())
    if (disk.numbers.empty()) byNumber_[next++] = disk.source.get();
}

int GivenDisks::ReadList(std::string& text, ParsedList& list) {
  DiskSource* disk = set_.ListDisk();
  if (!disk) {
    Complain("no kelvod.lst among the disks given: nothing to work on");
    return kExitUsage;
  }
  const std::string shown = disk->Shown() + "/" + HostRelative(set_.ListName());
  std::string error;
  const std::string path = disk->Fetch(set_.ListName(), error);
  if (path.empty() || !ReadListFile(path, text)) {
    Complain(ShownText(shown) + ": cannot be read" + (error.empty() ? "" : ": " + error));
    return kExitFailed;
  }
  disk->Release();
  if (ListCheck check = CheckList(text); !check) {
    Complain(ShownText(shown) +
             (check.problem == ListCheck::kLongLine
                  ? ": damaged: a line is longer than 259 bytes"
                  : ": damaged or unsafe: " + cp932::ShownLine(check.offending)));
    return kExitFailed;
  }
  list = ParseList(text);
  return -1;
}

std::string GivenDisks::Shown(const std::string& path) const {
  auto found = shown_.find(path);
  return found != shown_.end() ? found->second : plat::DisplayPath(path);
}

std::vector<int32_t> GivenDisks::Numbers() const {
  std::vector<int32_t> out;
  for (const auto& [number, disk] : byNumber_) out.push_back(number);
  return out;
}

std::vector<std::string> GivenDisks::Notes() const {
  std::vector<std::string> out = set_.Notes();
  for (const disks::GivenDisk& disk : set_.All())
    for (const std::string& note : disk.source->Notes())
      out.push_back(ShownText(disk.source->Shown()) + ": " + note);
  return out;
}

bool GivenDisks::HasDisk(int32_t number) { return byNumber_.count(number) != 0; }

std::string GivenDisks::FileOf(int32_t number, const std::string& relative) {
  auto disk = byNumber_.find(number);
  if (disk == byNumber_.end()) {
    // A path that names what is missing and that nothing can open.
    return "\\(disk " + std::to_string(number) + " not given)\\" + relative;
  }
  auto alias = aliases_.find({number, relative});
  const std::string& actual = alias == aliases_.end() ? relative : alias->second;
  const std::string shown = disk->second->Shown() + "/" + HostRelative(actual);
  std::string error;
  std::string path = disk->second->Fetch(actual, error);
  // What cannot be fetched is asked for like a missing file, under a path
  // that opens nothing.
  if (path.empty()) path = "\\(" + error + ")\\" + relative;
  shown_[path] = shown;
  return path;
}

std::vector<std::string> GivenDisks::FoldersOf(int32_t number) {
  auto disk = byNumber_.find(number);
  if (disk == byNumber_.end()) return {};
  // Another set beside this one (its markers or its list) is not ours.
  std::vector<std::string> other;
  for (const DiskEntry& e : disk->second->Entries()) {
    const std::size_t sep = cp932::FindLast(e.name, '\\');
    if (e.folder || sep == cp932::npos) continue;
    const std::string leaf = e.name.substr(sep + 1);
    if (disks::MarkerNumber(leaf) > 0 || disks::IsListName(leaf))
      other.push_back(e.name.substr(0, sep + 1));
  }
  std::vector<std::string> out;
  for (const DiskEntry& e : disk->second->Entries()) {
    if (!e.folder || !IsSafeRelativeName(e.name)) continue;
    const std::string folder = e.name + "\\";
    bool foreign = false;
    for (const std::string& o : other) foreign = foreign || folder.compare(0, o.size(), o) == 0;
    if (!foreign) out.push_back(folder);
  }
  return out;
}

void GivenDisks::Release() {
  for (const disks::GivenDisk& disk : set_.All()) disk.source->Release();
  shown_.clear();
}

std::vector<std::pair<std::string, ContentHashes>> ImageHashes(const GivenDisks& given) {
  std::vector<std::pair<std::string, ContentHashes>> out;
  for (const disks::GivenDisk& disk : given.set().All()) {
    const std::string& path = disk.source->Path();
    if (!plat::IsRegularFile(path)) continue;  // a folder
    std::FILE* f = plat::OpenFile(path, "rb");
    if (!f) continue;
    ContentHasher hasher;
    unsigned char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
      hasher.Update(buffer, n);
    std::fclose(f);
    out.emplace_back(ShownText(disk.source->Shown()), hasher.Finish());
  }
  return out;
}
