#include "viewer/bmp.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "viewer/jpeg.h"

namespace viewer {

namespace {

// biCompression values.
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiJpeg = 4;
constexpr std::uint32_t kBiPng = 5;
constexpr std::uint32_t kBiAlphaBitfields = 6;
constexpr std::size_t kFileHeaderSize = 14;

[[noreturn]] void Fail(const std::string& why) {
  throw PictureError("ビットマップを読み込めません: " + why);
}

std::uint32_t U16(const std::uint8_t* p) { return p[0] | std::uint32_t{p[1]} << 8; }
std::uint32_t U32(const std::uint8_t* p) { return U16(p) | U16(p + 2) << 16; }
std::int32_t I32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

// What the info header says, whatever its kind.
struct Info {
  std::uint32_t headerSize = 0;
  bool core = false;  // OS/2 1.x: 16-bit sizes, 3-byte colour table entries
  bool os2 = false;   // OS/2 2.x: compressions 3 and 4 are its own
  std::int64_t width = 0, height = 0;  // height < 0: rows from the top
  std::uint32_t bits = 0, compression = kBiRgb, colorsUsed = 0;
  bool masksInHeader = false;  // V2 and later hold the colour masks
  std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue
};

bool IsWindowsHeaderSize(std::uint32_t n) {
  return n == 40 || n == 52 || n == 56 || n == 108 || n == 124;
}

Info ReadInfo(const std::uint8_t* d, std::size_t size) {
  if (size < 4) Fail("ヘッダーがありません");
  Info h;
  h.headerSize = U32(d);
  if (h.headerSize < 12 || (h.headerSize > 12 && h.headerSize < 16))
    Fail("ヘッダーの大きさが不正です (" + std::to_string(h.headerSize) + ")");
  if (h.headerSize > size) Fail("ヘッダーが途中で切れています");
  if (h.headerSize == 12) {
    h.core = true;
    h.width = U16(d + 4);
    h.height = U16(d + 6);
    h.bits = U16(d + 10);
    return h;
  }
  // OS/2 2.x headers may stop after any field up to their 64 bytes; the
  // fields they leave out are zero.
  h.os2 = h.headerSize <= 64 && !IsWindowsHeaderSize(h.headerSize);
  h.width = I32(d + 4);
  h.height = I32(d + 8);
  h.bits = U16(d + 14);
  auto field = [&](std::uint32_t at) -> std::uint32_t {
    return at + 4 <= h.headerSize ? U32(d + at) : 0;
  };
  h.compression = field(16);
  h.colorsUsed = field(32);
  if (!h.os2 && h.headerSize >= 52) {
    h.masksInHeader = true;
    for (int i = 0; i < 3; ++i) h.masks[i] = U32(d + 40 + 4 * i);
  }
  return h;
}

// One colour channel of a masked pixel, scaled to 8 bits from however many
// bits its mask has.
class Channel {
 public:
  explicit Channel(std::uint32_t mask) : mask_(mask) {
    if (!mask) return;
    while (!((mask >> shift_) & 1)) ++shift_;
    const std::uint32_t span = mask >> shift_;
    while (bits_ < 32 && (span >> bits_) != 0) ++bits_;
    max_ = (std::uint64_t{1} << bits_) - 1;
    if (bits_ <= 16) {
      table_.resize(static_cast<size_t>(max_) + 1);
      for (std::uint64_t v = 0; v <= max_; ++v) table_[v] = Scale(v);
    }
  }
  std::uint8_t operator()(std::uint32_t pixel) const {
    if (!bits_) return 0;
    const std::uint32_t v = (pixel & mask_) >> shift_;
    return bits_ <= 16 ? table_[v] : Scale(v);
  }

 private:
  std::uint8_t Scale(std::uint64_t v) const {
    return static_cast<std::uint8_t>((v * 255 + max_ / 2) / max_);
  }
  std::uint32_t mask_;
  unsigned shift_ = 0, bits_ = 0;
  std::uint64_t max_ = 0;
  std::vector<std::uint8_t> table_;
};

// 256 entries, B, G, R; entries the file does not hold stay black.
using Palette = std::vector<std::uint8_t>;

std::uint8_t* RowOf(const PixelRows& out, std::uint64_t stored, bool topDown) {
  return out.Row(topDown ? stored : static_cast<std::uint64_t>(out.height) - 1 - stored);
}

// Uncompressed and masked rows: the rows that are there.
void DecodeRows(const Info& h, const std::uint8_t* data, std::uint64_t available,
                const Palette& palette, const std::uint32_t masks[3], bool topDown, const PixelRows& out,
                const PixelSink& sink) {
  const std::uint64_t w = static_cast<std::uint64_t>(out.width);
  const std::uint64_t stride = (w * h.bits + 31) / 32 * 4;
  const std::uint64_t rows = std::min<std::uint64_t>(static_cast<std::uint64_t>(out.height), available / stride);
  const bool plain32 = h.bits == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
  std::optional<Channel> red, green, blue;
  if ((h.bits == 16 || h.bits == 32) && !plain32) {
    red.emplace(masks[0]);
    green.emplace(masks[1]);
    blue.emplace(masks[2]);
  }
  for (std::uint64_t y = 0; y < rows; ++y) {
    if (sink.Cancelled()) throw Cancelled();
    const std::uint8_t* s = data + y * stride;
    std::uint8_t* o = RowOf(out, y, topDown);
    switch (h.bits) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const unsigned perByte = 8 / h.bits, mask = (1u << h.bits) - 1;
        for (std::uint64_t x = 0; x < w; ++x, o += 3) {
          const unsigned shift = 8 - h.bits * (static_cast<unsigned>(x % perByte) + 1);
          std::memcpy(o, &palette[((s[x / perByte] >> shift) & mask) * 3], 3);
        }
        break;
      }
      case 24:
        std::memcpy(o, s, w * 3);
        break;
      case 16:
      case 32:
        for (std::uint64_t x = 0; x < w; ++x, o += 3) {
          if (plain32) {
            std::memcpy(o, s + x * 4, 3);
            continue;
          }
          const std::uint32_t v = h.bits == 16 ? U16(s + x * 2) : U32(s + x * 4);
          o[0] = (*blue)(v);
          o[1] = (*green)(v);
          o[2] = (*red)(v);
        }
        break;
    }
  }
}

