// The containers that keep an ID with every sector: D88 and NFD revision 0.
// Their sectors are put back in place by their IDs (cylinder, head, record)
// on the known geometry that holds most of them.
#include <array>
#include <cstring>

#include "images/image_internal.h"

namespace images::detail {

namespace {

constexpr std::size_t kD88Header = 0x2B0;     // 164 track offsets
constexpr std::size_t kD88OldHeader = 0x2A0;  // older tools: 160
constexpr std::size_t kD88Tracks = 164;
constexpr std::size_t kD88SectorHeader = 16;
constexpr uint32_t kD88MaxSectors = 64;  // no floppy track holds more
constexpr std::size_t kNfdTable = 0x120;
constexpr std::size_t kNfdTracks = 163;
constexpr std::size_t kNfdSlots = 26;
constexpr std::size_t kNfdEntry = 16;
constexpr std::size_t kNfdTableEnd = kNfdTable + kNfdTracks * kNfdSlots * kNfdEntry;
constexpr std::size_t kNfdHeader = kNfdTableEnd + 16;  // the table ends in 16 zero bytes

struct Sector {
  unsigned c, h, r;
  bool deleted;
  unsigned status;  // 0: read without error
  std::string_view data;
};

std::string Id(const Sector& s) {
  return "sector C" + std::to_string(s.c) + " H" + std::to_string(s.h) + " R" + std::to_string(s.r);
}

bool Fits(const Geometry& g, const Sector& s) {
  return s.data.size() == static_cast<std::size_t>(g.sectorSize) &&
         s.c < static_cast<unsigned>(g.cylinders) && s.h < static_cast<unsigned>(g.heads) &&
         s.r >= 1 && s.r <= static_cast<unsigned>(g.sectorsPerTrack);
}

std::size_t Index(const Geometry& g, const Sector& s) {
  return (static_cast<std::size_t>(s.c) * static_cast<std::size_t>(g.heads) + s.h) *
             static_cast<std::size_t>(g.sectorsPerTrack) +
         (s.r - 1);
}

// Two passes over the same sectors: Survey counts, for each known geometry,
// the sectors it would hold; Place puts them into the chosen one.
class Assembler {
 public:
  void Survey(const Sector& s) {
    const std::vector<Geometry>& known = KnownGeometries();
    for (std::size_t i = 0; i < known.size(); ++i) fit_[i] += Fits(known[i], s) ? 1 : 0;
  }

  // The geometry that holds most sectors, the smaller on a tie.
  const Geometry* Choose() const {
    const Geometry* best = nullptr;
    std::size_t most = 0;
    for (std::size_t i = 0; i < KnownGeometries().size(); ++i) {
      if (fit_[i] > most) {
        most = fit_[i];
        best = &KnownGeometries()[i];
      }
    }
    return best;
  }

  void Start(RawImage& out, const Geometry& g) {
    out_ = &out;
    out.geometry = g;
    out.sectors.assign(g.Bytes(), '\xE5');
    placed_.assign(g.Bytes() / static_cast<std::size_t>(g.sectorSize), false);
  }

  void Place(const Sector& s, NoteList& notes) {
    const Geometry& g = out_->geometry;
    if (s.data.size() != static_cast<std::size_t>(g.sectorSize)) {
      notes.Add(Id(s) + " holds " + std::to_string(s.data.size()) + " bytes, not " +
                std::to_string(g.sectorSize) + ": left out");
      return;
    }
    if (!Fits(g, s)) {
      notes.Add(Id(s) + " lies outside the disk: left out");
      return;
    }
    const std::size_t i = Index(g, s);
    if (placed_[i]) {
      notes.Add(Id(s) + " appears again: the first copy is kept");
      return;
    }
    placed_[i] = true;
    out_->sectors.replace(i * s.data.size(), s.data.size(), s.data);
    if (s.deleted) notes.Add(Id(s) + " carries a deleted-data mark");
    if (s.status != 0) notes.Add(Id(s) + " was stored with error status " + Hex2(s.status));
  }

