// The image viewer and capture on a real Windows API: pictures made by the
// test, a drop made inside the viewer's process, paging, the desktop on the
// clipboard, and the clipboard's picture saved as JPEG.
#include <filesystem>
#include <string>

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
};

TEST_F(Viewer, DropPageCaptureAndSave) {
  const std::string dir = prefix_ + "/drive_c/pictures";
  fs::create_directories(dir);
  Tool({"convert", "-size", "320x200", "xc:red", dir + "/red.jpg"});
  Tool({"convert", "-size", "200x100", "xc:blue", "BMP3:" + dir + "/blue.BMP"});
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("画像ビューワ(&V)");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kViewer, "--visible"}));

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

}  // namespace
}  // namespace e2e
