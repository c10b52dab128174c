// A FAT floppy image read through mtools: listed once from its directory,
// each file copied out on demand into a private folder, one at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands/disk_source.h"
#include "app/commands/image_tools.h"

namespace disks {

// The listing of `mdir -/ -a` with our environment and the tools' own
// code page (image_tools.h), one line per entry in fixed columns:
//   NNNNNNNN EEE SSSSSSSSS yyyy-mm-dd  hh:mm  LONG NAME
// the short name's eight and the extension's three bytes, one character
// each (shown in UTF-8; blanks pad them), one blank, the size right-aligned
// in nine (wider for a larger number) or "<DIR>" and four blanks, one
// blank, the date, two blanks, the time, one blank, and one more blank and
// the long name when the entry has one. Each folder comes as "Directory
// for ::/A/B" (long names where there are some), a blank line, its entries
// ("." and ".." first in a sub-folder), and a count line that begins with
// a blank; the root first, then each sub-folder after the folder that holds
// it, in the order of its entries (depth first). A line "N NNN NNN bytes
// free" comes at the end. Anything else is refused.
struct ListedEntry {
  int parent = -1;         // index of the folder entry it is in; -1: the root
  std::string shortShown;  // the short name as listed (UTF-8): "README.TXT", "big.bin"
  std::string shortBytes;  // its bytes on the disk ("" when they cannot be told)
  std::string longName;    // UTF-8; "" when it has none
  uint64_t size = 0;
  bool folder = false;
};
struct Listing {
  std::vector<ListedEntry> entries;  // a folder before what it holds
  std::vector<int> unreadable;       // folders (-1: root) with a line that is no entry
  uint64_t freeBytes = 0;
};
bool ParseListing(std::string_view text, Listing& out, std::string& error);

class FatImageSource : public DiskSource {
 public:
  // image: inner form. Fails, with a one-line reason naming `shown`, when
  // the tools are missing, the file is no FAT image, or its directory
  // claims more than the image can hold.
  static std::unique_ptr<FatImageSource> Open(const std::string& image, const std::string& shown,
                                              std::string& error);
  ~FatImageSource() override;

  const std::string& Shown() const override { return shown_; }
  const std::string& Path() const override { return path_; }
  const std::vector<DiskEntry>& Entries() const override { return entries_; }
  std::string Fetch(const std::string& relative, std::string& error) override;
  void Release() override;
  const std::vector<std::string>& Notes() const override { return notes_; }

  // Free bytes as the listing gives them (0 when the image is empty).
  uint64_t FreeBytes() const { return freeBytes_; }
  void AddNotesBefore(const std::vector<std::string>& notes);

 private:
  FatImageSource() = default;
  bool List(std::string& error);
  void Admit(const Listing& listing);

  std::string path_, shown_;
  ToolFolder folder_;
  std::vector<DiskEntry> entries_;
  std::vector<std::string> shortPaths_;  // of each entry, for the tools; "" when not to be named
  std::map<std::string, std::size_t> byName_, byFolded_;  // entries by name, by FoldCase
  std::vector<std::string> notes_;
  std::vector<std::string> fetched_;
  uint64_t freeBytes_ = 0;
  uint64_t clusterBytes_ = 0, clusters_ = 0;
  int copies_ = 0;
};

// Whether the first bytes of a file are a FAT boot sector whose layout
// adds up; clusterBytes and clusters of its data area when so.
bool ReadBootSector(std::string_view first, uint64_t& clusterBytes, uint64_t& clusters);

// The first `most` bytes of an ordinary file (all of it when shorter);
// false when it is no ordinary file or cannot be read.
bool ReadHead(const std::string& path, std::size_t most, std::string& bytes);

}  // namespace disks
