#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "images/disk_image.h"

using namespace images;

namespace {

void Put16(std::string& s, std::size_t at, uint32_t v) {
  s[at] = static_cast<char>(v);
  s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, std::size_t at, uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}
uint32_t Le32(const std::string& s, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}
std::string With32(std::string s, std::size_t at, uint32_t v) {
  Put32(s, at, v);
  return s;
}

// A disk whose sectors all differ, starting with a FAT boot sector.
std::string Disk(const Geometry& g) {
  std::string raw(g.Bytes(), '\0');
  for (std::size_t i = 0; i < raw.size(); ++i) {
    raw[i] = static_cast<char>(i / static_cast<std::size_t>(g.sectorSize) * 7 + i % 251);
  }
  raw[0] = '\xEB';
  Put16(raw, 11, static_cast<uint32_t>(g.sectorSize));
  raw[21] = static_cast<char>(g.media);
  return raw;
}

std::string Image(ImageFormat f, const std::string& raw) {
  std::string out, error;
  EXPECT_TRUE(RawToImage(f, raw, *GeometryOfSize(raw.size()), out, error)) << error;
  return out;
}

const Geometry& Hd125() { return *GeometryOfSize(1261568); }

TEST(Images, EveryWritableFormatRoundTripsEveryGeometry) {
  // Per geometry, smallest first: 720 KB, 1.2 MB, 1.25 MB, 1.44 MB, 2.88 MB.
  const struct {
    ImageFormat f;
    const char* writable;
  } table[] = {{ImageFormat::kRaw, "11111"}, {ImageFormat::kHdm, "00100"},
               {ImageFormat::kFdi, "11110"}, {ImageFormat::kD88, "11110"},
               {ImageFormat::kNfd, "11110"}, {ImageFormat::kDim, "01110"}};
  ASSERT_EQ(5u, KnownGeometries().size());
  for (const auto& row : table) {
    for (std::size_t i = 0; i < 5; ++i) {
      const Geometry& g = KnownGeometries()[i];
      SCOPED_TRACE(std::string(FormatName(row.f)) + " " + std::to_string(g.Bytes()));
      const std::string raw = Disk(g);
      std::string image, error;
      const bool ok = RawToImage(row.f, raw, g, image, error);
      ASSERT_EQ(row.writable[i] == '1', ok) << error;
      EXPECT_EQ(ok, CanWrite(row.f, g));
      EXPECT_NE(ok, !error.empty());
      if (!ok) continue;
      EXPECT_EQ(row.f == ImageFormat::kHdm ? ImageFormat::kRaw : row.f, DetectImage(image, ""));
      RawImage back;
      ASSERT_TRUE(ImageToRaw(row.f, image, back, error)) << error;
      EXPECT_EQ(g, back.geometry);
      EXPECT_TRUE(back.sectors == raw);
      EXPECT_EQ(std::vector<std::string>(), back.notes);
    }
  }
}

TEST(Images, HeadersLieWhereTheFormatsPutThem) {
  const std::string raw = Disk(Hd125());
  const std::string fdi = Image(ImageFormat::kFdi, raw);
  const uint32_t fields[] = {0, 0x90, 4096, 1261568, 1024, 8, 2, 77};
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(fields[i], Le32(fdi, 4 * i)) << i;
  EXPECT_TRUE(fdi.substr(4096) == raw);

  // D88: media type 2HD, the disk's size, tracks behind the 0x2B0-byte
  // header; each sector C, H, R, N, count of the track, ..., data size.
  const std::string d88 = Image(ImageFormat::kD88, raw);
  const std::size_t track = 8 * (16 + 1024);
  EXPECT_EQ(0x20, d88[0x1B]);
  EXPECT_EQ(0x2B0 + 154 * track, d88.size());
  EXPECT_EQ(d88.size(), Le32(d88, 0x1C));
  EXPECT_EQ(0x2B0 + track, Le32(d88, 0x24));
  EXPECT_EQ(std::string("\0\0\1\3\x08\0", 6), d88.substr(0x2B0, 6));
  EXPECT_EQ(std::string("\0\4", 2), d88.substr(0x2B0 + 14, 2));
  EXPECT_EQ(std::string("\0\1\1\3", 4), d88.substr(0x2B0 + track, 4));
  EXPECT_EQ(raw.substr(8192, 1024), d88.substr(0x2B0 + track + 16, 1024));

  // NFD: ID table of 163 x 26 entries at 0x120 (C, H, R, N, MFM, ..., PDA),
  // the sectors behind the header in table order.
  const std::string nfd = Image(ImageFormat::kNfd, raw);
  EXPECT_EQ(std::string("T98FDDIMAGE.R0\0\0", 16), nfd.substr(0, 16));
  EXPECT_EQ(68112u, Le32(nfd, 0x110));
  EXPECT_EQ(2, nfd[0x115]);
  EXPECT_EQ(std::string("\0\0\1\3\1\0\0\0\0\0\x90", 11), nfd.substr(0x120, 11));
  EXPECT_EQ('\xFF', nfd[0x120 + 8 * 16]);  // the 9th slot of the track is empty
  EXPECT_TRUE(nfd.substr(68112) == raw);

  const std::string dim = Image(ImageFormat::kDim, raw);
  EXPECT_EQ(std::string("\0\1", 2), dim.substr(0, 2));
  EXPECT_EQ(std::string("\1\0", 2), dim.substr(154, 2));
  EXPECT_EQ("DIFC HEADER", dim.substr(0xAB, 11));
  EXPECT_TRUE(dim.substr(256) == raw);
}

TEST(Images, DetectionGoesByContentThenByName) {
  const std::string raw = Disk(KnownGeometries()[0]);
  const std::string unformatted(1474560, '\0'), garbage(5000, '\x5A');
  const struct {
    std::string bytes;
    const char* name;
    ImageFormat expected;
  } cases[] = {
      {raw, "", ImageFormat::kRaw},
      {raw, "a.d88", ImageFormat::kRaw},
      {Image(ImageFormat::kFdi, raw), "a.img", ImageFormat::kFdi},
      {Image(ImageFormat::kD88, raw), "a.fdi", ImageFormat::kD88},
      {Image(ImageFormat::kNfd, raw), "", ImageFormat::kNfd},
      {unformatted, "", ImageFormat::kUnknown},
      {unformatted, "GAME\\DISK1.HDM", ImageFormat::kRaw},
      {garbage, "", ImageFormat::kUnknown},
      {"", "", ImageFormat::kUnknown},
      {garbage, "x.D98", ImageFormat::kD88},
      {garbage, "x.88d", ImageFormat::kD88},
      {garbage, "x.dim", ImageFormat::kDim},
      {garbage, "a.fdi\\b", ImageFormat::kUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, DetectImage(c.bytes, c.name)) << c.name << " " << c.bytes.size();
  }
}

TEST(Images, InconsistentImagesAreRefusedWithAReason) {
  const std::string raw = Disk(Hd125());
  const std::string fdi = Image(ImageFormat::kFdi, raw), d88 = Image(ImageFormat::kD88, raw),
                    nfd = Image(ImageFormat::kNfd, raw), dim = Image(ImageFormat::kDim, raw);
  std::string d88Count = d88, d88Size = d88, nfdR1 = nfd, dimType = dim;
  Put16(d88Count, 0x2B0 + 4, 200);
  Put16(d88Size, d88.size() - 1024 - 2, 0xFFFF);  // the last sector's data size
  nfdR1[13] = '1';
  dimType[0] = 5;
  const struct {
    ImageFormat f;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {ImageFormat::kFdi, With32(fdi, 12, 1261568 + 1024), "image size 1262592 is not"},
      {ImageFormat::kFdi, With32(fdi, 28, 0x40000001), "implausible geometry"},
      {ImageFormat::kFdi, fdi.substr(0, fdi.size() - 1), "do not fit"},
      {ImageFormat::kFdi, With32(fdi, 8, 0xFFFFFFF0), "do not fit"},
      {ImageFormat::kFdi, With32(With32(fdi, 28, 154), 24, 1), "not a known disk"},
      {ImageFormat::kD88, With32(d88, 0x1C, static_cast<uint32_t>(d88.size() + 1)), "file has"},
      {ImageFormat::kD88, With32(d88, 0x24, static_cast<uint32_t>(d88.size() + 16)), "outside"},
      {ImageFormat::kD88, d88Count, "track 0 claims 200 sectors"},
      {ImageFormat::kD88, d88Size, "run past the end"},
      {ImageFormat::kNfd, With32(nfd, 0x110, 100), "header size 100"},
      {ImageFormat::kNfd, nfd.substr(0, nfd.size() - 1), "runs past the end"},
      {ImageFormat::kNfd, nfdR1, "revision 1"},
      {ImageFormat::kDim, dimType, "disk type 5"},
      {ImageFormat::kDim, dim.substr(0, dim.size() - 1), "track 153 runs past"},
      {ImageFormat::kRaw, raw.substr(1), "not the size"},
      {ImageFormat::kHdm, Disk(KnownGeometries()[0]), "1.25 MB"},
      {ImageFormat::kD88, std::string(kMaxImageBytes + 1, '\0'), "larger than"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const std::string name = std::string("disk.") + FormatName(c.f);
    EXPECT_EQ(c.f == ImageFormat::kHdm ? ImageFormat::kRaw : c.f, DetectImage(c.bytes, name));
    RawImage out;
    std::string error;
    EXPECT_FALSE(ImageToRaw(c.f, c.bytes, out, error));
    EXPECT_NE(std::string::npos, error.find(c.reason)) << error;
  }
}

// One track of a 720 KB disk, stored backwards: sector 2 deleted, sector 5
// read with an error, and a tenth sector of 256 bytes.
TEST(Images, D88SectorsGoBackInTrackOrderWithNotes) {
  std::string d(0x2B0, '\0');
  d[0x1B] = 0x10;
  Put32(d, 0x20, 0x2B0);
  auto add = [&](int r, uint32_t size, char deleted, char status) {
    std::string h(16, '\0');
    h[2] = static_cast<char>(r);
    h[3] = size == 512 ? 2 : 1;
    Put16(h, 4, 10);
    h[7] = deleted;
    h[8] = status;
    Put16(h, 14, size);
    d += h + std::string(size, static_cast<char>('A' + r));
  };
  for (int r = 9; r >= 1; --r) add(r, 512, r == 2 ? 0x10 : 0, r == 5 ? '\xB0' : 0);
  add(10, 256, 0, 0);
  Put32(d, 0x1C, static_cast<uint32_t>(d.size()));
  ASSERT_EQ(ImageFormat::kD88, DetectImage(d, ""));
  RawImage out;
  std::string error;
  ASSERT_TRUE(ImageToRaw(ImageFormat::kD88, d, out, error)) << error;
  EXPECT_EQ(KnownGeometries()[0], out.geometry);
  for (int r = 1; r <= 9; ++r) {
    EXPECT_EQ(std::string(512, static_cast<char>('A' + r)), out.sectors.substr((r - 1) * 512, 512));
  }
  EXPECT_EQ(std::string(512, '\xE5'), out.sectors.substr(9 * 512, 512));
  const std::vector<std::string> notes = {
      "sector C0 H0 R5 was stored with error status 0xb0",
      "sector C0 H0 R2 carries a deleted-data mark",
      "sector C0 H0 R10 holds 256 bytes, not 512: left out",
      "1431 of 1440 sectors are missing, the first sector C0 H1 R1: filled with 0xe5"};
  EXPECT_EQ(notes, out.notes);
}

TEST(Images, DimTracksLeftOutAreFilledAndNamed) {
  const std::string raw = Disk(Hd125());
  std::string dim = Image(ImageFormat::kDim, raw);
  dim[1 + 5] = 0;
  dim.erase(256 + 5 * 8192, 8192);
  RawImage out;
  std::string error;
  ASSERT_TRUE(ImageToRaw(ImageFormat::kDim, dim, out, error)) << error;
  EXPECT_EQ(std::string(8192, '\xE5'), out.sectors.substr(5 * 8192, 8192));
  EXPECT_TRUE(out.sectors.substr(6 * 8192) == raw.substr(6 * 8192));
  EXPECT_EQ(std::vector<std::string>{"1 of 154 tracks are absent from the image: filled with 0xe5"},
            out.notes);
}

}  // namespace
