#include "app/commands/salvage.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "codec/header.h"
#include "fileops/naming.h"
#include "platform/platform.h"
#include "runs/list.h"
#include "text/cp932.h"
#include "text/format.h"
#include "text/paths.h"

namespace {

// One compressed file as its header names it.
struct Found {
  int32_t disk = 0;
  std::string listed;  // the name the list gives it on the disk set
  std::string head;    // the head file's listed name (a head or a piece)
  LzsHeader header{};
};

// The header of a file on a disk; false when it carries none.
bool HeaderOf(GivenDisks& given, int32_t disk, const std::string& name, LzsHeader& h) {
  const std::string path = given.FileOf(disk, name);
  std::FILE* f = plat::OpenFile(path, "rb");
  bool ok = f && ReadHeader(f, h) && HasSignatureNoCase(h);
  if (f) std::fclose(f);
  given.Release();
  return ok;
}

// The work folder name a header carries (up to its terminator).
std::string NameOf(const LzsHeader& h) {
  const void* end = std::memchr(h.name, 0, sizeof h.name);
  return std::string(h.name, end ? static_cast<const char*>(end) - h.name : sizeof h.name);
}

// The last level of a relative name.
std::string Leaf(const std::string& name) {
  const std::size_t sep = cp932::FindLast(name, '\\');
  return sep == cp932::npos ? name : name.substr(sep + 1);
}

std::string Shown(const std::string& name) { return cp932::ShownLine(name); }

class Salvager {
 public:
  Salvager(GivenDisks& given, Salvaged& out) : given_(given), out_(out) {}

  // The files the set's own list puts on disks that were not given, unless
  // found elsewhere or already named.
  void Unreached(const ParsedList& list) {
    for (std::size_t i = 0; i < list.sections.size(); ++i) {
      const int32_t disk = static_cast<int32_t>(i + 1);
      if (given_.HasDisk(disk)) continue;
      for (const std::string& name : list.sections[i])
        if (!Known(name) && named_.insert(name).second)
          out_.missing.push_back(Shown(name) + ": on disk " + std::to_string(disk) +
                                 ", which was not given");
    }
  }

  void Read() {
    for (const auto& [disk, source] : given_.ByNumber())
      for (const DiskEntry& e : source->Entries())
        if (!e.folder) Take(disk, e.name);
  }

  // Every whole file and every head whose pieces are all there, and what
  // the others lack.
  void Check() {
    for (const auto& [listed, head] : heads_) {
      const int32_t n = head.header.piece_count;
      PathParts parts;
      SplitPath(listed, parts);
      for (int32_t k = 1; k <= n; ++k)
        if (!pieces_.count(PieceName(parts, k)) && (incomplete_.insert(listed), true) &&
            named_.insert(PieceName(parts, k)).second)
          out_.missing.push_back(Shown(listed) + ": piece " + std::to_string(k) + " of " +
                                 std::to_string(n) + " is missing (" + Shown(PieceName(parts, k)) +
                                 ")");
    }
    for (const auto& [piece, found] : pieces_) {
      PathParts parts;
      SplitPath(piece, parts);
      const std::string& head = found.head;
      if (!heads_.count(head) && (incomplete_.insert(head), named_.insert(head).second))
        out_.missing.push_back(Shown(head) +
                               ": its head file is missing; its pieces cannot be "
                               "joined without it");
    }
    out_.files = wholes_ + heads_.size() - (heads_.size() ? CountIncompleteHeads() : 0);
  }

  // The list: each disk's section with the files found on it.
  std::string List(const std::string& title) const {
    int32_t last = 0;
    for (const auto& [disk, source] : given_.ByNumber()) last = std::max(last, disk);
    std::string text = Format("%8d\n", static_cast<int>(last + 1)) + title + "\n";
    for (int32_t disk = 1; disk <= last; ++disk) {
      text += "ID" + std::to_string(disk) + "\n";
      auto lines = lines_.find(disk);
      if (lines == lines_.end()) continue;
      // A file that lacks a piece or its head is named missing, not expanded.
      for (const auto& [name, head] : lines->second)
        if (!incomplete_.count(head)) text += std::to_string(disk) + ":" + name + "\n";
    }
    return text + "ID0\n";
  }

