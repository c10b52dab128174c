// --list: the files of a set, read from the list and the headers on the
// disks, as a table or as JSON.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/commands/batch_commands.h"
#include "app/commands/given_disks.h"
#include "app/commands/salvage.h"
#include "app/exit_status.h"
#include "codec/header.h"
#include "fileops/naming.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/paths.h"

namespace {

// One listed file of the set: a whole compressed file or a head file with
// its pieces; the pieces' lines are folded into their head's row.
struct Row {
  std::string listed;  // as listed
  std::string output;  // the name it is expanded under
  std::string kind;    // "file", "head", "missing", "not compressed", "not given"
  int32_t disk = 0;
  int32_t lastDisk = 0;  // the disk of its last piece
  LzsHeader header{};
};

// The kind of the file a line names, with its header when it has one.
std::string KindOf(GivenDisks& given, int32_t disk, const std::string& name, LzsHeader& h) {
  if (!given.HasDisk(disk)) return "not given";
  std::FILE* f = plat::OpenFile(given.FileOf(disk, name), "rb");
  if (!f) {
    given.Release();
    return "missing";
  }
  const bool whole = ReadHeader(f, h);
  std::fclose(f);
  given.Release();
  if (!whole || !HasSignatureNoCase(h)) return "not compressed";
  return h.piece_index != 0 ? "piece" : h.piece_count != 0 ? "head" : "file";
}

std::vector<Row> Rows(GivenDisks& given, const ParsedList& list) {
  std::vector<Row> rows;
  for (std::size_t k = 0; k < list.sections.size(); ++k) {
    const int32_t disk = static_cast<int32_t>(k + 1);
    for (const std::string& name : list.sections[k]) {
      Row row;
      row.listed = name;
      row.disk = row.lastDisk = disk;
      OutputName("", name, row.output);
      if (!row.output.empty() && row.output[0] == '\\') row.output.erase(0, 1);
      row.kind = KindOf(given, disk, name, row.header);
      if (row.kind == "piece") continue;  // shown with its head
      if (row.kind == "head") {
        PathParts parts;
        SplitPath(name, parts);
        const int32_t last = list.DiskOf(PieceName(parts, row.header.piece_count));
        row.lastDisk = std::max(disk, last);
      }
      rows.push_back(row);
    }
  }
  return rows;
}

bool Counted(const Row& r) { return r.kind == "file" || r.kind == "head"; }

std::string Right(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string DiskText(const Row& r) {
  return r.lastDisk > r.disk ? std::to_string(r.disk) + "-" + std::to_string(r.lastDisk)
                             : std::to_string(r.disk);
}

std::string Table(const std::string& title, int32_t disks, const std::vector<Row>& rows,
                  uint64_t files, uint64_t original, uint64_t packed) {
  const std::string rule = "------------ ------------ ----- ------  ----------\n";
  std::string out = "title: " + cp932::ShownLine(title) + "\ndisks: " + std::to_string(disks) +
                    "\n\n        Size       Packed  Disk Pieces  Name\n" + rule;
  for (const Row& r : rows) {
    const bool counted = Counted(r);
    out += Right(counted ? std::to_string(r.header.original_size) : "", 12) + " " +
           Right(counted ? std::to_string(r.header.packed_size) : "", 12) + " " +
           Right(DiskText(r), 5) + " " +
           Right(r.header.piece_count && counted ? std::to_string(r.header.piece_count) : "", 6) +
           "  " + cp932::ShownLine(r.output) + (counted ? "" : "  (" + r.kind + ")") + "\n";
  }
  out += rule + Right(std::to_string(original), 12) + " " + Right(std::to_string(packed), 12) +
         "              " + std::to_string(files) + " files\n";
  return out;
}

std::string HashFields(const ContentHashes& h) {
  return ",\"crc32\":" + JsonString(h.crc32) + ",\"md5\":" + JsonString(h.md5) +
         ",\"sha1\":" + JsonString(h.sha1);
}

std::string Json(const std::string& title, int32_t disks, GivenDisks& given,
                 const std::vector<Row>& rows, const std::map<std::string, ContentHashes>* hashes,
                 uint64_t files, uint64_t original, uint64_t packed, uint64_t warnings,
                 uint64_t errors) {
  std::string out = "{" + JsonNameFields("title", title) +
                    ",\"diskCount\":" + std::to_string(disks) + ",\"disks\":[";
  for (int32_t d = 1; d <= disks; ++d) {
    out += std::string(d > 1 ? "," : "") + "{\"number\":" + std::to_string(d) +
           ",\"present\":" + (given.HasDisk(d) ? "true" : "false") + "}";
  }
  out += "],\"files\":[";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    out += std::string(i ? "," : "") + "{" + JsonNameFields("name", r.listed) + "," +
           JsonNameFields("output", r.output) + ",\"kind\":" + JsonString(r.kind) +
           ",\"disk\":" + std::to_string(r.disk);
    if (Counted(r))
      out += ",\"original\":" + std::to_string(r.header.original_size) +
             ",\"packed\":" + std::to_string(r.header.packed_size) +
             ",\"pieces\":" + std::to_string(r.header.piece_count) +
             ",\"lastDisk\":" + std::to_string(r.lastDisk);
    if (hashes && hashes->count(r.listed)) out += HashFields(hashes->at(r.listed));
    out += "}";
  }
  out += "]";
  if (hashes) {
    // The image files given, as they are.
    const auto images = ImageHashes(given);
    out += ",\"images\":[";
    for (std::size_t i = 0; i < images.size(); ++i)
      out += std::string(i ? "," : "") + "{\"name\":" + JsonString(images[i].first) +
             HashFields(images[i].second) + "}";
    out += "]";
  }
  out += ",\"totals\":{\"files\":" + std::to_string(files) +
         ",\"bytes\":" + std::to_string(original) + ",\"packed\":" + std::to_string(packed) +
         ",\"disks\":" + std::to_string(disks) + ",\"warnings\":" + std::to_string(warnings) +
         ",\"errors\":" + std::to_string(errors) + "}}\n";
  return out;
}

}  // namespace

