#include "viewer/gif.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <gif_lib.h>

namespace viewer {

namespace {

struct Source {
  const std::uint8_t* data;
  std::size_t size, at = 0;
};

int ReadData(GifFileType* gif, GifByteType* out, int n) {
  auto* s = static_cast<Source*>(gif->UserData);
  const std::size_t take = std::min<std::size_t>(n < 0 ? 0 : static_cast<std::size_t>(n), s->size - s->at);
  std::memcpy(out, s->data + s->at, take);
  s->at += take;
  return static_cast<int>(take);
}

[[noreturn]] void Fail(int code) {
  const char* reason = GifErrorString(code);
  throw PictureError(std::string("GIFファイルを読み込めません: ") + (reason ? reason : "unknown error"));
}

[[noreturn]] void Fail(const std::string& reason) {
  throw PictureError("GIFファイルを読み込めません: " + reason);
}

// A giflib decoder closed on every way out.
struct Decoder {
  GifFileType* gif = nullptr;
  explicit Decoder(Source& source) {
    int error = 0;
    gif = DGifOpen(&source, ReadData, &error);
    if (!gif) Fail(error);
  }
  ~Decoder() {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  void Check(int result) const {
    if (result != GIF_OK) Fail(gif->Error);
  }
};

}  // namespace

void DecodeGif(const std::uint8_t* data, std::size_t size, PixelSink& sink, Rgb background,
               std::uint64_t maxPixels) {
  Source source{data, size};
  Decoder d(source);
  GifFileType* gif = d.gif;
  int transparent = -1;  // from the graphic control block before the picture
  for (;;) {
    GifRecordType record;
    d.Check(DGifGetRecordType(gif, &record));
    if (record == TERMINATE_RECORD_TYPE) Fail("画像がありません");
    if (record == IMAGE_DESC_RECORD_TYPE) break;
    if (record != EXTENSION_RECORD_TYPE) continue;
    int code = 0;
    GifByteType* block = nullptr;
    d.Check(DGifGetExtension(gif, &code, &block));
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
      GraphicsControlBlock gcb;
      if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
    }
    while (block) d.Check(DGifGetExtensionNext(gif, &block));
  }
  d.Check(DGifGetImageDesc(gif));
  const GifImageDesc& frame = gif->Image;
  if (frame.Left < 0 || frame.Top < 0) Fail("画像の位置が不正です");
  // The frame is decoded whole, so it has the same limits as the picture.
  CheckSize(static_cast<std::uint64_t>(frame.Width), static_cast<std::uint64_t>(frame.Height), maxPixels);
  const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (!map || !map->Colors || map->ColorCount <= 0) Fail("色の表がありません");

  const std::uint64_t width = std::max<std::uint64_t>(gif->SWidth, std::uint64_t(frame.Left) + frame.Width);
  const std::uint64_t height = std::max<std::uint64_t>(gif->SHeight, std::uint64_t(frame.Top) + frame.Height);
  CheckSize(width, height, maxPixels);
  const PixelRows out = sink.Allocate(static_cast<int>(width), static_cast<int>(height));
  for (std::uint64_t y = 0; y < height; ++y) {
    std::uint8_t* dst = out.Row(y);
    for (std::uint64_t x = 0; x < width; ++x, dst += 3) {
      dst[0] = background.b;
      dst[1] = background.g;
      dst[2] = background.r;
    }
  }

  // Interlaced rows come in four passes: every 8th row from 0, every 8th
  // from 4, every 4th from 2, every 2nd from 1.
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(frame.Height));
  if (frame.Interlace) {
    static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = kStart[pass]; y < frame.Height; y += kStep[pass]) rows.push_back(y);
  } else {
    for (int y = 0; y < frame.Height; ++y) rows.push_back(y);
  }
  std::vector<GifPixelType> line(static_cast<size_t>(frame.Width));
  for (int y : rows) {
    if (sink.Cancelled()) throw Cancelled();
    d.Check(DGifGetLine(gif, line.data(), frame.Width));
    std::uint8_t* dst = out.Row(static_cast<std::uint64_t>(frame.Top + y)) + static_cast<size_t>(frame.Left) * 3;
    for (int x = 0; x < frame.Width; ++x, dst += 3) {
      const int index = line[static_cast<size_t>(x)];
      if (index == transparent) continue;
      if (index >= map->ColorCount) {
        dst[0] = dst[1] = dst[2] = 0;
        continue;
      }
      const GifColorType& c = map->Colors[index];
      dst[0] = c.Blue;
      dst[1] = c.Green;
      dst[2] = c.Red;
    }
  }
}

Pixels DecodeGif(const std::uint8_t* data, std::size_t size, Rgb background, std::uint64_t maxPixels) {
  Pixels out;
  PixelsSink sink(out);
  DecodeGif(data, size, sink, background, maxPixels);
  return out;
}

}  // namespace viewer
