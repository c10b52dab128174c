// A set as a batch command is given it: its disks where they were given,
// the list, and the access the extract run reads them through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/commands/disk_sets.h"
#include "runs/events.h"
#include "runs/list.h"

class GivenDisks final : public DiskAccess {
 public:
  // Takes the SET arguments (host form). False with a one-line message.
  bool Resolve(const std::vector<std::string>& args, std::string& error);
  // The list of the set, read and checked: -1, or the exit status when it
  // cannot be used (told).
  int ReadList(std::string& text, ParsedList& list);
  // How an inner path on one of the disks is shown: as the user gave the
  // disk, with the name on it.
  std::string Shown(const std::string& path) const;
  // The numbers of the disks given.
  std::vector<int32_t> Numbers() const;

  bool HasDisk(int32_t number) override;
  std::string FileOf(int32_t number, const std::string& relative) override;
  std::vector<std::string> FoldersOf(int32_t number) override;

 private:
  GivenSet set_;
};
