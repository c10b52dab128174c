#include "app/commands/batch.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands/disk_sets.h"
#include "app/commands/volume.h"
#include "app/dialogue/dialogue.h"
#include "app/dialogue/list_line.h"
#include "app/dialogue/resources/messages.h"
#include "app/exit_status.h"
#include "app/jobs.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "fileops/naming.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "runs/list_check.h"
#include "runs/run_handler.h"
#include "runs/walk.h"
#include "text/cp932.h"
#include "text/format.h"
#include "text/paths.h"

namespace {

enum class Command { kNone, kList, kTest, kExtract, kMake };
enum class Overwrite { kNever, kAlways, kAsk };

struct Options {
  Command command = Command::kNone;
  std::vector<std::string> operands;  // the SETs, or the work folder of --make
  std::string to, title, volumeSize;
  bool toGiven = false, titleGiven = false, images = false, json = false, quiet = false,
       menuEntry = false;
  Overwrite overwrite = Overwrite::kNever;
  int jobs = DefaultJobs();
};

constexpr const char* kCommandWords[] = {"--list", "--test", "--extract", "--make"};

void Complain(const std::string& text) { std::fprintf(stderr, "kelvod: %s\n", text.c_str()); }

int Usage(const std::string& text) {
  Complain(text + " (kelvod --help lists the commands)");
  return kExitUsage;
}

// A code page 932 text for the terminal: UTF-8, '?' for what has none and
// for control characters, '/' for a path separator, one line.
std::string Shown(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t next = cp932::Next(text, i);
    std::string_view one = text.substr(i, next - i);
    std::string utf8;
    if (one == "\\")
      out += '/';
    else if (one == "\n")
      out += ' ';
    else
      out += cp932::ToUtf8(cp932::Printable(one), utf8) ? utf8 : std::string("?");
    i = next;
  }
  std::string squeezed;
  for (char c : out)
    if (!(c == ' ' && !squeezed.empty() && squeezed.back() == ' ')) squeezed += c;
  while (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
  return squeezed;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

bool Parse(int argc, char** argv, Options& o, std::string& error) {
  auto value = [&](int& i, std::string_view arg, std::string_view name, std::string& out) {
    if (arg == name) {
      if (i + 1 >= argc) {
        error = std::string(name) + " needs a value";
        return true;
      }
      out = argv[++i];
      return true;
    }
    if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
      out = std::string(arg.substr(name.size() + 1));
      return true;
    }
    return false;
  };
  bool options = true;
  for (int i = 1; i < argc && error.empty(); ++i) {
    std::string_view arg = argv[i];
    if (!options || arg.empty() || arg[0] != '-' || arg == "-") {
      o.operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      options = false;
      continue;
    }
    Command c = arg == "--list"      ? Command::kList
                : arg == "--test"    ? Command::kTest
                : arg == "--extract" ? Command::kExtract
                : arg == "--make"    ? Command::kMake
                                     : Command::kNone;
    if (c != Command::kNone) {
      if (o.command != Command::kNone && o.command != c) error = "give one command at a time";
      o.command = c;
      continue;
    }
    std::string overwrite;
    if (value(i, arg, "--to", o.to)) {
      o.toGiven = true;
    } else if (value(i, arg, "--title", o.title)) {
      o.titleGiven = true;
    } else if (value(i, arg, "--volume-size", o.volumeSize)) {
    } else if (std::string jobs; value(i, arg, "--jobs", jobs)) {
      o.jobs = JobsValue(jobs.c_str());
      if (o.jobs == 0) error = "--jobs needs a number from 1 to 64";
    } else if (value(i, arg, "--overwrite", overwrite)) {
      if (overwrite == "never")
        o.overwrite = Overwrite::kNever;
      else if (overwrite == "always")
        o.overwrite = Overwrite::kAlways;
      else if (overwrite == "ask")
        o.overwrite = Overwrite::kAsk;
      else
        error = "--overwrite takes ask, always or never";
    } else if (arg == "--images") {
      o.images = true;
    } else if (arg == "--json") {
      o.json = true;
    } else if (arg == "--quiet" || arg == "-q") {
      o.quiet = true;
    } else if (arg == "--menu-entry") {
      o.menuEntry = true;
    } else {
      error = "unknown option " + std::string(arg);
    }
  }
  return error.empty();
}

// --- Progress on a terminal ------------------------------------------------

// A bar for the file at work and one for the whole set, on standard error
// when it is a terminal, redrawn at most ten times a second.
class ProgressLine {
 public:
  explicit ProgressLine(bool quiet) : on_(!quiet && plat::StdErrIsTerminal()) {}
  ~ProgressLine() { Erase(); }
  void SetFile(const std::string& name) {
    file_ = name;
    percent_ = 0;
    Draw(false);
  }
  void SetPercent(int percent) {
    percent_ = percent;
    Draw(false);
  }
  void SetDone(uint64_t done, uint64_t total) {
    done_ = done;
    total_ = total;
    Draw(false);
  }
  void Tick() { Draw(false); }
  void Erase() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
  }

