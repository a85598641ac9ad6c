// Region captures under Wine: a drag over the overlay puts that rectangle of
// the screen on the clipboard (both formats, the same pixels), Esc leaves
// the clipboard alone, /capture last takes it again after a restart, a delay
// holds the capture back, and the overlay spans two monitors, one of them at
// negative coordinates.
#include <chrono>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class CaptureRegion : public WineTest {
 protected:
  // The main window at the screen's top left, where the region falls on its
  // buttons (nothing there changes by itself).
  void Start(const std::string& version, int dpi = 96) {
    SetWindowsVersion(version);
    if (dpi != 96) {
      ASSERT_DRIVER_OK(Driver({"reg-set-dword", "Control Panel\\Desktop", "LogPixels", std::to_string(dpi)}));
    }
    SetSetting("F1", "X", "0");
    SetSetting("F1", "Y", "0");
    SkipLogo();
    StartApp();
    WaitMainWindow();
  }
  std::string Sequence() {
    Result r = Driver({"clipboard-sequence"});
    return r.code == 0 && !r.lines().empty() ? r.lines()[0] : "?";
  }
  void WaitOverlay() { ASSERT_DRIVER_OK(Driver({"wait", "--title", "範囲キャプチャ", "--visible"}, 20000)); }
  void WaitOverlayGone() { ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", "範囲キャプチャ"}, 20000)); }

  void Drag(int x0, int y0, int x1, int y1) {
    MoveMouse(x0, y0);
    XTool({"mousedown", "1"});
    MoveMouse((x0 + x1) / 2, (y0 + y1) / 2);
    MoveMouse(x1, y1);
    XTool({"mouseup", "1"});
  }

  // Both of the clipboard's formats, saved as files: the PNG as it is, the
  // bitmap with a file header in front.
  std::pair<std::string, std::string> SaveClipboard(const std::string& name) {
    const fs::path png = fs::path(prefix_) / "drive_c" / (name + ".png");
    const fs::path dib = fs::path(prefix_) / "drive_c" / (name + ".dib");
    EXPECT_DRIVER_OK(Driver({"clipboard-save", "--format", "PNG", "--file", "C:\\" + name + ".png"}));
    EXPECT_DRIVER_OK(Driver({"clipboard-save", "--format", "DIB", "--file", "C:\\" + name + ".dib"}));
    std::ifstream in(dib, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const fs::path bmp = fs::path(prefix_) / "drive_c" / (name + ".bmp");
    if (bytes.size() >= 40) {
      auto u32 = [&](size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
      };
      const std::uint32_t headerSize = u32(0), colours = u32(32);
      const std::uint32_t bits = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[14]));
      const std::uint32_t palette = colours ? colours : (bits <= 8 ? 1u << bits : 0u);
      const std::uint32_t offset = 14 + headerSize + palette * 4;
      const std::uint32_t size = static_cast<std::uint32_t>(bytes.size()) + 14;
      std::string header = "BM";
      for (std::uint32_t v : {size, 0u, offset})
        for (int i = 0; i < 4; ++i) header += static_cast<char>((v >> (8 * i)) & 0xFF);
      std::ofstream(bmp, std::ios::binary) << header << bytes;
    }
    return {png.string(), bmp.string()};
  }
  // How many pixels of two pictures differ ("0" when none do).
  std::string Differing(const std::string& a, const std::string& b) {
    Result r = RunTool({"compare", "-metric", "AE", a, b, "null:"});
    return r.err;
  }
  // The clipboard holds the screen's pixels of the area, in both formats.
  void ExpectTheScreensPixels(const Rect& area, const std::string& name) {
    Result size = Driver({"clipboard-size"});
    ASSERT_DRIVER_OK(size);
    EXPECT_EQ(size.lines().at(0),
              std::to_string(area.right - area.left) + "x" + std::to_string(area.bottom - area.top));
    auto [png, bmp] = SaveClipboard(name);
    EXPECT_EQ(Differing(png, bmp).substr(0, 1), "0") << "the clipboard's PNG and bitmap differ";
    // The overlay is gone; what was under it is drawn again.
    std::string differing;
    EXPECT_TRUE(WaitFor([&] {
      differing = Differing(png, Screenshot(name + "-screen", area));
      return differing.substr(0, 1) == "0";
    }, 15000)) << "the clipboard differs from the screen there by " << differing << " pixels";
  }

};

