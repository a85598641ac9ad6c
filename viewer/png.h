// PNG through libpng, over bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/pixels.h"

namespace viewer {

// Decodes a PNG held in memory: every colour type and bit depth (16-bit
// channels rounded to 8), palettes, interlaced pictures. Transparency (an
// alpha channel or tRNS) is composited on the background. Ancillary chunks
// with a bad checksum, or claiming more than 16 MB, are skipped; anything
// else that is damaged, and a file that ends early, raises PictureError with
// libpng's reason.
void DecodePng(const std::uint8_t* data, std::size_t size, PixelSink& sink, Rgb background = {},
               std::uint64_t maxPixels = kMaxPixels);
Pixels DecodePng(const std::uint8_t* data, std::size_t size, Rgb background = {},
                 std::uint64_t maxPixels = kMaxPixels);
inline Pixels DecodePng(const std::string& data, Rgb background = {}) {
  return DecodePng(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), background);
}

// A 24-bit colour PNG of the pixels, with libpng's default compression and
// filters; raises PictureError when it cannot be made.
std::string EncodePng(const Pixels& pixels);

}  // namespace viewer
