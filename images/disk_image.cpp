// The geometry table, detection, and the containers whose sectors lie in
// one block: raw images, FDI and DIM.
#include "images/disk_image.h"

#include <cstring>

#include "images/image_internal.h"

namespace images {

using detail::Byte;
using detail::Le16;
using detail::Le32;
using detail::Put32;

namespace {

constexpr std::size_t kFdiHeader = 4096;
constexpr std::size_t kFdiFields = 32;  // eight 32-bit fields; the rest is zero
constexpr std::size_t kDimHeader = 256;
constexpr std::size_t kDimTracks = 170;
constexpr std::size_t kDimSignatureAt = 0xAB;
constexpr std::string_view kDimSignature{"DIFC HEADER  ", 13};

bool IsKnown(const Geometry& g) {
  for (const Geometry& k : KnownGeometries()) {
    if (k == g) return true;
  }
  return false;
}

const Geometry& Known(int index) { return KnownGeometries()[static_cast<std::size_t>(index)]; }
const Geometry& Hdm() { return Known(2); }

// DIM's disk types of the known geometries: 2HD (1.25 MB), 2HC (1.2 MB),
// 2HQ (1.44 MB). Types 1 and 3 hold nine 1,024-byte sectors per track.
int DimType(const Geometry& g) {
  if (g == Known(2)) return 0;
  if (g == Known(1)) return 2;
  if (g == Known(3)) return 9;
  return -1;
}

std::string Lower(std::string_view ascii) {
  std::string s(ascii);
  for (char& ch : s) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return s;
}

std::string Ext(std::string_view name) {
  // '.' is never the second byte of a double-byte character; an extension
  // holding a path separator matches none of the names below.
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : Lower(name.substr(dot + 1));
}

// A FAT boot sector of this sector size, or the first FAT right behind it.
bool LooksLikeFat(std::string_view b, const Geometry& g) {
  const std::size_t fat = static_cast<std::size_t>(g.sectorSize);
  bool bpb = (Byte(b, 0) == 0xEB || Byte(b, 0) == 0xE9) &&
             Le16(b, 11) == static_cast<uint32_t>(g.sectorSize) && Byte(b, 21) >= 0xF0;
  return bpb || (Byte(b, fat) >= 0xF0 && Byte(b, fat + 1) == 0xFF && Byte(b, fat + 2) == 0xFF);
}

bool LooksLikeFdi(std::string_view b) {
  if (b.size() < kFdiFields || Le32(b, 0) != 0) return false;
  uint32_t header = Le32(b, 8), sectorSize = Le32(b, 16), sectors = Le32(b, 20),
           heads = Le32(b, 24), cylinders = Le32(b, 28);
  bool powerOfTwo =
      sectorSize >= 128 && sectorSize <= 16384 && (sectorSize & (sectorSize - 1)) == 0;
  return header >= kFdiFields && header <= b.size() && powerOfTwo && sectors >= 1 &&
         sectors <= 255 && heads >= 1 && heads <= 2 && cylinders >= 1 && cylinders <= 255;
}

bool RawToRaw(std::string_view b, bool hdmOnly, RawImage& out, std::string& error) {
  const Geometry* g = GeometryOfSize(b.size());
  if (!g || (hdmOnly && !(*g == Hdm()))) {
    error = std::to_string(b.size()) + " bytes is not the size of a raw image of " +
            (hdmOnly ? "the 1.25 MB disk (1261568 bytes)"
                     : "a known disk (737280, 1228800, 1261568, 1474560 or 2949120 bytes)");
    return false;
  }
  out.geometry = *g;
  out.sectors.assign(b);
  return true;
}

bool FdiToRaw(std::string_view b, RawImage& out, std::string& error) {
  if (b.size() < kFdiFields) {
    error = "FDI: " + std::to_string(b.size()) + " bytes, shorter than the header's fields";
    return false;
  }
  uint64_t header = Le32(b, 8), size = Le32(b, 12), sectorSize = Le32(b, 16), sectors = Le32(b, 20),
           heads = Le32(b, 24), cylinders = Le32(b, 28);
  if (sectorSize > 65536 || sectors > 255 || heads > 255 || cylinders > 255) {
    error = "FDI: implausible geometry in the header";
    return false;
  }
  if (cylinders * heads * sectors * sectorSize != size) {
    error = "FDI: the header's image size " + std::to_string(size) + " is not " +
            std::to_string(cylinders) + " x " + std::to_string(heads) + " x " +
            std::to_string(sectors) + " sectors of " + std::to_string(sectorSize) + " bytes";
    return false;
  }
  if (header < kFdiFields || header + size > b.size()) {
    error = "FDI: header of " + std::to_string(header) + " bytes and " + std::to_string(size) +
            " bytes of sectors do not fit in the file's " + std::to_string(b.size());
    return false;
  }
  Geometry g{static_cast<int>(cylinders), static_cast<int>(heads), static_cast<int>(sectors),
             static_cast<int>(sectorSize), 0};
  for (const Geometry& k : KnownGeometries()) {
    if (k.cylinders == g.cylinders && k.heads == g.heads &&
        k.sectorsPerTrack == g.sectorsPerTrack && k.sectorSize == g.sectorSize) {
      out.geometry = k;
      out.sectors.assign(b.substr(header, size));
      if (header + size < b.size()) {
        detail::NoteList notes(out.notes);
        notes.Add(std::to_string(b.size() - header - size) +
                  " bytes after the sectors are ignored");
      }
      return true;
    }
  }
  error = "FDI: " + std::to_string(cylinders) + " cylinders x " + std::to_string(heads) +
          " heads x " + std::to_string(sectors) + " sectors of " + std::to_string(sectorSize) +
          " bytes is not a known disk";
  return false;
}

bool DimToRaw(std::string_view b, RawImage& out, std::string& error) {
  if (b.size() < kDimHeader) {
    error = "DIM: " + std::to_string(b.size()) + " bytes, shorter than the 256-byte header";
    return false;
  }
  const Geometry* g = nullptr;
  for (const Geometry& k : KnownGeometries()) {
    if (DimType(k) == static_cast<int>(Byte(b, 0))) g = &k;
  }
  if (!g) {
    error = "DIM: disk type " + std::to_string(Byte(b, 0)) +
            (Byte(b, 0) == 1 || Byte(b, 0) == 3 ? " (nine 1,024-byte sectors per track)" : "") +
            " is not a known disk";
    return false;
  }
  const std::size_t trackBytes = static_cast<std::size_t>(g->sectorsPerTrack * g->sectorSize);
  const std::size_t tracks = static_cast<std::size_t>(g->cylinders * g->heads);
  out.geometry = *g;
  out.sectors.assign(g->Bytes(), '\xE5');
  std::size_t pos = kDimHeader, absent = 0, beyond = 0;
  for (std::size_t t = 0; t < kDimTracks; ++t) {
    if (Byte(b, 1 + t) == 0) {
      if (t < tracks) ++absent;
      continue;
    }
    if (b.size() - pos < trackBytes) {
      error = "DIM: track " + std::to_string(t) + " runs past the end of the file";
      return false;
    }
    if (t < tracks) {
      out.sectors.replace(t * trackBytes, trackBytes, b.substr(pos, trackBytes));
    } else {
      ++beyond;
    }
    pos += trackBytes;
  }
  detail::NoteList notes(out.notes);
  if (absent) {
    notes.Add(std::to_string(absent) + " of " + std::to_string(tracks) +
              " tracks are absent from the image: filled with 0xe5");
  }
  if (beyond) notes.Add(std::to_string(beyond) + " tracks beyond the last cylinder are left out");
  if (pos < b.size()) {
    notes.Add(std::to_string(b.size() - pos) + " bytes after the last track are ignored");
  }
  return true;
}

}  // namespace

std::size_t Geometry::Bytes() const {
  return static_cast<std::size_t>(cylinders) * static_cast<std::size_t>(heads) *
         static_cast<std::size_t>(sectorsPerTrack) * static_cast<std::size_t>(sectorSize);
}

const std::vector<Geometry>& KnownGeometries() {
  static const std::vector<Geometry> table = {
      {80, 2, 9, 512, 0xF9},  {80, 2, 15, 512, 0xF9}, {77, 2, 8, 1024, 0xFE},
      {80, 2, 18, 512, 0xF0}, {80, 2, 36, 512, 0xF0},
  };
  return table;
}

const Geometry* GeometryOfSize(std::size_t rawBytes) {
  for (const Geometry& g : KnownGeometries()) {
    if (g.Bytes() == rawBytes) return &g;
  }
  return nullptr;
}

const char* FormatName(ImageFormat f) {
  switch (f) {
    case ImageFormat::kRaw:
      return "img";
    case ImageFormat::kHdm:
      return "hdm";
    case ImageFormat::kFdi:
      return "fdi";
    case ImageFormat::kD88:
      return "d88";
    case ImageFormat::kNfd:
      return "nfd";
    case ImageFormat::kDim:
      return "dim";
    case ImageFormat::kUnknown:
      break;
  }
  return "";
}

ImageFormat FormatNamed(std::string_view name) {
  const std::string lower = Lower(name);
  for (ImageFormat f : {ImageFormat::kRaw, ImageFormat::kHdm, ImageFormat::kFdi, ImageFormat::kD88,
                        ImageFormat::kNfd, ImageFormat::kDim}) {
    if (lower == FormatName(f)) return f;
  }
  return ImageFormat::kUnknown;
}

ImageFormat DetectImage(std::string_view b, std::string_view nameHint) {
  if (b.size() <= kMaxImageBytes) {
    if (b.substr(0, detail::kNfdSignature.size()) == detail::kNfdSignature)
      return ImageFormat::kNfd;
    if (b.size() >= kDimHeader && b.substr(kDimSignatureAt, 11) == kDimSignature.substr(0, 11)) {
      return ImageFormat::kDim;
    }
    if (LooksLikeFdi(b)) return ImageFormat::kFdi;
    if (detail::LooksLikeD88(b)) return ImageFormat::kD88;
    const Geometry* g = GeometryOfSize(b.size());
    if (g && LooksLikeFat(b, *g)) return ImageFormat::kRaw;
  }
  const std::string e = Ext(nameHint);
  for (const char* raw : {"img", "ima", "hdm", "xdf", "tfd", "flp"}) {
    if (e == raw) return ImageFormat::kRaw;
  }
  if (e == "d98" || e == "88d") return ImageFormat::kD88;
  ImageFormat named = FormatNamed(e);
  return named == ImageFormat::kHdm ? ImageFormat::kRaw : named;
}

bool ImageToRaw(ImageFormat format, std::string_view bytes, RawImage& out, std::string& error) {
  out = RawImage();
  error.clear();
  if (bytes.size() > kMaxImageBytes) {
    error = std::to_string(bytes.size()) + " bytes is larger than any floppy disk image (" +
            std::to_string(kMaxImageBytes) + ")";
    return false;
  }
  switch (format) {
    case ImageFormat::kRaw:
      return RawToRaw(bytes, false, out, error);
    case ImageFormat::kHdm:
      return RawToRaw(bytes, true, out, error);
    case ImageFormat::kFdi:
      return FdiToRaw(bytes, out, error);
    case ImageFormat::kD88:
      return detail::D88ToRaw(bytes, out, error);
    case ImageFormat::kNfd:
      return detail::NfdToRaw(bytes, out, error);
    case ImageFormat::kDim:
      return DimToRaw(bytes, out, error);
    case ImageFormat::kUnknown:
      break;
  }
  error = "not a floppy disk image of a known format";
  return false;
}

int FdiDriveType(const Geometry& g) {
  if (g == Known(0)) return 0x10;
  if (g == Known(1) || g == Known(2)) return 0x90;
  if (g == Known(3)) return 0x30;
  return -1;
}

int D88MediaType(const Geometry& g) {
  if (g == Known(0)) return 0x10;
  if (g == Known(1) || g == Known(2) || g == Known(3)) return 0x20;
  return -1;
}

bool CanWrite(ImageFormat format, const Geometry& g) {
  if (!IsKnown(g)) return false;
  switch (format) {
    case ImageFormat::kRaw:
      return true;
    case ImageFormat::kHdm:
      return g == Hdm();
    case ImageFormat::kFdi:
      return FdiDriveType(g) >= 0;
    case ImageFormat::kD88:
      return D88MediaType(g) >= 0;
    case ImageFormat::kNfd:
      return FdiDriveType(g) >= 0;
    case ImageFormat::kDim:
      return DimType(g) >= 0;
    case ImageFormat::kUnknown:
      break;
  }
  return false;
}

bool RawToImage(ImageFormat format, std::string_view raw, const Geometry& g, std::string& out,
                std::string& error) {
  out.clear();
  error.clear();
  if (!IsKnown(g) || raw.size() != g.Bytes()) {
    error = "not the sectors of a known disk";
    return false;
  }
  if (!CanWrite(format, g)) {
    error = std::string(format == ImageFormat::kUnknown ? "no image format" : FormatName(format)) +
            " images cannot describe a disk of " + std::to_string(g.Bytes()) + " bytes";
    return false;
  }
  switch (format) {
    case ImageFormat::kFdi: {
      out.assign(kFdiHeader, '\0');
      const uint32_t fields[] = {0,
                                 static_cast<uint32_t>(FdiDriveType(g)),
                                 kFdiHeader,
                                 static_cast<uint32_t>(g.Bytes()),
                                 static_cast<uint32_t>(g.sectorSize),
                                 static_cast<uint32_t>(g.sectorsPerTrack),
                                 static_cast<uint32_t>(g.heads),
                                 static_cast<uint32_t>(g.cylinders)};
      for (std::size_t i = 0; i < 8; ++i) Put32(out, i * 4, fields[i]);
      break;
    }
    case ImageFormat::kDim: {
      out.assign(kDimHeader, '\0');
      out[0] = static_cast<char>(DimType(g));
      std::memset(&out[1], 1, static_cast<std::size_t>(g.cylinders * g.heads));
      out.replace(kDimSignatureAt, kDimSignature.size(), kDimSignature);
      break;
    }
    case ImageFormat::kD88:
      detail::D88FromRaw(raw, g, out);
      return true;
    case ImageFormat::kNfd:
      detail::NfdFromRaw(raw, g, out);
      return true;
    default:
      break;
  }
  out.append(raw);
  return true;
}

}  // namespace images