 private:
  static std::string Bar(uint64_t done, uint64_t total, int width) {
    int filled = total ? static_cast<int>(std::min<uint64_t>(done, total) * width / total) : 0;
    return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]";
  }
  void Draw(bool force) {
    if (!on_) return;
    auto now = std::chrono::steady_clock::now();
    if (!force && shown_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    std::string set =
        total_ ? Bar(done_, total_, 20) + " " + std::to_string(done_) + "/" + std::to_string(total_)
               : std::to_string(done_) + " files";
    std::string line = "\r" + Bar(static_cast<uint64_t>(std::min(percent_, 100)), 100, 20) + " " +
                       std::to_string(std::min(percent_, 999)) + "%  " + set + "  " + file_;
    if (line.size() > 110) line = line.substr(0, 110);
    std::fputs(line.c_str(), stderr);
    std::fputs("\033[K", stderr);
    std::fflush(stderr);
    shown_ = true;
  }
  bool on_;
  bool shown_ = false;
  std::string file_;
  int percent_ = 0;
  uint64_t done_ = 0, total_ = 0;
  std::chrono::steady_clock::time_point last_;
};

// --- The front end that answers by policy -------------------------------------

class BatchFrontEnd : public FrontEnd {
 public:
  BatchFrontEnd(RunState& state, const Options& options, ProgressLine& progress)
      : state_(state), options_(options), progress_(progress) {}

  // Make runs: called at the retry prompt, the moment a disk is full; true
  // when a fresh disk is in the drive.
  std::function<bool()> changeDisk;
  RunPolicy* policy = nullptr;
  std::set<std::string> written;  // output paths this run has given
  std::set<std::string> kept;     // existing files left as they were
  uint64_t warnings = 0;
  bool terminated = false;

  int MessageDialog(const std::string& text, const std::string& caption, unsigned style) override {
    const bool okCancel = (style & kStyleOkCancelMask) != 0;
    if (okCancel && text == Format(msg::kMsgInsertDisk, state_.Title.c_str(),
                                   static_cast<int>(state_.DiskId))) {
      // The disks are all there at once: the marker is found, or the disk
      // was not given (asked a second time).
      if (askedFor_ != state_.DiskId) {
        askedFor_ = state_.DiskId;
        return kIdOk;
      }
      // A warning: each file listed on it counts as an error of its own.
      ++warnings;
      Note("warning: disk " + std::to_string(state_.DiskId) + " is not among the disks given",
           false);
      return kIdCancel;
    }
    if (text == msg::kMsgDone || text == msg::kMsgAborted || text == msg::kMsgNoMarker)
      return kIdOk;
    if (text ==
        Format(msg::kMsgDiskNumber, state_.Title.c_str(), static_cast<int>(state_.DiskId))) {
      if (!options_.quiet) Note("disk " + std::to_string(state_.DiskId) + " begins", false);
      return kIdOk;
    }
    const bool stop = caption == msg::kCaptionStop;
    const bool warning = caption == msg::kCaptionWarning;
    if (stop || okCancel) {
      Note("error: " + Shown(text), true);
    } else if (warning) {
      if (!options_.quiet) Note("warning: " + Shown(text), false);
    } else if (!options_.quiet) {
      Note(Shown(text), false);
    }
    // Nobody can put the right disk in: asking again would wait forever.
    return okCancel ? kIdCancel : kIdOk;
  }

