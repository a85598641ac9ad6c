// The PNG writer, and the PNG and GIF decoders over pictures that other
// programs wrote, whose pixels the tests know.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

#include "test_pictures.h"
#include "viewer/gif.h"
#include "viewer/png.h"

#if defined(__GLIBC__)
// The largest block asked of malloc (which libpng uses) while counting.
static std::atomic<bool> countMallocs{false};
static std::atomic<std::size_t> largestMalloc{0};
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* malloc(std::size_t n) {
  if (countMallocs.load(std::memory_order_relaxed) && n > largestMalloc.load(std::memory_order_relaxed))
    largestMalloc.store(n, std::memory_order_relaxed);
  return __libc_malloc(n);
}
#endif

namespace {

// ---------------------------------------------------------------- pictures
// The pixels of tests/pictures/make_pictures.sh's sources, 8 bits a channel
// (16-bit values scaled with rounding).
struct Rgba {
  double r, g, b, a;
};

Rgba Source(const std::string& kind, int x, int y) {
  static const int kTable[16][3] = {{0, 0, 0},     {255, 255, 255}, {255, 0, 0},   {0, 255, 0},
                                    {0, 0, 255},   {255, 255, 0},   {0, 255, 255}, {255, 0, 255},
                                    {128, 0, 0},   {0, 128, 0},     {0, 0, 128},   {128, 128, 0},
                                    {0, 128, 128}, {128, 0, 128},   {192, 192, 192}, {128, 128, 128}};
  auto deep = [](int v) { return v * 255.0 / 65535.0; };
  Rgba p{double((x * 23 + y * 5) % 256), double((y * 29 + x * 3) % 256), double((x * y * 7 + 40) % 256), 255};
  if (kind == "alpha") p.a = (x * 24 + y * 31) % 256;
  if (kind == "binary" && (x + y) % 4 == 0) p.a = 0;
  if (kind.rfind("gray", 0) == 0 && kind != "grayalpha") {
    const int bits = std::stoi(kind.substr(4)), levels = 1 << bits;
    const int v = (x + y * 11) % levels;
    p.r = p.g = p.b = bits == 16 ? deep(v) : v * 255.0 / (levels - 1);
  }
  if (kind.rfind("palette", 0) == 0) {
    const int* c = kTable[(x * 3 + y) % std::stoi(kind.substr(7))];
    p = {double(c[0]), double(c[1]), double(c[2]), 255};
  }
  if (kind == "deep" || kind == "deepgray") {
    p = {deep((x * 4099 + y * 733) % 65536), deep((y * 5003 + x * 17) % 65536),
         deep((x * y * 1234 + 77) % 65536), deep((x * 6007 + y * 2999) % 65536)};
    if (kind == "deepgray") p.g = p.b = p.r;
  }
  if (kind == "grayalpha") {
    p.r = p.g = p.b = (x * 23 + y * 5) % 256;
    p.a = (x * 24 + y * 31) % 256;
  }
  return p;
}

constexpr viewer::Rgb kBack{10, 200, 90};  // a background no source has

// Compares a decoded picture with a source composited on kBack, within
// `tolerance` a channel; the picture's pixel x, y shows the source's pixel
// x - left, y - top, and kBack outside it.
void ExpectPixels(const viewer::Pixels& p, const std::string& kind, double tolerance, int w = 11,
                  int h = 9, int left = 0, int top = 0) {
  ASSERT_EQ(p.width, w);
  ASSERT_EQ(p.height, h);
  ASSERT_EQ(p.bgr.size(), size_t(w) * h * 3);
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int sx = x - left, sy = y - top;
      double want[3] = {double(kBack.b), double(kBack.g), double(kBack.r)};
      if (sx >= 0 && sy >= 0 && sx < 11 && sy < 9) {
        const Rgba s = Source(kind, sx, sy);
        const double a = std::round(s.a) / 255.0;
        want[0] = std::round(s.b) * a + kBack.b * (1 - a);
        want[1] = std::round(s.g) * a + kBack.g * (1 - a);
        want[2] = std::round(s.r) * a + kBack.r * (1 - a);
      }
      const std::uint8_t* got = &p.bgr[(size_t(y) * w + x) * 3];
      for (int c = 0; c < 3; ++c)
        if (std::fabs(got[c] - want[c]) > tolerance + 0.5 && ++wrong <= 5)
          ADD_FAILURE() << "pixel " << x << "," << y << " channel " << "BGR"[c] << ": " << int(got[c])
                        << " instead of " << want[c];
    }
}

