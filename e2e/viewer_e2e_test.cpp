// The image viewer and capture on a real Windows API: pictures made by the
// test, a drop made inside the viewer's process, paging, the desktop on the
// clipboard, and the clipboard's picture saved as JPEG.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <functional>

#include "e2e/harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
constexpr const char* kViewer = "Kivo-Config 画像ビューア Ver1.1";

class Viewer : public WineTest {
 protected:
  // Runs a command line tool (ImageMagick) for the test's files.
  std::string Tool(const std::vector<std::string>& argv) {
    Result r = RunTool(argv);
    EXPECT_EQ(r.code, 0) << argv[0] << " failed: " << r.err;
    return r.out;
  }
  // Starts the program and opens the viewer from the tray.
  void OpenViewer() {
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("画像ビューワ(&V)");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kViewer, "--visible"}));
  }
  std::optional<Control> PictureOfSize(int w, int h) {
    for (const Control& c : Controls(kViewer))
      if (c.cls == "Static" && c.rect.width() == w && c.rect.height() == h) return c;
    return std::nullopt;
  }
  bool HasText(const std::string& text) {
    for (const Control& c : Controls(kViewer))
      if (c.text == text) return true;
    return false;
  }
  void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // The colour on the screen at x, y of the picture control, "RRGGBB".
  std::string ColourAt(const Control& picture, int x, int y) {
    const Rect client = ClientRect(kViewer);  // the control's rectangle is relative to it
    Rect area = picture.rect;
    area.left += client.left, area.right += client.left;
    area.top += client.top, area.bottom += client.top;
    std::string shot = Screenshot(testName_ + "-picture", area);
    return Tool({"convert", shot, "-format", "%[hex:p{" + std::to_string(x) + "," + std::to_string(y) + "}]",
                 "info:"});
  }
  // The colour on the screen at x, y of the viewer's client area.
  std::string ClientColourAt(int x, int y) {
    std::string shot = Screenshot(testName_ + "-client", ClientRect(kViewer));
    return Tool({"convert", shot, "-format", "%[hex:p{" + std::to_string(x) + "," + std::to_string(y) + "}]",
                 "info:"});
  }
};

void Put32(std::string& s, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

// A 24-bit bitmap, rows as given from the top, with a 40-byte header; a
// negative height marks the rows as stored from the top.
std::string Dib(int w, int h, bool topDown, const std::function<std::uint32_t(int, int)>& rgb) {
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  std::string d(40 + stride * h, '\0');
  Put32(d, 0, 40);
  Put32(d, 4, static_cast<std::uint32_t>(w));
  Put32(d, 8, static_cast<std::uint32_t>(topDown ? -h : h));
  d[12] = 1;
  d[14] = 24;
  for (int s = 0; s < h; ++s)
    for (int x = 0; x < w; ++x) {
      const std::uint32_t c = rgb(x, topDown ? s : h - 1 - s);
      char* p = &d[40 + s * stride + x * 3];
      p[0] = static_cast<char>(c & 0xFF), p[1] = static_cast<char>(c >> 8), p[2] = static_cast<char>(c >> 16);
    }
  return d;
}

std::string File(const std::string& dib) {
  std::string f(14, '\0');
  f[0] = 'B', f[1] = 'M';
  Put32(f, 2, static_cast<std::uint32_t>(14 + dib.size()));
  Put32(f, 10, 54);
  return f + dib;
}

TEST_F(Viewer, DropPageCaptureAndSave) {
  const std::string dir = prefix_ + "/drive_c/pictures";
  fs::create_directories(dir);
  Tool({"convert", "-size", "320x200", "xc:red", dir + "/red.jpg"});
  Tool({"convert", "-size", "200x100", "xc:blue", "BMP3:" + dir + "/blue.BMP"});
  OpenViewer();
  ASSERT_FALSE(HasFailure());

  ASSERT_DRIVER_OK(Driver({"drop", "--title", kViewer, "--", "C:\\pictures\\red.jpg",
                           "C:\\pictures\\blue.BMP"}));
  EXPECT_TRUE(WaitFor([&] { return PictureOfSize(320, 200).has_value(); }, 10000))
      << "the JPEG is not shown at its size";
  EXPECT_TRUE(HasText("予約された画像の数 2個  "));
  EXPECT_TRUE(HasText("1ページ"));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kViewer, "--text", "次へ"}));
  EXPECT_TRUE(WaitFor([&] { return PictureOfSize(200, 100).has_value(); }, 10000))
      << "the bitmap is not shown at its size";
  EXPECT_TRUE(HasText("2ページ"));
  Screenshot(testName_, WindowRect(kViewer));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kViewer, "--text", "戻る"}));
  EXPECT_TRUE(WaitFor([&] { return HasText("1ページ"); }, 10000));

  // The desktop on the clipboard (the program's own picture under Wine).
  ChooseTrayMenuItem("デスクトップキャプチャ(&C)");
  auto [sw, sh] = ScreenSize();
  std::string expected = std::to_string(sw) + "x" + std::to_string(sh);
  EXPECT_TRUE(WaitFor([&] {
    Result r = Driver({"clipboard-size"});
    return r.code == 0 && !r.lines().empty() && r.lines()[0] == expected;
  }, 10000)) << "no " << expected << " picture on the clipboard";

  // Clipboard → viewer → a JPEG file.
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kViewer, "--text", "クリップボードの画像を表示(&P)"}));
  EXPECT_TRUE(WaitFor([&] { return PictureOfSize(sw, sh).has_value(); }, 10000));
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kViewer, "--text", "名前を付けて保存(&S)..."}));
  ASSERT_DRIVER_OK(Driver({"wait", "--class", "#32770", "--visible"}));
  ASSERT_DRIVER_OK(Driver({"type", "--class", "#32770", "--visible", "--ctl-class", "Edit", "--keys",
                           "C:\\pictures\\shot.jpg"}));
  // The dialog's OK (IDOK), as Enter or its Save button give it.
  ASSERT_DRIVER_OK(Driver({"post", "--class", "#32770", "--visible", "--msg", "273", "--wparam", "1"}));
  const std::string saved = dir + "/shot.jpg";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(saved) && fs::file_size(saved) > 0; }, 10000))
      << "nothing was saved; the folder holds: " << [&] {
           std::string names;
           for (const auto& e : fs::directory_iterator(dir)) names += e.path().filename().string() + " ";
           return names;
         }();
  std::string size = Tool({"identify", "-format", "%wx%h", saved});
  EXPECT_EQ(size, expected);
}

