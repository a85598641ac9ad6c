// Windows bitmaps, read and written by the program's own code: files
// ("BM" and a file header) and packed device-independent bitmaps as the
// clipboard holds them (CF_DIB, CF_DIBV5: an info header, its colour table,
// the pixels). Plain functions over bytes: the platform hands over the bytes,
// nothing here reaches the toolkit or the system.
//
// Read: OS/2 1.x (12-byte) and 2.x (16- to 64-byte) headers,
// BITMAPINFOHEADER and its V2/V3/V4/V5 successors; 1, 2, 4, 8, 16, 24 and
// 32 bits a pixel; BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS and
// BI_ALPHABITFIELDS with any masks, BI_JPEG through libjpeg; bottom-up and
// top-down rows. Alpha is not shown. Every size a header gives is checked
// in 64 bits against the bytes that are there before it is used:
// - a palette shorter than the pixels need: missing entries are black;
// - pixel data that ends early: the rows that are there, the rest black;
// - RLE pixels that the data never reaches (deltas, ends of line, an early
//   end) stay black, the background.
// Anything else that cannot be shown raises PictureError with the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/pixels.h"

namespace viewer {

// Both write into the sink's memory, each row once (see pixels.h).
// A bitmap file: the 14-byte file header first.
void DecodeBmp(const std::uint8_t* data, std::size_t size, PixelSink& sink,
               std::uint64_t maxPixels = kMaxPixels);
// A packed bitmap without the file header: the pixels follow the colour table.
void DecodeDib(const std::uint8_t* data, std::size_t size, PixelSink& sink,
               std::uint64_t maxPixels = kMaxPixels);
// The same into a Pixels of their own.
Pixels DecodeBmp(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels = kMaxPixels);
Pixels DecodeDib(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels = kMaxPixels);
inline Pixels DecodeBmp(const std::string& data) {
  return DecodeBmp(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}
inline Pixels DecodeDib(const std::string& data) {
  return DecodeDib(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

// A 24-bit bottom-up bitmap with a 40-byte header, as every reader takes it.
std::string EncodeDib(const PixelView& pixels);
std::string EncodeBmp(const PixelView& pixels);  // the same with the file header

}  // namespace viewer
