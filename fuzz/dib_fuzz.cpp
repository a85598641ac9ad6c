// The bitmap decoder over any bytes, as a bitmap file and as a clipboard
// block: what decodes is within the limits, has three bytes a pixel and
// survives being saved and read back unchanged.
#include "fuzz/fuzz_target.h"
#include "viewer/bmp.h"

namespace {

// A few bytes can declare 100 million pixels, which decode correctly but
// take seconds each under the sanitizers; the limits have their unit tests.
constexpr std::uint64_t kMaxFuzzPixels = 1u << 22;

void CheckDecoded(const viewer::Pixels& b) {
  fuzz::Check(b.width > 0 && b.height > 0 && b.width <= viewer::kMaxSide && b.height <= viewer::kMaxSide,
              "a decoded picture has a size within the limits");
  fuzz::Check(b.bgr.size() == static_cast<size_t>(b.width) * b.height * 3,
              "a decoded picture has three bytes a pixel");
  const viewer::Pixels again = viewer::DecodeBmp(viewer::EncodeBmp(b));
  fuzz::Check(again.width == b.width && again.height == b.height && again.bgr == b.bgr,
              "a decoded picture saved as a bitmap reads back the same");
  const viewer::Pixels block = viewer::DecodeDib(viewer::EncodeDib(b));
  fuzz::Check(block.bgr == b.bgr, "a decoded picture put on the clipboard reads back the same");
}

}  // namespace

KIVO_FUZZ_TARGET(dib) {
  // The same bytes as a file and, without the file header's 14 bytes, as a
  // clipboard block.
  try {
    CheckDecoded(viewer::DecodeBmp(data, size, kMaxFuzzPixels));
  } catch (const viewer::PictureError&) {
  }
  try {
    CheckDecoded(viewer::DecodeDib(data, size, kMaxFuzzPixels));
  } catch (const viewer::PictureError&) {
  }
}
