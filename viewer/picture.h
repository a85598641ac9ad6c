// Pictures for the image viewer: JPEG through libjpeg-turbo (the IJG API),
// bitmaps through the system's own loader, chosen by the file's extension in
// any letter case; and saving as BMP or JPEG.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/platform.h"

namespace viewer {

// A picture that cannot be loaded or saved; its text is shown to the user.
class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Pictures larger than this many pixels are refused before they are decoded
// (a 16384 × 16384 picture, 768 MB of pixels, is past it).
constexpr std::uint64_t kMaxPixels = 100'000'000;
constexpr int kMaxSide = 30000;
// Files larger than this are not read at all.
constexpr std::uint64_t kMaxFileBytes = 512ull << 20;

enum class PictureKind { Jpeg, Bitmap, Unknown };
PictureKind KindOf(const std::string& path);

// Decodes a JPEG held in memory: greyscale, colour and CMYK (Adobe's
// inverted form included), baseline and progressive.
platform::Bitmap DecodeJpeg(const std::string& data);
std::string EncodeJpeg(const platform::Bitmap& bitmap, int quality = 90);
std::string EncodeBmp(const platform::Bitmap& bitmap);

// Loads a file by its extension; raises PictureError with the reason.
platform::Bitmap LoadPicture(const std::string& path);
// Saves by the extension (.jpg/.jpeg as JPEG, anything else as BMP).
void SavePicture(const std::string& path, const platform::Bitmap& bitmap);

}  // namespace viewer