  int OverwriteDialog(const std::string& path) override {
    // The line of a piece names the file its head has just given: nothing
    // will be written for it.
    if (written.count(path)) return kButtonOverwrite;
    switch (options_.overwrite) {
      case Overwrite::kAlways:
        return kButtonOverwriteAll;
      case Overwrite::kNever:
        return kButtonSkip;
      case Overwrite::kAsk:
        break;
    }
    progress_.Erase();
    for (;;) {
      std::fprintf(stderr, "kelvod: %s exists: overwrite? [y]es, [a]ll, [n]o, [q]uit: ",
                   plat::DisplayPath(path).c_str());
      std::fflush(stderr);
      std::string answer;
      if (plat::ReadConsoleLine(answer) != plat::ConsoleRead::kLine) return kButtonSkip;
      if (answer == "y" || answer == "yes") return kButtonOverwrite;
      if (answer == "a" || answer == "all") return kButtonOverwriteAll;
      if (answer == "n" || answer == "no" || answer.empty()) return kButtonSkip;
      if (answer == "q" || answer == "quit") {
        if (policy) policy->keepGoing = false;
        return kButtonOverwriteAbort;
      }
    }
  }

  int RetryDialog(const std::string& path, const std::string& reason) override {
    Pump();  // a termination request ends the run here too
    if (terminated) return kButtonRetryAbort;
    if (changeDisk && changeDisk()) return kButtonRetry;
    Note("error: " + plat::DisplayPath(path) + ": " + Shown(reason), true);
    return kButtonRetryAbort;
  }

  int Pump() override {
    if (plat::TerminationRequested() || plat::TakeInterrupt()) {
      // Stop as Abort does, and go on with nothing after it.
      terminated = true;
      if (policy) policy->keepGoing = false;
      state_.WorkActive = 0;
    }
    progress_.Tick();
    return 1 << 10;
  }

  void SetControlText(int id, const std::string& text) override {
    if (id == kToLine && !text.empty()) progress_.SetFile(Shown(text));
    if (id == kPercentText) progress_.SetPercent(std::atoi(text.c_str()));
  }

  void Note(const std::string& text, bool error) {
    if (options_.quiet && !error) return;
    progress_.Erase();
    std::fprintf(stderr, "kelvod: %s\n", text.c_str());
  }

 private:
  RunState& state_;
  const Options& options_;
  ProgressLine& progress_;
  int32_t askedFor_ = 0;
};

const char* Reason(int result) {
  switch (result) {
    case kDiskNotThere:
      return "missing: its disk was not given";
    case kSourceUnreadable:
      return "missing or unreadable";
    case kDamagedStream:
      return "damaged: the compressed data ends early or runs past its size";
    case kReadFailed:
      return "unreadable: reading failed";
    case kWriteFailed:
      return "could not be written";
    case kVersionMismatch:
      return "unknown format version";
    case kBadOriginalSize:
      return "damaged: its size is 0 or negative";
    case kAborted:
      return "not finished: a piece is missing or damaged, or the work was stopped";
    case kJoinOutputFailed:
      return "its pieces could not be joined";
    case kCopyAbandoned:
      return "could not be copied";
    case kNameRefused:
      return "refused: its name does not fit or is in the way";
    case kFolderFailed:
      return "its folder could not be made";
    default:
      return "failed";
  }
}

void Summary(const Options& o, uint64_t files, uint64_t bytes, uint64_t disks, uint64_t warnings,
             uint64_t errors) {
  if (o.quiet) return;
  std::printf("kelvod: %llu files, %llu bytes, %llu disks, %llu warnings, %llu errors\n",
              static_cast<unsigned long long>(files), static_cast<unsigned long long>(bytes),
              static_cast<unsigned long long>(disks), static_cast<unsigned long long>(warnings),
              static_cast<unsigned long long>(errors));
  std::fflush(stdout);
}

// --- Reading a given set -------------------------------------------------------

struct ReadSet {
  std::string list;  // LF line ends
  std::string title;
  int diskCount = 0;  // the count line: disks 1 .. diskCount - 1
};