// "名前を付けて保存" over a file that exists: the system's save dialog asks
// first, then the picture written beside it takes its name, and no
// temporary file is left in the folder.
TEST_F(Viewer, SavingOverAFileReplacesItWhole) {
  const std::string dir = prefix_ + "/drive_c/pictures";
  fs::create_directories(dir);
  Tool({"convert", "-size", "320x200", "xc:red", dir + "/red.jpg"});
  Tool({"convert", "-size", "200x100", "xc:blue", dir + "/blue.jpg"});
  auto names = [&] {
    std::vector<std::string> all;
    for (const auto& e : fs::directory_iterator(dir)) all.push_back(e.path().filename().string());
    std::sort(all.begin(), all.end());
    return all;
  };
  const std::vector<std::string> two{"blue.jpg", "red.jpg"};
  auto size = [&](const std::string& name) {
    return RunTool({"identify", "-format", "%wx%h", dir + "/" + name}).out;
  };
  OpenViewer();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"drop", "--title", kViewer, "--", "C:\\pictures\\red.jpg"}));
  ASSERT_TRUE(WaitFor([&] { return PictureOfSize(320, 200).has_value(); }, 10000));

  // The save dialog with the name typed, its OK given, and "replace?" answered yes.
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kViewer, "--text", "名前を付けて保存(&S)..."}));
  Result dialog = Driver({"wait", "--class", "#32770", "--visible"});
  ASSERT_DRIVER_OK(dialog);
  const std::string dialogWindow = dialog.lines().at(0).substr(0, dialog.lines().at(0).find('\t'));
  ASSERT_DRIVER_OK(Driver({"type", "--hwnd", dialogWindow, "--ctl-class", "Edit", "--keys",
                           "C:\\pictures\\blue.jpg"}));
  ASSERT_DRIVER_OK(Driver({"post", "--hwnd", dialogWindow, "--msg", "273", "--wparam", "1"}));
  std::string prompt;
  ASSERT_TRUE(WaitFor([&] {
    for (const std::string& line : Driver({"list", "--class", "#32770", "--visible"}).lines()) {
      std::string window = line.substr(0, line.find('\t'));
      if (window != dialogWindow) prompt = window;
    }
    return !prompt.empty();
  }, 10000)) << "the dialog did not ask before replacing";
  ASSERT_DRIVER_OK(Driver({"msgbox", "--hwnd", prompt, "--answer", std::to_string(kIdYes)}));

  EXPECT_TRUE(WaitFor([&] { return size("blue.jpg") == "320x200"; }, 10000))
      << "not replaced: " << size("blue.jpg");
  EXPECT_EQ(names(), two) << "a temporary file was left";
}

