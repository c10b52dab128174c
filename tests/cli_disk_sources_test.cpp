// Disks of a set as the batch commands read them (folders, FAT images
// through mtools, emulator containers) and floppy images as they write
// them: hostile names, hostile images, and the volume model against
// mformat's own layout for every floppy size.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <set>

#include "app/commands/given_set.h"
#include "app/commands/image_writer.h"
#include "app/commands/source_fat_image.h"
#include "app/commands/volume.h"
#include "support/disk_fixtures.h"
#include "text/cp932.h"

namespace {

using namespace disks;
using images::ImageFormat;

class DiskSources : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v mcopy >/dev/null && command -v mformat >/dev/null") != 0)
      GTEST_SKIP() << "NOTICE: image tests skipped, the image tools (mtools) are missing";
    fs::create_directories(tmp);
    setenv("TMPDIR", tmp.c_str(), 1);
    // A shell that ran would leave this file.
    setenv("KV_PWNED", (dir.path / "PWNED").c_str(), 1);
  }
  void TearDown() override {
    EXPECT_FALSE(fs::exists(dir.path / "PWNED")) << "a name reached a shell";
    unsetenv("TMPDIR");
  }
  // A disk folder: its marker and the files given (code page 932 names).
  fs::path Disk(const fs::path& at, int number, const std::map<std::string, std::string>& files) {
    fs::create_directories(at);
    WriteFileBytes(at / ("disk" + std::to_string(number) + ".id"), "");
    for (const auto& [name, data] : files) {
      std::string host = Inner(at) + "\\" + name;
      fs::create_directories(fs::path(HostOf(host)).parent_path());
      WriteFileBytes(HostOf(host), data);
    }
    return at;
  }
  static std::string HostOf(const std::string& inner);
  std::string Write(const fs::path& folder, const fs::path& image, const char* size = "1440k",
                    ImageFormat format = ImageFormat::kRaw) {
    std::string error;
    ImageOrder order{Inner(folder), Inner(image), FindFloppyFormat(size), format};
    return WriteFloppyImage(order, error) ? std::string() : error + "!";
  }
  // Every file of a disk by name, read through Fetch.
  static std::map<std::string, std::string> Files(DiskSource& disk) {
    std::map<std::string, std::string> out;
    for (const DiskEntry& e : disk.Entries()) {
      if (e.folder) continue;
      std::string error, path = disk.Fetch(e.name, error);
      EXPECT_NE(path, "") << error;
      out[e.name] = ReadFileBytes(HostOf(path));
    }
    disk.Release();
    return out;
  }
  std::unique_ptr<DiskSource> Open(const fs::path& p, std::string& error) {
    return OpenDisk(Inner(p), fs::is_directory(p), "shown", error);
  }
  uint64_t TempBytes() {
    uint64_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(tmp))
      if (fs::is_regular_file(e.symlink_status())) n += fs::file_size(e.path());
    return n;
  }
  // Patches an image's bytes at an offset.
  static void Patch(const fs::path& image, std::size_t at, const std::string& bytes) {
    std::string all = ReadFileBytes(image);
    all.replace(at, bytes.size(), bytes);
    WriteFileBytes(image, all);
  }
  TempDir dir;
  fs::path tmp = dir.path / "tmp";
};

std::string DiskSources::HostOf(const std::string& inner) {
  std::string host;
  EXPECT_TRUE(cp932::ToUtf8(inner, host)) << inner;
  for (char& c : host)
    if (c == '\\') c = '/';
  return host;
}

constexpr std::size_t kRoot1440 = 19 * 512;  // the root directory of a 1.44 MB disk

// One table of hostile names, for image files, the folders they are written
// into and read from, and the files on them.
const char* const kHostile[] = {
    "$(touch $KV_PWNED)",      "`touch $KV_PWNED`", "*?[]|;&<>", " two  blanks ", "-n",
    "\xe6\x97\xa5\xe6\x9c\xac"};

