// The program's own bitmap decoder and the JPEG codec, over bytes made here
// field by field as the formats lay them out; decoded pixels are compared
// with what the format says they are.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "test_pictures.h"
#include "viewer/bmp.h"
#include "viewer/gif.h"
#include "viewer/jpeg.h"
#include "viewer/png.h"

// Allocations through operator new larger than this fail while it is not 0
// (a machine that runs out of memory in the middle of a decoding).
static std::atomic<std::size_t> refuseAbove{0};

void* operator new(std::size_t n) {
  const std::size_t limit = refuseAbove.load();
  if (limit && n > limit) throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Bgr = std::array<std::uint8_t, 3>;
constexpr Bgr kBlack{0, 0, 0};

void Put16(std::string& s, size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, size_t at, std::uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}

// A bitmap as a writer lays it out: info header (of any kind), masks after
// a 40-byte header, colour table, a gap, the pixels as stored.
struct Dib {
  std::uint32_t headerSize = 40;
  std::int32_t width = 5, height = 3;
  std::uint32_t bits = 24, compression = 0, colorsUsed = 0;
  std::vector<std::uint32_t> masks;  // in the header from 52 bytes on, else after it
  std::vector<Bgr> palette;
  std::string gap;
  std::string pixels;

  bool os2() const { return headerSize > 12 && headerSize <= 64 && headerSize != 40 && headerSize != 52 && headerSize != 56; }
  std::string Head() const {
    std::string h(std::max<std::uint32_t>(headerSize, 124), '\0');
    Put32(h, 0, headerSize);
    if (headerSize == 12) {
      Put16(h, 4, static_cast<std::uint32_t>(width));
      Put16(h, 6, static_cast<std::uint32_t>(height));
      Put16(h, 8, 1);
      Put16(h, 10, bits);
    } else {
      Put32(h, 4, static_cast<std::uint32_t>(width));
      Put32(h, 8, static_cast<std::uint32_t>(height));
      Put16(h, 12, 1);
      Put16(h, 14, bits);
      Put32(h, 16, compression);
      Put32(h, 20, static_cast<std::uint32_t>(pixels.size()));
      Put32(h, 32, colorsUsed);
      if (!os2() && headerSize >= 52)
        for (size_t i = 0; i < masks.size() && i < 4; ++i) Put32(h, 40 + 4 * i, masks[i]);
    }
    h.resize(headerSize);
    if (headerSize < 52 && !masks.empty()) {
      std::string m(4 * masks.size(), '\0');
      for (size_t i = 0; i < masks.size(); ++i) Put32(m, 4 * i, masks[i]);
      h += m;
    }
    for (const Bgr& c : palette) {
      h.append(reinterpret_cast<const char*>(c.data()), 3);
      if (headerSize != 12) h += '\0';
    }
    return h + gap;
  }
  std::string Packed() const { return Head() + pixels; }
  std::string File(std::optional<std::uint32_t> offBits = std::nullopt) const {
    std::string f(14, '\0');
    f[0] = 'B';
    f[1] = 'M';
    const std::string head = Head();
    Put32(f, 2, static_cast<std::uint32_t>(14 + head.size() + pixels.size()));
    Put32(f, 10, offBits ? *offBits : static_cast<std::uint32_t>(14 + head.size()));
    return f + head + pixels;
  }
};

// Rows of values packed at `bits` each, every row padded to 4 bytes.
std::string Pack(const std::vector<std::vector<std::uint32_t>>& rows, unsigned bits) {
  std::string out;
  for (const auto& row : rows) {
    std::string r;
    if (bits < 8) {
      r.assign((row.size() * bits + 7) / 8, '\0');
      for (size_t x = 0; x < row.size(); ++x)
        r[x * bits / 8] = static_cast<char>(r[x * bits / 8] | row[x] << (8 - bits - x * bits % 8));
    } else {
      for (std::uint32_t v : row)
        for (unsigned b = 0; b < bits; b += 8) r += static_cast<char>((v >> b) & 0xFF);
    }
    r.resize((r.size() + 3) & ~size_t{3}, '\0');
    out += r;
  }
  return out;
}

// The expected picture, pixel by pixel from the top.
viewer::Pixels Expected(int w, int h, const std::function<Bgr(int, int)>& at) {
  viewer::Pixels p;
  p.width = w;
  p.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Bgr c = at(x, y);
      p.bgr.insert(p.bgr.end(), c.begin(), c.end());
    }
  return p;
}

