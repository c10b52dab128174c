// A disk folder written as a floppy image: formatted and filled by mtools
// in a private folder beside the image (image_tools.h), read back and
// compared with the folder, converted into an emulator's container when
// asked, read back once more, and only then renamed into place.
#pragma once

#include <string>
#include <vector>

#include "app/commands/volume.h"
#include "images/disk_image.h"

namespace disks {

struct NameFault {
  std::string relative;  // code page 932, '\' between levels
  std::string reason;    // English: "holds '?', which a FAT volume cannot hold"
};
// Every name below a folder (inner form) that a FAT volume cannot hold:
// characters, device names, trailing dots and blanks, names too long,
// names that differ only in case, names without a code page 932 form,
// links. Files are judged as named on the disk with suffixUnits more
// characters: the make, which checks its work folder before any disk is
// written, appends "_lzs" and a piece number. Empty when the folder can be
// written as an image.
std::vector<NameFault> NamesAFatVolumeCannotHold(const std::string& folder,
                                                 std::size_t suffixUnits = 0);

struct ImageOrder {
  std::string folder;  // the disk folder (inner form)
  std::string image;   // the image to make (inner form); nothing may be there
  const FloppyFormat* floppy = nullptr;
  images::ImageFormat format = images::ImageFormat::kRaw;
  // Asked after each tool run; true gives up, and nothing is left behind.
  bool (*stopRequested)() = nullptr;
};

// Writes the image. False, with one line in error naming the image as the
// host shows it, when a name cannot be held, a tool fails, the image does
// not read back as the folder is, or a stop was requested; then no file
// is left at order.image.
bool WriteFloppyImage(const ImageOrder& order, std::string& error);

// The format --image-format names ("" is a plain image), when images of
// that floppy can be written in it: the format and the images' extension.
// False with the reason otherwise.
bool ImageFormatFor(const std::string& name, const FloppyFormat& floppy,
                    images::ImageFormat& format, std::string& extension, std::string& error);

// The container formats --image-format may name for a floppy: "img",
// "hdm", "fdi", "d88", "nfd", "dim" where images can write that disk.
std::vector<images::ImageFormat> WritableFormats(const FloppyFormat& floppy);

}  // namespace disks
