#include "viewer/pixels.h"

namespace viewer {

void CheckSize(std::uint64_t width, std::uint64_t height, std::uint64_t maxPixels) {
  if (width == 0 || height == 0) throw PictureError("画像の大きさが不正です");
  if (width > kMaxSide || height > kMaxSide || width * height > maxPixels)
    throw PictureError("画像が大きすぎます (" + std::to_string(width) + " x " +
                       std::to_string(height) + ")");
}

}  // namespace viewer