int RunListCommand(const BatchOptions& o, CodecContext& codec) {
  if (o.operands.empty()) return Usage("give the disks of the set (folders or images)");
  if (o.hashes && !o.json) return Usage("--hashes goes with --list --json (and --test)");
  if (o.hashes && !ContentHasher::Available())
    return Usage("hashes are not available in this build");
  GivenDisks given;
  std::string text;
  SetRead read;
  if (int status = ReadGivenSet(o, given, text, read); status >= 0) return status;
  const ParsedList& list = read.list;
  for (const std::string& note : read.notes) Complain("warning: " + note);
  for (const std::string& line : read.missing) Complain("missing: " + line);
  const uint64_t missing = read.missing.size();
  // Hashes come from decoding every file into nothing: a test run.
  std::map<std::string, ContentHashes> hashes;
  int tested = kExitSuccess;
  if (o.hashes) {
    RunSetup setup;
    setup.listText = text;
    BatchOptions quiet = o;
    quiet.quiet = true;
    tested = ExpandSet(quiet, codec, given, setup, SetRead{list, {}, {}}, &hashes, false);
  }
  const std::vector<Row> rows = Rows(given, list);

  // The disks the set has: those the count names, and the last one beyond
  // it that holds only the program and the list.
  const int32_t disks = std::max<int32_t>(list.diskCount - 1, list.lastDisk);
  uint64_t files = 0, original = 0, packed = 0, warnings = 0, errors = 0;
  for (const Row& r : rows) {
    if (Counted(r)) {
      ++files;
      original += static_cast<uint64_t>(std::max(r.header.original_size, 0));
      packed += static_cast<uint64_t>(std::max(r.header.packed_size, 0));
    } else if (r.kind == "not given") {
      ++warnings;
    } else {
      ++errors;  // listed, but missing or no compressed file
    }
  }
  for (int32_t d = 1; d <= disks; ++d)
    if (!given.HasDisk(d)) ++warnings;
  warnings += missing;
  const std::string out = o.json
                              ? Json(list.title, disks, given, rows, o.hashes ? &hashes : nullptr,
                                     files, original, packed, warnings, errors)
                              : Table(list.title, disks, rows, files, original, packed);
  std::fputs(out.c_str(), stdout);
  if (!o.json) Summary(o, files, original, static_cast<uint64_t>(disks), warnings, errors);
  if (std::fflush(stdout) != 0) return kExitFailed;
  return errors || tested != kExitSuccess ? kExitFailed : kExitSuccess;
}