TEST_F(DiskSources, HostileNamesAreWrittenAndReadAsNamesOnly) {
  const std::map<std::string, std::string> files = {
      {"$(touch $KV_PWNED)", "a"},     {"`touch $KV_PWNED`", "b"}, {"-n", "c"}, {"[x];&y", "d"},
      {Sjis("\xe8\xa1\xa8.txt"), "e"}, {"kelvod.lst", "list"}};
  for (const char* hostile : kHostile) {
    SCOPED_TRACE(hostile);
    const fs::path place = dir.path / hostile, image = place / hostile;
    const fs::path disk = Disk(place / (std::string(hostile) + "d"), 1, files);
    ASSERT_EQ(Write(disk, image), "");
    fs::remove_all(disk);
    for (const fs::path& given : {image, place}) {
      GivenSet set;
      std::string error;
      ASSERT_TRUE(set.Resolve({given.string()}, error)) << error;
      ASSERT_EQ(set.Disks().size(), 1u);
      EXPECT_EQ(set.ListName(), "kelvod.lst");
      auto read = Files(*set.Disks().at(1));
      read.erase("disk1.id");
      EXPECT_EQ(read, files);
    }
  }
  EXPECT_EQ(TempBytes(), 0u);
}

TEST_F(DiskSources, EveryContainerFormatReadsBackWithTheSameFilesWhateverItsName) {
  const std::map<std::string, std::string> files = {{"Sub\\Deep\\x.bin", RandomBytes(5000, 1)},
                                                    {"readme.TXT", "r"}};
  int number = 0;
  for (const char* size : {"1232k", "1440k"}) {
    for (ImageFormat format : WritableFormats(*FindFloppyFormat(size))) {
      SCOPED_TRACE(std::string(size) + " " + images::FormatName(format));
      const fs::path disk = Disk(dir.path / "d", ++number, files);
      // Found by content: the name says nothing.
      const fs::path image = dir.path / "holder" / ("disk" + std::to_string(number) + ".bin");
      fs::create_directories(image.parent_path());
      ASSERT_EQ(Write(disk, image, size, format), "");
      fs::remove_all(disk);
      std::string error;
      auto source = Open(image, error);
      ASSERT_TRUE(source) << error;
      auto read = Files(*source);
      EXPECT_EQ(read.erase("disk" + std::to_string(number) + ".id"), 1u);
      EXPECT_EQ(read, files);
    }
  }
  WriteFileBytes(dir.path / "holder" / "notes.txt", "not a disk");
  WriteFileBytes(dir.path / "holder" / "junk.d88", "not a disk either");
  GivenSet set;
  std::string error;
  ASSERT_TRUE(set.Resolve({(dir.path / "holder").string()}, error)) << error;
  EXPECT_EQ(set.Disks().size(), static_cast<std::size_t>(number));
  EXPECT_EQ(set.Notes().size(), 1u);  // junk.d88
  EXPECT_FALSE(Open(dir.path / "holder" / "junk.d88", error));
  EXPECT_EQ(error.find("shown: D88"), 0u) << error;
  EXPECT_TRUE(HoldsDisks(Inner(dir.path / "holder")));
  EXPECT_FALSE(HoldsDisks(Inner(dir.path)));
}

