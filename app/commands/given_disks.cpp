#include "app/commands/given_disks.h"

#include "app/commands/batch_options.h"
#include "app/exit_status.h"
#include "platform/platform.h"
#include "runs/expander.h"
#include "text/cp932.h"

bool GivenDisks::Resolve(const std::vector<std::string>& args, std::string& error) {
  return set_.Resolve(args, error);
}

int GivenDisks::ReadList(std::string& text, ParsedList& list) {
  if (set_.listFolder.empty()) {
    Complain("no kelvod.lst among the disks given: nothing to work on");
    return kExitUsage;
  }
  const std::string path = set_.listFolder + "kelvod.lst";
  if (!ReadListFile(path, text)) {
    Complain(Shown(path) + ": cannot be read");
    return kExitFailed;
  }
  if (ListCheck check = CheckList(text); !check) {
    Complain(Shown(path) + (check.problem == ListCheck::kLongLine
                                ? ": damaged: a line is longer than 259 bytes"
                                : ": damaged or unsafe: " + cp932::ShownLine(check.offending)));
    return kExitFailed;
  }
  list = ParseList(text);
  return -1;
}

std::string GivenDisks::Shown(const std::string& path) const {
  for (const auto& [number, disk] : set_.disks)
    if (path.compare(0, disk.folder.size(), disk.folder) == 0)
      return disk.shown + "/" + plat::DisplayPath(path.substr(disk.folder.size()));
  return plat::DisplayPath(path);
}

std::vector<int32_t> GivenDisks::Numbers() const {
  std::vector<int32_t> out;
  for (const auto& [number, disk] : set_.disks) out.push_back(number);
  return out;
}

bool GivenDisks::HasDisk(int32_t number) { return set_.disks.count(number) != 0; }

std::string GivenDisks::FileOf(int32_t number, const std::string& relative) {
  auto disk = set_.disks.find(number);
  if (disk != set_.disks.end()) return disk->second.folder + relative;
  // A path that names what is missing and that nothing can open.
  return "\\(disk " + std::to_string(number) + " not given)\\" + relative;
}

std::vector<std::string> GivenDisks::FoldersOf(int32_t number) {
  auto disk = set_.disks.find(number);
  if (disk == set_.disks.end()) return {};
  return DriveAccess(disk->second.folder).FoldersOf(number);
}
