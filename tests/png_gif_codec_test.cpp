// The PNG writer, and the PNG and GIF decoders over pictures that other
// programs wrote, whose pixels the tests know.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include <png.h>

#include "viewer/png.h"

namespace {

// Pixels that change from each pixel to the next in every channel.
viewer::Pixels Pattern(int w, int h) {
  viewer::Pixels p{w, h, {}};
  p.bgr.resize(static_cast<size_t>(w) * h * 3);
  std::uint32_t seed = 12345;
  for (size_t i = 0; i < p.bgr.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    p.bgr[i] = static_cast<std::uint8_t>((i % 3 == 0 ? i / 3 : seed >> 16) & 0xFF);
  }
  return p;
}

// Read back with libpng's own simplified reader, as another program would.
viewer::Pixels ReadWithLibpng(const std::string& file, png_byte* colorType = nullptr) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  EXPECT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size())) << image.message;
  if (colorType) *colorType = static_cast<png_byte>(image.format);
  image.format = PNG_FORMAT_BGR;
  viewer::Pixels p{static_cast<int>(image.width), static_cast<int>(image.height), {}};
  p.bgr.resize(PNG_IMAGE_SIZE(image));
  EXPECT_TRUE(png_image_finish_read(&image, nullptr, p.bgr.data(), 0, nullptr)) << image.message;
  return p;
}

TEST(PngCodecTest, WrittenPngReadsBackPixelForPixel) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{37, 23}, std::pair{640, 3}}) {
    const viewer::Pixels p = Pattern(w, h);
    const std::string file = viewer::EncodePng(p);
    ASSERT_EQ(file.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
    png_byte format = 0;
    const viewer::Pixels back = ReadWithLibpng(file, &format);
    EXPECT_EQ(format, PNG_FORMAT_RGB) << "24-bit colour, no alpha";
    EXPECT_EQ(back.width, w);
    EXPECT_EQ(back.height, h);
    EXPECT_EQ(back.bgr, p.bgr) << w << " x " << h;
  }
}

TEST(PngCodecTest, WriterRefusesPixelsThatDoNotMatchTheirSize) {
  viewer::Pixels p = Pattern(4, 4);
  p.bgr.pop_back();
  EXPECT_THROW(viewer::EncodePng(p), viewer::PictureError);
  EXPECT_THROW(viewer::EncodePng(viewer::Pixels{}), viewer::PictureError);
}

}  // namespace
