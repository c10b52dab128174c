// The SET arguments of the batch commands as disks: each argument is one
// disk of any kind (disk_source.h) or a folder that holds disks (folders
// of disks, and images recognised by their content whatever their names).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands/disk_source.h"

namespace disks {

// The number of an identity marker's name, "disk12.id" -> 12 (any case);
// 0 for any other name.
int MarkerNumber(std::string_view name);
// Whether a name is the set's list, kelvod.lst (any case).
bool IsListName(std::string_view name);

struct GivenDisk {
  std::unique_ptr<DiskSource> source;
  std::vector<int> numbers;  // of its markers, in its root folder
  std::string listName;      // the list as named on the disk; "" when it has none
};

// Its sources are read by one thread at a time.
class GivenSet {
 public:
  // Takes the SET arguments (host form). False, with one line in error
  // (English, names as the user gave them, shown through ShownText), when
  // an argument is neither a disk nor a holder of disks, a disk cannot be
  // read, or two disks claim one number.
  bool Resolve(const std::vector<std::string>& args, std::string& error);
  // After a failed Resolve: true when a disk was there but could not be
  // read (a damaged image, a tool that failed: the work failed), false when
  // the arguments themselves were wrong (usage).
  bool ReadFailed() const { return readFailed_; }

  // The disks by their numbers.
  const std::map<int, DiskSource*>& Disks() const { return byNumber_; }
  // The disk whose list is the set's: the highest-numbered of those that
  // hold one; nullptr when none does.
  DiskSource* ListDisk() const;
  // The list's name on that disk ("" when none).
  std::string ListName() const;
  // Every disk given, in the order found.
  const std::vector<GivenDisk>& All() const { return disks_; }
  // What was left out of holder folders, and why.
  const std::vector<std::string>& Notes() const { return notes_; }

 private:
  bool Add(std::unique_ptr<DiskSource> source, bool named, std::string& error);
  bool AddHolder(const std::string& folder, const std::string& shown, std::string& error);

  std::vector<GivenDisk> disks_;
  std::map<int, DiskSource*> byNumber_;
  std::vector<std::string> notes_;
  bool readFailed_ = false;
};

// Opens one disk: the first kind that recognises it; a file no kind
// recognises is tried as a FAT image, so that the refusal gives the
// image tools' reason.
std::unique_ptr<DiskSource> OpenDisk(const std::string& path, bool isFolder,
                                     const std::string& shown, std::string& error);

// Whether a folder (inner form) is the folder of one disk: its marker or
// the list lies in it.
bool IsDiskFolder(const std::string& folder);
// Whether a folder holds disk folders or disk images, for the interactive
// program's hint at start-up.
bool HoldsDisks(const std::string& folder);

}  // namespace disks
