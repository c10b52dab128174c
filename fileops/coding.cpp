#include "fileops/coding.h"

#include <cerrno>

#include "codec/byte_io.h"
#include "codec/decoder.h"
#include "codec/encoder.h"
#include "platform/platform.h"

Result EncodeToTempFile(CodecContext& c, std::FILE* in, const std::string& source,
                        const std::string& name, CoderHooks& hooks, std::string& tempPath) {
  // The temporary file is made empty: opened without truncating it, since
  // ext4 writes a file truncated to nothing out to the disk when it is
  // closed (its guard for files replaced in place), which cost a wait on
  // the disk for every file.
  tempPath = plat::MakeTempFile(plat::TempFolder(), "_lzs");
  std::FILE* out = tempPath.empty() ? nullptr : plat::OpenFile(tempPath, "r+b");
  if (!out) {
    Result failed = Failure(kTempCreateFailed, tempPath);
    std::fclose(in);
    if (!tempPath.empty()) plat::RemoveFile(tempPath);
    tempPath.clear();
    return failed;
  }
  int r;
  {
    FileSource from(in);
    FileSink to(out);
    r = EncodeStream(c, from, to, name, hooks);
  }
  int error = errno;
  std::fclose(in);
  // Buffered data reaches the disk only at the close: its failure counts.
  if (std::fclose(out) != 0 && r == kDone) {
    r = kWriteFailed;
    error = errno;
  }
  if (r == kDone) return {};
  const std::string subject = r == kWriteFailed ? tempPath : r == kNameRefused ? name : source;
  plat::RemoveFile(tempPath);
  tempPath.clear();
  return {r, subject, r == kWriteFailed || r == kReadFailed ? error : 0};
}

Result DecodeStreamFile(CodecContext& c, std::FILE* in, int64_t streamStart, std::FILE* out,
                        const std::string& source, const std::string& output, CoderHooks& hooks,
                        ByteSink* nowhere) {
  const int64_t packedSize = c.header.packed_size;
  int r = kDamagedStream;
  int64_t used = -1;
  // A stream of another file (a disk of another set) is damage, never a
  // file of the wrong size.
  if (plat::FileLength(in) - streamStart == packedSize) {
    FileSource from(in);
    FileSink file(out);
    NullSink nothing;
    ByteSink& sink = out       ? static_cast<ByteSink&>(file)
                     : nowhere ? *nowhere
                               : static_cast<ByteSink&>(nothing);
    r = DecodeStream(c, from, sink, c.header.original_size, hooks, &used);
    if (r == kDone && used != packedSize) r = kDamagedStream;
  }
  const int error = errno;
  std::fclose(in);
  switch (r) {
    case kDone:
      return {};
    case kWriteFailed:
      return {r, output, error};
    case kReadFailed:
      return {r, source, error};
    default:
      return {r, source, 0};
  }
}