TEST_F(DiskSources, ImagesThatAreNoFatOrClaimTooMuchAreRefusedInOneLine) {
  WriteFileBytes(dir.path / "noise.img", RandomBytes(1474560, 3));
  WriteFileBytes(dir.path / "notes.txt", "hello");
  for (const char* name : {"noise.img", "notes.txt"}) {
    std::string error;
    EXPECT_FALSE(Open(dir.path / name, error));
    EXPECT_NE(error.find("shown: not a FAT floppy image ("), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
  // 150 root entries sharing one 1.3 MB chain of clusters.
  std::map<std::string, std::string> files = {{"BIG.DAT", RandomBytes(1300000, 4)}};
  for (int k = 0; k < 149; ++k) files["F" + std::to_string(1000 + k)] = "";
  ASSERT_EQ(Write(Disk(dir.path / "d", 1, files), dir.path / "claims.img"), "");
  const std::string entry = ReadFileBytes(dir.path / "claims.img").substr(kRoot1440, 32);
  ASSERT_EQ(entry.substr(0, 11), "BIG     DAT");
  for (int k = 0; k < 149; ++k)
    Patch(dir.path / "claims.img", kRoot1440 + 32 * (k + 1) + 26, entry.substr(26, 6));
  std::string error;
  GivenSet set;
  EXPECT_FALSE(set.Resolve({(dir.path / "claims.img").string()}, error));
  EXPECT_TRUE(set.ReadFailed());
  EXPECT_NE(error.find("damaged: its directory claims"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(DiskSources, ShortNamesOfJapaneseDisksAndOfHostileOnesAreReadSafely) {
  ASSERT_EQ(Write(Disk(dir.path / "d", 1,
                       {{"A.TXT", "1"}, {"B.TXT", "2"}, {"C.TXT", "3"}, {"E.TXT", "5"}}),
                  dir.path / "j.img"),
            "");
  // Code page 932 short names have no long name; the marker comes last.
  Patch(dir.path / "j.img", kRoot1440, "\x93\xfa\x96\x7b\x8c\xea  TXT");
  Patch(dir.path / "j.img", kRoot1440 + 32, "\x95\x5c      TXT");
  Patch(dir.path / "j.img", kRoot1440 + 64, "\x1b[31m   TXT");
  Patch(dir.path / "j.img", kRoot1440 + 96, "A\nB     TXT");
  std::string error;
  auto source = Open(dir.path / "j.img", error);
  ASSERT_TRUE(source) << error;
  const std::map<std::string, std::string> want = {
      {"disk1.id", ""},
      {Sjis("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.TXT"), "1"},
      {Sjis("\xe8\xa1\xa8.TXT"), "2"}};
  EXPECT_EQ(Files(*source), want);
  ASSERT_EQ(source->Notes().size(), 2u);  // the escape sequence, the line break
  for (const std::string& note : source->Notes()) EXPECT_EQ(note.find('\x1b'), std::string::npos);
}

TEST_F(DiskSources, FilesAreCopiedOutOneAtATimeAndRemoved) {
  const fs::path d = Disk(dir.path / "d", 1, {{"BIG.DAT", RandomBytes(1400000, 5)}, {"s", "x"}});
  // Written at 09:05 (the tools show the hour in two columns, " 9:05").
  const timespec early[2] = {{981191100, 0}, {981191100, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (d / "s").c_str(), early, 0), 0);
  ASSERT_EQ(Write(d, dir.path / "a.img"), "");
  std::string error;
  auto source = Open(dir.path / "a.img", error);
  ASSERT_TRUE(source) << error;
  const uint64_t before = TempBytes();
  EXPECT_LT(before, 4096u);  // a link and a configuration file
  const std::string path = source->Fetch("big.dat", error);
  ASSERT_NE(path, "") << error;
  EXPECT_EQ(TempBytes() - before, 1400000u);
  source->Release();
  EXPECT_FALSE(fs::exists(HostOf(path)));
  EXPECT_EQ(source->Fetch("nothing", error), "");
  source.reset();
  EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(DiskSources, SetsNameTheirDisksPrintablyAndRefuseTwoForOneNumber) {
  Disk(dir.path / "h" / "\x1b[31mred", 1, {});
  Disk(dir.path / "h" / "plain", 1, {});
  GivenSet set;
  std::string error;
  EXPECT_FALSE(set.Resolve({(dir.path / "h").string()}, error));
  EXPECT_NE(error.find("disk 1 is given twice: "), std::string::npos) << error;
  EXPECT_NE(error.find("?[31mred and "), std::string::npos) << error;
  // One disk named twice is one; of several lists the highest disk's counts.
  fs::remove_all(dir.path / "h" / "plain");
  Disk(dir.path / "h" / "two", 2, {{"KELVOD.LST", ""}});
  Disk(dir.path / "h" / "\x1b[31mred", 1, {{"kelvod.lst", ""}});
  GivenSet again;
  ASSERT_TRUE(again.Resolve({(dir.path / "h").string(), (dir.path / "h" / "two").string()}, error))
      << error;
  EXPECT_EQ(again.All().size(), 2u);
  EXPECT_EQ(again.ListName(), "KELVOD.LST");
  // Links in a disk folder lead out of the set: neither listed nor read.
  fs::create_symlink(dir.path / "h" / "two" / "KELVOD.LST", dir.path / "h" / "two" / "leak");
  fs::create_directory_symlink(dir.path, dir.path / "h" / "two" / "up");
  auto two = Open(dir.path / "h" / "two", error);
  ASSERT_TRUE(two);
  EXPECT_EQ(Files(*two),
            (std::map<std::string, std::string>{{"KELVOD.LST", ""}, {"disk2.id", ""}}));
  EXPECT_EQ(two->Fetch("leak", error), "");
}

TEST_F(DiskSources, WritingChecksNamesFirstAndLeavesNothingWhenStopped) {
  const fs::path disk = Disk(dir.path / "d", 1,
                             {{"a<b", ""},
                              {"CON", ""},
                              {"x.", ""},
                              {"A.txt", ""},
                              {"a.TXT", ""},
                              {std::string(252, 'n') + ".t", ""},
                              {"fine name.txt", ""}});
  for (std::size_t suffix : {0, 4}) {
    std::set<std::string> named;
    for (const NameFault& f : NamesAFatVolumeCannotHold(Inner(disk), suffix))
      named.insert(f.relative);
    // With a suffix a file's name ends in no dot and is no device's.
    const std::set<std::string> want =
        suffix ? std::set<std::string>{"a<b", "a.TXT", std::string(252, 'n') + ".t"}
               : std::set<std::string>{"a<b", "CON", "x.", "a.TXT"};
    EXPECT_EQ(named, want);
  }
  const std::string refused = Write(disk, dir.path / "bad.img");
  EXPECT_NE(refused.find("(and 3 more)"), std::string::npos) << refused;
  EXPECT_FALSE(fs::exists(dir.path / "bad.img"));

  std::string error;
  ImageOrder order{Inner(Disk(dir.path / "e", 1, {})), Inner(dir.path / "s.img"),
                   FindFloppyFormat("720k"), ImageFormat::kRaw, [] { return true; }};
  EXPECT_FALSE(WriteFloppyImage(order, error));
  EXPECT_NE(error.find(": stopped"), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 3);
}

TEST(FatListing, AnEntryIsReadAtEveryHourOfTheDayAndOnlyWithAClockTime) {
  const std::pair<const char*, bool> times[] = {
      {" 0:00", true},  {" 9:59", true},   {"10:00", true},  {"23:59", true},
      {" 9:5 ", false}, {"123:00", false}, {" a:00", false}, {"  :00", false}};
  for (const auto& [time, entry] : times) {
    const std::string text =
        std::string(" Volume in drive : has no label\n\nDirectory for ::/\n\n") +
        "A        TXT         3 2001-02-03  " + time + "  a.txt\n" +
        "        1 file                    3 bytes\n" +
        "                          1 457 152 bytes free\n";
    Listing listing;
    std::string error;
    ASSERT_TRUE(ParseListing(text, listing, error)) << time << ": " << error;
    EXPECT_EQ(listing.entries.size(), entry ? 1u : 0u) << time;
    EXPECT_EQ(listing.unreadable.size(), entry ? 0u : 1u) << time;
    if (entry) {
      EXPECT_EQ(listing.entries[0].longName, "a.txt") << time;
    }
  }
}

// --- The volume model against mformat's own layout ------------------------------

TEST(FloppyTable, ListsTheSizesOnce) {
  EXPECT_EQ(FloppySizeList(), "720k, 1200k, 1232k, 1440k, 2880k");
  for (const FloppyFormat& f : FloppyFormats()) EXPECT_EQ(FloppyOfGeometry(f.geometry), &f);
}

TEST_F(DiskSources, EveryFloppyFormatFillsExactlyAsTheModelSays) {
  for (const FloppyFormat& f : FloppyFormats()) {
    SCOPED_TRACE(f.name);
    VolumeModel model("\\r\\", 0, &f);
    std::map<std::string, std::string> files;
    auto take = [&](const std::string& name, uint64_t bytes) {
      ASSERT_TRUE(model.Take("\\r\\" + name, bytes, false)) << name;
      files[name] = std::string(bytes, 'x');
    };
    take("disk1.id", 0);
    // With "." and ".." one folder fills its cluster, the other needs two.
    for (uint64_t k = 0; k + 2 < f.clusterBytes / 32; ++k) take("One\\F" + std::to_string(k), 1);
    for (uint64_t k = 0; k + 1 < f.clusterBytes / 32; ++k) take("Two\\F" + std::to_string(k), 1);
    take("A long name in the root.dat", 3 * f.clusterBytes + 1);
    take("LAST.DAT", model.FreeBytes());
    EXPECT_EQ(model.FreeBytes(), 0u);
    EXPECT_FALSE(model.Take("\\r\\MORE", 1, false));
    files.erase("disk1.id");
    const fs::path fresh = dir.path / (std::string(f.name) + "fresh.img");
    ASSERT_EQ(Write(Disk(dir.path / "fresh", 1, {}), fresh, f.name), "");
    std::string error;
    auto empty = FatImageSource::Open(Inner(fresh), "x", error);
    ASSERT_TRUE(empty) << error;
    EXPECT_EQ(empty->FreeBytes(), f.clusters * f.clusterBytes);
    const fs::path image = dir.path / (std::string(f.name) + ".img");
    ASSERT_EQ(Write(Disk(dir.path / f.name, 1, files), image, f.name), "");
    EXPECT_EQ(fs::file_size(image), f.geometry.Bytes());
    auto source = FatImageSource::Open(Inner(image), "x", error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->FreeBytes(), 0u);
    WriteFileBytes(dir.path / "more", "m");
    const std::string more = "cd '" + dir.path.string() +
                             "' && MTOOLSRC=/dev/null MTOOLS_SKIP_CHECK=1 mcopy -i " + f.name +
                             ".img more ::/ >/dev/null 2>&1";
    EXPECT_NE(std::system(more.c_str()), 0) << "one more cluster fitted";
  }
}

TEST_F(DiskSources, RootSlotsAndLongNameSlotsAreCountedAsTheToolsCountThem) {
  for (const char* size : {"720k", "1232k"}) {
    const FloppyFormat& f = *FindFloppyFormat(size);
    VolumeModel model("\\r\\", 0, &f);
    std::map<std::string, std::string> files;
    for (uint32_t k = 1; k < f.rootEntries; ++k) {
      files["F" + std::to_string(k)] = "";
      EXPECT_TRUE(model.Take("\\r\\F" + std::to_string(k), 0, false));
    }
    EXPECT_TRUE(model.Take("\\r\\disk1.id", 0, false));
    EXPECT_FALSE(model.Take("\\r\\ONE.MOR", 0, false)) << size;
    EXPECT_EQ(Write(Disk(dir.path / size, 1, files), dir.path / (std::string(size) + ".img"), size),
              "");
    files["ONE.MOR"] = "";
    EXPECT_NE(Write(Disk(dir.path / "over", 1, files), dir.path / "over.img", size), "");
    fs::remove_all(dir.path / "over");
  }
  // Slots of each name as the tools write it into the root directory.
  const std::pair<std::string, int> names[] = {{"README.TXT", 1},
                                               {"readme.txt", 1},
                                               {"README.txt", 1},
                                               {"ReadMe.txt", 2},
                                               {"12345678.123", 1},
                                               {"123456789.txt", 2},
                                               {"a.b.c", 2},
                                               {"abcdefghijklm", 2},
                                               {"abcdefghijklmn", 3},
                                               {"x+y", 2},
                                               {Sjis("\xe6\x97\xa5\xe6\x9c\xac.txt"), 2}};
  for (const auto& [name, slots] : names) {
    EXPECT_EQ(DirectorySlots(name), slots) << name;
    const fs::path disk = dir.path / "slots", image = dir.path / "slots.img";
    fs::remove_all(disk);
    fs::remove(image);
    fs::create_directories(disk);
    WriteFileBytes(HostOf(Inner(disk) + "\\" + name), "");
    ASSERT_EQ(Write(disk, image), "");
    const std::string root = ReadFileBytes(image).substr(kRoot1440, 32 * 16);
    int used = 0;
    for (std::size_t k = 0; k < root.size() && root[k] != 0; k += 32) ++used;
    EXPECT_EQ(used, slots) << name;
  }
}

}  // namespace
