// Floppy disk images: the containers of the period's emulators and the raw
// sector images the FAT reader works on, converted on memory. Nothing here
// touches a file or prints; every input is taken as hostile.
//
// Typical use (the caller reads the file, at most kMaxImageBytes):
//   ImageFormat f = DetectImage(bytes, fileName);
//   RawImage raw; std::string error;
//   if (f == ImageFormat::kUnknown || !ImageToRaw(f, bytes, raw, error)) refuse(error);
//   // raw.sectors is the disk, cylinder by cylinder, head by head, sector by sector;
//   // raw.notes tell what was odd (deleted or odd-sized sectors, missing tracks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace images {

// No image file larger than this is read: 2.88 MB of sectors and the
// overhead of the largest container around them.
inline constexpr std::size_t kMaxImageBytes = 3670016;
// At most this many notes are kept; one more line then says how many were left out.
inline constexpr std::size_t kMaxNotes = 20;

struct Geometry {
  int cylinders = 0;
  int heads = 0;
  int sectorsPerTrack = 0;
  int sectorSize = 0;
  uint8_t media = 0;  // the FAT media descriptor such disks carry
  std::size_t Bytes() const;
  bool operator==(const Geometry&) const = default;
};

// The disks this tool reads and writes, smallest first: 720 KB, 1.2 MB,
// 1.25 MB (77 cylinders of 8 sectors of 1,024 bytes), 1.44 MB, 2.88 MB.
const std::vector<Geometry>& KnownGeometries();
// The known geometry of a raw image of that many bytes, or nullptr.
const Geometry* GeometryOfSize(std::size_t rawBytes);

enum class ImageFormat {
  kUnknown,
  kRaw,  // sectors only (.img .ima .xdf .tfd .flp .hdm)
  kHdm,  // a raw image of the 1.25 MB disk; DetectImage reports these as kRaw
  kFdi,  // 4,096-byte header of 32-bit fields, then the sectors
  kD88,  // .d88 .d98 .88d: track table, each sector with its own ID header
  kNfd,  // revision 0 only: a fixed table of 163 x 26 sector IDs, then the data
  kDim,  // 256-byte header with a disk type and a flag per track
};

// "img", "hdm", "fdi", "d88", "nfd", "dim"; "" for kUnknown. The name is also
// the usual file extension.
const char* FormatName(ImageFormat f);
// The format of a name as FormatName gives it (ASCII, any case); kUnknown else.
ImageFormat FormatNamed(std::string_view name);

// By content first: signatures and header fields that fit together, a raw
// image by its size and a FAT boot sector or FAT start. Failing those, the
// extension of nameHint (a file name, may be empty) decides, so that a
// damaged image is still refused with the reason ImageToRaw gives.
ImageFormat DetectImage(std::string_view bytes, std::string_view nameHint);

struct RawImage {
  std::string sectors;  // geometry.Bytes() bytes; sectors an image lacks hold 0xE5
  Geometry geometry;
  std::vector<std::string> notes;  // English, one line each, at most kMaxNotes + 1
};

// The sectors of an image in the given format. False, with the reason in
// error (English, one line), when the image is inconsistent or is not of one
// of the known geometries; out is then unspecified. Allocates at most the raw
// disk and a bitmap of its sectors.
bool ImageToRaw(ImageFormat format, std::string_view bytes, RawImage& out, std::string& error);

// An image of the given format holding raw, a disk of geometry g (one of
// KnownGeometries, raw.size() == g.Bytes()). False, with the reason, when the
// format has no way to describe g (CanWrite is then false).
bool RawToImage(ImageFormat format, std::string_view raw, const Geometry& g, std::string& out,
                std::string& error);
bool CanWrite(ImageFormat format, const Geometry& g);

// The header values an emulator of the period expects for g, as the formats'
// documentation lists them; -1 when the format defines none for g (2.88 MB).
// FDI's drive type (also NFD's PDA byte): 0x90 for a 2HD disk (1.2 and
// 1.25 MB), 0x30 for 1.44 MB, 0x10 for 2DD (720 KB). D88's media type: 0x20
// for 2HD (1.2, 1.25 and 1.44 MB), 0x10 for 2DD.
int FdiDriveType(const Geometry& g);
int D88MediaType(const Geometry& g);

}  // namespace images