// The system's loader shows a top-down bitmap black under Wine; the
// program's own decoder shows its rows where they belong.
TEST_F(Viewer, TopDownBitmapShowsItsRealPixels) {
  const std::string dir = prefix_ + "/drive_c/pictures";
  fs::create_directories(dir);
  // Red above, blue below, stored from the top.
  WriteBytes(dir + "/topdown.bmp", File(Dib(40, 30, true, [](int, int y) { return y < 10 ? 0xFF0000u : 0x0000FFu; })));
  OpenViewer();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"drop", "--title", kViewer, "--", "C:\\pictures\\topdown.bmp"}));
  std::optional<Control> picture;
  ASSERT_TRUE(WaitFor([&] { return (picture = PictureOfSize(40, 30)).has_value(); }, 10000))
      << "the bitmap is not shown at its size";
  EXPECT_TRUE(WaitFor([&] { return ColourAt(*picture, 20, 3) == "FF0000"; }, 10000))
      << "the top is " << ColourAt(*picture, 20, 3);
  EXPECT_EQ(ColourAt(*picture, 20, 25), "0000FF");
}

// Files dropped the moment the viewer has come up, round after round: each
// drop arrives and shows its picture, and the program answers throughout.
// KIVO_E2E_DROP_ROUNDS sets the number of rounds (a few hundred to hunt a
// rare hang, best with the machine busy).
TEST_F(Viewer, DropsRightAfterOpeningArriveEveryTime) {
  const std::string dir = prefix_ + "/drive_c/pictures";
  fs::create_directories(dir);
  Tool({"convert", "-size", "320x200", "xc:red", dir + "/red.jpg"});
  Tool({"convert", "-size", "200x100", "xc:blue", "BMP3:" + dir + "/blue.bmp"});
  const char* wanted = getenv("KIVO_E2E_DROP_ROUNDS");
  const int rounds = wanted && atoi(wanted) > 0 ? atoi(wanted) : 4;
  if (!AnsiRun()) SetWindowsVersion("winxp");  // the ANSI run has its Windows 98
  OpenViewer();
  ASSERT_FALSE(HasFailure());
  int failed = 0;
  std::string failures;
  for (int round = 0; round < rounds; ++round) {
    if (round > 0) {
      ChooseTrayMenuItem("画像ビューワ(&V)");
      ASSERT_DRIVER_OK(Driver({"wait", "--title", kViewer, "--visible"}));
    }
    // Odd rounds show the bitmap first.
    const bool bmp = round % 2 == 1;
    Result drop = Driver({"drop", "--title", kViewer, "--", bmp ? "C:\\pictures\\blue.bmp" : "C:\\pictures\\red.jpg",
                          bmp ? "C:\\pictures\\red.jpg" : "C:\\pictures\\blue.bmp"});
    bool shown = drop.code == 0 && WaitFor([&] {
      return bmp ? PictureOfSize(200, 100).has_value() : PictureOfSize(320, 200).has_value();
    }, 10000);
    if (!shown) {
      ++failed;
      failures += "round " + std::to_string(round) + ": drop -> " + std::to_string(drop.code) + " " + drop.err +
                  (drop.code == 0 ? " (no picture shown)" : "") + "\n";
      if (drop.code == -1) break;  // the driver hung: the program may be stuck for good
    }
    ASSERT_DRIVER_OK(Driver({"post", "--title", kViewer, "--msg", "16"}));  // WM_CLOSE
    ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kViewer}));
  }
  std::cout << "[ rounds   ] " << rounds << " rounds, " << failed << " failed" << std::endl;
  EXPECT_EQ(failed, 0) << failures;
}

