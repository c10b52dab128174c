#include <algorithm>
#include <cstdio>
#include <map>

#include "app/commands/source_fat_image.h"
#include "images/disk_image.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/paths.h"
#include "text/shown.h"

namespace disks {

namespace {

constexpr std::string_view kHeader = "Directory for ";
constexpr std::string_view kTotal = "Total files listed:";
constexpr uint64_t kSlotBytes = 32;
// A path of DOS and Windows is at most 260 characters: a deeper tree is no
// disk of theirs, and only makes the listing long.
constexpr int kDeepestFolder = 128;

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

std::size_t Utf8Length(unsigned char c) {
  return c < 0x80 ? 1 : c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 ? 4 : 1;
}

// Takes `count` characters of the line from pos (the tools' own code page
// has one byte for each).
bool TakeColumn(std::string_view line, std::size_t& pos, std::size_t count, std::string& out) {
  for (std::size_t k = 0; k < count; ++k) {
    if (pos >= line.size()) return false;
    const std::size_t len =
        std::min(Utf8Length(static_cast<unsigned char>(line[pos])), line.size() - pos);
    out.append(line.substr(pos, len));
    pos += len;
  }
  return true;
}

std::string_view Word(std::string_view& rest) {
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const std::size_t end = std::min(rest.find(' '), rest.size());
  std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end);
  return word;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The tools print the hour in two columns, so before ten o'clock the word
// is "9:05", not "09:05".
bool ClockTime(std::string_view t) {
  const std::size_t colon = t.find(':');
  return colon != std::string_view::npos && colon >= 1 && colon <= 2 && t.size() == colon + 3 &&
         AllDigits(t.substr(0, colon)) && AllDigits(t.substr(colon + 1));
}

// One entry line; `dot` for "." and "..".
bool ParseEntry(std::string_view line, ListedEntry& e, bool& dot) {
  std::size_t pos = 0;
  std::string base, ext;
  if (!TakeColumn(line, pos, 8, base) || pos >= line.size() || line[pos++] != ' ' ||
      !TakeColumn(line, pos, 3, ext))
    return false;
  std::string_view rest = line.substr(pos);
  if (rest.empty() || rest.front() != ' ') return false;
  const std::string_view size = Word(rest), date = Word(rest), time = Word(rest);
  if (date.size() != 10 || !ClockTime(time)) return false;
  if (size == "<DIR>") {
    e.folder = true;
  } else if (AllDigits(size) && size.size() <= 12) {
    e.size = std::stoull(std::string(size));
  } else {
    return false;
  }
  if (!rest.empty() && rest != " ") {
    if (rest.substr(0, 2) != "  " || rest.size() == 2) return false;
    e.longName = std::string(rest.substr(2));
  }
  base = TrimRight(base);
  ext = TrimRight(ext);
  e.shortShown = ext.empty() ? base : base + "." + ext;
  if (!cp932::Utf8ToCharset(e.shortShown, "CP850", e.shortBytes)) e.shortBytes.clear();
  dot = e.folder && (base == "." || base == "..") && ext.empty();
  return !base.empty();
}

// The name a listing shows a folder under in its "Directory for" line.
std::string ListedPath(const Listing& l, int index) {
  std::vector<const std::string*> levels;
  for (int at = index; at >= 0; at = l.entries[static_cast<std::size_t>(at)].parent) {
    const ListedEntry& e = l.entries[static_cast<std::size_t>(at)];
    levels.push_back(e.longName.empty() ? &e.shortShown : &e.longName);
  }
  std::string path = "::";
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) path += "/" + **level;
  return path;
}

uint64_t FreeBytesOf(std::string_view line) {
  std::string digits;
  for (char c : line.substr(0, line.find("bytes free")))
    if (c >= '0' && c <= '9') digits += c;
  return AllDigits(digits) && digits.size() < 16 ? std::stoull(digits) : 0;
}

uint64_t Le(std::string_view b, std::size_t at, int bytes) {
  uint64_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(b[at + k]);
  return v;
}

bool PowerOfTwo(uint64_t v, uint64_t low, uint64_t high) {
  return v >= low && v <= high && (v & (v - 1)) == 0;
}

// The clusters the listing's files and sub-folders need at least (a
// folder: its entries, "." and ".." included, one slot each).
uint64_t ClaimedClusters(const Listing& l, uint64_t clusterBytes) {
  if (clusterBytes == 0) return 0;
  std::vector<uint64_t> held(l.entries.size(), 0);
  for (const ListedEntry& e : l.entries)
    if (e.parent >= 0) ++held[static_cast<std::size_t>(e.parent)];
  uint64_t claimed = 0;
  for (std::size_t k = 0; k < l.entries.size(); ++k) {
    const ListedEntry& e = l.entries[k];
    const uint64_t bytes = e.folder ? (2 + held[k]) * kSlotBytes : e.size;
    claimed += (bytes + clusterBytes - 1) / clusterBytes;
  }
  return claimed;
}

}  // namespace

