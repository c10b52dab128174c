#include "app/commands/file_commands.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/commands/batch_events.h"
#include "app/exit_status.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "runs/expander.h"
#include "runs/run_context.h"
#include "text/cp932.h"
#include "text/paths.h"

namespace {

void Complain(const char* host, const char* what) {
  std::fprintf(stderr, "kelvod: %s: %s\n", host, what);
}

// The program's own form of a host path given on the command line.
bool InnerPath(const char* host, std::string& inner) {
  if (plat::FromHostPath(host, inner)) return true;
  Complain(host, "the name has no code page 932 form");
  return false;
}

// The single-file commands have no window: a problem is told on standard
// error, and every question is answered as Escape would (a missing piece
// ends the command instead of waiting).
class CommandEvents final : public RunEvents {
 public:
  explicit CommandEvents(CancelToken& cancel) : cancel_(cancel) {}
  void FolderBegun(const std::string&) override {}
  void FileBegun(const std::string&, const std::string&) override {}
  void DiskBegun(int32_t) override {}
  void Planned(uint64_t, uint64_t) override {}
  void CannotBegin(const std::vector<Finding>&) override {}
  void ProblemMet(const Problem& p) override {
    std::fprintf(
        stderr, "kelvod: %s%s%s\n",
        p.subject.empty() ? "" : cp932::ShownHostLine(plat::DisplayPath(p.subject)).c_str(),
        p.subject.empty() ? "" : ": ", TroubleText(p.what));
  }
  void WarningsAtEnd(const RunWarnings&) override {}
  void FileDone(const std::string&, int, int32_t) override {}
  void Finished(bool) override {}
  void Trace(const char*) override {}
  bool DiskWanted(int32_t, bool) override { return false; }
  bool FileWanted(const std::string& path, WantReason) override {
    Complain(cp932::ShownHostLine(plat::DisplayPath(path)).c_str(), "cannot be read");
    return false;
  }
  bool RetryWanted(const std::string& path, RetryReason, int) override {
    Complain(cp932::ShownHostLine(plat::DisplayPath(path)).c_str(), "cannot be written");
    return false;
  }
  OverwriteAnswer OverwriteWanted(const std::string&) override { return OverwriteAnswer::kSkip; }
  ProgressWindow ResetProgress(uint32_t) override { return {0, uint64_t{1} << 32}; }
  ProgressWindow SetProgress(uint32_t) override { return {0, uint64_t{1} << 32}; }
  // A request to end the program stops the work; the command then removes
  // what it made, as after any failure.
  int Pump() override {
    if (plat::TerminationRequested()) cancel_.Cancel();
    return 1 << 12;
  }