  void Finish(NoteList& notes) const {
    std::size_t missing = 0, first = 0;
    for (std::size_t i = placed_.size(); i-- > 0;) {
      if (!placed_[i]) {
        ++missing;
        first = i;
      }
    }
    if (missing == 0) return;
    const Geometry& g = out_->geometry;
    const std::size_t spt = static_cast<std::size_t>(g.sectorsPerTrack);
    const std::size_t track = first / spt, heads = static_cast<std::size_t>(g.heads);
    notes.Add(std::to_string(missing) + " of " + std::to_string(placed_.size()) +
              " sectors are missing, the first sector C" + std::to_string(track / heads) + " H" +
              std::to_string(track % heads) + " R" + std::to_string(first % spt + 1) +
              ": filled with 0xe5");
  }

 private:
  std::array<std::size_t, 8> fit_{};
  RawImage* out_ = nullptr;
  std::vector<bool> placed_;
};

// Runs the survey, then the placement, over the sectors walk() visits;
// walk(visit, error) returns false (error set) on an inconsistent image.
template <class Walk>
bool Assemble(const char* format, Walk&& walk, RawImage& out, NoteList& notes, std::string& error) {
  Assembler a;
  if (!walk([&](const Sector& s) { a.Survey(s); }, error)) return false;
  const Geometry* g = a.Choose();
  if (!g) {
    error = std::string(format) + ": no sectors of a known disk";
    return false;
  }
  a.Start(out, *g);
  walk([&](const Sector& s) { a.Place(s, notes); }, error);
  a.Finish(notes);
  return true;
}

struct D88Layout {
  std::size_t diskSize = 0;
  std::array<std::size_t, kD88Tracks> tracks{};  // 0: no track
};

bool ReadD88Layout(std::string_view b, D88Layout& l, std::string& error) {
  if (b.size() < kD88OldHeader) {
    error = "D88: " + std::to_string(b.size()) + " bytes, shorter than the header";
    return false;
  }
  l.diskSize = Le32(b, 0x1C);
  if (l.diskSize > b.size()) {
    error = "D88: the header gives the disk " + std::to_string(l.diskSize) +
            " bytes, the file has " + std::to_string(b.size());
    return false;
  }
  // The first track tells the table's length: 160 or 164 offsets.
  std::size_t header = kD88Header;
  for (std::size_t t = 0; t < 160; ++t) {
    if (uint32_t at = Le32(b, 0x20 + 4 * t); at != 0) {
      if (at == kD88OldHeader) header = kD88OldHeader;
      break;
    }
  }
  if (l.diskSize < header) {
    error = "D88: the header gives the disk " + std::to_string(l.diskSize) +
            " bytes, less than the header itself";
    return false;
  }
  for (std::size_t t = 0; t < (header - 0x20) / 4; ++t) {
    const std::size_t at = Le32(b, 0x20 + 4 * t);
    // Some tools point unused entries at the end of the disk.
    if (at == 0 || at == l.diskSize) continue;
    if (at < header || at > l.diskSize) {
      error = "D88: track " + std::to_string(t) + " starts at byte " + std::to_string(at) +
              ", outside the disk's " + std::to_string(l.diskSize) + " bytes";
      return false;
    }
    l.tracks[t] = at;
  }
  return true;
}

template <class Visit>
bool WalkD88(std::string_view b, const D88Layout& l, Visit&& visit, std::string& error) {
  for (std::size_t t = 0; t < kD88Tracks; ++t) {
    std::size_t pos = l.tracks[t];
    if (pos == 0) continue;
    const std::string track = "D88: track " + std::to_string(t);
    uint32_t count = 1;
    for (uint32_t i = 0; i < count; ++i) {
      if (l.diskSize - pos < kD88SectorHeader) {
        error = track + ": sector " + std::to_string(i) + " runs past the end of the disk";
        return false;
      }
      if (i == 0) {
        count = Le16(b, pos + 4);
        if (count == 0 || count > kD88MaxSectors) {
          error = track + " claims " + std::to_string(count) + " sectors";
          return false;
        }
      }
      const std::size_t size = Le16(b, pos + 14);
      if (l.diskSize - pos - kD88SectorHeader < size) {
        error = track + ": the " + std::to_string(size) + " bytes of sector " + std::to_string(i) +
                " run past the end of the disk";
        return false;
      }
      // C, H, R, N, sector count (16 bits), density, deleted mark, status,
      // 5 reserved bytes, data size (16 bits).
      visit(Sector{Byte(b, pos), Byte(b, pos + 1), Byte(b, pos + 2), Byte(b, pos + 7) != 0,
                   Byte(b, pos + 8), b.substr(pos + kD88SectorHeader, size)});
      pos += kD88SectorHeader + size;
    }
  }
  return true;
}

std::size_t NfdHeaderSize(std::string_view b) { return Le32(b, 0x110); }

// The data of the sectors follows the header in the order of the table.
template <class Visit>
bool WalkNfd(std::string_view b, Visit&& visit, std::string& error, std::size_t* end = nullptr) {
  std::size_t pos = NfdHeaderSize(b);
  for (std::size_t k = 0; k < kNfdTracks * kNfdSlots; ++k) {
    const std::size_t e = kNfdTable + k * kNfdEntry;
    if (Byte(b, e) == 0xFF) continue;  // no sector in this slot
    const unsigned n = Byte(b, e + 3);
    if (n > kLargestSizeCode) {
      error = "NFD: sector entry " + std::to_string(k) + " has size code " + std::to_string(n);
      return false;
    }
    const std::size_t size = std::size_t{128} << n;
    if (b.size() - pos < size) {
      error =
          "NFD: the data of sector entry " + std::to_string(k) + " runs past the end of the file";
      return false;
    }
    // C, H, R, N, MFM flag, deleted mark, status, ST0-ST2, PDA, 5 reserved bytes.
    visit(Sector{Byte(b, e), Byte(b, e + 1), Byte(b, e + 2), Byte(b, e + 5) != 0, Byte(b, e + 6),
                 b.substr(pos, size)});
    pos += size;
  }
  if (end) *end = pos;
  return true;
}

unsigned SizeCode(const Geometry& g) {
  unsigned n = 0;
  while ((128 << n) < g.sectorSize) ++n;
  return n;
}

}  // namespace

void NoteList::Add(std::string line) {
  if (lines_.size() < kMaxNotes) {
    lines_.push_back(std::move(line));
  } else {
    ++dropped_;
  }
}

void NoteList::Close() {
  if (dropped_) lines_.push_back("... and " + std::to_string(dropped_) + " more notes");
  dropped_ = 0;
}

std::string Hex2(unsigned v) {
  const char* digits = "0123456789abcdef";
  return std::string("0x") + digits[v >> 4 & 15] + digits[v & 15];
}

bool LooksLikeD88(std::string_view b) {
  if (b.size() < kD88Header) return false;
  const std::size_t diskSize = Le32(b, 0x1C);
  const unsigned media = Byte(b, 0x1B);
  if (diskSize < kD88OldHeader || diskSize > b.size() || (media & 0x0F) != 0 || media > 0x40) {
    return false;
  }
  for (std::size_t t = 0; t < kD88Tracks; ++t) {
    if (uint32_t at = Le32(b, 0x20 + 4 * t); at != 0)
      return at == kD88Header || at == kD88OldHeader;
  }
  return false;
}

bool D88ToRaw(std::string_view b, RawImage& out, std::string& error) {
  D88Layout l;
  if (!ReadD88Layout(b, l, error)) return false;
  auto walk = [&](auto&& visit, std::string& e) { return WalkD88(b, l, visit, e); };
  NoteList notes(out.notes);
  if (!Assemble("D88", walk, out, notes, error)) return false;
  if (l.diskSize < b.size()) {
    // Several disks may follow each other in one file.
    notes.Add(std::to_string(b.size() - l.diskSize) + " bytes after the first disk are ignored");
  }
  notes.Close();
  return true;
}

bool NfdToRaw(std::string_view b, RawImage& out, std::string& error) {
  if (b.size() < kNfdTable || b.substr(0, 15) != std::string_view("T98FDDIMAGE.R0\0", 15)) {
    error = b.substr(0, 15) == std::string_view("T98FDDIMAGE.R1\0", 15)
                ? "NFD: revision 1 images are not read"
                : "NFD: no revision 0 signature";
    return false;
  }
  if (NfdHeaderSize(b) < kNfdTableEnd || NfdHeaderSize(b) > b.size()) {
    error = "NFD: header size " + std::to_string(NfdHeaderSize(b)) + " outside " +
            std::to_string(kNfdTableEnd) + ".." + std::to_string(b.size());
    return false;
  }
  std::size_t end = 0;
  auto walk = [&](auto&& visit, std::string& e) { return WalkNfd(b, visit, e, &end); };
  NoteList notes(out.notes);
  if (!Assemble("NFD", walk, out, notes, error)) return false;
  if (end < b.size())
    notes.Add(std::to_string(b.size() - end) + " bytes after the last sector are ignored");
  notes.Close();
  return true;
}

void D88FromRaw(std::string_view raw, const Geometry& g, std::string& out) {
  const std::size_t tracks = static_cast<std::size_t>(g.cylinders * g.heads);
  const std::size_t spt = static_cast<std::size_t>(g.sectorsPerTrack);
  const std::size_t size = static_cast<std::size_t>(g.sectorSize);
  const std::size_t trackBytes = spt * (kD88SectorHeader + size);
  out.assign(kD88Header + tracks * trackBytes, '\0');
  out[0x1B] = static_cast<char>(D88MediaType(g));
  Put32(out, 0x1C, static_cast<uint32_t>(out.size()));
  for (std::size_t t = 0; t < tracks; ++t) {
    Put32(out, 0x20 + 4 * t, static_cast<uint32_t>(kD88Header + t * trackBytes));
    for (std::size_t r = 0; r < spt; ++r) {
      const std::size_t at = kD88Header + t * trackBytes + r * (kD88SectorHeader + size);
      const unsigned id[] = {static_cast<unsigned>(t / static_cast<std::size_t>(g.heads)),
                             static_cast<unsigned>(t % static_cast<std::size_t>(g.heads)),
                             static_cast<unsigned>(r + 1), SizeCode(g)};
      for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<char>(id[i]);
      Put16(out, at + 4, static_cast<uint32_t>(spt));
      Put16(out, at + 14, static_cast<uint32_t>(size));
      out.replace(at + kD88SectorHeader, size, raw.substr((t * spt + r) * size, size));
    }
  }
}

void NfdFromRaw(std::string_view raw, const Geometry& g, std::string& out) {
  const std::size_t tracks = static_cast<std::size_t>(g.cylinders * g.heads);
  const std::size_t spt = static_cast<std::size_t>(g.sectorsPerTrack);
  out.assign(kNfdHeader, '\0');
  out.replace(0, 15, std::string_view("T98FDDIMAGE.R0\0", 15));
  Put32(out, 0x110, static_cast<uint32_t>(kNfdHeader));
  out[0x115] = static_cast<char>(g.heads);
  for (std::size_t t = 0; t < kNfdTracks; ++t) {
    for (std::size_t s = 0; s < kNfdSlots; ++s) {
      const std::size_t e = kNfdTable + (t * kNfdSlots + s) * kNfdEntry;
      if (t >= tracks || s >= spt) {
        std::memset(&out[e], 0xFF, 11);  // C to PDA of an empty slot
        continue;
      }
      const unsigned id[] = {static_cast<unsigned>(t / static_cast<std::size_t>(g.heads)),
                             static_cast<unsigned>(t % static_cast<std::size_t>(g.heads)),
                             static_cast<unsigned>(s + 1), SizeCode(g), 1 /* MFM */};
      for (std::size_t i = 0; i < 5; ++i) out[e + i] = static_cast<char>(id[i]);
      out[e + 10] = static_cast<char>(FdiDriveType(g));
    }
  }
  out.append(raw);
}

}  // namespace images::detail
