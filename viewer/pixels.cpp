#include "viewer/pixels.h"

namespace viewer {

void CheckSize(std::uint64_t width, std::uint64_t height, std::uint64_t maxPixels) {
  if (width == 0 || height == 0) throw PictureError("画像の大きさが不正です");
  if (width > kMaxSide || height > kMaxSide || width * height > maxPixels)
    throw PictureError("画像が大きすぎます (" + std::to_string(width) + " x " +
                       std::to_string(height) + ")");
}

PixelRows PixelsSink::Allocate(int width, int height) {
  out_.bgr.assign(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height), 0);
  out_.width = width;
  out_.height = height;
  return {width, height, out_.bgr.data(), std::ptrdiff_t{width} * 3};
}

}  // namespace viewer
