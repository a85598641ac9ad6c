// A decoded picture and what every decoder shares: its error and its limits.
// Plain C++ only, so that decoders built on it can run anywhere (the unit
// tests, a fuzzer) without the toolkit or the platform.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace viewer {

// 24-bit pixels, rows from the top, each pixel B, G, R, rows without padding.
struct Pixels {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bgr;
};

// A colour that transparent pixels are composited on.
struct Rgb {
  std::uint8_t r = 255, g = 255, b = 255;
};

// A picture that cannot be loaded or saved; its text is shown to the user.
class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Pictures larger than this many pixels are refused before they are decoded
// (a 16384 × 16384 picture, 768 MB of pixels, is past it).
constexpr std::uint64_t kMaxPixels = 100'000'000;
constexpr int kMaxSide = 30000;

// Raises PictureError for an empty picture or one past the limits.
void CheckSize(std::uint64_t width, std::uint64_t height, std::uint64_t maxPixels = kMaxPixels);

}  // namespace viewer
