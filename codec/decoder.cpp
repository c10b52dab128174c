#include "codec/decoder.h"

#include <cstring>

#include "app/progress.h"
#include "app/prompts.h"
#include "app/resources/messages.h"
#include "codec/context.h"
#include "codec/streams.h"
#include "fileops/result_code.h"
#include "platform/platform.h"

namespace {

constexpr uint64_t kRepeatByte = 0x0101010101010101ull;

void RemoveTemp() {
  if (!Codec.tempName.empty()) plat::RemoveFile(Codec.tempName);
}

// Ends a decode whose output is useless: the partial file goes too.
int Fail(std::FILE* in, std::FILE* out, const std::string& destinationPath, int result) {
  std::fclose(in);
  std::fclose(out);
  plat::RemoveFile(destinationPath);
  RemoveTemp();
  return result;
}

int CopyBranch(std::FILE* in, std::FILE* out, const std::string& destinationPath,
               const std::string& compressedPath, int32_t* producedSize) {
  std::fclose(in);
  std::fclose(out);
  Trace(" /!P");
  const std::string& source = Codec.tempName.empty() ? compressedPath : Codec.tempName;
  while (!plat::CopyFileReplacing(source, destinationPath)) {
    if (PromptRetry(destinationPath, msg::kMsgCopyFailed) == 0) {
      StopRun();
      plat::RemoveFile(destinationPath);
      RemoveTemp();
      return kCopyAbandoned;
    }
  }
  SetProgress(static_cast<uint32_t>(Codec.header.original_size));
  PumpOneMessage();
  RemoveTemp();
  *producedSize = Codec.header.original_size;
  return kDone;
}

// Code stream bytes straight from the read buffer.
struct Input {
  std::FILE* file;
  const unsigned char* next = Codec.transfer;
  const unsigned char* end = Codec.transfer;

  bool Refill() {
    int n = RefillInput(file);
    next = Codec.transfer;
    end = next + n;
    return n != 0;
  }
  inline bool Get(unsigned& c) {
    if (next == end && !Refill()) return false;
    c = *next++;
    return true;
  }
};

}  // namespace

int DecodeStream(std::FILE* in, std::FILE* out, const std::string& destinationPath,
                 const std::string& compressedPath, int32_t* producedSize) {
  const int32_t originalSize = Codec.header.original_size;
  ResetProgress(static_cast<uint32_t>(originalSize));
  ResetStreams();
  if (Codec.header.copy_flag != 0)
    return CopyBranch(in, out, destinationPath, compressedPath, producedSize);
  if (originalSize <= 0) return Fail(in, out, destinationPath, kBadOriginalSize);

  // The output is decoded into one linear area whose first 4096 bytes hold
  // the previous output (zeros before the first byte, the ring's pre-fill):
  // a match at ring position p is then the bytes a fixed distance back.
  unsigned char* const area = Codec.decodeArea;
  unsigned char* const start = area + kRingSize;
  unsigned char* const blockEnd = start + kStreamBufferSize;
  std::memset(area, 0, kRingSize);
  unsigned char* op = start;
  int32_t count = 0;  // bytes produced
  unsigned flags = 0;
  Input input{in};

  for (;;) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      unsigned c;
      if (!input.Get(c)) break;
      flags = c | 0xFF00;
    }
    if (flags & 1) {
      unsigned c;
      if (!input.Get(c)) break;
      *op++ = static_cast<unsigned char>(c);
      ++count;
    } else {
      unsigned b0, b1;
      if (input.end - input.next >= 2) {
        b0 = input.next[0];
        b1 = input.next[1];
        input.next += 2;
      } else if (!input.Get(b0) || !input.Get(b1)) {
        break;
      }
      const int length = static_cast<int>(b1 & 15) + kThreshold + 1;
      // A code that runs past the stated size means the stream does not
      // belong to it.
      if (length > originalSize - count) return Fail(in, out, destinationPath, kDamagedStream);
      const unsigned position = b0 | (b1 & 0xF0) << 4;
      const unsigned ring = static_cast<unsigned>(kRingStart + count) & (kRingSize - 1);
      const unsigned distance = ((ring - position - 1) & (kRingSize - 1)) + 1;
      const unsigned char* src = op - distance;
      if (distance >= 8) {
        // Whole words: every word read lies before the one being written.
        for (int k = 0; k < length; k += 8) std::memcpy(op + k, src + k, 8);
      } else if (distance == 1) {
        const uint64_t run = src[0] * kRepeatByte;
        for (int k = 0; k < length; k += 8) std::memcpy(op + k, &run, 8);
      } else {
        for (int k = 0; k < length; ++k) op[k] = src[k];
      }
      op += length;
      count += length;
    }
    if (op >= blockEnd) {
      // Out go the complete blocks; the last 4096 bytes stay as the ring.
      WriteBlock(out, start, kStreamBufferSize);
      std::memmove(area, op - kRingSize - (op - blockEnd), kRingSize + (op - blockEnd));
      op = start + (op - blockEnd);
      if (Codec.writeError) return Fail(in, out, destinationPath, kWriteFailed);
    }
    SetProgress(static_cast<uint32_t>(count));
    PumpOneMessage();
    if (WorkActive == 0) {
      std::fclose(in);
      std::fclose(out);
      RemoveTemp();
      return kAborted;
    }
    if (count >= originalSize) {
      WriteBlock(out, start, static_cast<std::size_t>(op - start));
      std::fclose(in);
      bool closed = std::fclose(out) == 0;
      if (Codec.writeError || !closed) {
        plat::RemoveFile(destinationPath);
        RemoveTemp();
        return kWriteFailed;
      }
      SetProgress(static_cast<uint32_t>(originalSize));
      PumpOneMessage();
      RemoveTemp();
      *producedSize = originalSize;
      return kDone;
    }
  }
  // The input ran out before the stated size was reached.
  return Fail(in, out, destinationPath, Codec.readError ? kReadFailed : kDamagedStream);
}