// A PNG chunk with its checksum.
std::string Chunk(const std::string& type, const std::string& data) {
  std::string c;
  for (int shift = 24; shift >= 0; shift -= 8) c += char((data.size() >> shift) & 0xFF);
  c += type + data;
  const std::string body = type + data;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
  for (int shift = 24; shift >= 0; shift -= 8) c += char((crc >> shift) & 0xFF);
  return c;
}

// The file with a chunk right after its header chunk (IHDR).
std::string WithChunk(const std::string& png, const std::string& chunk) {
  return png.substr(0, 33) + chunk + png.substr(33);
}

// Whether the first picture of a GIF says it is interlaced: past the
// screen's colour table and the extensions, the picture's flags.
bool GifInterlaced(const std::string& gif) {
  size_t at = 13;
  if (std::uint8_t(gif.at(10)) & 0x80) at += size_t(3) << ((gif[10] & 7) + 1);
  while (gif.at(at) == 0x21) {
    at += 2;
    while (std::uint8_t n = std::uint8_t(gif.at(at))) at += n + 1;
    ++at;
  }
  EXPECT_EQ(gif.at(at), 0x2C);
  return (gif.at(at + 9) & 0x40) != 0;
}

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const viewer::PictureError& e) {
    return e.what();
  }
  return "(no error)";
}