// Paging a dropped list: each next picture is decoded ahead on a thread of
// its own and handed over by a posted message; one that fails to read
// ahead is never shown, its own page reports it, and paging goes on.
TEST_F(Viewer, PagingShowsPicturesReadAheadAndReportsABadOne) {
  const std::string dir = prefix_ + "/drive_c/pictures";
  fs::create_directories(dir);
  Tool({"convert", "-size", "320x200", "xc:red", dir + "/a.jpg"});
  WriteBytes(dir + "/bad.jpg", std::string(400, 'Z'));
  WriteBytes(dir + "/c.bmp", File(Dib(200, 100, false, [](int, int) { return 0x00FF00u; })));
  Tool({"convert", "-size", "300x150", "xc:blue", dir + "/d.jpg"});
  OpenViewer();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"drop", "--title", kViewer, "--", "C:\\pictures\\a.jpg", "C:\\pictures\\bad.jpg",
                           "C:\\pictures\\c.bmp", "C:\\pictures\\d.jpg"}));
  ASSERT_TRUE(WaitFor([&] { return PictureOfSize(320, 200).has_value(); }, 10000));

  ASSERT_DRIVER_OK(Driver({"click", "--title", kViewer, "--text", "次へ"}));
  Result box = Driver({"msgbox", "--title", "kivo_config", "--answer", std::to_string(kIdOk)}, 20000);
  ASSERT_EQ(box.code, 0) << box.err;
  EXPECT_EQ(box.lines().at(0).rfind("JPEGファイルを読み込めません", 0), 0u) << box.lines().at(0);
  EXPECT_TRUE(PictureOfSize(320, 200).has_value()) << "the earlier picture stays";

  ASSERT_DRIVER_OK(Driver({"click", "--title", kViewer, "--text", "次へ"}));
  EXPECT_TRUE(WaitFor([&] { return PictureOfSize(200, 100).has_value() && HasText("3ページ"); }, 10000));
  std::optional<Control> picture = PictureOfSize(200, 100);
  ASSERT_TRUE(picture.has_value());
  EXPECT_TRUE(WaitFor([&] { return ColourAt(*picture, 100, 50) == "00FF00"; }, 10000));
  // Clicks that come faster than the reads: each page still shows its own.
  ASSERT_DRIVER_OK(Driver({"click", "--title", kViewer, "--text", "次へ"}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kViewer, "--text", "戻る"}));
  EXPECT_TRUE(WaitFor([&] { return HasText("3ページ") && PictureOfSize(200, 100).has_value(); }, 10000));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kViewer, "--text", "次へ"}));
  EXPECT_TRUE(WaitFor([&] { return HasText("4ページ") && PictureOfSize(300, 150).has_value(); }, 10000));
  std::optional<Control> last = PictureOfSize(300, 150);
  ASSERT_TRUE(last.has_value());
  // Blue as the JPEG keeps it (0000FE).
  EXPECT_TRUE(WaitFor([&] { return ColourAt(*last, 150, 75).rfind("0000F", 0) == 0; }, 10000));
}

// Whatever another program put on the clipboard: a header that lies about
// its width is refused with a message, and the program goes on.
TEST_F(Viewer, LyingClipboardPictureIsRefusedAndTheNextOneShown) {
  const std::string dir = prefix_ + "/drive_c/pictures";
  fs::create_directories(dir);
  // 32 bits a pixel, 4 rows: sizes computed in 32 bits wrap to a 12-byte
  // picture and 4-byte rows, which 104 bytes seem to hold.
  std::string lying = Dib(8, 4, false, [](int, int) { return 0x808080u; }).substr(0, 104);
  Put32(lying, 4, 0x40000001);
  lying[14] = 32;
  WriteBytes(dir + "/lying.dib", lying);
  WriteBytes(dir + "/good.dib", Dib(30, 20, false, [](int x, int) { return x < 15 ? 0x00FF00u : 0xFFFF00u; }));
  OpenViewer();
  ASSERT_FALSE(HasFailure());

  ASSERT_DRIVER_OK(Driver({"clipboard-set-dib", "--file", "C:\\pictures\\lying.dib"}));
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kViewer, "--text", "クリップボードの画像を表示(&P)"}));
  Result box = Driver({"msgbox", "--title", "kivo_config", "--answer", std::to_string(kIdOk)}, 20000);
  ASSERT_EQ(box.code, 0) << box.err;
  EXPECT_EQ(box.lines().at(0), "画像が大きすぎます (1073741825 x 4)");

  ASSERT_DRIVER_OK(Driver({"clipboard-set-dib", "--file", "C:\\pictures\\good.dib"}));
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kViewer, "--text", "クリップボードの画像を表示(&P)"}));
  std::optional<Control> picture;
  ASSERT_TRUE(WaitFor([&] { return (picture = PictureOfSize(30, 20)).has_value(); }, 10000))
      << "the clipboard's picture is not shown";
  EXPECT_TRUE(WaitFor([&] { return ColourAt(*picture, 3, 10) == "00FF00"; }, 10000));
  EXPECT_EQ(ColourAt(*picture, 25, 10), "FFFF00");
}

