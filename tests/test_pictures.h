// Pictures as other programs write them, for the tests of the viewer and
// its decoders.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "viewer/pixels.h"

// A picture of one shade.
inline viewer::Pixels Picture(int w, int h, std::uint8_t shade = 0x80) {
  viewer::Pixels b;
  b.width = w;
  b.height = h;
  b.bgr.assign(static_cast<size_t>(w) * h * 3, shade);
  return b;
}

// Every pixel differs from its neighbours, every row from the others.
inline viewer::Pixels Gradient(int w, int h) {
  viewer::Pixels b = Picture(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &b.bgr[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<std::uint8_t>(x * 7);
      p[1] = static_cast<std::uint8_t>(y * 5);
      p[2] = static_cast<std::uint8_t>(x + y);
    }
  return b;
}

// A JPEG written the way other programs write them: CMYK (Adobe's inverted
// form) or progressive.
inline std::string ForeignJpeg(bool cmyk, bool progressive, int w = 16, int h = 8) {
  jpeg_compress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(w);
  info.image_height = static_cast<JDIMENSION>(h);
  info.input_components = cmyk ? 4 : 3;
  info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(w) * info.input_components, 200);
  while (info.next_scanline < info.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<char*>(buffer), size);
  jpeg_destroy_compress(&info);
  free(buffer);
  return out;
}

// The same JPEG, claiming another size in its frame header.
inline std::string Resized(std::string jpeg, int w, int h) {
  size_t sof = jpeg.find("\xFF\xC2");
  if (sof == std::string::npos) sof = jpeg.find("\xFF\xC0");
  jpeg[sof + 5] = static_cast<char>(h >> 8);
  jpeg[sof + 6] = static_cast<char>(h & 0xFF);
  jpeg[sof + 7] = static_cast<char>(w >> 8);
  jpeg[sof + 8] = static_cast<char>(w & 0xFF);
  return jpeg;
}

// A picture that tests/pictures/make_pictures.sh made with ImageMagick.
inline std::string TestPicture(const std::string& name) {
  std::ifstream f(std::string(KIVO_TEST_PICTURES) + "/" + name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  if (!f || s.str().empty()) throw std::runtime_error("missing test picture " + name);
  return s.str();
}