TEST_F(CaptureRegion, OnXpADragTakesThatRectangleOfTheScreenAndEscTakesNothing) {
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  const std::string before = Sequence();
  ChooseTrayMenuItem("範囲キャプチャ(&R)");
  WaitOverlay();
  ASSERT_FALSE(HasFailure());
  // From pixel 100,100 to pixel 299,249, both inside: 200 × 150.
  Drag(100, 100, 299, 249);
  ASSERT_TRUE(WaitFor([&] { return Sequence() != before; }, 15000)) << "nothing reached the clipboard";
  WaitOverlayGone();
  ExpectTheScreensPixels(Rect{100, 100, 300, 250}, "region-xp");
  EXPECT_EQ(GetSetting("Capture", "Region"), "100,100,200,150");

  // Esc, half way through a drag: the clipboard stays as it is.
  const std::string taken = Sequence();
  ChooseTrayMenuItem("範囲キャプチャ(&R)");
  WaitOverlay();
  MoveMouse(400, 300);
  XTool({"mousedown", "1"});
  MoveMouse(500, 400);
  XTool({"key", "Escape"});
  WaitOverlayGone();
  XTool({"mouseup", "1"});
  EXPECT_EQ(Sequence(), taken) << "the clipboard changed";
  EXPECT_EQ(GetSetting("Capture", "Region"), "100,100,200,150");
}

// Windows 10 at 150 %: the overlay lies on the screen's real pixels, so the
// same drag takes the same 200 × 150 pixels.
TEST_F(CaptureRegion, OnWindows10At150TheRegionIsInTheScreensPixels) {
  Start("win10", 144);
  ASSERT_FALSE(HasFailure());
  const std::string before = Sequence();
  ChooseTrayMenuItem("範囲キャプチャ(&R)");
  WaitOverlay();
  Rect overlay = WindowRect("範囲キャプチャ");
  auto [sw, sh] = ScreenSize();
  EXPECT_EQ(overlay.right - overlay.left, sw) << "the overlay does not cover the screen";
  EXPECT_EQ(overlay.bottom - overlay.top, sh);
  Drag(100, 100, 299, 249);
  ASSERT_TRUE(WaitFor([&] { return Sequence() != before; }, 15000)) << "nothing reached the clipboard";
  WaitOverlayGone();
  ExpectTheScreensPixels(Rect{100, 100, 300, 250}, "region-win10");
}