// The list of the given disks, read and checked; the exit status when it
// cannot be used (reported), else -1.
int ReadList(GivenSet& set, ReadSet& out) {
  if (set.listFolder.empty()) {
    Complain("no kelvod.lst among the disks given: nothing to work on");
    return kExitUsage;
  }
  const std::string path = set.listFolder + "kelvod.lst";
  std::FILE* f = plat::OpenFile(path, "rb");
  if (!f) {
    Complain(plat::DisplayPath(path) + ": cannot be read");
    return kExitFailed;
  }
  std::string raw;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) raw.append(buf, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    Complain(plat::DisplayPath(path) + ": cannot be read");
    return kExitFailed;
  }
  for (std::size_t i = 0; i < raw.size(); ++i)
    if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) out.list += raw[i];
  if (HasOverlongListLine(out.list)) {
    Complain(plat::DisplayPath(path) + ": damaged: a line is longer than 259 bytes");
    return kExitFailed;
  }
  if (ListCheck check = CheckList(out.list); !check) {
    Complain(plat::DisplayPath(path) + ": damaged or unsafe: " + Shown(check.offending));
    return kExitFailed;
  }
  std::string line;
  std::size_t pos = ReadListLine(out.list, 0, line);
  if (std::sscanf(line.c_str(), "%8d", &out.diskCount) != 1) out.diskCount = 0;
  ReadListLine(out.list, pos, out.title);
  return -1;
}

// The file lines of each disk section, as the extract run takes them.
std::vector<std::vector<std::string>> Sections(const ReadSet& read) {
  std::vector<std::vector<std::string>> sections;
  std::string line;
  std::size_t pos = ReadListLine(read.list, 0, line);
  pos = ReadListLine(read.list, pos, line);
  for (int disk = 1; disk < read.diskCount && pos < read.list.size(); ++disk) {
    sections.emplace_back();
    pos = ReadListLine(read.list, pos, line);
    for (;;) {
      std::size_t next = ReadListLine(read.list, pos, line);
      if (line.empty() || line[0] == 'I') break;
      pos = next;
      std::size_t colon = line.find(':');
      if (colon != std::string::npos) sections.back().push_back(line.substr(colon + 1));
    }
  }
  return sections;
}

// --- --list ------------------------------------------------------------------------

int List(const Options& o) {
  GivenSet set;
  std::string error;
  if (!set.Resolve(o.operands, error)) return Usage(error);
  ReadSet read;
  if (int status = ReadList(set, read); status >= 0) return status;
  const auto sections = Sections(read);

  uint64_t files = 0, original = 0, packed = 0, warnings = 0;
  std::string text, json;
  text += "title: " + Shown(read.title) + "\n";
  text += "disks: " + std::to_string(sections.size()) + "\n";
  json += "{\"title\":" + JsonString(Shown(read.title)) +
          ",\"diskCount\":" + std::to_string(sections.size()) + ",\"disks\":[";
  for (std::size_t k = 0; k < sections.size(); ++k) {
    const int number = static_cast<int>(k + 1);
    auto disk = set.disks.find(number);
    const bool present = disk != set.disks.end();
    if (!present) ++warnings;
    text += "disk " + std::to_string(number) + ": " + (present ? disk->second.shown : "not given") +
            "\n";
    json += std::string(k ? "," : "") + "{\"number\":" + std::to_string(number) +
            ",\"present\":" + (present ? "true" : "false") +
            ",\"source\":" + (present ? JsonString(disk->second.shown) : "null") + ",\"files\":[";
    for (std::size_t i = 0; i < sections[k].size(); ++i) {
      const std::string& name = sections[k][i];
      std::string output;
      OutputName("", name, output);
      std::string kind = "not given";
      LzsHeader h{};
      if (present) {
        std::FILE* f = plat::OpenFile(disk->second.folder + name, "rb");
        bool whole = f && ReadHeader(f, h);
        if (f) std::fclose(f);
        kind = !f                                 ? "missing"
               : !whole || !HasSignatureNoCase(h) ? "not compressed"
               : h.piece_index != 0               ? "piece"
               : h.piece_count != 0               ? "head"
                                                  : "file";
      }
      const bool counted = kind == "file" || kind == "head";
      if (counted) {
        ++files;
        original += static_cast<uint64_t>(h.original_size > 0 ? h.original_size : 0);
        packed += static_cast<uint64_t>(h.packed_size > 0 ? h.packed_size : 0);
      } else if (kind == "missing") {
        ++warnings;
      }
      std::string sizes;
      if (counted)
        sizes = "original " + std::to_string(h.original_size) + " packed " +
                std::to_string(h.packed_size) + " pieces " + std::to_string(h.piece_count);
      else if (kind == "piece")
        sizes = std::to_string(h.piece_index) + " of " + std::to_string(h.piece_count);
      text += "  " + kind + (sizes.empty() ? "" : " " + sizes) + "  " + Shown(name) + "\n";
      json += std::string(i ? "," : "") + "{\"name\":" + JsonString(Shown(name)) +
              ",\"output\":" + JsonString(Shown(output.substr(output[0] == '\\' ? 1 : 0))) +
              ",\"kind\":" + JsonString(kind);
      if (counted)
        json += ",\"original\":" + std::to_string(h.original_size) +
                ",\"packed\":" + std::to_string(h.packed_size) +
                ",\"pieces\":" + std::to_string(h.piece_count);
      if (kind == "piece")
        json += ",\"piece\":" + std::to_string(h.piece_index) +
                ",\"pieces\":" + std::to_string(h.piece_count);
      json += "}";
    }
    json += "]}";
  }
  text += "total: " + std::to_string(files) + " files, " + std::to_string(original) + " bytes, " +
          std::to_string(packed) + " bytes packed\n";
  json += "],\"totals\":{\"files\":" + std::to_string(files) +
          ",\"bytes\":" + std::to_string(original) + ",\"packed\":" + std::to_string(packed) +
          ",\"disks\":" + std::to_string(sections.size()) +
          ",\"warnings\":" + std::to_string(warnings) + ",\"errors\":0}}\n";
  std::fputs(o.json ? json.c_str() : text.c_str(), stdout);
  if (!o.json) Summary(o, files, original, sections.size(), warnings, 0);
  return std::fflush(stdout) == 0 ? kExitSuccess : kExitFailed;
}

