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

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

struct Extension {
  const char* name;  // with its dot
  PictureKind kind;
};
// Every extension the viewer opens, in the order the open dialog names them.
constexpr Extension kExtensions[] = {
    {".bmp", PictureKind::Bitmap}, {".dib", PictureKind::Bitmap}, {".jpg", PictureKind::Jpeg},
    {".jpeg", PictureKind::Jpeg},  {".jpe", PictureKind::Jpeg},   {".jfif", PictureKind::Jpeg},
    {".png", PictureKind::Png},    {".gif", PictureKind::Gif},
};

}  // namespace

PictureKind KindOf(const std::string& path) {
  std::string p = Lower(path);
  for (const Extension& e : kExtensions) {
    size_t n = std::strlen(e.name);
    if (p.size() >= n && p.compare(p.size() - n, n, e.name) == 0) return e.kind;
  }
  return PictureKind::Unknown;
}

std::string OpenFilter() {
  std::string shown, patterns;
  for (const Extension& e : kExtensions) {
    shown += (shown.empty() ? "*" : " *") + Upper(e.name);
    patterns += (patterns.empty() ? "*" : ";*") + Upper(e.name);
  }
  return "画像ファイル(" + shown + ")|" + patterns +
         "|JPEGファイル(*.JPG *.JPEG)|*.JPG;*.JPEG|ビットマップ(*.BMP)|*.BMP|"
         "PNGファイル(*.PNG)|*.PNG|GIFファイル(*.GIF)|*.GIF";
}

void LoadPicture(const std::string& path, PixelSink& sink, Rgb background) {
  auto& p = platform::Get();
  const PictureKind kind = KindOf(path);
  if (kind == PictureKind::Unknown) throw PictureError("この形式の画像は開けません: " + path);
  std::string data;
  if (!p.ReadFile(path, data, kMaxFileBytes))
    throw PictureError("ファイルを開けません: " + path + " (" + p.ErrorText(p.GetLastError()) + ")");
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
  switch (kind) {
    case PictureKind::Jpeg: return DecodeJpeg(bytes, data.size(), sink);
    case PictureKind::Png: return DecodePng(bytes, data.size(), sink, background);
    case PictureKind::Gif: return DecodeGif(bytes, data.size(), sink, background);
    default: return DecodeBmp(bytes, data.size(), sink);
  }
}

Pixels LoadPicture(const std::string& path, Rgb background) {
  Pixels out;
  PixelsSink sink(out);
  LoadPicture(path, sink, background);
  return out;
}

void ClipboardPicture(PixelSink& sink) {
  std::string dib;
  if (!platform::Get().GetClipboardDib(dib)) throw PictureError("クリップボードに画像がありません");
  DecodeDib(reinterpret_cast<const std::uint8_t*>(dib.data()), dib.size(), sink);
}

Pixels ClipboardPicture() {
  Pixels out;
  PixelsSink sink(out);
  ClipboardPicture(sink);
  return out;
}

PixelRows DisplaySink::Allocate(int width, int height) {
  picture = tk::Picture::Create(width, height);
  if (made_) made_();
  return {width, height, picture->Row(0), picture->stride};
}

void SavePicture(const std::string& path, const PixelView& pixels) {
  const PictureKind kind = KindOf(path);
  std::string data;
  if (kind == PictureKind::Png) {
    // The PNG writer takes packed rows: a copy for the time of the saving.
    Pixels packed;
    PixelsSink sink(packed);
    const PixelRows rows = sink.Allocate(pixels.width, pixels.height);
    for (int y = 0; y < pixels.height; ++y)
      std::memcpy(rows.Row(static_cast<std::uint64_t>(y)), pixels.Row(static_cast<std::uint64_t>(y)),
                  static_cast<size_t>(pixels.width) * 3);
    data = EncodePng(packed);
  } else {
    data = kind == PictureKind::Jpeg ? EncodeJpeg(pixels) : EncodeBmp(pixels);
  }
  auto& p = platform::Get();
  // Written beside the old file and then put in its place: a save that fails
  // (a full disk, a network drive gone) keeps the picture that was there.
  std::string kept;
  if (platform::SaveFile(p, path, data, &kept)) return;
  const std::string reason = p.ErrorText(p.GetLastError());
  // 95/98/Me: the old file was deleted before the rename that failed.
  if (!kept.empty())
    throw PictureError("元のファイルは削除されましたが、新しい画像を " + path + " に保存できませんでした (" +
                       reason + ")。\r\n新しい画像は " + kept + " にあります。");
  throw PictureError("ファイルを保存できません: " + path + " (" + reason + ")");
}

}  // namespace viewer