void ExpectPixels(const viewer::Pixels& got, const viewer::Pixels& want) {
  ASSERT_EQ(got.width, want.width);
  ASSERT_EQ(got.height, want.height);
  for (int y = 0; y < want.height; ++y)
    for (int x = 0; x < want.width; ++x) {
      const size_t i = (static_cast<size_t>(y) * want.width + x) * 3;
      ASSERT_TRUE(std::equal(&want.bgr[i], &want.bgr[i] + 3, &got.bgr[i]))
          << "pixel " << x << "," << y << ": got " << int(got.bgr[i]) << "," << int(got.bgr[i + 1])
          << "," << int(got.bgr[i + 2]) << " want " << int(want.bgr[i]) << "," << int(want.bgr[i + 1])
          << "," << int(want.bgr[i + 2]);
    }
}

// The same bitmap as a file and as a packed clipboard block.
void ExpectBoth(const Dib& d, const viewer::Pixels& want) {
  {
    SCOPED_TRACE("file");
    ExpectPixels(viewer::DecodeBmp(d.File()), want);
  }
  SCOPED_TRACE("packed");
  ExpectPixels(viewer::DecodeDib(d.Packed()), want);
}

Bgr Colour(unsigned i) {
  return {static_cast<std::uint8_t>(i * 7 + 1), static_cast<std::uint8_t>(255 - i),
          static_cast<std::uint8_t>(i ^ 0x5A)};
}

std::string Error(const std::function<void()>& decode) {
  try {
    decode();
  } catch (const viewer::PictureError& e) {
    return e.what();
  }
  return "(decoded)";
}

TEST(BmpDecoder, IndexedDepthsUnderEveryHeaderKind) {
  for (std::uint32_t header : {12u, 16u, 64u, 40u, 52u, 56u, 108u, 124u})
    for (unsigned bits : {1u, 2u, 4u, 8u})
      for (bool topDown : {false, true}) {
        if (header == 12 && topDown) continue;  // 16-bit unsigned sizes
        SCOPED_TRACE("header " + std::to_string(header) + ", " + std::to_string(bits) + " bits" +
                     (topDown ? ", top-down" : ""));
        const int w = 11, h = 3;
        const unsigned colours = 1u << bits;
        auto index = [&](int x, int y) { return static_cast<std::uint32_t>(x * 3 + y * 5) % colours; };
        Dib d;
        d.headerSize = header;
        d.width = w;
        d.height = topDown ? -h : h;
        d.bits = bits;
        for (unsigned i = 0; i < colours; ++i) d.palette.push_back(Colour(i));
        std::vector<std::vector<std::uint32_t>> rows;
        for (int s = 0; s < h; ++s) {
          const int y = topDown ? s : h - 1 - s;
          rows.emplace_back();
          for (int x = 0; x < w; ++x) rows.back().push_back(index(x, y));
        }
        d.pixels = Pack(rows, bits);
        ExpectBoth(d, Expected(w, h, [&](int x, int y) { return Colour(index(x, y)); }));
      }
}