// Pixels that change from each pixel to the next in every channel.
viewer::Pixels Pattern(int w, int h) {
  viewer::Pixels p{w, h, {}};
  p.bgr.resize(static_cast<size_t>(w) * h * 3);
  std::uint32_t noise = 12345;
  for (size_t i = 0; i < p.bgr.size(); ++i) {
    noise = noise * 1103515245u + 12345u;
    p.bgr[i] = static_cast<std::uint8_t>((i % 3 == 0 ? i / 3 : noise >> 16) & 0xFF);
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

// ---------------------------------------------------------------- decoding
TEST(PngCodecTest, EveryColourTypeAndDepthDecodesToTheSourcePixels) {
  struct Case {
    const char* file;
    const char* kind;
    int depth, colourType, interlace;
    double tolerance;  // 16-bit channels and their alpha round once more
  } cases[] = {
      {"rgb8.png", "colour", 8, 2, 0, 0},
      {"rgb8-interlaced.png", "colour", 8, 2, 1, 0},
      {"rgba8.png", "alpha", 8, 6, 0, 0},
      {"rgba8-interlaced.png", "alpha", 8, 6, 1, 0},
      {"rgb16.png", "deep", 16, 2, 0, 0},
      {"rgba16.png", "deep", 16, 6, 0, 1},
      {"palette8.png", "colour", 8, 3, 0, 0},
      {"palette8-trns.png", "binary", 8, 3, 0, 0},
      {"palette1.png", "palette2", 1, 3, 0, 0},
      {"palette2.png", "palette4", 2, 3, 0, 0},
      {"palette4.png", "palette16", 4, 3, 0, 0},
      {"gray1.png", "gray1", 1, 0, 0, 0},
      {"gray2.png", "gray2", 2, 0, 0, 0},
      {"gray4.png", "gray4", 4, 0, 0, 0},
      {"gray8.png", "gray8", 8, 0, 0, 0},
      {"gray16.png", "gray16", 16, 0, 0, 0},
      {"graya8.png", "grayalpha", 8, 4, 0, 0},
      {"graya16.png", "deepgray", 16, 4, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string file = TestPicture(c.file);
    ASSERT_GT(file.size(), 33u);
    // The picture is of the kind the case is about (ImageMagick chose it).
    EXPECT_EQ(file[24], c.depth);
    EXPECT_EQ(file[25], c.colourType);
    EXPECT_EQ(file[28], c.interlace);
    if (std::string(c.kind) == "binary") {
      EXPECT_NE(file.find("tRNS"), std::string::npos);
    }
    // "deep" without alpha: rgb16.png was written without its alpha.
    const std::string kind = std::string(c.file) == "rgb16.png" ? "deep-opaque" : c.kind;
    if (kind == "deep-opaque") {
      const viewer::Pixels p = viewer::DecodePng(file, kBack);
      ASSERT_EQ(p.bgr.size(), 11u * 9 * 3);
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 11; ++x) {
          const Rgba s = Source("deep", x, y);
          const std::uint8_t* got = &p.bgr[(size_t(y) * 11 + x) * 3];
          ASSERT_NEAR(got[0], s.b, 0.5) << x << "," << y;
          ASSERT_NEAR(got[1], s.g, 0.5) << x << "," << y;
          ASSERT_NEAR(got[2], s.r, 0.5) << x << "," << y;
        }
      continue;
    }
    ExpectPixels(viewer::DecodePng(file, kBack), kind, c.tolerance);
  }
}

TEST(PngCodecTest, TransparentColoursOfGreyAndColourPicturesShowTheBackground) {
  // tRNS names one colour (or grey level) as transparent.
  struct Case {
    const char* file;
    std::string trns;
    int x, y;  // a pixel of that colour
  } cases[] = {
      {"rgb8.png", std::string("\0\x17\0\x03\0\x28", 6), 1, 0},  // 23, 3, 40
      {"gray8.png", std::string("\0\x05", 2), 5, 0},
      {"gray4.png", std::string("\0\x03", 2), 3, 0},  // level 3 of 15
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string plain = TestPicture(c.file);
    const viewer::Pixels before = viewer::DecodePng(plain, kBack);
    const viewer::Pixels after = viewer::DecodePng(WithChunk(plain, Chunk("tRNS", c.trns)), kBack);
    ASSERT_EQ(after.bgr.size(), before.bgr.size());
    int transparent = 0;
    for (size_t i = 0; i < after.bgr.size(); i += 3) {
      const bool same = before.bgr[i] == before.bgr[(size_t(c.y) * 11 + c.x) * 3] &&
                        before.bgr[i + 1] == before.bgr[(size_t(c.y) * 11 + c.x) * 3 + 1] &&
                        before.bgr[i + 2] == before.bgr[(size_t(c.y) * 11 + c.x) * 3 + 2];
      if (same) {
        ++transparent;
        EXPECT_EQ(after.bgr[i], kBack.b);
        EXPECT_EQ(after.bgr[i + 1], kBack.g);
        EXPECT_EQ(after.bgr[i + 2], kBack.r);
      } else {
        EXPECT_TRUE(std::equal(after.bgr.begin() + i, after.bgr.begin() + i + 3, before.bgr.begin() + i));
      }
    }
    EXPECT_GE(transparent, 1);
  }
}

TEST(GifCodecTest, FirstFrameWithTransparencyInterlacingAndItsPlaceOnTheScreen) {
  ExpectPixels(viewer::DecodeGif(TestPicture("colour.gif"), kBack), "colour", 0);
  ExpectPixels(viewer::DecodeGif(TestPicture("colour-interlaced.gif"), kBack), "colour", 0);
  EXPECT_TRUE(GifInterlaced(TestPicture("colour-interlaced.gif")));
  EXPECT_FALSE(GifInterlaced(TestPicture("colour.gif")));
  ExpectPixels(viewer::DecodeGif(TestPicture("binary.gif"), kBack), "binary", 0);
  ExpectPixels(viewer::DecodeGif(TestPicture("animated.gif"), kBack), "colour", 0);
  ExpectPixels(viewer::DecodeGif(TestPicture("offset.gif"), kBack), "colour", 0, 20, 15, 4, 3);
}

TEST(PngGifCodecTest, DamagedFilesAndPicturesPastTheLimitsRaiseTheReason) {
  const std::string png = TestPicture("rgb8.png"), gif = TestPicture("colour.gif");
  const std::string pngError = "PNGファイルを読み込めません: ", gifError = "GIFファイルを読み込めません: ";
  std::string badCrc = png;
  badCrc[png.find("IDAT") + 6] ^= 0x55;
  std::string badData = png;  // the checksum fits, the compressed data does not
  {
    const size_t at = png.find("IDAT") - 4;
    const size_t n = (std::uint8_t(png[at]) << 24) | (std::uint8_t(png[at + 1]) << 16) |
                     (std::uint8_t(png[at + 2]) << 8) | std::uint8_t(png[at + 3]);
    std::string data = png.substr(at + 8, n);
    for (size_t i = 2; i < data.size(); i += 3) data[i] = char(data[i] ^ 0xA5);
    badData = png.substr(0, at) + Chunk("IDAT", data) + png.substr(at + 12 + n);
  }
  std::string gifNoTable = gif;
  gifNoTable[10] = char(gifNoTable[10] & 0x7F);  // no screen colour table: its bytes become records
  const std::pair<std::string, std::string> damaged[] = {
      {"", pngError},
      {png.substr(0, png.size() / 2), pngError},
      {png.substr(0, 40), pngError},
      {badCrc, pngError},
      {badData, pngError},
      {std::string(300, '\x5A'), pngError},
  };
  for (const auto& [data, prefix] : damaged) {
    const std::string m = MessageOf([&] { viewer::DecodePng(data, kBack); });
    EXPECT_EQ(m.rfind(prefix, 0), 0u) << m;
    EXPECT_GT(m.size(), prefix.size()) << "no reason given";
  }
  for (const std::string& data : {std::string(), gif.substr(0, gif.size() / 2), gif.substr(0, 12),
                                  std::string(300, '\x5A'), gifNoTable}) {
    const std::string m = MessageOf([&] { viewer::DecodeGif(data, kBack); });
    EXPECT_EQ(m.rfind(gifError, 0), 0u) << m;
    EXPECT_GT(m.size(), gifError.size()) << "no reason given";
  }

  // Sizes past the limits are refused before the pixels are decoded.
  EXPECT_NE(MessageOf([&] {
              viewer::DecodePng(reinterpret_cast<const std::uint8_t*>(png.data()), png.size(), kBack, 98);
            }).find("画像が大きすぎます"),
            std::string::npos);
  EXPECT_NE(MessageOf([&] {
              viewer::DecodeGif(reinterpret_cast<const std::uint8_t*>(gif.data()), gif.size(), kBack, 98);
            }).find("画像が大きすぎます"),
            std::string::npos);
  std::string wideGif = gif;
  wideGif[6] = char(0x31), wideGif[7] = char(0x75);  // a 30001-pixel-wide screen
  EXPECT_NE(MessageOf([&] { viewer::DecodeGif(wideGif, kBack); }).find("画像が大きすぎます"), std::string::npos);
#if defined(__GLIBC__)
  // A chunk that claims almost 1 GB in a file of 80 bytes: libpng would
  // only warn and allocate it.
  const std::string lying = WithChunk(png, std::string("\x3b\x00\x00\x02sCAL", 8) + std::string(12, 'x'));
  largestMalloc = 0;
  countMallocs = true;
  const std::string lyingMessage = MessageOf([&] { viewer::DecodePng(lying, kBack); });
  countMallocs = false;
  EXPECT_EQ(lyingMessage.rfind(pngError, 0), 0u) << lyingMessage;
  EXPECT_LT(largestMalloc.load(), std::size_t{16} << 20) << "a block of the chunk's claimed size was asked for";
#endif
  std::string header = png.substr(16, 13);  // 40000 pixels wide
  header[0] = 0, header[1] = 0, header[2] = char(0x9C), header[3] = char(0x40);
  const std::string widePng = png.substr(0, 8) + Chunk("IHDR", header) + png.substr(33);
  const std::string m = MessageOf([&] { viewer::DecodePng(widePng, kBack); });
  EXPECT_EQ(m.rfind(pngError, 0), 0u) << m;
  EXPECT_EQ(m.find("CRC"), std::string::npos) << m;
}

}  // namespace
