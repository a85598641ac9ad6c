#include "fuzz/starting_inputs.h"

#include <cstdio>
#include <cstdlib>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "viewer/bmp.h"
#include "viewer/jpeg.h"
#include "viewer/picture.h"
#include "viewer/png.h"

namespace fuzz {

namespace {

// A literal with its NUL bytes.
template <size_t N>
std::string Text(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

viewer::Pixels Picture(int w, int h) {
  viewer::Pixels b;
  b.width = w;
  b.height = h;
  b.bgr.resize(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < b.bgr.size(); ++i) b.bgr[i] = static_cast<std::uint8_t>(i * 37 + i / 5);
  return b;
}

struct JpegForm {
  J_COLOR_SPACE space = JCS_RGB;
  int components = 3;
  bool progressive = false;
  bool arithmetic = false;
  bool adobe = true;  // CMYK: the Adobe marker (inverted CMYK)
  int restartRows = 0;
  int sampling = 2;  // horizontal and vertical luma sampling
};

// A JPEG written the way other programs write them.
std::string Jpeg(int w, int h, const JpegForm& form) {
  jpeg_compress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(w);
  info.image_height = static_cast<JDIMENSION>(h);
  info.input_components = form.components;
  info.in_color_space = form.space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 75, TRUE);
  if (form.progressive) jpeg_simple_progression(&info);
  info.arith_code = form.arithmetic ? TRUE : FALSE;
  info.restart_in_rows = form.restartRows;
  info.write_Adobe_marker = form.adobe ? TRUE : FALSE;
  info.comp_info[0].h_samp_factor = form.sampling;
  info.comp_info[0].v_samp_factor = form.sampling;
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(w) * form.components);
  while (info.next_scanline < info.image_height) {
    for (size_t i = 0; i < row.size(); ++i)
      row[i] = static_cast<unsigned char>(i * 7 + info.next_scanline * 13);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

std::vector<std::string> JpegStartingInputs() {
  std::vector<std::string> s;
  s.push_back(viewer::EncodeJpeg(Picture(10, 5)));
  s.push_back(viewer::EncodeJpeg(Picture(17, 9), 30));
  s.push_back(viewer::EncodeJpeg(Picture(1, 1)));
  JpegForm grey;
  grey.space = JCS_GRAYSCALE;
  grey.components = 1;
  grey.sampling = 1;
  s.push_back(Jpeg(16, 8, grey));
  JpegForm cmyk;
  cmyk.space = JCS_CMYK;
  cmyk.components = 4;
  cmyk.sampling = 1;
  s.push_back(Jpeg(16, 8, cmyk));
  cmyk.adobe = false;
  s.push_back(Jpeg(9, 7, cmyk));
  JpegForm progressive;
  progressive.progressive = true;
  s.push_back(Jpeg(24, 16, progressive));
  JpegForm arithmetic;
  arithmetic.arithmetic = true;
  arithmetic.restartRows = 1;
  s.push_back(Jpeg(20, 20, arithmetic));
  JpegForm plain;
  plain.sampling = 1;
  plain.restartRows = 2;
  s.push_back(Jpeg(33, 17, plain));
  // Cut short, as a file still being written.
  std::string whole = Jpeg(32, 32, JpegForm{});
  s.push_back(whole.substr(0, whole.size() / 2));
  return s;
}

// A bitmap file: 1, 4, 8, 24 or 32 bits a pixel, bottom-up (or top-down with
// a negative height), with a palette up to 8 bits.
std::string Bmp(int w, int h, int bits, bool topDown) {
  const size_t stride = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;
  const size_t colours = bits <= 8 ? (size_t{1} << bits) : 0;
  const size_t offset = 14 + 40 + colours * 4;
  std::string out(offset + stride * static_cast<size_t>(h), '\0');
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
  put32(10, static_cast<std::uint32_t>(offset));
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(w));
  put32(22, static_cast<std::uint32_t>(topDown ? -h : h));
  put16(26, 1);
  put16(28, static_cast<std::uint32_t>(bits));
  put32(34, static_cast<std::uint32_t>(stride * h));
  put32(46, static_cast<std::uint32_t>(colours));
  for (size_t c = 0; c < colours; ++c) put32(54 + c * 4, static_cast<std::uint32_t>(c * 0x010203));
  for (size_t i = offset; i < out.size(); ++i) out[i] = static_cast<char>(i * 11);
  return out;
}

std::vector<std::string> DibStartingInputs() {
  std::vector<std::string> s;
  s.push_back(viewer::EncodeBmp(Picture(7, 3)));
  s.push_back(viewer::EncodeBmp(Picture(1, 1)));
  for (int bits : {1, 4, 8, 24, 32}) s.push_back(Bmp(5, 3, bits, false));
  s.push_back(Bmp(6, 4, 8, true));
  // RLE8: a run, a literal, end of line, end of picture.
  std::string rle = Bmp(4, 2, 8, false);
  rle[30] = 1;  // BI_RLE8
  rle.resize(14 + 40 + 256 * 4);
  rle += std::string("\x04\x05\x00\x03\x01\x02\x03\x00\x00\x00\x00\x01", 12);
  s.push_back(rle);
  return s;
}

std::vector<std::string> SettingsValueStartingInputs() {
  const char* const texts[] = {
      " 5", "$10", "-3", "0x1F", "x10", "+7", "5x", "5 ", "", "abc", "2147483647",
      "2147483648", "-2147483648", "$FFFFFFFF", "$100000000", "$", "-", "\t5", "1", "0",
      "yes", "clBtnFace", "CLWHITE", "clRed", "$00123456", "-2147483633", "purple-ish",
      "1111100", "0000000", "7:05", "23:59", "24:00", "poweroff", "HIBERNATE",
  };
  std::vector<std::string> s;
  int n = 0;
  for (const char* t : texts) s.push_back(std::string(1, static_cast<char>(n++ % 4)) + t);
  s.push_back(std::string("\x03", 1) + std::string("ab\0cd\0", 6));
  s.push_back(std::string("\x13", 1) + std::string("\x05\0\0\0", 4));  // REG_DWORD
  s.push_back(std::string("\x81", 1) + "12");
  return s;
}

std::vector<std::string> RunEntryStartingInputs() {
  const std::string me = "C:\\Program Files\\Kivo\\kivo_config.exe";
  const std::string quoted = "\"" + me + "\"";
  const std::string entries[] = {
      "",
      "C:\\A.EXE  c:\\b.exe",
      "C:\\A.EXE  " + quoted + "\tc:\\b.exe",
      quoted + " C:\\A.EXE",
      "C:\\A.EXE " + quoted + " " + quoted,
      "C:\\A.EXE \"C:\\Program Files\\KIVO\\KIVO_CONFIG.EXE\"",
      "C:\\A.EXE \"c:\\other dir\\kivo_config.exe\"",
      me,
      quoted,
      "C:\\A.EXE\" \"" + me,
      "a b\" x \"" + me,
      "C:\\A.EXE \"c:\\other dir\\kivo_config.exe\" D:\\KIVO_CONFIG.EXE x\\b.exe",
      "C:\\Old Place\\kivo_config.exe",
      "kivo_config.exe C:\\notkivo_config.exe",
      "'C:\\Program Files\\x.exe'",
      "\\\\server\\share\\kivo_config.exe notepad.exe",
  };
  std::vector<std::string> s;
  int n = 0;
  for (const std::string& e : entries) s.push_back(std::string(1, static_cast<char>(n++ % 16)) + e);
  return s;
}

std::vector<std::string> KeySequenceStartingInputs() {
  std::string digits;
  const int d[] = {1, 9, 2, 1, 6, 8, 0, 0, 7, 1, 0, 0};
  for (int i = 0; i < 12; ++i)
    digits += "F17\\CBI" + std::to_string(i + 1) + "=" + std::to_string(d[i]) + "\n";
  std::string indexes;
  for (int i = 0; i < 12; ++i) indexes += "F17\\CB" + std::to_string(i + 1) + "=" + std::to_string(i % 10) + "\n";
  const std::string flags = "F17\\CK1=1\nF17\\CK2=1\nF17\\ED1=Home\nF17\\ED2=PC\nF17\\ED3=Modem\n";
  return {
      digits,
      digits + indexes + flags,
      "F17\\CBI1=12\nF17\\CBI2=-1\nF17\\CBI3=$A\nF17\\CK1=0\n",
      "F17\\CBI5=abc\n",
      Text("#F17\\CBI1=\x04\x01\x00\x00\x00\nF15\\X=-20\nF15\\C1=1\n"),
  };
}

// What a used installation holds: every section the windows write.
std::string StoredSession() {
  return "F1\\X=120\nF1\\Y=80\nF1\\TITLE_TAG=1\nF1\\KYUSI=0\nF1\\TASK=0\nF1\\TITLE=0\n"
         "F1\\STATUS=0\nF1\\STARTUP=0\n"
         "F4\\X=200\nF4\\Y=200\nF4\\C1=0\n"
         "F6\\C1=0\nF6\\C2=1\nF6\\C3=1\nF6\\C4=0\nF6\\C5=0\nF6\\C6=0\nF6\\CB=2\nF6\\DR=A\n"
         "F6\\CL=clBtnFace\nF6\\X=200\nF6\\Y=200\n"
         "F8\\Title=KIVO-CONFIG FOR Windows\nF8\\User=Administrator\n"
         "F8\\Form1C=KIVO-CONFIG FOR Windows\nF8\\Coment=\n"
         "F9\\tomei=0\nF10\\X=30\nF10\\Y=40\nF11\\X=200\nF11\\Y=200\n"
         "F12\\MODE=0\nF12\\ACT=1\nF12\\CB1=0\nF12\\CB2=1\nF12\\CB3=5\nF12\\CBI1=0\n"
         "F12\\CBI2=1\nF12\\CBI3=5\n"
         "F13\\X=10\nF13\\Y=10\nF13\\WS=0\nF13\\H=400\nF13\\W=500\n"
         "F15\\X=200\nF15\\Y=200\nF15\\C1=0\nF17\\CK1=1\nF17\\CK2=0\nF17\\CBI1=1\n"
         "F18\\X=0\nF18\\Y=0\nF18\\WS=1\nF18\\H=500\nF18\\W=700\n"
         "F20\\homepage=http://www.example.jp/\nF20\\fav0=http://a.example/\n"
         "F20\\fav1=http://b.example/\nF20\\fav6=file:///C:/x.htm\nF20\\CBI=1\nF20\\CBI2=3\n";
}

std::vector<std::string> StoredWindowStartingInputs() {
  std::vector<std::string> s;
  for (char version = 0; version < 4; ++version) s.push_back(std::string(1, version) + StoredSession());
  // Vista, 7, 10 and 11 (bit 4), one of them unable to sleep or hibernate (bit 5).
  for (char version = 16; version < 20; ++version) s.push_back(std::string(1, version) + StoredSession());
  s.push_back(std::string(1, 16 + 32 + 2) + StoredSession() + "F1\\KYUSI=1\n");
  s.push_back(std::string(1, 4) + "F6\\C2=1\n");
  s.push_back(std::string(1, 8 + 1) + StoredSession() + "F6\\C3=1\nF6\\DR=\n");
  s.push_back(std::string(1, 1) + "F6\\C2=1\nF6\\CL=greenish\nF6\\CB=99\nF20\\CBI2=-5\nF17\\CB3=40\n");
  s.push_back(std::string(1, 0) + Text("F6\\C2=1\n#F1\\X=\x04\x05\x00\x00\x00\nF12\\MODE=1\nF12\\CBI1=23\n"));
  // The runner's end conditions, some of them unreadable.
  s.push_back(std::string(1, 2) + "F6\\C2=1\nF12\\MODE=3\nConditions\\CpuOn=1\nConditions\\CpuPercent=900\n"
                                   "Conditions\\IdleOn=1\nConditions\\IdleMinutes=x\nConditions\\NetOn=1\n");
  // The repeated end: one due within its last minute, one with unreadable values.
  s.push_back(std::string(1, 1) + "F6\\C2=1\nSchedule\\On=1\nSchedule\\Days=1111100\nSchedule\\At=00:01\n"
                                   "Schedule\\Action=Reboot\n");
  s.push_back(std::string(1, 16) + "F6\\C2=1\nSchedule\\On=1\nSchedule\\Days=11x\nSchedule\\At=25:00\n"
                                    "Schedule\\Action=\nF12\\MODE=1\n");
  s.push_back(std::string(1, 2) + "F6\\C2=1\nSchedule\\On=1\nSchedule\\At=12:00\n");  // values missing
  // The last region and the delay before captures, on the screen and off it.
  s.push_back(std::string(1, 16 + 2) + "F6\\C2=1\nCapture\\Region=-100,100,200,150\nCapture\\Delay=3\n");
  s.push_back(std::string(1, 1) + "F6\\C2=1\nCapture\\Region=99999,0,5,5\nCapture\\Delay=-7\n");
  return s;
}

// One drop of files: name, two length bytes, contents.
std::string Drop(const std::vector<std::pair<std::string, std::string>>& files) {
  std::string out(1, static_cast<char>(files.size()));
  for (const auto& [name, bytes] : files) {
    out += name + "\n";
    out += static_cast<char>(bytes.size() & 0xFF);
    out += static_cast<char>((bytes.size() >> 8) & 0xFF);
    out += bytes;
  }
  return out;
}

// A PNG of a kind the viewer reads: any colour type and bit depth,
// interlaced or not, with a tRNS chunk or not.
std::string PngInput(int colourType, int depth, bool interlaced, bool trns, int w = 13, int h = 9) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return out;
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep d, png_size_t n) {
        static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(d), n);
      },
      nullptr);
  png_set_IHDR(png, info, w, h, depth, colourType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[256];
  png_byte alphas[256];
  for (int i = 0; i < 256; ++i) {
    palette[i] = {static_cast<png_byte>(i * 7), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 3)};
    alphas[i] = static_cast<png_byte>(i * 41);
  }
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 1 << depth);
  if (trns) {
    png_color_16 colour{0, 1, 2, 3, 1};  // index, red, green, blue, grey
    png_set_tRNS(png, info, alphas, colourType == PNG_COLOR_TYPE_PALETTE ? 1 << depth : 0,
                 colourType == PNG_COLOR_TYPE_PALETTE ? nullptr : &colour);
  }
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  std::vector<png_byte> row(png_get_rowbytes(png, info));
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < h; ++y) {
      for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<png_byte>(i * 29 + y * 11);
      png_write_row(png, row.data());
    }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// A GIF of a kind the viewer reads: its first frame anywhere on the