// --- --test and --extract ------------------------------------------------------------

int Expand(const Options& o, CodecContext& codec) {
  const bool test = o.command == Command::kTest;
  if (!test && !o.toGiven) return Usage("--extract needs --to DEST");
  if (o.operands.empty()) return Usage("give the disks of the set (folders or images)");
  std::string destination;
  if (!test && !plat::FromHostPath(o.to, destination))
    return Usage(o.to + ": the name cannot be used");

  GivenSet set;
  std::string error;
  if (!set.Resolve(o.operands, error)) return Usage(error);
  ReadSet read;
  if (int status = ReadList(set, read); status >= 0) return status;
  const std::string view = set.MergedView();
  if (view.empty()) {
    Complain("cannot make a temporary folder");
    return kExitFailed;
  }

  uint64_t total = 0;
  for (const auto& section : Sections(read)) total += section.size();
  ProgressLine progress(o.quiet);
  RunState state;
  BatchFrontEnd fe(state, o, progress);
  Dialogue ui(state, &fe);
  RunHandler runs(ui, codec);
  runs.policy.keepGoing = true;
  runs.policy.menuEntry = o.menuEntry;
  runs.policy.testOnly = test;
  fe.policy = &runs.policy;
  uint64_t done = 0;
  runs.policy.fileDone = [&](const std::string& name, int result, int32_t produced) {
    progress.SetDone(++done, total);
    std::string output;
    if (result == kDone && OutputName(state.DestinationFolder, name, output))
      fe.written.insert(output);
    if (result == kDone && produced == 0) {
      ++fe.warnings;
      fe.Note(Shown(name) + ": not a compressed file, nothing to expand", false);
    } else if (result == kOverwriteSkipped) {
      // One word for each file kept, however many lines (pieces) lead to it.
      std::string kept;
      OutputName("", name, kept);
      if (fe.kept.insert(kept).second) {
        ++fe.warnings;
        fe.Note(Shown(kept.substr(kept[0] == '\\' ? 1 : 0)) +
                    ": exists already, not overwritten (--overwrite=always overwrites)",
                false);
      }
    } else if (result != kDone && result != kPieceSkipped) {
      fe.Note(Shown(name) + ": " + Reason(result), true);
    }
  };

  state.RunMode = ExtractMode;
  state.Title = read.title;
  state.ListBuffer = read.list;
  state.ListBufferPresent = true;
  state.SourceFolder = view;
  state.DestinationFolder = test ? view : destination;
  state.TempFolder = plat::TempFolder();
  runs.Run();
  progress.Erase();

  const bool finished = ui.MainWindowClosed();
  uint64_t errors = state.Tally.failed + (finished ? 0 : 1);
  if (fe.terminated) fe.Note("stopped", true);
  uint64_t given = 0;
  for (const auto& [number, disk] : set.disks)
    if (number < read.diskCount) ++given;
  Summary(o, state.Tally.files, state.Tally.bytes, given, fe.warnings, errors);
  return errors ? kExitFailed : kExitSuccess;
}

