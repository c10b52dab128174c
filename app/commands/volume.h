// The volume a folder stands for when the batch commands make a disk set
// into folders or floppy images: how much a disk of that size can hold.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "fileops/space_model.h"
#include "images/disk_image.h"

// A FAT12 floppy as the image tools format it: one row of the one table
// of sizes that the usage text, the manual and the image writer all use.
struct FloppyFormat {
  const char* name;           // "1440k"
  int formatKilobytes;        // the size in KiB (the formatter's -f for all but 1232k)
  uint64_t clusterBytes;      // allocation unit
  uint64_t clusters;          // data clusters
  uint32_t rootEntries;       // fixed slots of the root directory
  const char* mformat;        // the formatter's arguments that make it, blank-separated
  images::Geometry geometry;  // the disk as the image containers describe it
};

// The table, smallest first.
std::span<const FloppyFormat> FloppyFormats();
// "720k, 1200k, 1232k, 1440k, 2880k", for usage texts and the manual.
std::string FloppySizeList();
// The formatter's arguments of a row, one word each.
std::vector<std::string> MformatArguments(const FloppyFormat& floppy);
// The row of a name of the table (any case); nullptr for any other text
// ("1.44m" is not taken).
const FloppyFormat* FindFloppyFormat(const std::string& size);
// The row of a geometry; nullptr when none has it.
const FloppyFormat* FloppyOfGeometry(const images::Geometry& g);
// A volume size: a floppy format, or a byte count with an optional k, m or
// g suffix (powers of 1024). False when it is neither or below 64 KiB.
bool ParseVolumeSize(const std::string& text, uint64_t& bytes, const FloppyFormat*& floppy);

// Directory slots a file or folder name takes on a FAT volume: one, and
// the long-name slots (13 UTF-16 units each) of a name that is no plain
// 8.3 name in one case. name: code page 932.
int DirectorySlots(const std::string& name);

// What has been put on the disk in the drive, and whether more fits: for a
// floppy format every cluster, directory slot and directory cluster is
// counted, so that a folder that fits the model fits the floppy; for any
// other size the bytes of the files are.
class VolumeModel : public SpaceModel {
 public:
  // root: the folder that stands for the disk (inner form, ending in '\').
  VolumeModel(std::string root, uint64_t bytes, const FloppyFormat* floppy);
  bool Take(const std::string& path, uint64_t bytes, bool folder) override;
  uint64_t FreeBytes() override;
  bool FitsAnEmptyDisk(const std::string& relative, uint64_t bytes) const override;
  // A fresh disk was put in.
  void Clear();
  // No file but its identity marker was put on the disk since it was put
  // in (folders are made for the file that comes next): what does not fit
  // it fits no other disk either.
  bool Fresh() const;

 private:
  uint64_t Clusters(uint64_t bytes) const;
  uint64_t Capacity() const;  // floppy: data clusters; otherwise bytes
  bool EntryRoom(const std::string& parent, uint64_t slots, uint64_t& grow);
  uint64_t FolderClusters(uint64_t slots) const;
  bool TakeFolder(const std::string& relative);

  std::string root_;
  uint64_t bytes_;
  const FloppyFormat* floppy_;
  uint64_t usedClusters_ = 0;  // floppy: clusters; otherwise bytes
  uint64_t rootSlots_ = 0;
  std::map<std::string, uint64_t> folderSlots_;  // slots taken in each folder
  std::map<std::string, uint64_t> files_;        // clusters (or bytes) of each file
  std::set<std::string> folders_;
};
