// The kinds of disk, one file each (source_*.cpp); the table in
// disk_source.cpp lists them in the order they are tried.
#pragma once

#include <memory>
#include <string>

#include "app/commands/disk_source.h"

namespace disks {

// source_folder.cpp: any folder.
bool IsFolderDisk(const std::string& path, bool isFolder);
std::unique_ptr<DiskSource> OpenFolderDisk(const std::string& path, const std::string& shown,
                                           std::string& error);

// source_container.cpp: an image in one of the emulators' containers
// (images/disk_image.h) other than plain sectors, by its content.
bool IsContainerImage(const std::string& path, bool isFolder);
std::unique_ptr<DiskSource> OpenContainerImage(const std::string& path, const std::string& shown,
                                               std::string& error);

// source_fat_image.cpp: plain sectors of a FAT volume: a boot sector whose
// layout adds up, or a raw image of a known size.
bool IsFatImage(const std::string& path, bool isFolder);
std::unique_ptr<DiskSource> OpenFatImage(const std::string& path, const std::string& shown,
                                         std::string& error);

}  // namespace disks
