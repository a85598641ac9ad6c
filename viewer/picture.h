// Pictures for the image viewer, read and written by the program's own
// code (bmp.h, jpeg.h, png.h, gif.h): files chosen by their extension in any
// letter case, the clipboard's bitmap; saving as BMP, JPEG or PNG.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "toolkit/toolkit.h"

#include "viewer/bmp.h"
#include "viewer/gif.h"
#include "viewer/jpeg.h"
#include "viewer/png.h"
#include "viewer/pixels.h"

namespace viewer {

// Files larger than this are not read at all.
constexpr std::uint64_t kMaxFileBytes = 512ull << 20;

enum class PictureKind { Jpeg, Bitmap, Png, Gif, Unknown };
// By the file name's extension: .bmp and .dib bitmaps, .jpg, .jpeg, .jpe and
// .jfif JPEG, .png, .gif.
PictureKind KindOf(const std::string& path);
// The open dialog's filter: every picture the viewer opens first, then each
// format alone.
std::string OpenFilter();

// Loads a file by its extension into the sink's memory; transparent pixels
// (PNG, GIF) are composited on the background. Raises PictureError with the
// reason. Any thread may load (the platform's file reading is the only call
// it makes).
void LoadPicture(const std::string& path, PixelSink& sink, Rgb background = {});
Pixels LoadPicture(const std::string& path, Rgb background = {});
// The clipboard's bitmap; raises PictureError when there is none or it
// cannot be read.
void ClipboardPicture(PixelSink& sink);
Pixels ClipboardPicture();
// A sink whose memory is a toolkit picture's, the display bitmap itself.
// `made` runs once that memory is there, before the first pixel is written
// (the viewer lets the shown picture go then). Any thread may decode into
// one (it makes the picture with tk::Picture::Create and nothing else).
class DisplaySink : public PixelSink {
 public:
  explicit DisplaySink(std::function<void()> made = {}) : made_(std::move(made)) {}
  PixelRows Allocate(int width, int height) override;
  std::unique_ptr<tk::Picture> picture;

 private:
  std::function<void()> made_;
};

// A toolkit picture's pixels for the encoders.
inline PixelView ViewOf(const tk::Picture& p) { return {p.width, p.height, p.Row(0), p.stride}; }

// Saves by the extension (.jpg/.jpeg as JPEG, .png as PNG, anything else
// as BMP).
void SavePicture(const std::string& path, const PixelView& pixels);

}  // namespace viewer
