#include "app/commands/disk_source.h"

#include "app/commands/sources.h"

const std::vector<std::string>& DiskSource::Notes() const {
  static const std::vector<std::string> none;
  return none;
}

const std::vector<DiskSourceKind>& DiskSourceKinds() {
  static const std::vector<DiskSourceKind> kinds = {
      {"folder", disks::IsFolderDisk, disks::OpenFolderDisk},
      {"container-image", disks::IsContainerImage, disks::OpenContainerImage},
      {"fat-image", disks::IsFatImage, disks::OpenFatImage},
  };
  return kinds;
}
