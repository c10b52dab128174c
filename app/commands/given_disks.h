// A set as a batch command is given it: its disks where they were given
// (folders and images), the list, and the access the extract run reads
// them through, each file fetched from the disk its list section names.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/commands/given_set.h"
#include "runs/events.h"
#include "runs/list.h"

class GivenDisks final : public DiskAccess {
 public:
  // Takes the SET arguments (host form). False with a one-line message;
  // ReadFailed() then tells whether a disk could not be read (status 2)
  // or the arguments were wrong (status 1).
  bool Resolve(const std::vector<std::string>& args, std::string& error);
  bool ReadFailed() const { return set_.ReadFailed(); }
  // The list of the set, read and checked: -1, or the exit status when it
  // cannot be used (told).
  int ReadList(std::string& text, ParsedList& list);
  // How a path the run was given is shown: as the user gave the disk, with
  // the name on it.
  std::string Shown(const std::string& path) const;
  // The numbers of the disks given.
  std::vector<int32_t> Numbers() const;
  // What reading the disks noted (odd sectors, names left out).
  std::vector<std::string> Notes() const;
  const disks::GivenSet& set() const { return set_; }

  // For a salvage: disks without a marker get the numbers after the
  // others; the disks by number afterwards.
  void NumberTheRest();
  const std::map<int32_t, DiskSource*>& ByNumber() const { return byNumber_; }
  // A file listed as `listed` lies on disk `number` as `actual` (a name
  // copied in its short form).
  void Alias(int32_t number, const std::string& listed, const std::string& actual) {
    aliases_[{number, listed}] = actual;
  }

  bool HasDisk(int32_t number) override;
  std::string FileOf(int32_t number, const std::string& relative) override;
  std::vector<std::string> FoldersOf(int32_t number) override;
  void Release() override;

 private:
  disks::GivenSet set_;
  std::map<int32_t, DiskSource*> byNumber_;  // the set's numbers, and those a salvage gave
  std::map<std::pair<int32_t, std::string>, std::string> aliases_;
  std::map<std::string, std::string> shown_;  // path handed out -> as shown
};
