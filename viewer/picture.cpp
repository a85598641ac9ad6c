#include "viewer/picture.h"

#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace viewer {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

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

void CheckSize(std::uint64_t width, std::uint64_t height) {
  if (width == 0 || height == 0) throw PictureError("画像の大きさが不正です");
  if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
    throw PictureError("画像が大きすぎます (" + std::to_string(width) + " x " +
                       std::to_string(height) + ")");
}

}  // namespace

PictureKind KindOf(const std::string& path) {
  std::string p = Lower(path);
  auto ends = [&](const char* ext) {
    size_t n = std::strlen(ext);
    return p.size() >= n && p.compare(p.size() - n, n, ext) == 0;
  };
  if (ends(".jpg") || ends(".jpeg")) return PictureKind::Jpeg;
  if (ends(".bmp")) return PictureKind::Bitmap;
  return PictureKind::Unknown;
}

platform::Bitmap DecodeJpeg(const std::string& data) {
  platform::Bitmap out;
  jpeg_decompress_struct info;
  ErrorManager err;
  info.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = NoOutput;
  std::string failure;
  std::vector<std::uint8_t> row;
  // Nothing with a destructor is made between setjmp and the decoding's end.
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    throw PictureError(std::string("JPEGファイルを読み込めません: ") + err.message);
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.data()),
               static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  if (info.image_width > kMaxSide || info.image_height > kMaxSide ||
      static_cast<std::uint64_t>(info.image_width) * info.image_height > kMaxPixels) {
    failure = "画像が大きすぎます (" + std::to_string(info.image_width) + " x " +
              std::to_string(info.image_height) + ")";
    jpeg_destroy_decompress(&info);
    throw PictureError(failure);
  }
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.bgr.resize(static_cast<size_t>(out.width) * 3 * static_cast<size_t>(out.height));
  // Adobe writes CMYK inverted; the marker says so.
  const bool inverted = cmyk && info.saw_Adobe_marker;
  row.resize(static_cast<size_t>(out.width) * 4);
  while (info.output_scanline < info.output_height) {
    size_t y = info.output_scanline;
    if (!cmyk) {
      JSAMPROW target = &out.bgr[y * static_cast<size_t>(out.width) * 3];
      jpeg_read_scanlines(&info, &target, 1);
      continue;
    }
    JSAMPROW target = row.data();
    jpeg_read_scanlines(&info, &target, 1);
    for (int x = 0; x < out.width; ++x) {
      int c = row[x * 4], m = row[x * 4 + 1], yy = row[x * 4 + 2], k = row[x * 4 + 3];
      if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        yy = 255 - yy;
        k = 255 - k;
      }
      std::uint8_t* px = &out.bgr[(y * out.width + x) * 3];
      px[0] = static_cast<std::uint8_t>(yy * k / 255);
      px[1] = static_cast<std::uint8_t>(m * k / 255);
      px[2] = static_cast<std::uint8_t>(c * k / 255);
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return out;
}

std::string EncodeJpeg(const platform::Bitmap& b, int quality) {
  CheckSize(static_cast<std::uint64_t>(b.width), static_cast<std::uint64_t>(b.height));
  jpeg_compress_struct info;
  ErrorManager err;
  info.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = NoOutput;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    throw PictureError(std::string("JPEGファイルを書き込めません: ") + err.message);
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(b.width);
  info.image_height = static_cast<JDIMENSION>(b.height);
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&b.bgr[static_cast<size_t>(info.next_scanline) * b.width * 3]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

std::string EncodeBmp(const platform::Bitmap& b) {
  CheckSize(static_cast<std::uint64_t>(b.width), static_cast<std::uint64_t>(b.height));
  const size_t stride = (static_cast<size_t>(b.width) * 3 + 3) & ~size_t{3};
  const size_t pixels = stride * static_cast<size_t>(b.height);
  std::string out(54 + pixels, '\0');
  auto put16 = [&](size_t at, std::uint32_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  };
  auto put32 = [&](size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<std::uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(b.width));
  put32(22, static_cast<std::uint32_t>(b.height));  // bottom-up
  put16(26, 1);
  put16(28, 24);
  put32(34, static_cast<std::uint32_t>(pixels));
  for (int y = 0; y < b.height; ++y)
    std::memcpy(&out[54 + stride * static_cast<size_t>(b.height - 1 - y)],
                &b.bgr[static_cast<size_t>(y) * b.width * 3], static_cast<size_t>(b.width) * 3);
  return out;
}

platform::Bitmap LoadPicture(const std::string& path) {
  auto& p = platform::Get();
  switch (KindOf(path)) {
    case PictureKind::Jpeg: {
      std::string data;
      if (!p.ReadFile(path, data, kMaxFileBytes))
        throw PictureError("ファイルを開けません: " + path + " (" + p.ErrorText(p.GetLastError()) + ")");
      return DecodeJpeg(data);
    }
    case PictureKind::Bitmap: {
      platform::Bitmap b;
      if (!p.LoadBitmapFile(path, b)) throw PictureError("ビットマップを読み込めません: " + path);
      CheckSize(static_cast<std::uint64_t>(b.width), static_cast<std::uint64_t>(b.height));
      return b;
    }
    default:
      throw PictureError("この形式の画像は開けません: " + path);
  }
}

void SavePicture(const std::string& path, const platform::Bitmap& bitmap) {
  std::string data = KindOf(path) == PictureKind::Jpeg ? EncodeJpeg(bitmap) : EncodeBmp(bitmap);
  auto& p = platform::Get();
  if (!p.WriteFile(path, data))
    throw PictureError("ファイルを保存できません: " + path + " (" + p.ErrorText(p.GetLastError()) + ")");
}

}  // namespace viewer
