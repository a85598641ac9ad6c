#include "viewer/png.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
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

// libpng's own blocks are small (a row of the widest picture is 240 KB);
// only a chunk that lies about its length asks for more, and libpng takes it
// as a warning and allocates the block. Refused here, the chunk is skipped.
constexpr png_alloc_size_t kMaxLibpngBlock = 16u << 20;

png_voidp Allocate(png_structp, png_alloc_size_t size) {
  return size <= kMaxLibpngBlock ? std::malloc(size) : nullptr;
}

void Free(png_structp, png_voidp p) { std::free(p); }

// A read structure released on every way out.
struct Reader {
  ErrorState err;
  png_structp png = nullptr;
  png_infop info = nullptr;
  const std::uint8_t* data;
  std::size_t size, at = 0;
  Reader(const std::uint8_t* d, std::size_t n) : data(d), size(n) {
    png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &err, OnError, OnWarning, nullptr, Allocate, Free);
    if (png) info = png_create_info_struct(png);
    if (!png || !info) {
      png_destroy_read_struct(&png, &info, nullptr);
      throw std::bad_alloc();
    }
  }
  ~Reader() { png_destroy_read_struct(&png, &info, nullptr); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
};

void ReadData(png_structp png, png_bytep out, png_size_t n) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (n > r->size - r->at) png_error(png, "ファイルが途中で終わっています");
  std::memcpy(out, r->data + r->at, n);
  r->at += n;
}

// Colour c with alpha a over the background colour.
inline std::uint8_t Over(unsigned c, unsigned a, unsigned back) {
  return static_cast<std::uint8_t>((c * a + back * (255 - a) + 127) / 255);
}

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

void DecodePng(const std::uint8_t* data, std::size_t size, PixelSink& sink, Rgb background,
               std::uint64_t maxPixels) {
  std::vector<std::uint8_t> rgba;  // pixels with alpha before compositing
  Reader r(data, size);
  // Only objects made before this point live across the jump.
  if (setjmp(png_jmpbuf(r.png))) throw PictureError(std::string("PNGファイルを読み込めません: ") + r.err.message);
  png_set_read_fn(r.png, &r, ReadData);
  png_set_user_limits(r.png, kMaxSide, kMaxSide);
  png_read_info(r.png, r.info);
  const png_uint_32 width = png_get_image_width(r.png, r.info);
  const png_uint_32 height = png_get_image_height(r.png, r.info);
  CheckSize(width, height, maxPixels);
  const int colorType = png_get_color_type(r.png, r.info);
  const int depth = png_get_bit_depth(r.png, r.info);
  // Everything becomes 8-bit B, G, R with or without alpha.
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(r.png);
  if (png_get_valid(r.png, r.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(r.png);
  if (depth == 16) png_set_scale_16(r.png);
  if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(r.png);
  png_set_bgr(r.png);
  const int passes = png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  const int channels = png_get_channels(r.png, r.info);
  if ((channels != 3 && channels != 4) || png_get_bit_depth(r.png, r.info) != 8 ||
      png_get_rowbytes(r.png, r.info) != static_cast<size_t>(width) * channels)
    png_error(r.png, "unexpected pixel layout");

  // The sink may raise, and may give the decoding up between rows; no call
  // into libpng is running then, and the reader is released on the way out.
  const PixelRows out = sink.Allocate(static_cast<int>(width), static_cast<int>(height));
  if (channels == 3) {
    // Straight into the picture; passes after the first fill in the rows.
    for (int pass = 0; pass < passes; ++pass)
      for (png_uint_32 y = 0; y < height; ++y) {
        if (sink.Cancelled()) throw Cancelled();
        png_read_row(r.png, out.Row(y), nullptr);
      }
    return;
  }
  // With alpha: one row at a time, or the whole picture when the passes of
  // an interlaced one come back to each row.
  const size_t alphaStride = static_cast<size_t>(width) * 4;
  rgba.resize(alphaStride * (passes > 1 ? height : 1));
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) {
      if (sink.Cancelled()) throw Cancelled();
      std::uint8_t* src = &rgba[passes > 1 ? y * alphaStride : 0];
      png_read_row(r.png, src, nullptr);
      if (pass + 1 < passes) continue;
      std::uint8_t* dst = out.Row(y);
      for (png_uint_32 x = 0; x < width; ++x, src += 4, dst += 3) {
        dst[0] = Over(src[0], src[3], background.b);
        dst[1] = Over(src[1], src[3], background.g);
        dst[2] = Over(src[2], src[3], background.r);
      }
    }
}

Pixels DecodePng(const std::uint8_t* data, std::size_t size, Rgb background, std::uint64_t maxPixels) {
  Pixels out;
  PixelsSink sink(out);
  DecodePng(data, size, sink, background, maxPixels);
  return out;
}

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
  // Tuned for screenshots, mostly flat colour with gradients: the Sub filter
  // on every row and zlib's level 7 come within 5 % of optipng -o2's files
  // (a desktop capture and a photo-like picture, bench/png_save.sh) in
  // about the time of libpng's defaults (every filter tried, level 6).
  png_set_filter(w.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(w.png, 7);
  png_set_compression_mem_level(w.png, 9);
  // zlib's own matching: libpng would otherwise take Z_FILTERED for
  // filtered rows, which loses here.
  png_set_compression_strategy(w.png, 0 /* Z_DEFAULT_STRATEGY */);
  png_write_info(w.png, w.info);
  png_set_bgr(w.png);
  const size_t stride = static_cast<size_t>(b.width) * 3;
  for (int y = 0; y < b.height; ++y)
    png_write_row(w.png, const_cast<png_bytep>(&b.bgr[static_cast<size_t>(y) * stride]));
  png_write_end(w.png, nullptr);
  return std::move(w.out);
}

}  // namespace viewer