// PNG and GIF through the program's own decoders: each at its size, the
// transparent parts in the colour the window paints around the picture.
TEST_F(Viewer, DroppedPngAndGifShowAtTheirSizeOnTheWindowColour) {
  const std::string dir = prefix_ + "/drive_c/pictures";
  fs::create_directories(dir);
  // Red on the left, transparent on the right; blue above, transparent below.
  Tool({"convert", "-size", "30x40", "xc:red", "-size", "30x40", "xc:none", "+append", "PNG32:" + dir + "/half.png"});
  Tool({"convert", "-size", "50x30", "xc:blue", "-size", "50x30", "xc:none", "-append", "GIF:" + dir + "/half.GIF"});
  OpenViewer();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"drop", "--title", kViewer, "--", "C:\\pictures\\half.png",
                           "C:\\pictures\\half.GIF"}));
  std::optional<Control> picture;
  ASSERT_TRUE(WaitFor([&] { return (picture = PictureOfSize(60, 40)).has_value(); }, 10000))
      << "the PNG is not shown at its size";
  // Beside the picture the scroll box shows the window colour.
  const std::string window = ClientColourAt(picture->rect.right + 40, picture->rect.top + 10);
  EXPECT_TRUE(WaitFor([&] { return ColourAt(*picture, 10, 20) == "FF0000"; }, 10000))
      << "the PNG's left is " << ColourAt(*picture, 10, 20);
  EXPECT_EQ(ColourAt(*picture, 50, 20), window);

  ASSERT_DRIVER_OK(Driver({"click", "--title", kViewer, "--text", "次へ"}));
  ASSERT_TRUE(WaitFor([&] { return (picture = PictureOfSize(50, 60)).has_value(); }, 10000))
      << "the GIF is not shown at its size";
  EXPECT_TRUE(WaitFor([&] { return ColourAt(*picture, 25, 10) == "0000FF"; }, 10000))
      << "the GIF's top is " << ColourAt(*picture, 25, 10);
  EXPECT_EQ(ColourAt(*picture, 25, 50), window);
  Screenshot(testName_, WindowRect(kViewer));
}

// A picture larger than the window, scrolled to its far corner: a larger
// window shows more of it from the same corner instead of going back to the
// picture's origin.
TEST_F(Viewer, ALargerWindowKeepsTheScrolledPlace) {
  const std::string dir = prefix_ + "/drive_c/pictures";
  fs::create_directories(dir);
  Tool({"convert", "-size", "1600x1200", "gradient:red-blue", "BMP3:" + dir + "/large.bmp"});
  OpenViewer();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"drop", "--title", kViewer, "--", "C:\\pictures\\large.bmp"}));
  std::optional<Control> picture;
  ASSERT_TRUE(WaitFor([&] { return (picture = PictureOfSize(1600, 1200)).has_value(); }, 10000));
  const Rect origin = picture->rect;
  for (const char* msg : {"276", "277"})  // WM_HSCROLL, WM_VSCROLL: SB_BOTTOM
    ASSERT_DRIVER_OK(Driver({"post", "--title", kViewer, "--ctl-class", "KivoScrollBox", "--msg", msg,
                             "--wparam", "7"}));
  ASSERT_TRUE(WaitFor([&] {
    picture = PictureOfSize(1600, 1200);
    return picture && picture->rect.left < origin.left && picture->rect.top < origin.top;
  }, 10000)) << "the picture did not scroll";
  const Rect corner = picture->rect;
  const Rect window = WindowRect(kViewer);
  ASSERT_DRIVER_OK(Driver({"move", "--title", kViewer, "--x", std::to_string(window.left), "--y",
                           std::to_string(window.top), "--width", std::to_string(window.width() + 100),
                           "--height", std::to_string(window.height() + 80)}));
  EXPECT_TRUE(WaitFor([&] {
    picture = PictureOfSize(1600, 1200);
    return picture && picture->rect.left == corner.left + 100 && picture->rect.top == corner.top + 80;
  }, 10000)) << "the picture went from " << corner.left << "," << corner.top << " to "
             << (picture ? std::to_string(picture->rect.left) + "," + std::to_string(picture->rect.top) : "nowhere");
}

}  // namespace
}  // namespace e2e
