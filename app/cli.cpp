#include "app/cli.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/frontend.h"
#include "app/progress.h"
#include "app/prompts.h"
#include "codec/context.h"
#include "codec/decoder.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "codec/pieces.h"
#include "fileops/paths.h"
#include "fileops/result_code.h"
#include "platform/platform.h"
#include "text/cp932.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int64_t kLargestSource = 0x7FFFFFFF;

void Complain(const char* host, const char* what) {
  std::fprintf(stderr, "kelvod: %s: %s\n", host, what);
}

// The program's own form of a host path given on the command line.
bool InnerPath(const char* host, std::string& inner) {
  if (plat::FromHostPath(host, inner)) return true;
  Complain(host, "the name has no code page 932 form");
  return false;
}

// The single-file commands have no window: what the operations would show in
// a message box goes to standard error, and every question is answered as
// Escape would (a missing piece ends the command instead of waiting).
class StderrFrontEnd : public FrontEnd {
 public:
  int MessageDialog(const std::string& text, const std::string& caption, unsigned style) override {
    std::string shownCaption, shownText;
    if (!cp932::ToUtf8(caption, shownCaption)) shownCaption = "?";
    if (!cp932::ToUtf8(text, shownText)) shownText = "?";
    std::fprintf(stderr, "kelvod: [%s] %s\n", shownCaption.c_str(), shownText.c_str());
    return FrontEnd::MessageDialog(text, caption, style);
  }
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
std::FILE* OpenOperands(const char* srcHost, const char* dstHost, std::string& src,
                        std::string& dst) {
  if (!InnerPath(srcHost, src) || !InnerPath(dstHost, dst)) return nullptr;
  if (src == dst) {
    Complain(dstHost, "the output would overwrite the input");
    return nullptr;
  }
  std::FILE* in = plat::OpenFile(src, "rb");
  if (!in) Complain(srcHost, "cannot open the file");
  return in;
}

int Compress(const char* srcHost, const char* dstHost) {
  std::string src, dst;
  std::FILE* in = OpenOperands(srcHost, dstHost, src, dst);
  if (!in) return kExitFailure;
  int64_t length = plat::FileLength(in);
  if (length == 0 || length > kLargestSource) {
    std::fclose(in);
    Complain(srcHost, ResultText(length == 0 ? kSourceEmpty : kCannotStore));
    return kExitFailure;
  }
  PathParts parts;
  SplitPath(src, parts);
  const std::string name = parts.name + parts.ext;
  std::FILE* out = plat::OpenFile(dst, "wb");
  if (!out) {
    std::fclose(in);
    Complain(dstHost, "cannot create the file");
    return kExitFailure;
  }
  // The encoder deletes this file on every failure.
  Codec.tempName = dst;
  Codec.originalCount = Codec.packedCount = static_cast<int32_t>(length < 0 ? 0 : length);
  ResetProgress(static_cast<uint32_t>(Codec.originalCount));
  WorkActive = 1;
  int result = EncodeStream(in, out, name.c_str(), src);
  WorkActive = 0;
  Codec.tempName.clear();
  if (result != kDone) {
    Complain(result == kWriteFailed ? dstHost : srcHost, ResultText(result));
    return kExitFailure;
  }
  return 0;
}

int Expand(const char* srcHost, const char* dstHost) {
  std::string src, dst;
  std::FILE* in = OpenOperands(srcHost, dstHost, src, dst);
  if (!in) return kExitFailure;
  const LzsHeader& h = Codec.header;
  const char* refusal = nullptr;
  if (!ReadHeader(in, Codec.header) || !HasSignatureNoCase(h))
    refusal = "not a compressed file";
  else if (h.version != kFormatVersion)
    refusal = "unknown format version (only 100 is known)";
  else if (h.original_size <= 0)
    refusal = ResultText(kBadOriginalSize);
  else if (h.piece_index != 0)
    refusal = "a piece file: expand its head file instead";
  if (refusal) {
    std::fclose(in);
    Complain(srcHost, refusal);
    return kExitFailure;
  }
  Codec.tempName.clear();
  WorkActive = 1;
  if (h.piece_count != 0) {
    // A head file: its pieces, beside it, are joined into one stream first.
    std::fclose(in);
    const LzsHeader head = Codec.header;
    Codec.tempName = plat::MakeTempFile(plat::TempFolder(), "lzs");
    int joined = Codec.tempName.empty() ? kJoinOutputFailed : JoinPieces(src, Codec.tempName);
    in = joined == kDone ? plat::OpenFile(Codec.tempName, "rb") : nullptr;
    if (!in) {
      if (!Codec.tempName.empty()) plat::RemoveFile(Codec.tempName);
      Codec.tempName.clear();
      WorkActive = 0;
      Complain(srcHost, "its pieces could not be joined");
      return kExitFailure;
    }
    Codec.header.original_size = head.original_size;
    Codec.header.copy_flag = head.copy_flag;
  }
  std::FILE* out = plat::OpenFile(dst, "wb");
  if (!out) {
    std::fclose(in);
    if (!Codec.tempName.empty()) plat::RemoveFile(Codec.tempName);
    Codec.tempName.clear();
    WorkActive = 0;
    Complain(dstHost, "cannot create the file");
    return kExitFailure;
  }
  int32_t produced = 0;
  int result = DecodeStream(in, out, dst, src, &produced);
  WorkActive = 0;
  if (result != kDone) {
    Complain(result == kWriteFailed || result == kCopyAbandoned ? dstHost : srcHost,
             ResultText(result));
    return kExitFailure;
  }
  return 0;
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
  if (!InnerPath(host, path)) return kExitFailure;
  std::FILE* in = plat::OpenFile(path, "rb");
  if (!in) {
    Complain(host, "cannot open the file");
    return kExitFailure;
  }
  LzsHeader h;
  bool whole = ReadHeader(in, h);
  std::fclose(in);
  if (!whole || !HasSignatureNoCase(h)) {
    std::printf("kind: not a compressed file\n");
    return kExitFailure;
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
  return std::fflush(stdout) == 0 ? 0 : kExitFailure;
}

int RunCommand(int argc, char** argv, int first) {
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
  return compress ? Compress(arg[0], arg[1]) : Expand(arg[0], arg[1]);
}

}  // namespace

bool IsFileCommand(const char* arg) {
  return std::strcmp(arg, "--compress") == 0 || std::strcmp(arg, "--expand") == 0 ||
         std::strcmp(arg, "--info") == 0;
}

int RunFileCommand(int argc, char** argv, int first) {
  StderrFrontEnd frontEnd;
  SetFrontEnd(&frontEnd);
  int status = RunCommand(argc, argv, first);
  SetFrontEnd(nullptr);
  return status;
}