// --- --make --------------------------------------------------------------------------------

// The title of a make: --title, or the project file of the current folder
// (as the window takes it), or one in the work folder.
bool FindTitle(const Options& o, const std::string& work, std::string& title, std::string& error) {
  if (o.titleGiven) {
    if (!plat::FromHostPath(o.title, title)) {
      error = o.title + ": the title cannot be used";
      return false;
    }
  } else {
    for (const std::string& pattern : {std::string("*.qzm"), work + "*.qzm"}) {
      plat::FindEntry e;
      if (plat::FindHandle* h = plat::FindFirst(pattern, e)) {
        plat::FindClose(h);
        std::size_t dot = cp932::FindLast(e.name, '.');
        title = e.name.substr(0, dot);
        break;
      }
    }
    if (title.empty()) {
      error = "no title: give --title, or run where the project file (*.qzm) is";
      return false;
    }
  }
  if (!IsSafeTitle(title)) {
    error = Shown(title) + ": the title cannot name a folder";
    return false;
  }
  return true;
}

// The number of the disk a folder holds, from its marker; 0 when none.
int DiskNumberIn(const std::string& folder) {
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(folder + "disk*.id", e);
  int number = 0;
  if (h) {
    do number = MarkerNumber(e.name);
    while (number == 0 && plat::FindNext(h, e));
    plat::FindClose(h);
  }
  return number;
}