bool ParseListing(std::string_view text, Listing& out, std::string& error) {
  out = Listing();
  const std::vector<std::string_view> lines = Lines(text);
  std::size_t i = 0;
  while (i < lines.size() && lines[i].substr(0, kHeader.size()) != kHeader) ++i;
  std::vector<int> next = {-1};  // the folders still to come, the next one last
  std::vector<int> depth;        // of each entry: 1 in the root, 2 in a folder of it, ...
  while (i < lines.size()) {
    const std::string_view line = lines[i++];
    if (line.substr(0, kHeader.size()) == kHeader) {
      const int folder = next.empty() ? 0 : next.back();
      if (next.empty() ||
          line.substr(kHeader.size()) != ListedPath(out, folder) + (folder < 0 ? "/" : "")) {
        error = "a folder is listed out of its place (line " + std::to_string(i) + ")";
        return false;
      }
      next.pop_back();
      if (i >= lines.size() || !lines[i++].empty()) {
        error = "no blank line after line " + std::to_string(i - 1);
        return false;
      }
      std::vector<int> folders;
      if (folder >= 0 && depth[static_cast<std::size_t>(folder)] >= kDeepestFolder) {
        error = "folders nested more than " + std::to_string(kDeepestFolder) + " deep";
        return false;
      }
      for (; i < lines.size() && !lines[i].empty() && lines[i][0] != ' '; ++i) {
        ListedEntry e;
        bool dot = false;
        if (!ParseEntry(lines[i], e, dot)) {
          if (out.unreadable.empty() || out.unreadable.back() != folder)
            out.unreadable.push_back(folder);
          continue;
        }
        if (dot) continue;
        e.parent = folder;
        if (e.folder) folders.push_back(static_cast<int>(out.entries.size()));
        depth.push_back(folder < 0 ? 1 : depth[static_cast<std::size_t>(folder)] + 1);
        out.entries.push_back(std::move(e));
      }
      next.insert(next.end(), folders.rbegin(), folders.rend());
    } else if (line.find("bytes free") != std::string_view::npos) {
      out.freeBytes = FreeBytesOf(line);
    } else if (!line.empty() && line[0] != ' ' && line != kTotal) {
      error = "line " + std::to_string(i) + " is neither an entry nor a folder";
      return false;
    }
  }
  if (!next.empty()) {
    error = next.back() < 0 ? "no listing of the root folder" : "a folder is not listed";
    return false;
  }
  return true;
}

bool ReadBootSector(std::string_view b, uint64_t& clusterBytes, uint64_t& clusters) {
  if (b.size() < 40) return false;
  const uint64_t sectorBytes = Le(b, 11, 2), perCluster = Le(b, 13, 1), reserved = Le(b, 14, 2),
                 fats = Le(b, 16, 1), rootEntries = Le(b, 17, 2),
                 total = Le(b, 19, 2) ? Le(b, 19, 2) : Le(b, 32, 4),
                 fatSectors = Le(b, 22, 2) ? Le(b, 22, 2) : (b.size() >= 40 ? Le(b, 36, 4) : 0);
  if (!PowerOfTwo(sectorBytes, 128, 4096) || !PowerOfTwo(perCluster, 1, 128) || reserved == 0 ||
      fats == 0 || fats > 4 || fatSectors == 0 || Le(b, 21, 1) < 0xF0)
    return false;
  const uint64_t system =
      reserved + fats * fatSectors + (rootEntries * kSlotBytes + sectorBytes - 1) / sectorBytes;
  if (total <= system) return false;
  clusterBytes = sectorBytes * perCluster;
  clusters = (total - system) / perCluster;
  return clusters > 0;
}

