#include "viewer/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace viewer {

namespace {

// libjpeg's own error handler ends the process: this one jumps back to the
// caller with the library's message.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, err->message);
  std::longjmp(err->jump, 1);
}

void NoOutput(j_common_ptr) {}  // warnings are not printed

// A libjpeg object released on every way out, an exception included. The
// structure starts zeroed, so destroying it before or after its creation is
// safe (libjpeg releases only what its memory manager holds).
struct Decompressor {
  jpeg_decompress_struct info{};
  ErrorManager err{};
  Decompressor() {
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = NoOutput;
  }
  ~Decompressor() { jpeg_destroy_decompress(&info); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
};

struct Compressor {
  jpeg_compress_struct info{};
  ErrorManager err{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  Compressor() {
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = NoOutput;
  }
  ~Compressor() {
    jpeg_destroy_compress(&info);
    std::free(buffer);
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
};

}  // namespace

void DecodeJpeg(const std::uint8_t* data, std::size_t size, PixelSink& sink, std::uint64_t maxPixels) {
  std::vector<std::uint8_t> row;
  Decompressor d;
  jpeg_decompress_struct& info = d.info;
  // Only objects made before this point live across the jump; the
  // decompressor's destructor releases the library's memory either way.
  if (setjmp(d.err.jump)) throw PictureError(std::string("JPEGファイルを読み込めません: ") + d.err.message);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  CheckSize(info.image_width, info.image_height, maxPixels);
  jpeg_start_decompress(&info);
  const int width = static_cast<int>(info.output_width);
  // The sink may raise; nothing of libjpeg's is running then, and the
  // decompressor's destructor releases it on the way out.
  const PixelRows out = sink.Allocate(width, static_cast<int>(info.output_height));
  // Adobe writes CMYK inverted; the marker says so.
  const bool inverted = cmyk && info.saw_Adobe_marker;
  if (cmyk) row.resize(static_cast<size_t>(width) * 4);
  while (info.output_scanline < info.output_height) {
    if (sink.Cancelled()) throw Cancelled();
    std::uint8_t* target = out.Row(info.output_scanline);
    if (!cmyk) {
      JSAMPROW r = target;
      jpeg_read_scanlines(&info, &r, 1);
      continue;
    }
    JSAMPROW r = row.data();
    jpeg_read_scanlines(&info, &r, 1);
    for (int x = 0; x < width; ++x) {
      int c = row[x * 4], m = row[x * 4 + 1], yy = row[x * 4 + 2], k = row[x * 4 + 3];
      if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        yy = 255 - yy;
        k = 255 - k;
      }
      std::uint8_t* px = target + x * 3;
      px[0] = static_cast<std::uint8_t>(yy * k / 255);
      px[1] = static_cast<std::uint8_t>(m * k / 255);
      px[2] = static_cast<std::uint8_t>(c * k / 255);
    }
  }
  jpeg_finish_decompress(&info);
}

Pixels DecodeJpeg(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels) {
  Pixels out;
  PixelsSink sink(out);
  DecodeJpeg(data, size, sink, maxPixels);
  return out;
}

std::string EncodeJpeg(const PixelView& b, int quality) {
  CheckSize(static_cast<std::uint64_t>(b.width), static_cast<std::uint64_t>(b.height));
  Compressor c;
  jpeg_compress_struct& info = c.info;
  if (setjmp(c.err.jump)) throw PictureError(std::string("JPEGファイルを書き込めません: ") + c.err.message);
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &c.buffer, &c.size);
  info.image_width = static_cast<JDIMENSION>(b.width);
  info.image_height = static_cast<JDIMENSION>(b.height);
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(b.Row(info.next_scanline));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return std::string(reinterpret_cast<const char*>(c.buffer), c.size);
}

}  // namespace viewer