// screen, interlaced or not, with a transparent colour or none, a second
// frame after it or not.
std::string GifInput(int w, int h, bool interlaced, int transparent, bool twoFrames, int left = 0, int top = 0) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, [](GifFileType* g, const GifByteType* d, int n) {
    static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(d), static_cast<size_t>(n));
    return n;
  }, &error);
  if (!gif) return out;
  GifColorType colours[16];
  for (int i = 0; i < 16; ++i)
    colours[i] = {static_cast<GifByteType>(i * 16), static_cast<GifByteType>(255 - i * 8), static_cast<GifByteType>(i * 5)};
  ColorMapObject* map = GifMakeMapObject(16, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, left + w + 2, top + h + 1, 4, 0, map);
  for (int frame = 0; frame < (twoFrames ? 2 : 1); ++frame) {
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = transparent;
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
    EGifPutImageDesc(gif, left, top, w, h, interlaced, nullptr);
    std::vector<GifPixelType> line(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) line[static_cast<size_t>(x)] = static_cast<GifPixelType>((x + y * 3 + frame) % 16);
      EGifPutLine(gif, line.data(), w);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

std::vector<std::string> PngStartingInputs() {
  std::vector<std::string> s;
  const std::pair<int, int> kinds[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                                       {3, 2},  {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
  for (const auto& [type, depth] : kinds) {
    s.push_back(PngInput(type, depth, false, false));
    s.push_back(PngInput(type, depth, true, false));
    if (!(type & PNG_COLOR_MASK_ALPHA)) s.push_back(PngInput(type, depth, false, true));
  }
  s.push_back(viewer::EncodePng(Picture(1, 1)));
  const std::string whole = viewer::EncodePng(Picture(40, 30));
  s.push_back(whole.substr(0, whole.size() / 2));
  return s;
}

std::vector<std::string> GifStartingInputs() {
  const std::string whole = GifInput(40, 30, false, -1, false);
  return {
      GifInput(13, 9, false, -1, false), GifInput(13, 9, true, -1, false),  GifInput(13, 9, false, 5, false),
      GifInput(13, 9, false, -1, true),  GifInput(7, 5, true, 3, false, 4, 3), whole.substr(0, whole.size() / 2),
  };
}

std::vector<std::string> ViewerDropStartingInputs() {
  const std::string small = viewer::EncodeJpeg(Picture(10, 5));
  const std::string bmp = viewer::EncodeBmp(Picture(7, 3));
  JpegForm progressive;
  progressive.progressive = true;
  const std::string other = Jpeg(12, 6, progressive);
  return {
      Drop({{"C:\\p\\1.JPG", small}}),
      Drop({{"C:\\p\\1.jpg", small}, {"C:\\p\\2.jpeg", other}, {"C:\\p\\pic.bmp", bmp}}) +
          Drop({{"C:\\p\\3.JPG", other}}),
      Drop({{"C:\\p\\missing.jpg", ""}, {"C:\\p\\notes.txt", "text"},
            {"C:\\p\\bad.jpg", small.substr(0, 40)}}),
      Drop({}) + Drop({{"\\\\server\\share\\a b.jpg", small}}),
      Drop({{"C:\\p\\a.PNG", PngInput(6, 8, true, false)}, {"C:\\p\\b.gif", GifInput(13, 9, false, 5, true)}}),
  };
}

// Command lines, records, hotkeys and name patterns as the tests use them.
std::vector<std::string> CommandTextStartingInputs() {
  return {
      "\"C:\\Program Files\\k.exe\" /poweroff /in 30 /silent",
      "k -reboot -at 23:59",
      "k /capture desktop",
      "k -LOCK /silent",
      "k \"a b\" c\\\\\"d e\" /?",
      // The record of "/poweroff /in 30": mark, version 1, verb, time, minutes.
      Text("KIVC\x01\x00\x04\x01\x1e\x00\x00\x00\x00\x00\x00\x00"),
      "k /poweroff /cpu 10:15 /net 50:10 /idle 5 /silent",
      // The record of "/poweroff /cpu 10:15 /idle 5": version 2 with its conditions.
      Text("KIVC\x02\x00\x04\x00\x00\x00\x00\x00\x00\x00\x00\x00"
           "\x0a\x00\x00\x00\x0f\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x05\x00\x00\x00"),
      "Ctrl+Alt+S",
      "Win+Shift+F24",
      "kivo_%Y%m%d_%H%M%S",
      "CON",
      "nul  .%Y",
  };
}

}  // namespace

std::map<std::string, std::vector<std::string>> StartingInputs() {
  return {
      {"jpeg", JpegStartingInputs()},
      {"dib", DibStartingInputs()},
      {"png", PngStartingInputs()},
      {"gif", GifStartingInputs()},
      {"settings_values", SettingsValueStartingInputs()},
      {"run_entry", RunEntryStartingInputs()},
      {"key_sequence", KeySequenceStartingInputs()},
      {"stored_windows", StoredWindowStartingInputs()},
      {"viewer_drop", ViewerDropStartingInputs()},
      {"command_text", CommandTextStartingInputs()},
  };
}

}  // namespace fuzz