// BI_RLE8 and BI_RLE4: runs of one index (two alternating ones for RLE4),
// literal runs padded to 16 bits, end of line, delta, end of picture.
void DecodeRle(const std::uint8_t* p, std::uint64_t n, bool four, const Palette& palette,
               bool topDown, const PixelRows& out) {
  const std::int64_t w = out.width, height = out.height;
  std::int64_t x = 0, y = 0;  // y counts rows in the order they are stored
  std::uint64_t i = 0;
  auto put = [&](unsigned index) {
    if (x < w) std::memcpy(RowOf(out, static_cast<std::uint64_t>(y), topDown) + x * 3, &palette[index * 3], 3);
    ++x;
  };
  while (i + 2 <= n && y < height) {
    const unsigned count = p[i], value = p[i + 1];
    i += 2;
    if (count) {
      for (unsigned k = 0; k < count && x < w; ++k)
        put(four ? (k % 2 ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      return;
    } else if (value == 2) {  // delta: right and on
      if (i + 2 > n) return;
      x += p[i];
      y += p[i + 1];
      i += 2;
    } else {  // literal run of `value` indices
      const std::uint64_t bytes = four ? (value + 1) / 2 : value;
      for (unsigned k = 0; k < value; ++k) {
        const std::uint64_t at = i + (four ? k / 2 : k);
        if (at >= n) return;
        if (x >= w) break;
        put(four ? (k % 2 ? p[at] & 15 : p[at] >> 4) : p[at]);
      }
      i += (bytes + 1) & ~std::uint64_t{1};
    }
  }
}

// An info header at d, size bytes to the end of the block; pixelOffset: where
// a file header says the pixels start (from d), if it says anything usable.
void DecodeInfo(const std::uint8_t* d, std::size_t size, std::optional<std::uint64_t> pixelOffset,
                PixelSink& sink, std::uint64_t maxPixels) {
  const Info h = ReadInfo(d, size);
  if (h.os2 && h.compression == 3) Fail("OS/2 のハフマン圧縮には対応していません");
  if (h.os2 && h.compression == 4) Fail("OS/2 の 24 ビット RLE 圧縮には対応していません");
  const bool masked = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
  switch (h.compression) {
    case kBiRgb:
      if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 &&
          h.bits != 32)
        Fail("対応していない色数です (" + std::to_string(h.bits) + " ビット)");
      break;
    case kBiRle8:
    case kBiRle4:
      if (h.bits != (h.compression == kBiRle8 ? 8u : 4u))
        Fail("RLE 圧縮の色数が不正です (" + std::to_string(h.bits) + " ビット)");
      break;
    case kBiBitfields:
    case kBiAlphaBitfields:
      if (h.bits != 16 && h.bits != 32)
        Fail("色マスクの色数が不正です (" + std::to_string(h.bits) + " ビット)");
      break;
    case kBiJpeg:
      break;
    case kBiPng:
      Fail("PNG 圧縮のビットマップには対応していません");
    default:
      Fail("対応していない圧縮形式です (" + std::to_string(h.compression) + ")");
  }

  // Colour masks: in the header from V2 on, else right after a 40-byte one.
  std::uint64_t tableStart = h.headerSize;
  std::uint32_t masks[3] = {0, 0, 0};
  if (masked) {
    if (h.masksInHeader) {
      std::copy(h.masks, h.masks + 3, masks);
    } else {
      if (tableStart + 12 > size) Fail("色マスクが途中で切れています");
      for (int c = 0; c < 3; ++c) masks[c] = U32(d + tableStart + 4 * c);
      tableStart += h.compression == kBiAlphaBitfields ? 16 : 12;
    }
  } else if (h.bits == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (h.bits == 32) {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }

  // The colour table: as many entries as the header says (all the bit depth
  // allows when it says 0); a packed bitmap's pixels follow it.
  const std::uint64_t entrySize = h.core ? 3 : 4;
  const bool indexed = h.bits >= 1 && h.bits <= 8 && h.compression != kBiJpeg;
  const std::uint64_t entries = h.colorsUsed ? h.colorsUsed : indexed ? std::uint64_t{1} << h.bits : 0;
  const std::uint64_t offset =
      pixelOffset && *pixelOffset >= tableStart ? *pixelOffset : tableStart + entries * entrySize;
  if (offset >= size) Fail(pixelOffset || !entries ? "画素データがありません" : "色テーブルが途中で切れています");
  const std::uint8_t* data = d + offset;
  const std::uint64_t available = size - offset;

  if (h.compression == kBiJpeg) return DecodeJpeg(data, static_cast<std::size_t>(available), sink, maxPixels);

  if (h.width <= 0 || h.height == 0) Fail("画像の大きさが不正です");
  const bool topDown = h.height < 0;
  const std::uint64_t width = static_cast<std::uint64_t>(h.width);
  const std::uint64_t height = static_cast<std::uint64_t>(topDown ? -h.height : h.height);
  CheckSize(width, height, maxPixels);
  const bool rle = h.compression == kBiRle8 || h.compression == kBiRle4;
  if (!rle && available < (width * h.bits + 31) / 32 * 4) Fail("画素データが途中で切れています");

  Palette palette(256 * 3, 0);
  if (indexed) {
    // Entries past the pixels' start or the end of the data are not there.
    const std::uint64_t end = std::min<std::uint64_t>(offset, size);
    const std::uint64_t there = end > tableStart ? (end - tableStart) / entrySize : 0;
    const std::uint64_t n = std::min({entries, std::uint64_t{1} << h.bits, there});
    for (std::uint64_t e = 0; e < n; ++e) std::memcpy(&palette[e * 3], d + tableStart + e * entrySize, 3);
  }

  const PixelRows out = sink.Allocate(static_cast<int>(width), static_cast<int>(height));
  if (rle)
    DecodeRle(data, available, h.compression == kBiRle4, palette, topDown, out);
  else
    DecodeRows(h, data, available, palette, masks, topDown, out, sink);
}

// A bottom-up 24-bit bitmap after `lead` bytes left for a file header.
std::string Encode(const PixelView& b, std::size_t lead) {
  CheckSize(static_cast<std::uint64_t>(b.width), static_cast<std::uint64_t>(b.height));
  const size_t stride = (static_cast<size_t>(b.width) * 3 + 3) & ~size_t{3};
  const size_t pixels = stride * static_cast<size_t>(b.height);
  std::string out(lead + 40 + pixels, '\0');
  auto put16 = [&](size_t at, std::uint32_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  };
  auto put32 = [&](size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  put32(lead, 40);
  put32(lead + 4, static_cast<std::uint32_t>(b.width));
  put32(lead + 8, static_cast<std::uint32_t>(b.height));  // bottom-up
  put16(lead + 12, 1);
  put16(lead + 14, 24);
  put32(lead + 20, static_cast<std::uint32_t>(pixels));
  const size_t start = lead + 40;
  for (int y = 0; y < b.height; ++y)
    std::memcpy(&out[start + stride * static_cast<size_t>(b.height - 1 - y)],
                b.Row(static_cast<std::uint64_t>(y)), static_cast<size_t>(b.width) * 3);
  if (lead) {
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, static_cast<std::uint32_t>(start));
  }
  return out;
}

}  // namespace

void DecodeDib(const std::uint8_t* data, std::size_t size, PixelSink& sink, std::uint64_t maxPixels) {
  DecodeInfo(data, size, std::nullopt, sink, maxPixels);
}

void DecodeBmp(const std::uint8_t* data, std::size_t size, PixelSink& sink, std::uint64_t maxPixels) {
  if (size < 2 || data[0] != 'B' || data[1] != 'M') {
    static const char* const kOs2[] = {"BA", "CI", "CP", "IC", "PT"};
    for (const char* kind : kOs2)
      if (size >= 2 && data[0] == kind[0] && data[1] == kind[1])
        Fail("OS/2 のビットマップ配列やアイコンには対応していません");
    Fail("ビットマップファイルではありません");
  }
  if (size < kFileHeaderSize + 4) Fail("ヘッダーが途中で切れています");
  const std::uint32_t offBits = U32(data + 10);
  std::optional<std::uint64_t> pixelOffset;
  if (offBits >= kFileHeaderSize) pixelOffset = offBits - kFileHeaderSize;
  DecodeInfo(data + kFileHeaderSize, size - kFileHeaderSize, pixelOffset, sink, maxPixels);
}

Pixels DecodeDib(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels) {
  Pixels out;
  PixelsSink sink(out);
  DecodeDib(data, size, sink, maxPixels);
  return out;
}

Pixels DecodeBmp(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels) {
  Pixels out;
  PixelsSink sink(out);
  DecodeBmp(data, size, sink, maxPixels);
  return out;
}

std::string EncodeDib(const PixelView& pixels) { return Encode(pixels, 0); }
std::string EncodeBmp(const PixelView& pixels) { return Encode(pixels, kFileHeaderSize); }

}  // namespace viewer
