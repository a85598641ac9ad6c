#include "viewer/picture.h"

#include <cctype>
#include <cstring>

#include "platform/platform.h"

namespace viewer {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
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
  if (ends(".png")) return PictureKind::Png;
  if (ends(".gif")) return PictureKind::Gif;
  return PictureKind::Unknown;
}

Pixels LoadPicture(const std::string& path, Rgb background) {
  auto& p = platform::Get();
  const PictureKind kind = KindOf(path);
  if (kind == PictureKind::Unknown) throw PictureError("この形式の画像は開けません: " + path);
  std::string data;
  if (!p.ReadFile(path, data, kMaxFileBytes))
    throw PictureError("ファイルを開けません: " + path + " (" + p.ErrorText(p.GetLastError()) + ")");
  switch (kind) {
    case PictureKind::Jpeg: return DecodeJpeg(data);
    case PictureKind::Png: return DecodePng(data, background);
    case PictureKind::Gif: return DecodeGif(data, background);
    default: return DecodeBmp(data);
  }
}

Pixels ClipboardPicture() {
  std::string dib;
  if (!platform::Get().GetClipboardDib(dib)) throw PictureError("クリップボードに画像がありません");
  return DecodeDib(dib);
}

void SavePicture(const std::string& path, const Pixels& pixels) {
  const PictureKind kind = KindOf(path);
  std::string data = kind == PictureKind::Jpeg ? EncodeJpeg(pixels)
                     : kind == PictureKind::Png ? EncodePng(pixels)
                                                : EncodeBmp(pixels);
  auto& p = platform::Get();
  if (!p.WriteFile(path, data))
    throw PictureError("ファイルを保存できません: " + path + " (" + p.ErrorText(p.GetLastError()) + ")");
}

}  // namespace viewer
