// The room on a disk that is not a real disk: a volume of a given size that
// a folder stands for (the batch commands make sets into folders and
// images). Without one the real disk decides.
#pragma once

#include <cstdint>
#include <string>

class SpaceModel {
 public:
  virtual ~SpaceModel() = default;
  // Takes room for a file of `bytes` (or a folder) at path, or returns
  // false when it does not fit. Taking the same path again replaces it.
  virtual bool Take(const std::string& path, uint64_t bytes, bool folder) = 0;
  virtual uint64_t FreeBytes() = 0;
  // Whether a file of `bytes` at `relative` (below the disk's folder) fits
  // a fresh disk beside its identity marker: the look before a make run
  // writes anything.
  virtual bool FitsAnEmptyDisk(const std::string& relative, uint64_t bytes) const = 0;
};
