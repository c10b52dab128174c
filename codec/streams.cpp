#include "codec/streams.h"

void ResetStreams() {
  Codec.readIndex = 0;
  Codec.fill = kStreamBufferSize;
  Codec.writeIndex = 0;
  Codec.readError = false;
  Codec.writeError = false;
}

int RefillInput(std::FILE* f) {
  std::size_t n = std::fread(Codec.transfer, 1, kStreamBufferSize, f);
  if (n < static_cast<std::size_t>(kStreamBufferSize) && std::ferror(f)) {
    // Whatever came with the failing read is dropped: the caller stops on
    // the error and must not take a shortened input for the whole one.
    Codec.readError = true;
    n = 0;
  }
  return static_cast<int>(n);
}

int GetByte(std::FILE* f) {
  if (Codec.readIndex == 0) Codec.fill = RefillInput(f);
  int c = Codec.transfer[Codec.readIndex];
  if (++Codec.readIndex >= Codec.fill) Codec.readIndex = 0;
  return c;
}

int BytesLeft() { return Codec.fill - Codec.readIndex; }

void WriteBlock(std::FILE* f, const unsigned char* data, std::size_t n) {
  if (std::fwrite(data, 1, n, f) != n) Codec.writeError = true;
}

void PutByte(int c, std::FILE* f) {
  Codec.writeBuffer[Codec.writeIndex++] = static_cast<unsigned char>(c);
  if (Codec.writeIndex == kStreamBufferSize) {
    WriteBlock(f, Codec.writeBuffer, kStreamBufferSize);
    Codec.writeIndex = 0;
  }
}

void FlushOutput(std::FILE* f) {
  if (Codec.writeIndex != 0) {
    WriteBlock(f, Codec.writeBuffer, static_cast<std::size_t>(Codec.writeIndex));
    Codec.writeIndex = 0;
  }
}