TEST(BmpDecoder, DirectColourDepths) {
  const int w = 3, h = 2;
  auto five = [](int x, int y) { return std::array<std::uint32_t, 3>{std::uint32_t(x * 9 + 1), std::uint32_t(y * 31), std::uint32_t(x + y * 4)}; };
  auto scale = [](std::uint32_t v, std::uint32_t max) { return static_cast<std::uint8_t>((v * 255 + max / 2) / max); };
  for (bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    auto stored = [&](int s) { return topDown ? s : h - 1 - s; };
    // 16 bits without masks: 5-5-5, red highest.
    Dib d16;
    d16.width = w, d16.height = topDown ? -h : h, d16.bits = 16;
    std::vector<std::vector<std::uint32_t>> rows(h);
    for (int s = 0; s < h; ++s)
      for (int x = 0; x < w; ++x) {
        auto c = five(x, stored(s));
        rows[s].push_back(c[0] << 10 | c[1] << 5 | c[2] | 0x8000);  // the top bit is not used
      }
    d16.pixels = Pack(rows, 16);
    ExpectBoth(d16, Expected(w, h, [&](int x, int y) {
      auto c = five(x, y);
      return Bgr{scale(c[2], 31), scale(c[1], 31), scale(c[0], 31)};
    }));
    // 24 and 32 bits: B, G, R (and a fourth byte that is not shown).
    auto colour = [](int x, int y) { return Colour(static_cast<unsigned>(x * 40 + y * 90)); };
    for (unsigned bits : {24u, 32u}) {
      Dib d;
      d.width = w, d.height = topDown ? -h : h, d.bits = bits;
      std::vector<std::vector<std::uint32_t>> px(h);
      for (int s = 0; s < h; ++s)
        for (int x = 0; x < w; ++x) {
          Bgr c = colour(x, stored(s));
          px[s].push_back(c[0] | c[1] << 8 | c[2] << 16 | 0xAB000000u);
        }
      d.pixels = Pack(px, bits);
      ExpectBoth(d, Expected(w, h, colour));
    }
  }
}

