// libFuzzer target of what the floppy image reader takes from the image
// tools: arbitrary bytes as a directory listing and as a boot sector. What
// the listing reader accepts is a tree (each entry's folder comes before it
// and is a folder); a boot sector it accepts describes some clusters.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/commands/source_fat_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  disks::Listing listing;
  std::string error;
  if (disks::ParseListing(bytes, listing, error)) {
    for (std::size_t k = 0; k < listing.entries.size(); ++k) {
      const int parent = listing.entries[k].parent;
      if (parent < -1 || parent >= static_cast<int>(k) ||
          (parent >= 0 && !listing.entries[static_cast<std::size_t>(parent)].folder))
        std::abort();
    }
  } else if (error.empty()) {
    std::abort();
  }
  uint64_t clusterBytes = 0, clusters = 0;
  if (disks::ReadBootSector(bytes, clusterBytes, clusters) && (clusterBytes == 0 || clusters == 0))
    std::abort();
  return 0;
}
