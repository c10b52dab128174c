// The Windows build runs on one thread: kelvod.exe starts on Windows 98
// and NT 4.0, whose machines have one core, and a thread library would
// import functions those systems lack. Every file is encoded by the main
// thread as it comes; the output is the same byte for byte.
#include "fileops/encode_ahead.h"

EncodeAhead::EncodeAhead(int, std::unique_ptr<AheadPlan>, const WindowTail&) {}

EncodeAhead::~EncodeAhead() = default;

EncodeAhead::Taken EncodeAhead::Take(const std::string&, const std::string&, CodecContext&,
                                     AheadWaiter&, std::string&) {
  return Taken::kNo;
}