TEST(BmpDecoder, MasksOfAnyWidthWhereverTheyAre) {
  struct Case {
    const char* name;
    std::uint32_t header, bits, compression;
    std::vector<std::uint32_t> masks;  // red, green, blue (, alpha)
  } cases[] = {
      {"5-6-5 after the header", 40, 16, 3, {0xF800, 0x07E0, 0x001F}},
      {"4-4-4, fewer than 8 bits", 40, 16, 3, {0x0F00, 0x00F0, 0x000F}},
      {"1-1-1", 40, 16, 3, {0x4, 0x2, 0x1}},
      {"with alpha after the header", 40, 32, 6, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
      {"10-10-10 in a V4 header", 108, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}},
      {"red lowest in a V5 header", 124, 32, 3, {0x000000FF, 0x0000FF00, 0x00FF0000}},
      {"12 bits of green in a V3 header", 56, 32, 3, {0xFF000000, 0x00FFF000, 0x00000FFF}},
      {"V2 header", 52, 16, 3, {0x7C00, 0x03E0, 0x001F}},
      {"no blue", 40, 32, 3, {0xFF0000, 0xFF00, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int w = 4, h = 3;
    // Each channel's value at a pixel, from 0 to the mask's own maximum.
    auto span = [](std::uint32_t mask) -> std::uint64_t {
      if (!mask) return 0;
      while (!(mask & 1)) mask >>= 1;
      return mask;
    };
    auto value = [&](int ch, int x, int y) -> std::uint64_t {
      const std::uint64_t max = span(c.masks[ch]);
      return max ? (static_cast<std::uint64_t>(x * 5 + y * 3 + ch) * 977) % (max + 1) : 0;
    };
    auto shift = [](std::uint32_t mask) {
      unsigned s = 0;
      while (mask && !((mask >> s) & 1)) ++s;
      return s;
    };
    Dib d;
    d.headerSize = c.header, d.width = w, d.height = h, d.bits = c.bits, d.compression = c.compression;
    d.masks = c.masks;
    std::vector<std::vector<std::uint32_t>> rows(h);
    for (int s = 0; s < h; ++s)
      for (int x = 0; x < w; ++x) {
        std::uint32_t v = 0;
        for (int ch = 0; ch < 3; ++ch) v |= static_cast<std::uint32_t>(value(ch, x, h - 1 - s) << shift(c.masks[ch]));
        if (c.masks.size() > 3) v |= 0x5A000000 & c.masks[3];
        rows[s].push_back(v);
      }
    d.pixels = Pack(rows, c.bits);
    ExpectBoth(d, Expected(w, h, [&](int x, int y) {
      Bgr out{};
      for (int ch = 0; ch < 3; ++ch) {
        const std::uint64_t max = span(c.masks[ch]);
        out[2 - ch] = max ? static_cast<std::uint8_t>((value(ch, x, y) * 255 + max / 2) / max) : 0;
      }
      return out;
    }));
  }
}

TEST(BmpDecoder, RunLengthEncodedWithDeltasEndsOfLineAndAnEarlyEnd) {
  // RLE8, 8 × 4. Stored rows from the bottom:
  //  0: a run of three 1s, a literal 2 3 4 (padded), end of line: 6 and 7 not reached;
  //  1: delta (2, 1) jumps over it to row 2 at x 2; a run of two 5s; end of line;
  //  3: a run of ten 6s cut at the width; end of picture.
  const std::string rle8 = std::string("\x03\x01" "\x00\x03\x02\x03\x04\x00" "\x00\x00"
                                       "\x00\x02\x02\x01" "\x02\x05" "\x00\x00"
                                       "\x0A\x06" "\x00\x01", 20);
  Dib d;
  d.width = 8, d.height = 4, d.bits = 8, d.compression = 1;
  for (unsigned i = 0; i < 256; ++i) d.palette.push_back(Colour(i));
  d.pixels = rle8;
  const int stored[4][8] = {{1, 1, 1, 2, 3, 4, -1, -1},
                            {-1, -1, -1, -1, -1, -1, -1, -1},
                            {-1, -1, 5, 5, -1, -1, -1, -1},
                            {6, 6, 6, 6, 6, 6, 6, 6}};
  auto at = [&](int x, int y) { return stored[3 - y][x] < 0 ? kBlack : Colour(stored[3 - y][x]); };
  ExpectBoth(d, Expected(8, 4, at));

  // The data ends after the first row's literal: the rest is background.
  d.pixels = rle8.substr(0, 8);
  ExpectBoth(d, Expected(8, 4, [&](int x, int y) { return y == 3 && x < 6 ? at(x, y) : kBlack; }));

  // RLE4, 6 × 2: a run alternating 1 and 2; a literal of three (3 4 5, cut
  // at the width); end of line; a literal of five (padded to 16 bits); end.
  Dib d4;
  d4.width = 6, d4.height = 2, d4.bits = 4, d4.compression = 2;
  for (unsigned i = 0; i < 16; ++i) d4.palette.push_back(Colour(i));
  d4.pixels = std::string("\x05\x12" "\x00\x03\x34\x50" "\x00\x00"
                          "\x00\x05\x67\x89\xA0\x00" "\x00\x01", 16);
  const int rows4[2][6] = {{1, 2, 1, 2, 1, 3}, {6, 7, 8, 9, 10, -1}};
  ExpectBoth(d4, Expected(6, 2, [&](int x, int y) {
    return rows4[1 - y][x] < 0 ? kBlack : Colour(rows4[1 - y][x]);
  }));
}

TEST(BmpDecoder, JpegInsideABitmap) {
  viewer::Pixels picture = Expected(16, 8, [](int x, int y) { return Colour(static_cast<unsigned>(x * 16 + y)); });
  Dib d;
  d.width = 16, d.height = 8, d.bits = 0, d.compression = 4;
  d.pixels = viewer::EncodeJpeg(picture, 100);
  ExpectBoth(d, viewer::DecodeJpeg(d.pixels));
}

TEST(BmpDecoder, ShortPalettesAndPixelOffsetsThatDoNotFollowThePalette) {
  const int w = 8, h = 2;
  std::vector<std::vector<std::uint32_t>> rows{{0, 1, 2, 3, 4, 5, 6, 7}, {7, 6, 5, 4, 3, 2, 1, 0}};
  auto index = [&](int x, int y) { return rows[1 - y][x]; };
  Dib d;
  d.width = w, d.height = h, d.bits = 8;
  d.pixels = Pack(rows, 8);
  for (unsigned i = 0; i < 4; ++i) d.palette.push_back(Colour(i));
  const viewer::Pixels four = Expected(w, h, [&](int x, int y) { return index(x, y) < 4 ? Colour(index(x, y)) : kBlack; });
  {
    SCOPED_TRACE("the header says 4 colours");
    d.colorsUsed = 4;
    ExpectBoth(d, four);
  }
  {
    SCOPED_TRACE("the header says all 256, the pixels start after 4");
    d.colorsUsed = 0;
    ExpectPixels(viewer::DecodeBmp(d.File()), four);
  }
  {
    SCOPED_TRACE("a gap between the palette and the pixels");
    d.colorsUsed = 4;
    d.gap = std::string(10, '\x33');
    ExpectPixels(viewer::DecodeBmp(d.File()), four);
  }
  {
    SCOPED_TRACE("no usable offset: the pixels follow the palette");
    d.gap.clear();
    ExpectPixels(viewer::DecodeBmp(d.File(0)), four);
  }
  {
    SCOPED_TRACE("a 16-bit bitmap with a colour table of its own");
    Dib c;
    c.width = 2, c.height = 1, c.bits = 16, c.colorsUsed = 3;
    c.palette = {Colour(1), Colour(2), Colour(3)};
    c.pixels = Pack({{0x7C00, 0x001F}}, 16);
    ExpectBoth(c, Expected(2, 1, [](int x, int) { return x ? Bgr{255, 0, 0} : Bgr{0, 0, 255}; }));
  }
}

TEST(BmpDecoder, ShortFilesShowTheRowsThatAreThere) {
  const int w = 4, h = 4;
  auto colour = [](int x, int y) { return Colour(static_cast<unsigned>(x * 4 + y * 50)); };
  for (bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    Dib d;
    d.width = w, d.height = topDown ? -h : h;
    std::vector<std::vector<std::uint32_t>> rows(h);
    for (int s = 0; s < h; ++s)
      for (int x = 0; x < w; ++x) {
        Bgr c = colour(x, topDown ? s : h - 1 - s);
        rows[s].push_back(c[0] | c[1] << 8 | c[2] << 16);
      }
    d.pixels = Pack(rows, 24);
    std::string file = d.File();
    file.resize(file.size() - 12 - 6);  // two and a half rows are there
    ExpectPixels(viewer::DecodeBmp(file), Expected(w, h, [&](int x, int y) {
      const int s = topDown ? y : h - 1 - y;
      return s < 2 ? colour(x, y) : kBlack;
    }));
  }

  // Whatever its length, a file decodes to its full size or is refused with
  // a reason, never read past its end.
  Dib d8;
  d8.width = 7, d8.height = 5, d8.bits = 8;
  for (unsigned i = 0; i < 256; ++i) d8.palette.push_back(Colour(i));
  d8.pixels = std::string(8 * 5, '\x07');
  Dib rle = d8;
  rle.compression = 1;
  rle.pixels = std::string("\x07\x09\x00\x00\x00\x04\x01\x02\x03\x04\x00\x02\x01\x01\x03\x05\x00\x01", 18);
  for (const Dib* d : {&d8, &rle})
    for (const std::string& whole : {d->File(), d->Packed()})
      for (size_t n = 0; n <= whole.size(); ++n) {
        const std::string part = whole.substr(0, n);
        try {
          viewer::Pixels p = whole[0] == 'B' ? viewer::DecodeBmp(part) : viewer::DecodeDib(part);
          EXPECT_EQ(p.bgr.size(), 7u * 5 * 3) << n << " bytes";
        } catch (const viewer::PictureError&) {
        }
      }
}

TEST(BmpDecoder, RefusedWithAReason) {
  auto dib = [](std::function<void(Dib&)> change) {
    Dib d;
    d.pixels = std::string(16 * 3, '\0');
    change(d);
    return d;
  };
  auto packed = [&](std::function<void(Dib&)> change) {
    return Error([=] { viewer::DecodeDib(dib(change).Packed()); });
  };
  auto file = [&](std::function<void(Dib&)> change, std::optional<std::uint32_t> offBits = std::nullopt) {
    return Error([=] { viewer::DecodeBmp(dib(change).File(offBits)); });
  };
  auto has = [](const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  };
  EXPECT_PRED2(has, packed([](Dib& d) { d.compression = 5; }), "PNG 圧縮のビットマップには対応していません");
  EXPECT_PRED2(has, packed([](Dib& d) { d.compression = 7; }), "対応していない圧縮形式です (7)");
  EXPECT_PRED2(has, packed([](Dib& d) { d.headerSize = 64, d.compression = 3; }), "ハフマン");
  EXPECT_PRED2(has, packed([](Dib& d) { d.headerSize = 64, d.compression = 4; }), "RLE");
  EXPECT_PRED2(has, packed([](Dib& d) { d.bits = 64; }), "対応していない色数です (64 ビット)");
  EXPECT_PRED2(has, packed([](Dib& d) { d.compression = 1, d.bits = 4; }), "RLE 圧縮の色数が不正です");
  EXPECT_PRED2(has, packed([](Dib& d) { d.compression = 3, d.masks = {1, 2, 4}; }), "色マスクの色数が不正です");
  EXPECT_PRED2(has, packed([](Dib& d) { d.width = -5; }), "画像の大きさが不正です");
  EXPECT_PRED2(has, packed([](Dib& d) { d.height = 0; }), "画像の大きさが不正です");
  EXPECT_PRED2(has, packed([](Dib& d) { d.height = INT32_MIN; }), "画像が大きすぎます");
  EXPECT_PRED2(has, packed([](Dib& d) { d.width = 0x40000001; }), "画像が大きすぎます");
  EXPECT_PRED2(has, packed([](Dib& d) { d.width = 20000, d.height = 20000; }), "画像が大きすぎます");
  EXPECT_PRED2(has, packed([](Dib& d) { d.colorsUsed = 0x40000000; }), "色テーブルが途中で切れています");
  EXPECT_PRED2(has, packed([](Dib& d) { d.width = 17; }), "画素データが途中で切れています");
  EXPECT_PRED2(has, packed([](Dib& d) { d.pixels.clear(); }), "画素データがありません");
  EXPECT_PRED2(has, file([](Dib&) {}, 100000), "画素データがありません");
  EXPECT_PRED2(has, packed([](Dib& d) { d.compression = 3; }), "色マスクの色数が不正です");
  EXPECT_PRED2(has, Error([] { viewer::DecodeDib(std::string("\x08\0\0\0\0\0\0\0", 8)); }), "ヘッダーの大きさが不正です (8)");
  EXPECT_PRED2(has, Error([] { viewer::DecodeDib(std::string("\xFF\xFF\xFF\xFF\0\0\0\0", 8)); }), "ヘッダーが途中で切れています");
  EXPECT_PRED2(has, Error([] { viewer::DecodeBmp(std::string("BA\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 18)); }), "OS/2");
  EXPECT_PRED2(has, Error([] { viewer::DecodeBmp(std::string("PK\3\4 not a bitmap")); }), "ビットマップファイルではありません");
  EXPECT_PRED2(has, Error([] { viewer::DecodeBmp(std::string("BM")); }), "ヘッダーが途中で切れています");
  EXPECT_PRED2(has, Error([] { viewer::DecodeDib(std::string()); }), "ヘッダーがありません");
  // Masks that a 40-byte header should be followed by, missing.
  std::string noMasks = dib([](Dib& d) { d.bits = 16, d.compression = 3; }).Head();
  EXPECT_PRED2(has, Error([&] { viewer::DecodeDib(noMasks.substr(0, 44)); }), "色マスクが途中で切れています");
  // The clipboard block that crashed the program: 104 bytes claiming a
  // width of 0x40000001 at 32 bits, 4 rows.
  std::string lying = dib([](Dib& d) { d.bits = 32, d.height = 4; }).Packed().substr(0, 104);
  Put32(lying, 4, 0x40000001);
  EXPECT_EQ(Error([&] { viewer::DecodeDib(lying); }), "画像が大きすぎます (1073741825 x 4)");
}

TEST(BmpEncoder, WritesABottomUpBitmapEveryReaderTakes) {
  const viewer::Pixels p = Expected(5, 3, [](int x, int y) { return Colour(static_cast<unsigned>(x + 10 * y)); });
  const std::string file = viewer::EncodeBmp(p);
  const std::size_t stride = 16;  // 15 bytes of pixels, padded
  ASSERT_EQ(file.size(), 54 + 3 * stride);
  auto u32 = [&](size_t at) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(file[at]) | static_cast<std::uint8_t>(file[at + 1]) << 8 |
                                      static_cast<std::uint8_t>(file[at + 2]) << 16 | static_cast<std::uint8_t>(file[at + 3]) << 24);
  };
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(u32(2), file.size());
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 5u);
  EXPECT_EQ(u32(22), 3u) << "positive: bottom-up";
  EXPECT_EQ(file[28], 24);
  for (int s = 0; s < 3; ++s)
    EXPECT_EQ(file.compare(54 + s * stride, 15, reinterpret_cast<const char*>(&p.bgr[(2 - s) * 15]), 15), 0)
        << "stored row " << s << " is not picture row " << 2 - s;
  EXPECT_EQ(viewer::EncodeDib(p), file.substr(14));
  ExpectPixels(viewer::DecodeBmp(file), p);
}

// Memory as a display bitmap has it: rows from the bottom, each padded to
// four bytes; the padding holds a mark that no decoder may overwrite.
class BottomUpSink : public viewer::PixelSink {
 public:
  viewer::PixelRows Allocate(int width, int height) override {
    ++asked;
    if (refuse) throw std::runtime_error("no display bitmap");
    stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    memory.assign(stride * height + 4, 0);
    for (int y = 0; y < height; ++y)
      std::fill(&memory[y * stride + width * 3], &memory[(y + 1) * stride], 0xEE);
    w = width, h = height;
    return {width, height, &memory[stride * (height - 1)], -static_cast<std::ptrdiff_t>(stride)};
  }
  // The picture back in rows from the top, the padding checked.
  viewer::Pixels Packed() const {
    viewer::Pixels p;
    p.width = w, p.height = h;
    for (int y = h - 1; y >= 0; --y) {
      const std::uint8_t* row = &memory[y * stride];
      p.bgr.insert(p.bgr.end(), row, row + w * 3);
      for (size_t i = w * 3; i < stride; ++i) EXPECT_EQ(row[i], 0xEE) << "padding of stored row " << y;
    }
    EXPECT_EQ(memory.size(), stride * h + 4);
    return p;
  }
  bool Cancelled() const override { return cancel; }
  std::vector<std::uint8_t> memory;
  size_t stride = 0;
  int w = 0, h = 0, asked = 0;
  bool refuse = false, cancel = false;
};

TEST(Decoders, WriteIntoTheCallersMemoryWhateverItsRowOrder) {
  const viewer::Pixels picture =
      Expected(13, 7, [](int x, int y) { return Colour(static_cast<unsigned>(x * 13 + y)); });
  const std::string jpeg = viewer::EncodeJpeg(picture, 95);
  const std::string bmp = viewer::EncodeBmp(picture);
  Dib rle;  // an RLE8 bitmap that reaches only part of its pixels: the rest is black
  rle.width = 8, rle.height = 4, rle.bits = 8, rle.compression = 1;
  for (unsigned i = 0; i < 256; ++i) rle.palette.push_back(Colour(i));
  rle.pixels = std::string("\x03\x01\x00\x01", 4);
  const std::string cmyk = ForeignJpeg(true, false, 13, 7);
  struct Case {
    const char* name;
    std::function<void(viewer::PixelSink&)> decode;
    viewer::Pixels want;
  } cases[] = {
      {"jpeg", [&](viewer::PixelSink& s) { viewer::DecodeJpeg(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), s); },
       viewer::DecodeJpeg(jpeg)},
      {"cmyk jpeg", [&](viewer::PixelSink& s) { viewer::DecodeJpeg(reinterpret_cast<const std::uint8_t*>(cmyk.data()), cmyk.size(), s); },
       viewer::DecodeJpeg(cmyk)},
      {"bitmap", [&](viewer::PixelSink& s) { viewer::DecodeBmp(reinterpret_cast<const std::uint8_t*>(bmp.data()), bmp.size(), s); },
       picture},
      {"rle", [&](viewer::PixelSink& s) {
         const std::string f = rle.File();
         viewer::DecodeBmp(reinterpret_cast<const std::uint8_t*>(f.data()), f.size(), s);
       }, viewer::DecodeBmp(rle.File())},
  };
  // PNG (straight rows, alpha composited row by row or after the passes of
  // an interlaced one) and GIF (a frame on a canvas) the same way.
  const viewer::Rgb back{10, 20, 30};
  std::vector<Case> more;
  for (const char* name : {"rgb8.png", "rgba8.png", "rgba8-interlaced.png", "palette8-trns.png", "offset.gif"}) {
    const std::string file = TestPicture(name);
    const bool png = std::string(name).find(".png") != std::string::npos;
    more.push_back({name, [file, png, back](viewer::PixelSink& s) {
                      const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
                      if (png) viewer::DecodePng(bytes, file.size(), s, back);
                      else viewer::DecodeGif(bytes, file.size(), s, back);
                    },
                    png ? viewer::DecodePng(file, back) : viewer::DecodeGif(file, back)});
  }
  std::vector<Case> all(std::begin(cases), std::end(cases));
  all.insert(all.end(), more.begin(), more.end());
  for (const Case& c : all) {
    SCOPED_TRACE(c.name);
    BottomUpSink sink;
    c.decode(sink);
    EXPECT_EQ(sink.asked, 1);
    ExpectPixels(sink.Packed(), c.want);
    // A sink that has no memory: its error comes through as it is.
    BottomUpSink none;
    none.refuse = true;
    try {
      c.decode(none);
      ADD_FAILURE() << "decoded without memory";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "no display bitmap");
    }
    // A decoding given up stops before its rows (RLE has no rows to stop at).
    if (std::string(c.name) == "rle") continue;
    BottomUpSink given;
    given.cancel = true;
    EXPECT_THROW(c.decode(given), viewer::Cancelled);
  }
  // Pictures refused by their headers never ask for memory.
  BottomUpSink sink;
  const std::string huge = Resized(jpeg, 20000, 20000);
  EXPECT_NE(Error([&] { viewer::DecodeJpeg(reinterpret_cast<const std::uint8_t*>(huge.data()), huge.size(), sink); }).find("大きすぎます"), std::string::npos);
  EXPECT_NE(Error([&] { viewer::DecodeBmp(reinterpret_cast<const std::uint8_t*>(bmp.data()), 60, sink); }), "(decoded)");
  EXPECT_EQ(sink.asked, 0);
}

TEST(Encoders, ReadRowsWhereverTheCallersMemoryHoldsThem) {
  // A display bitmap's memory: padded rows from the bottom up.
  const viewer::Pixels picture =
      Expected(5, 3, [](int x, int y) { return Colour(static_cast<unsigned>(x * 5 + y)); });
  const size_t stride = 16;
  std::vector<std::uint8_t> memory(stride * 3, 0xEE);
  for (int y = 0; y < 3; ++y)
    std::memcpy(&memory[(2 - y) * stride], &picture.bgr[y * 15], 15);
  const viewer::PixelView view(5, 3, &memory[2 * stride], -static_cast<std::ptrdiff_t>(stride));
  EXPECT_EQ(viewer::EncodeBmp(view), viewer::EncodeBmp(picture));
  EXPECT_EQ(viewer::EncodeDib(view), viewer::EncodeDib(picture));
  EXPECT_EQ(viewer::EncodeJpeg(view, 95), viewer::EncodeJpeg(picture, 95));
}

#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 33)
std::size_t HeapInUse() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

TEST(JpegDecoder, ReleasesTheLibrarysMemoryWhenThePicturesCannotBeAllocated) {
  // A progressive JPEG whose frame claims 8000 × 8000: libjpeg holds about
  // 180 MB of coefficients once the decompression has started.
  const std::string jpeg = Resized(ForeignJpeg(false, true), 8000, 8000);
  const std::size_t before = HeapInUse();
  for (int i = 0; i < 3; ++i) {
    refuseAbove = 50u << 20;
    bool refused = false;
    try {
      viewer::DecodeJpeg(jpeg);
    } catch (const std::bad_alloc&) {
      refused = true;
    }
    refuseAbove = 0;
    ASSERT_TRUE(refused) << "the 192 MB of pixels were allocated";
  }
  const std::size_t after = HeapInUse();
  EXPECT_LT(after, before + (16u << 20)) << (after - before) / (1 << 20) << " MB still held";
}
#endif

}  // namespace