bool ReadHead(const std::string& path, std::size_t most, std::string& bytes) {
  bytes.clear();
  if (!plat::IsRegularFile(path)) return false;
  std::FILE* f = plat::OpenFile(path, "rb");
  if (!f) return false;
  bytes.resize(most);
  const std::size_t got = std::fread(bytes.data(), 1, most, f);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  bytes.resize(got);
  return !failed;
}

std::unique_ptr<FatImageSource> FatImageSource::Open(const std::string& image,
                                                     const std::string& shown, std::string& error) {
  if (!ImageToolsAvailable(error)) return nullptr;
  std::unique_ptr<FatImageSource> s(new FatImageSource());
  s->shown_ = shown;
  s->path_ = image;
  std::string head;
  if (!ReadHead(image, 64, head)) {
    error = shown + ": not a file that can be read";
    return nullptr;
  }
  if (!s->folder_.Make(plat::TempFolder(), "kvi")) {
    error = "cannot make a temporary folder to read " + shown;
    return nullptr;
  }
  // The tools reach the image by a name of ours: a link, else a copy.
  const std::string target = AbsolutePath(image);
  const std::string link = s->folder_.Inner() + "image";
  if (!plat::MakeLink(target, link) && !plat::CopyFileReplacing(target, link)) {
    error = "cannot make a temporary link to read " + shown;
    return nullptr;
  }
  const bool layout = ReadBootSector(head, s->clusterBytes_, s->clusters_);
  if (!s->List(error)) return nullptr;
  if (!layout && !s->entries_.empty()) {
    error = shown + ": its boot sector does not describe the FAT volume the image tools found";
    return nullptr;
  }
  return s;
}

FatImageSource::~FatImageSource() { Release(); }

void FatImageSource::AddNotesBefore(const std::vector<std::string>& notes) {
  notes_.insert(notes_.begin(), notes.begin(), notes.end());
}

bool FatImageSource::List(std::string& error) {
  std::string output;
  const int status = folder_.Run({"mdir", "-/", "-a", "-i", "image", "::"}, output,
                                 ToolFolder::CodePage::kOwn, 64u << 20);
  if (status != 0) {
    if (status > 0 && ToolReason(output) == "File \"::\" not found") return true;  // empty
    // A listing that broke off (a folder that holds itself can make the
    // tools recurse until they crash) is no refusal of the format.
    const bool listed = output.find(kHeader) != std::string::npos;
    error = shown_ + (listed || status < 0
                          ? ": its folders are damaged: the image tools stopped listing them"
                          : ": not a FAT floppy image (" + ToolReason(output) + ")");
    return false;
  }
  Listing listing;
  std::string why;
  if (!ParseListing(output, listing, why)) {
    error = shown_ + ": its directory cannot be read: " + why;
    return false;
  }
  if (const uint64_t claimed = ClaimedClusters(listing, clusterBytes_); claimed > clusters_) {
    error = shown_ + ": damaged: its directory claims " + std::to_string(claimed * clusterBytes_) +
            " bytes, more than the " + std::to_string(clusters_ * clusterBytes_) +
            " bytes the image can hold";
    return false;
  }
  freeBytes_ = listing.freeBytes;
  for (int folder : listing.unreadable) {
    notes_.push_back(shown_ + ": an entry of " +
                     (folder < 0 ? std::string("the root folder")
                                 : ShownText(ListedPath(listing, folder).substr(3))) +
                     " cannot be read, left out");
  }
  Admit(listing);
  return true;
}