 private:
  CancelToken& cancel_;
};

// What one command works with: a run of its own on the program's codec
// context, told on standard error.
struct CommandContext {
  explicit CommandContext(CodecContext& codec) : run(setup, progress, events, cancel, codec) {
    progress.active = 1;
  }
  RunSetup setup;
  RunProgress progress;
  CancelToken cancel;
  CommandEvents events{cancel};
  RunContext run;
};

const char* ResultText(int result) {
  switch (result) {
    case kSourceEmpty:
      return "the file is empty; an empty file cannot be stored";
    case kDamagedStream:
      return "the compressed data is damaged (it ends early or runs past the stated size)";
    case kCopyAbandoned:
      return "copying the stored data failed";
    case kWriteFailed:
      return "writing the output failed (disk full or I/O error)";
    case kReadFailed:
      return "reading the input failed";
    case kAborted:
      return "stopped";
    case kNameRefused:
      return "the file name does not fit into the header";
    case kCannotStore:
      return "files of 2 GiB or more cannot be stored";
    case kBadOriginalSize:
      return "the stated original size is 0 or negative: the file is damaged";
    default:
      return "failed";
  }
}

// The two operands of --compress and --expand in the program's own form, and
// the source opened; nullptr (and the reason on standard error) otherwise.
// The output is opened only later, emptying it: it must not be the input
// under another spelling, a link or another name for the same file.
std::FILE* OpenOperands(const char* srcHost, const char* dstHost, std::string& src,
                        std::string& dst) {
  if (!InnerPath(srcHost, src) || !InnerPath(dstHost, dst)) return nullptr;
  std::FILE* in = plat::OpenFile(src, "rb");
  if (!in) {
    Complain(srcHost, "cannot open the file");
    return nullptr;
  }
  if (src == dst || plat::SameFile(src, dst)) {
    std::fclose(in);
    Complain(dstHost, "the output would overwrite the input");
    return nullptr;
  }
  return in;
}

int Compress(CodecContext& codec, const char* srcHost, const char* dstHost) {
  std::string src, dst;
  std::FILE* in = OpenOperands(srcHost, dstHost, src, dst);
  if (!in) return kExitUsage;
  int64_t length = plat::FileLength(in);
  if (length == 0 || length > kLargestStorable) {
    std::fclose(in);
    Complain(srcHost, ResultText(length == 0 ? kSourceEmpty : kCannotStore));
    return kExitFailed;
  }
  PathParts parts;
  SplitPath(src, parts);
  std::FILE* out = plat::OpenFile(dst, "wb");
  if (!out) {
    std::fclose(in);
    Complain(dstHost, "cannot create the file");
    return kExitFailed;
  }
  CommandContext context(codec);
  int result;
  {
    FileSource from(in);
    FileSink to(out);
    RunCoderHooks hooks(context.run);
    result = EncodeStream(codec, from, to, parts.name + parts.ext, hooks);
  }
  std::fclose(in);
  if (std::fclose(out) != 0 && result == kDone) result = kWriteFailed;
  if (result != kDone) {
    plat::RemoveFile(dst);
    Complain(result == kWriteFailed ? dstHost : srcHost, ResultText(result));
    return kExitFailed;
  }
  return kExitSuccess;
}

int Expand(CodecContext& codec, const char* srcHost, const char* dstHost) {
  std::string src, dst;
  std::FILE* in = OpenOperands(srcHost, dstHost, src, dst);
  if (!in) return kExitUsage;
  std::fclose(in);
  CommandContext context(codec);
  int32_t produced = 0;
  int result = Expander(context.run).ExpandFile(src, dst, &produced);
  if (result == kDone && produced > 0) return kExitSuccess;
  // A command leaves no half-expanded file behind, not even after a stop.
  if (result == kAborted) plat::RemoveFile(dst);
  switch (result) {
    case kDone:
      Complain(srcHost, "not a compressed file");
      break;
    case kVersionMismatch:
      Complain(srcHost, "unknown format version (only 100 is known)");
      break;
    case kPieceSkipped:
      Complain(srcHost, "a piece file: expand its head file instead");
      break;
    case kJoinOutputFailed:
    case kSourceUnreadable:
      Complain(srcHost, "its pieces could not be joined");
      break;
    default:
      Complain(result == kWriteFailed || result == kCopyAbandoned ? dstHost : srcHost,
               ResultText(result));
      break;
  }
  return kExitFailed;
}

std::string Printable(const char* field, std::size_t size) {
  const void* nul = std::memchr(field, 0, size);
  std::size_t n = nul ? static_cast<const char*>(nul) - field : size;
  std::string text(field, n), utf8;
  if (cp932::ToUtf8(text, utf8)) return utf8;
  // Bytes without a code page 932 meaning are shown as escapes.
  std::string shown;
  for (unsigned char c : text) {
    char escape[8];
    std::snprintf(escape, sizeof escape, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
    shown += escape;
  }
  return shown;
}

int Info(const char* host) {
  std::string path;
  if (!InnerPath(host, path)) return kExitUsage;
  std::FILE* in = plat::OpenFile(path, "rb");
  if (!in) {
    Complain(host, "cannot open the file");
    return kExitUsage;
  }
  LzsHeader h;
  bool whole = ReadHeader(in, h);
  std::fclose(in);
  if (!whole || !HasSignatureNoCase(h)) {
    std::printf("kind: not a compressed file\n");
    return kExitFailed;
  }
  const char* kind = h.piece_index != 0   ? "piece file"
                     : h.piece_count != 0 ? "head file"
                                          : "whole compressed file";
  std::printf("kind: %s\n", kind);
  std::printf("signature: %s\n", Printable(h.signature, sizeof h.signature).c_str());
  std::printf("header_size: %d\n", static_cast<int>(h.header_size));
  std::printf("version: %d\n", static_cast<int>(h.version));
  std::printf("original_size: %d\n", static_cast<int>(h.original_size));
  std::printf("packed_size: %d\n", static_cast<int>(h.packed_size));
  std::printf("piece_index: %d\n", static_cast<int>(h.piece_index));
  std::printf("piece_count: %d\n", static_cast<int>(h.piece_count));
  std::printf("copy_flag: %d\n", static_cast<int>(h.copy_flag));
  std::printf("name: %s\n", Printable(h.name, sizeof h.name).c_str());
  return std::fflush(stdout) == 0 ? kExitSuccess : kExitFailed;
}

int RunCommand(int argc, char** argv, int first, CodecContext& codec) {
  const char* command = argv[first];
  const int operands = argc - first - 1;
  char** arg = argv + first + 1;
  if (std::strcmp(command, "--info") == 0) {
    if (operands == 1) return Info(arg[0]);
    std::fprintf(stderr, "usage: kelvod --info FILE\n");
    return kExitUsage;
  }
  const bool compress = std::strcmp(command, "--compress") == 0;
  if (operands != 2) {
    std::fprintf(stderr, "usage: kelvod %s SRC DST\n", command);
    return kExitUsage;
  }
  return compress ? Compress(codec, arg[0], arg[1]) : Expand(codec, arg[0], arg[1]);
}

}  // namespace

bool IsFileCommand(const char* arg) {
  return std::strcmp(arg, "--compress") == 0 || std::strcmp(arg, "--expand") == 0 ||
         std::strcmp(arg, "--info") == 0;
}

int RunFileCommand(int argc, char** argv, int first, CodecContext& codec) {
  plat::InstallTerminationHandler();
  return RunCommand(argc, argv, first, codec);
}
