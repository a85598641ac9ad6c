// JPEG through libjpeg-turbo (the IJG API), over bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/pixels.h"

namespace viewer {

// Decodes a JPEG held in memory into the sink's memory, each row written
// there once: greyscale, colour and CMYK (Adobe's inverted form included),
// baseline and progressive. A file that ends early shows what it holds and
// grey for the rest, as libjpeg fills it.
void DecodeJpeg(const std::uint8_t* data, std::size_t size, PixelSink& sink,
                std::uint64_t maxPixels = kMaxPixels);
Pixels DecodeJpeg(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels = kMaxPixels);
inline Pixels DecodeJpeg(const std::string& data) {
  return DecodeJpeg(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}
std::string EncodeJpeg(const PixelView& pixels, int quality = 90);

}  // namespace viewer