void FatImageSource::Admit(const Listing& listing) {
  // Names of every entry, the short ones for the tools; what cannot be
  // named here is left out with what it holds.
  const std::size_t n = listing.entries.size();
  std::vector<std::string> inner(n), shortPath(n);
  std::vector<bool> kept(n, false);
  for (std::size_t k = 0; k < n; ++k) {
    const ListedEntry& e = listing.entries[k];
    const std::size_t p = static_cast<std::size_t>(e.parent);
    if (e.parent >= 0 && !kept[p]) continue;
    const std::string parentInner = e.parent >= 0 ? inner[p] + "\\" : "";
    // A short name alone is bytes of the disk's code page: 932 on the
    // disks this program reads.
    std::string level, utf8;
    bool named = false;
    if (!e.longName.empty()) {
      named = cp932::FromUtf8(e.longName, level);
    } else if (!e.shortBytes.empty() && cp932::ToUtf8(e.shortBytes, utf8)) {
      level = e.shortBytes;
      named = true;
    }
    std::string fault = named ? FatNameFault(level, false) : "has no code page 932 form";
    if (fault.empty() && !byFolded_.emplace(FoldCase(parentInner + level), entries_.size()).second)
      fault = "is there twice (names differ only in case)";
    if (!fault.empty()) {
      notes_.push_back(shown_ + ": " +
                       ShownText(ListedPath(listing, static_cast<int>(k)).substr(3)) + " " + fault +
                       ", left out");
      continue;
    }
    kept[k] = true;
    inner[k] = parentInner + level;
    // The tools take "*?[" as wildcards and '\' as a separator: a short
    // name holding one is never handed to them.
    const std::string parentShort = e.parent >= 0 ? shortPath[p] : "";
    std::string shortUtf8;
    const bool nameable = (e.parent < 0 || !parentShort.empty()) &&
                          cp932::ToUtf8(e.shortBytes, shortUtf8) && !shortUtf8.empty() &&
                          shortUtf8.find_first_of("*?[]\\/") == std::string::npos;
    shortPath[k] = nameable ? parentShort + "/" + shortUtf8 : "";
    byName_.emplace(inner[k], entries_.size());
    entries_.push_back({inner[k], e.size, e.folder});
    shortPaths_.push_back(shortPath[k]);
  }
}

std::string FatImageSource::Fetch(const std::string& relative, std::string& error) {
  auto exact = byName_.find(relative);
  auto folded = exact == byName_.end() ? byFolded_.find(FoldCase(relative)) : byFolded_.end();
  const std::size_t at = exact != byName_.end()      ? exact->second
                         : folded != byFolded_.end() ? folded->second
                                                     : entries_.size();
  const std::string shownName = ShownText(plat::DisplayPath(relative));
  if (at == entries_.size() || entries_[at].folder) {
    error = shown_ + ": " + shownName +
            (at == entries_.size() ? " is not on the image" : " is a folder");
    return {};
  }
  if (shortPaths_[at].empty()) {
    error = shown_ + ": " + shownName + ": its short name cannot be given to the image tools";
    return {};
  }
  const std::string local = "f" + std::to_string(++copies_);
  std::string output;
  const int status =
      folder_.Run({"mcopy", "-n", "-m", "-i", "image", "::" + shortPaths_[at], local}, output,
                  ToolFolder::CodePage::k932);
  const std::string path = folder_.Inner() + local;
  plat::FileStamp stamp;
  if (plat::GetFileStamp(path, stamp)) fetched_.push_back(path);
  if (status != 0 || stamp.length < 0 || static_cast<uint64_t>(stamp.length) != entries_[at].size) {
    error = shown_ + ": " + shownName + " cannot be read from the image (" +
            (status != 0 ? ToolReason(output) : "it is not as long as its entry says") + ")";
    return {};
  }
  return path;
}

void FatImageSource::Release() {
  for (const std::string& path : fetched_) plat::RemoveFile(path);
  fetched_.clear();
}

}  // namespace disks

namespace disks {

bool IsFatImage(const std::string& path, bool isFolder) {
  std::string bytes;
  uint64_t clusterBytes = 0, clusters = 0;
  if (isFolder || !ReadHead(path, 64, bytes)) return false;
  if (ReadBootSector(bytes, clusterBytes, clusters)) return true;
  // Raw sectors of a known disk whose boot sector is damaged: the tools
  // then say why they cannot read it.
  return ReadHead(path, images::kMaxImageBytes + 1, bytes) &&
         images::DetectImage(bytes, "") == images::ImageFormat::kRaw;
}

std::unique_ptr<DiskSource> OpenFatImage(const std::string& path, const std::string& shown,
                                         std::string& error) {
  return FatImageSource::Open(path, shown, error);
}

}  // namespace disks