int Make(const Options& o, CodecContext& codec) {
  if (o.operands.size() != 1) return Usage("--make takes one work folder");
  if (!o.toGiven) return Usage("--make needs --to DEST");
  uint64_t volumeBytes = 0;
  const FloppyFormat* floppy = nullptr;
  std::string volumeSize = o.volumeSize;
  if (volumeSize.empty() && o.images) volumeSize = "1440k";
  if (!volumeSize.empty() && !ParseVolumeSize(volumeSize, volumeBytes, floppy))
    return Usage(volumeSize + ": not a volume size (720k, 1200k, 1440k, 2880k or a byte count)");
  if (o.images && !floppy) return Usage("--images needs a floppy size (720k, 1200k, 1440k, 2880k)");
  std::string error;
  if (o.images && !ImageToolsAvailable(error)) return Usage(error);

  std::string work, dest;
  if (!plat::FromHostPath(o.operands[0], work) || !plat::FromHostPath(o.to, dest))
    return Usage("the folder names cannot be used");
  AddTrailingSeparator(work);
  AddTrailingSeparator(dest);
  // The set would pack itself (the walk leaves the folder of the set out
  // when it lies inside the work folder).
  if (IsSameFolder(work, dest))
    return Usage(o.to + ": the set cannot be made into the work folder");
  std::string title;
  if (!FindTitle(o, work, title, error)) return Usage(error);
  {
    plat::FindEntry e;
    plat::FindHandle* h = plat::FindFirst(work + "*.*", e);
    if (!h) return Usage(o.operands[0] + ": no folder to make a set of");
    plat::FindClose(h);
  }
  // The set goes into numbered disks of an empty place.
  for (const char* taken : {"disk1", "disk1.img"}) {
    plat::FindEntry e;
    if (plat::FindHandle* h = plat::FindFirst(dest + taken, e)) {
      plat::FindClose(h);
      return Usage(o.to + " holds a disk set already: give an empty folder");
    }
  }
  {
    // The folder the disks are made in, level by level.
    PathParts parts;
    SplitPath(dest, parts);
    std::string levels = parts.drive;
    for (std::size_t i = 0; i < parts.folder.size(); i = cp932::Next(parts.folder, i)) {
      levels += parts.folder.substr(i, cp932::Next(parts.folder, i) - i);
      if (parts.folder[i] == '\\') plat::MakeFolder(levels);
    }
  }
  // The disk in the drive is a folder of its own; a full one is renamed to
  // its number and a fresh one takes its place.
  std::string drive;
  for (int n = 1; n < 100 && drive.empty(); ++n) {
    std::string candidate = dest + ".kelvod-drive" + (n > 1 ? std::to_string(n) : "");
    if (plat::MakeFolder(candidate)) drive = candidate + "\\";
  }
  if (drive.empty()) {
    Complain(o.to + ": cannot make a folder there");
    return kExitFailed;
  }

  ProgressLine progress(o.quiet);
  RunState state;
  BatchFrontEnd fe(state, o, progress);
  Dialogue ui(state, &fe);
  RunHandler runs(ui, codec);
  VolumeModel model(drive, volumeBytes, floppy);
  if (!volumeSize.empty()) runs.ops().space = &model;
  runs.SetJobs(o.jobs);
  fe.policy = &runs.policy;
  std::vector<int> made;
  bool tooLarge = false;
  auto putAway = [&]() {
    int number = DiskNumberIn(drive);
    if (number == 0) return false;
    std::string full = drive;
    RemoveTrailingChar(full, '\\');
    if (!plat::Rename(full, dest + "disk" + std::to_string(number))) return false;
    made.push_back(number);
    return true;
  };
  fe.changeDisk = [&]() {
    if (volumeSize.empty() || model.Fresh()) {
      // Not even an empty volume takes it (or there is only one disk).
      tooLarge = !volumeSize.empty();
      return false;
    }
    if (!putAway() || !plat::MakeFolder(drive)) return false;
    model.Clear();
    return true;
  };

  state.RunMode = MakeMode;
  state.SourceFolder = work;
  state.DestinationFolder = drive;
  state.SetFolder = dest;
  state.Title = title;
  state.TempFolder = plat::TempFolder();
  state.ListTempPath = plat::MakeTempFile(state.TempFolder, "lzs");
  if (state.ListTempPath.empty()) {
    Complain("cannot make a temporary file");
    plat::RemoveTree(drive);
    return kExitFailed;
  }
  runs.Run();
  progress.Erase();
  plat::RemoveFile(state.ListTempPath);

  const bool finished = ui.MainWindowClosed();
  bool failed = !finished;
  // The disk in the drive at the end keeps its number; one that never got
  // a marker holds nothing of the set.
  if (DiskNumberIn(drive) == 0) {
    plat::RemoveTree(drive);
  } else if (!putAway()) {
    fe.Note("error: " + plat::DisplayPath(drive) + ": cannot be renamed to its disk number", true);
    failed = true;
  }
  if (tooLarge) fe.Note("error: a file does not fit an empty volume of " + volumeSize, true);
  if (fe.terminated) fe.Note("stopped", true);
  if (finished && o.images) {
    for (int number : made) {
      const std::string folder = dest + "disk" + std::to_string(number);
      if (!WriteImage(folder, folder + ".img", floppy->formatKilobytes, error)) {
        fe.Note("error: " + error, true);
        failed = true;
        break;
      }
      plat::RemoveTree(folder);
    }
  }
  Summary(o, state.Tally.files, state.Tally.bytes, made.size(),
          finished ? state.Warnings.Count() : 0, failed ? 1 : 0);
  return failed ? kExitFailed : kExitSuccess;
}

}  // namespace

bool IsBatchCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    for (const char* word : kCommandWords)
      if (std::strcmp(argv[i], word) == 0) return true;
  }
  return false;
}

int RunBatchCommand(int argc, char** argv, CodecContext& codec) {
  Options o;
  std::string error;
  if (!Parse(argc, argv, o, error)) return Usage(error);
  plat::InstallInterruptHandler(nullptr);
  plat::InstallTerminationHandler();
  switch (o.command) {
    case Command::kList:
      if (o.operands.empty()) return Usage("give the disks of the set (folders or images)");
      return List(o);
    case Command::kTest:
    case Command::kExtract:
      return Expand(o, codec);
    case Command::kMake:
      return Make(o, codec);
    case Command::kNone:
      break;
  }
  return Usage("no command");
}