// The still picture shows the screen as it was under the menu the capture
// was chosen from, not the menu: the viewer's ツール menu, and at 150 % the
// tray menu, which is then large. Each area the menu covered is compared
// with a screenshot of it taken before the menu opened, darkened as the
// overlay darkens it (each byte * 3 / 5).
TEST_F(CaptureRegion, TheStillPictureDoesNotShowTheMenuItWasChosenFrom) {
  Start("win10", 144);
  ASSERT_FALSE(HasFailure());
  const std::string viewer = "Kivo-Config 画像ビューア Ver1.1";
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kMainTitle, "--text", "画像ビューア(&V)"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", viewer, "--visible"}, 20000));
  auto menuFreeOverlay = [&](const std::string& name, const Rect& area, const std::function<void()>& choose) {
    const std::string before = Screenshot(name + "-before", area);
    const std::string darkened = before.substr(0, before.size() - 4) + "-darkened.png";
    ASSERT_EQ(RunTool({"convert", before, "-fx", "floor(u*255*3/5+0.0001)/255", "-depth", "8", darkened}).code, 0);
    choose();
    WaitOverlay();
    ASSERT_FALSE(HasFailure());
    // The overlay's picture drawn (it shows once painted).
    std::string differing;
    EXPECT_TRUE(WaitFor([&] {
      differing = Differing(darkened, Screenshot(name + "-overlay", area));
      return differing.substr(0, 1) == "0";
    }, 5000)) << name << ": the overlay differs from the screen before the menu by " << differing
              << " pixels (see " << name << "-overlay.png)";
    XTool({"key", "Escape"});
    WaitOverlayGone();
  };
  // The viewer's menu drops from its menu bar into the window.
  const Rect v = WindowRect(viewer);
  menuFreeOverlay("viewer-tools-menu", Rect{v.left, v.top, v.right, v.bottom}, [&] {
    // Alt+T as the menu bar reads it.
    ASSERT_DRIVER_OK(Driver({"post", "--title", viewer, "--msg", "274", "--wparam", "61696", "--lparam", "116"}));
    ASSERT_DRIVER_OK(Driver({"menu-select", "--text", "範囲キャプチャ(&R)"}));
  });
  // The tray menu opens at the mouse, over the desktop: the windows go,
  // the main window (whose clock goes on) to the tray.
  ASSERT_DRIVER_OK(Driver({"post", "--title", viewer, "--msg", "16"}));  // WM_CLOSE
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", viewer}, 20000));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "閉じる"}));
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kMainTitle, "--visible"}, 20000));
  MoveMouse(400, 60);
  auto [sw, sh] = ScreenSize();
  menuFreeOverlay("tray-menu", Rect{400, 60, sw, sh}, [&] { ChooseTrayMenuItem("範囲キャプチャ(&R)"); });

  // Half way through a drag, for a person to look at: the size label in the
  // font of 150 %.
  ChooseTrayMenuItem("範囲キャプチャ(&R)");
  WaitOverlay();
  MoveMouse(300, 200);
  XTool({"mousedown", "1"});
  MoveMouse(500, 300);
  Screenshot("region-label-144", Rect{280, 180, 620, 380});
  XTool({"key", "Escape"});
  WaitOverlayGone();
  XTool({"mouseup", "1"});
}

// The last region is stored: after a restart a second copy's /capture last
// takes it again (exit code 0), and /capture region's cancel is exit code 3.
TEST_F(CaptureRegion, CaptureLastRepeatsItAfterARestart) {
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  const int none = StartApp(AppExe(), {"/capture", "last", "/silent"});
  EXPECT_EQ(WaitAppExit(none, 30000), 3) << "no last region yet";
  std::string before = Sequence();
  ChooseTrayMenuItem("範囲キャプチャ(&R)");
  WaitOverlay();
  ASSERT_FALSE(HasFailure());
  Drag(100, 100, 299, 249);
  ASSERT_TRUE(WaitFor([&] { return Sequence() != before; }, 15000)) << "nothing reached the clipboard";
  WaitOverlayGone();
  // Ended and started again: the region comes from the settings.
  const int exit = StartApp(AppExe(), {"/exit"});
  EXPECT_EQ(WaitAppExit(exit, 30000), 0);
  EXPECT_EQ(WaitAppExit(0, 30000), 0) << "the first copy did not end";
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  before = Sequence();
  const int last = StartApp(AppExe(), {"/capture", "last"});
  EXPECT_EQ(WaitAppExit(last, 30000), 0);
  EXPECT_NE(Sequence(), before);
  ExpectTheScreensPixels(Rect{100, 100, 300, 250}, "region-last");

  const std::string taken = Sequence();
  const int region = StartApp(AppExe(), {"/capture", "region"});
  WaitOverlay();
  XTool({"key", "Escape"});
  EXPECT_EQ(WaitAppExit(region, 30000), 3) << "a cancel is exit code 3";
  EXPECT_EQ(Sequence(), taken);
}

