// Pictures for the image viewer, read and written by the program's own
// code (bmp.h, jpeg.h, png.h, gif.h): files chosen by their extension in any
// letter case, the clipboard's bitmap; saving as BMP, JPEG or PNG.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/bmp.h"
#include "viewer/gif.h"
#include "viewer/jpeg.h"
#include "viewer/png.h"
#include "viewer/pixels.h"

namespace viewer {

// Files larger than this are not read at all.
constexpr std::uint64_t kMaxFileBytes = 512ull << 20;

enum class PictureKind { Jpeg, Bitmap, Png, Gif, Unknown };
PictureKind KindOf(const std::string& path);

// Loads a file by its extension; transparent pixels (PNG, GIF) are
// composited on the background. Raises PictureError with the reason.
Pixels LoadPicture(const std::string& path, Rgb background = {});
// The clipboard's bitmap; raises PictureError when there is none or it
// cannot be read.
Pixels ClipboardPicture();
// Saves by the extension (.jpg/.jpeg as JPEG, .png as PNG, anything else
// as BMP).
void SavePicture(const std::string& path, const Pixels& pixels);

}  // namespace viewer
