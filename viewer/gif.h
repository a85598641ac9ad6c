// GIF through giflib, over bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/pixels.h"

namespace viewer {

// Decodes the first picture of a GIF held in memory (an animation shows its
// first frame), interlaced or not, on a canvas of the file's screen size
// (grown when the frame reaches past it). The frame's transparent colour and
// the canvas outside the frame are the background; colour indexes past the
// colour table are black. Damaged data, a file that ends early and a picture
// without a colour table raise PictureError with the reason.
void DecodeGif(const std::uint8_t* data, std::size_t size, PixelSink& sink, Rgb background = {},
               std::uint64_t maxPixels = kMaxPixels);
Pixels DecodeGif(const std::uint8_t* data, std::size_t size, Rgb background = {},
                 std::uint64_t maxPixels = kMaxPixels);
inline Pixels DecodeGif(const std::string& data, Rgb background = {}) {
  return DecodeGif(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), background);
}

}  // namespace viewer