 private:
  bool Known(const std::string& listed) const {
    return heads_.count(listed) || pieces_.count(listed) || wholes_map_.count(listed);
  }

  void Take(int32_t disk, const std::string& onDisk) {
    LzsHeader h;
    if (!HeaderOf(given_, disk, onDisk, h)) return;  // markers, the program, the list
    const std::string work = NameOf(h);
    std::string listed = WithLzsSuffix(work);
    if (h.piece_index != 0) {
      PathParts parts;
      SplitPath(listed, parts);
      listed = PieceName(parts, h.piece_index);
    }
    if (!IsSafeRelativeName(listed) || !IsSafeRelativeName(work)) {
      out_.notes.push_back(Shown(onDisk) + ": its header names no file of a game folder; left out");
      return;
    }
    if (listed != onDisk) {
      // A name copied in its 8.3 short form is known by its header; any
      // other name is a compressed file stored as it is, never expanded.
      if (Leaf(onDisk).find('~') == std::string::npos) return;
      given_.Alias(disk, listed, onDisk);
    }
    const std::string head = WithLzsSuffix(work);
    auto& seen = h.piece_index != 0 ? pieces_ : h.piece_count != 0 ? heads_ : wholes_map_;
    if (!seen.emplace(listed, Found{disk, listed, head, h}).second) {
      out_.notes.push_back(Shown(listed) + ": found again on disk " + std::to_string(disk) +
                           "; the first is taken");
      return;
    }
    if (h.piece_index == 0 && h.piece_count == 0) ++wholes_;
    lines_[disk].emplace_back(listed, head);
  }

  GivenDisks& given_;
  Salvaged& out_;
  std::map<std::string, Found> heads_, pieces_, wholes_map_;
  std::size_t CountIncompleteHeads() const {
    std::size_t n = 0;
    for (const auto& [listed, found] : heads_) n += incomplete_.count(listed);
    return n;
  }
  std::map<int32_t, std::vector<std::pair<std::string, std::string>>> lines_;  // name, its head
  std::set<std::string> incomplete_;  // heads that lack a piece, or are missing
  std::set<std::string> named_;       // listed names already told missing
  uint64_t wholes_ = 0;
};

}  // namespace

Salvaged SalvageList(GivenDisks& given, const std::string& title, const ParsedList* listed) {
  Salvaged out;
  given.NumberTheRest();
  Salvager salvager(given, out);
  salvager.Read();
  salvager.Check();
  if (listed) salvager.Unreached(*listed);
  out.listText = salvager.List(title);
  return out;
}

bool ReadOwnList(GivenDisks& given, ParsedList& list) {
  DiskSource* disk = given.set().ListDisk();
  if (!disk) return false;
  std::string error, text;
  const std::string path = disk->Fetch(given.set().ListName(), error);
  const bool read = !path.empty() && ReadListFile(path, text);
  disk->Release();
  if (!read || !CheckList(text)) return false;
  list = ParseList(text);
  return true;
}

bool SalvageTitle(const ParsedList* listed, const std::string& titleOption, bool titleGiven,
                  const std::string& firstOperand, std::string& title, std::string& error) {
  if (listed) {
    title = listed->title;
    return true;
  }
  std::string host = titleGiven ? titleOption : firstOperand;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (!titleGiven) {
    const std::size_t slash = host.find_last_of('/');
    if (slash != std::string::npos) host = host.substr(slash + 1);
  }
  if (!plat::FromHostPath(host, title) || !IsSafeTitle(title)) {
    error = cp932::ShownHostLine(host) + ": cannot name the game (give --title)";
    return false;
  }
  return true;
}
