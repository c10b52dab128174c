// kelvod.exe reads and writes disk sets in folders only: floppy images are
// read and written through mtools, which a Windows of the period lacks, and
// their code would not fit beside the set on its last floppy.
#include "app/commands/image_writer.h"
#include "app/commands/sources.h"

namespace disks {

namespace {

constexpr const char* kNoImages =
    "floppy images are read and written by the Linux program (with mtools), not by kelvod.exe";

}  // namespace

bool IsContainerImage(const std::string&, bool) { return false; }
bool IsFatImage(const std::string&, bool) { return false; }

std::unique_ptr<DiskSource> OpenContainerImage(const std::string&, const std::string& shown,
                                               std::string& error) {
  error = shown + ": " + kNoImages;
  return nullptr;
}

std::unique_ptr<DiskSource> OpenFatImage(const std::string&, const std::string& shown,
                                         std::string& error) {
  error = shown + ": " + kNoImages;
  return nullptr;
}

std::vector<NameFault> NamesAFatVolumeCannotHold(const std::string&, std::size_t) { return {}; }

bool WriteFloppyImage(const ImageOrder&, std::string& error) {
  error = kNoImages;
  return false;
}

std::vector<images::ImageFormat> WritableFormats(const FloppyFormat&) { return {}; }

bool ImageFormatFor(const std::string&, const FloppyFormat&, images::ImageFormat&, std::string&,
                    std::string& error) {
  error = kNoImages;
  return false;
}

}  // namespace disks
