#include "viewer/png.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <png.h>

namespace viewer {

namespace {

// libpng reports errors through this; it copies the message and jumps back
// to the caller's setjmp. Warnings are not shown.
struct ErrorState {
  char message[200] = "";
};

void OnError(png_structp png, png_const_charp text) {
  auto* state = static_cast<ErrorState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", text ? text : "");
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// A write structure released on every way out.
struct Writer {
  ErrorState err;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::string out;
  Writer() {
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &err, OnError, OnWarning);
    if (png) info = png_create_info_struct(png);
    if (!png || !info) {
      png_destroy_write_struct(&png, &info);
      throw std::bad_alloc();
    }
  }
  ~Writer() { png_destroy_write_struct(&png, &info); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
};

// Appends what libpng writes; running out of memory ends the writing as a
// libpng error (no C++ exception crosses the library).
void WriteData(png_structp png, png_bytep data, png_size_t size) {
  auto* w = static_cast<Writer*>(png_get_io_ptr(png));
  try {
    w->out.append(reinterpret_cast<const char*>(data), size);
  } catch (const std::bad_alloc&) {
    png_error(png, "Out of memory");
  }
}

void Flush(png_structp) {}

}  // namespace

std::string EncodePng(const Pixels& b) {
  CheckSize(static_cast<std::uint64_t>(b.width), static_cast<std::uint64_t>(b.height));
  if (b.bgr.size() != static_cast<size_t>(b.width) * 3 * static_cast<size_t>(b.height))
    throw PictureError("PNGファイルを書き込めません: 画素の数が大きさと合いません");
  Writer w;
  // Only objects made before this point live across the jump.
  if (setjmp(png_jmpbuf(w.png))) throw PictureError(std::string("PNGファイルを書き込めません: ") + w.err.message);
  png_set_write_fn(w.png, &w, WriteData, Flush);
  png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(b.width), static_cast<png_uint_32>(b.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(w.png, w.info);
  png_set_bgr(w.png);
  const size_t stride = static_cast<size_t>(b.width) * 3;
  for (int y = 0; y < b.height; ++y)
    png_write_row(w.png, const_cast<png_bytep>(&b.bgr[static_cast<size_t>(y) * stride]));
  png_write_end(w.png, nullptr);
  return std::move(w.out);
}

}  // namespace viewer
