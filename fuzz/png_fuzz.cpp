// The image viewer's PNG decoding over the bytes of a file: whatever the
// bytes, a picture within the size limits or a PictureError. Transparency
// is composited on the background: on white no pixel is darker than on
// black, and an opaque picture is the same on both. What decodes saves as
// PNG and reads back pixel for pixel.
#include "fuzz/fuzz_target.h"
#include "viewer/png.h"

namespace {

// Pictures above this many pixels are refused: a few bytes can declare 100
// million pixels, which decode correctly but take seconds each under the
// sanitizers. The limits themselves have their unit tests.
constexpr std::uint64_t kMaxFuzzPixels = 1u << 22;

}  // namespace

KIVO_FUZZ_TARGET(png) {
  viewer::Pixels black, white;
  try {
    black = viewer::DecodePng(data, size, viewer::Rgb{0, 0, 0}, kMaxFuzzPixels);
  } catch (const viewer::PictureError&) {
    return;
  }
  fuzz::Check(black.width > 0 && black.height > 0 && black.width <= viewer::kMaxSide &&
                  black.height <= viewer::kMaxSide,
              "a decoded picture has a size within the limits");
  fuzz::Check(black.bgr.size() == static_cast<size_t>(black.width) * black.height * 3,
              "a decoded picture has three bytes a pixel");
  try {
    white = viewer::DecodePng(data, size, viewer::Rgb{255, 255, 255}, kMaxFuzzPixels);
  } catch (const viewer::PictureError&) {
    fuzz::Fail("bytes that decode on black decode on white too");
  }
  fuzz::Check(white.width == black.width && white.height == black.height, "the background keeps the size");
  for (size_t i = 0; i < black.bgr.size(); ++i)
    fuzz::Check(black.bgr[i] <= white.bgr[i], "no pixel is darker on white than on black");
  const viewer::Pixels again = viewer::DecodePng(viewer::EncodePng(black));
  fuzz::Check(again.width == black.width && again.height == black.height && again.bgr == black.bgr,
              "a saved PNG reads back pixel for pixel");
}
