// libFuzzer target of one image format's parser, built once per format
// (KV_FUZZ_FORMAT names it): arbitrary bytes as an image to detect and to
// turn into sectors. Whatever turns into sectors is written back in the same
// format and must give the same sectors again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "images/disk_image.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace images;
  static const ImageFormat format = FormatNamed(KV_FUZZ_FORMAT);
  Check(format != ImageFormat::kUnknown);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  DetectImage(bytes, "");
  DetectImage(bytes, std::string("disk.") + KV_FUZZ_FORMAT);

  RawImage raw;
  std::string error;
  if (!ImageToRaw(format, bytes, raw, error)) {
    Check(!error.empty());
    return 0;
  }
  Check(error.empty() && GeometryOfSize(raw.sectors.size()) &&
        *GeometryOfSize(raw.sectors.size()) == raw.geometry && raw.notes.size() <= kMaxNotes + 1);
  std::string image;
  const bool written = RawToImage(format, raw.sectors, raw.geometry, image, error);
  Check(written == CanWrite(format, raw.geometry) && written != !error.empty());
  if (!written) return 0;
  Check(image.size() <= kMaxImageBytes);
  if (format == ImageFormat::kRaw) Check(image == bytes);
  RawImage back;
  Check(ImageToRaw(format, image, back, error));
  Check(back.sectors == raw.sectors && back.geometry == raw.geometry && back.notes.empty());
  return 0;
}
