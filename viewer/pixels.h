// A decoded picture and what every decoder shares: where it writes its
// pixels, its error and its limits. Plain C++ only, so that decoders built
// on it can run anywhere (the unit tests, a fuzzer) without the toolkit or
// the platform.
#pragma once

#include <cstddef>
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

// Rows of 24-bit pixels (B, G, R) somewhere in memory: row y, counted from
// the top, starts at top + y × stride. A negative stride is memory that
// holds the rows from the bottom up, as Windows bitmaps do.
struct PixelRows {
  int width = 0, height = 0;
  std::uint8_t* top = nullptr;
  std::ptrdiff_t stride = 0;
  std::uint8_t* Row(std::uint64_t y) const { return top + static_cast<std::ptrdiff_t>(y) * stride; }
};

// The same for reading only.
struct PixelView {
  int width = 0, height = 0;
  const std::uint8_t* top = nullptr;
  std::ptrdiff_t stride = 0;
  PixelView() = default;
  PixelView(int w, int h, const std::uint8_t* t, std::ptrdiff_t s) : width(w), height(h), top(t), stride(s) {}
  PixelView(const Pixels& p)  // NOLINT: a packed picture is a view of itself
      : width(p.width), height(p.height), top(p.bgr.data()), stride(std::ptrdiff_t{p.width} * 3) {}
  const std::uint8_t* Row(std::uint64_t y) const { return top + static_cast<std::ptrdiff_t>(y) * stride; }
};

// Where a decoder puts a picture: the caller's memory (the display bitmap
// itself, or a plain buffer). A decoder asks once, after it has read and
// checked the picture's size and before it writes the first pixel.
class PixelSink {
 public:
  virtual ~PixelSink() = default;
  // Memory for width × height pixels, every byte zero (black): the rows the
  // data never reaches stay black. Raises (PictureError, std::bad_alloc or
  // the caller's own error) when there is none; the decoder then lets the
  // error through and writes nothing.
  virtual PixelRows Allocate(int width, int height) = 0;
  // Asked between rows: true gives the decoding up (raising Cancelled). A
  // decoding whose picture is no longer wanted ends so without finishing.
  virtual bool Cancelled() const { return false; }
};

// What a decoder raises when its sink gave it up.
class Cancelled : public std::runtime_error {
 public:
  Cancelled() : std::runtime_error("画像の読み込みを中止しました") {}
};

// A sink that fills a Pixels.
class PixelsSink : public PixelSink {
 public:
  explicit PixelsSink(Pixels& out) : out_(out) {}
  PixelRows Allocate(int width, int height) override;

 private:
  Pixels& out_;
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