// A delay of 3 seconds: the clipboard is as it was at 1.5 s and has the
// picture by 4.5 s.
TEST_F(CaptureRegion, ADelayHoldsTheCaptureBack) {
  SetSetting("Capture", "Delay", "3");
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  const std::string before = Sequence();
  ChooseTrayMenuItem("デスクトップキャプチャ(&C)");
  const auto chosen = std::chrono::steady_clock::now();
  auto since = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - chosen).count();
  };
  ASSERT_TRUE(WaitFor([&] { return Sequence() != before; }, 10000)) << "no capture came";
  const auto changedAfter = since();
  EXPECT_GE(changedAfter, 1500) << "the capture did not wait";
  EXPECT_LE(changedAfter, 4500) << "the capture came late";
}

// Two second copies ask for a region while a 10-second delay runs: the
// later request replaces the earlier one, whose copy ends with 3 at once,
// before the overlay comes and while the other copy still waits; that one
// ends with 3 once the overlay is cancelled. (Answered inside one message,
// the replaced copy would wait until the other one was over.)
TEST_F(CaptureRegion, ARegionReplacedDuringItsDelayIsAnsweredAtOnce) {
  SetSetting("Capture", "Delay", "10");
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  const int first = StartApp(AppExe(), {"/capture", "region"});
  const int second = StartApp(AppExe(), {"/capture", "region"});
  std::optional<int> firstCode, secondCode;
  ASSERT_TRUE(WaitFor([&] {
    firstCode = WaitAppExit(first, 0);
    secondCode = WaitAppExit(second, 0);
    return firstCode || secondCode;
  }, 30000)) << "neither copy was answered; the windows:\n" << Driver({"list"}).out;
  EXPECT_FALSE(firstCode && secondCode) << "both were answered before the overlay";
  EXPECT_EQ(firstCode ? *firstCode : *secondCode, 3) << "the replaced one is cancelled";
  Result overlay = Driver({"list", "--title", "範囲キャプチャ", "--visible"});
  EXPECT_TRUE(overlay.lines().empty()) << "answered only once the overlay was up";
  WaitOverlay();
  ASSERT_FALSE(HasFailure());
  XTool({"key", "Escape"});
  EXPECT_EQ(WaitAppExit(firstCode ? second : first, 30000), 3) << "the other one's cancel";
}

// Two monitors, the second left of the primary at negative coordinates and
// of another size: the overlay covers both, and a drag on the second one
// takes its pixels there.
TEST_F(CaptureRegion, TheOverlaySpansTwoMonitorsAtNegativeCoordinates) {
  MonitorLayout layout;
  layout.primaryWidth = 800;
  layout.primaryHeight = 600;
  layout.secondWidth = 1024;
  layout.secondHeight = 768;
  layout.secondLeft = true;
  UseTwoMonitors(layout);
  SetWindowsVersion("winxp");
  SetSetting("F1", "X", "-700");
  SetSetting("F1", "Y", "0");
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  const std::string before = Sequence();
  const int region = StartApp(AppExe(), {"/capture", "region"});
  WaitOverlay();
  Rect overlay = WindowRect("範囲キャプチャ");
  EXPECT_EQ(overlay.left, -1024);
  EXPECT_EQ(overlay.right, 800);
  EXPECT_EQ(overlay.bottom - overlay.top, 768);
  // On the monitor at negative coordinates, over the main window's buttons (above its clock).
  // (This X server keeps the pointer within the primary's width on each of
  // its screens: on the wider left one it cannot reach its last 224 pixels.)
  Drag(-500, 60, -301, 209);
  EXPECT_EQ(WaitAppExit(region, 30000), 0);
  EXPECT_NE(Sequence(), before);
  ExpectTheScreensPixels(Rect{-500, 60, -300, 210}, "region-two-monitors");
  EXPECT_EQ(GetSetting("Capture", "Region"), "-500,60,200,150");
}

}  // namespace
}  // namespace e2e
