// One disk of a set as the batch commands are given it: a folder, a FAT
// floppy image (read through the image tools), or an image in one of the
// containers of the period's emulators. Each kind is one file and one row of
// the table below; the commands and the runs only see this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A file or folder on a disk.
struct DiskEntry {
  std::string name;  // relative, code page 932, '\' between levels
  uint64_t size = 0;
  bool folder = false;
};

// A source is used by one thread at a time.
class DiskSource {
 public:
  virtual ~DiskSource() = default;
  // The disk as the user named it (host form, through ShownText), for
  // messages.
  virtual const std::string& Shown() const = 0;
  // The folder or image file it is read from (inner form): two arguments
  // naming one file are one disk.
  virtual const std::string& Path() const = 0;
  // Every file and folder on the disk, folders before what they hold.
  // Names the program cannot hold (no code page 932 form) and links are
  // left out.
  virtual const std::vector<DiskEntry>& Entries() const = 0;
  // A path (inner form) the file `relative` can be read from: the file
  // itself for a folder, a copy of it in a private temporary folder for an
  // image (made on demand, one file at a time). "" and a one-line English
  // reason when it cannot be read.
  virtual std::string Fetch(const std::string& relative, std::string& error) = 0;
  // Copies made by Fetch may go now.
  virtual void Release() {}
  // Warnings met while reading the disk (an odd sector of an image, ...).
  virtual const std::vector<std::string>& Notes() const;
};

// A kind of disk: whether a path is one (by content, not by its name alone)
// and how to open it. Open fails with a one-line English reason that names
// the disk as `shown` gives it. path: inner form.
struct DiskSourceKind {
  const char* name;  // "folder", "fat-image", ...
  bool (*recognises)(const std::string& path, bool isFolder);
  std::unique_ptr<DiskSource> (*open)(const std::string& path, const std::string& shown,
                                      std::string& error);
};
// The kinds, tried in order.
const std::vector<DiskSourceKind>& DiskSourceKinds();
