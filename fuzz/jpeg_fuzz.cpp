// The image viewer's JPEG decoding over the bytes of a file: whatever the
// bytes, a picture within the size limits or a PictureError; what decodes
// also saves again.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "fuzz/fuzz_target.h"
#include "viewer/bmp.h"
#include "viewer/jpeg.h"
#include "viewer/picture.h"

namespace {

// Pictures above this many pixels are skipped: a few bytes can declare
// 100 million pixels, which decode correctly but take seconds each under
// the sanitizers. The limits themselves have their unit tests.
constexpr unsigned long long kMaxFuzzPixels = 1u << 22;

struct HeaderError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void HeaderErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<HeaderError*>(info->err)->jump, 1);
}
void Silent(j_common_ptr) {}

// The size the frame header declares; 0 when there is no header.
unsigned long long DeclaredPixels(const std::uint8_t* data, std::size_t size) {
  jpeg_decompress_struct info;
  HeaderError err;
  info.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = HeaderErrorExit;
  err.pub.output_message = Silent;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    return 0;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  const unsigned long long pixels =
      static_cast<unsigned long long>(info.image_width) * info.image_height;
  jpeg_destroy_decompress(&info);
  return pixels;
}

}  // namespace

KIVO_FUZZ_TARGET(jpeg) {
  if (DeclaredPixels(data, size) > kMaxFuzzPixels) return;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  viewer::Pixels b;
  try {
    b = viewer::DecodeJpeg(bytes);
  } catch (const viewer::PictureError&) {
    return;
  }
  fuzz::Check(b.width > 0 && b.height > 0 && b.width <= viewer::kMaxSide &&
                  b.height <= viewer::kMaxSide,
              "a decoded picture has a size within the limits");
  fuzz::Check(b.bgr.size() == static_cast<size_t>(b.width) * b.height * 3,
              "a decoded picture has three bytes a pixel");
  // Saving what was shown: as BMP exactly, and as a JPEG that decodes to the
  // same size.
  const std::string bmp = viewer::EncodeBmp(b);
  fuzz::Check(bmp.size() == 54 + ((static_cast<size_t>(b.width) * 3 + 3) & ~size_t{3}) * b.height,
              "the saved bitmap holds every row");
  const viewer::Pixels again = viewer::DecodeJpeg(viewer::EncodeJpeg(b));
  fuzz::Check(again.width == b.width && again.height == b.height,
              "a saved JPEG decodes to the same size");
}
