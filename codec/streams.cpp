#include "codec/streams.h"

void ResetStreams(CodecContext& c) {
  c.readIndex = 0;
  c.fill = kStreamBufferSize;
  c.writeIndex = 0;
  c.readError = false;
  c.writeError = false;
}

int RefillInput(CodecContext& c, ByteSource& in) {
  std::size_t n = in.Read(c.transfer, kStreamBufferSize);
  if (in.failed()) {
    c.readError = true;
    n = 0;
  }
  return static_cast<int>(n);
}

int GetByte(CodecContext& c, ByteSource& in) {
  if (c.readIndex == 0) c.fill = RefillInput(c, in);
  int byte = c.transfer[c.readIndex];
  if (++c.readIndex >= c.fill) c.readIndex = 0;
  return byte;
}

void WriteBlock(CodecContext& c, ByteSink& out, const unsigned char* data, std::size_t n) {
  if (!out.Write(data, n)) c.writeError = true;
}

void PutByte(CodecContext& c, int byte, ByteSink& out) {
  c.writeBuffer[c.writeIndex++] = static_cast<unsigned char>(byte);
  if (c.writeIndex == kStreamBufferSize) {
    WriteBlock(c, out, c.writeBuffer, kStreamBufferSize);
    c.writeIndex = 0;
  }
}

void FlushOutput(CodecContext& c, ByteSink& out) {
  if (c.writeIndex != 0) {
    WriteBlock(c, out, c.writeBuffer, static_cast<std::size_t>(c.writeIndex));
    c.writeIndex = 0;
  }
}
