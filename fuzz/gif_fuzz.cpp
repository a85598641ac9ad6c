// The image viewer's GIF decoding over the bytes of a file: whatever the
// bytes, a picture within the size limits or a PictureError. A pixel is
// either the picture's own colour or exactly the background: decoded on two
// backgrounds, every pixel that differs is the background each time.
#include "fuzz/fuzz_target.h"
#include "viewer/gif.h"

namespace {

// As for PNG: pictures past this many pixels are refused (the limits have
// their unit tests).
constexpr std::uint64_t kMaxFuzzPixels = 1u << 22;
constexpr viewer::Rgb kOne{1, 2, 3}, kOther{250, 251, 252};

}  // namespace

KIVO_FUZZ_TARGET(gif) {
  viewer::Pixels one, other;
  try {
    one = viewer::DecodeGif(data, size, kOne, kMaxFuzzPixels);
  } catch (const viewer::PictureError&) {
    return;
  }
  fuzz::Check(one.width > 0 && one.height > 0 && one.width <= viewer::kMaxSide &&
                  one.height <= viewer::kMaxSide,
              "a decoded picture has a size within the limits");
  fuzz::Check(one.bgr.size() == static_cast<size_t>(one.width) * one.height * 3,
              "a decoded picture has three bytes a pixel");
  try {
    other = viewer::DecodeGif(data, size, kOther, kMaxFuzzPixels);
  } catch (const viewer::PictureError&) {
    fuzz::Fail("bytes that decode on one background decode on another");
  }
  fuzz::Check(other.width == one.width && other.height == one.height, "the background keeps the size");
  for (size_t i = 0; i < one.bgr.size(); i += 3) {
    if (one.bgr[i] == other.bgr[i] && one.bgr[i + 1] == other.bgr[i + 1] && one.bgr[i + 2] == other.bgr[i + 2])
      continue;
    fuzz::Check(one.bgr[i] == kOne.b && one.bgr[i + 1] == kOne.g && one.bgr[i + 2] == kOne.r &&
                    other.bgr[i] == kOther.b && other.bgr[i + 1] == kOther.g && other.bgr[i + 2] == kOther.r,
                "a pixel that depends on the background is the background");
  }
}
