// The desktop capture on two monitors under Wine: the whole virtual screen,
// or with "Monitor" = 1 the monitor under the mouse, with the monitors side
// by side and with the second one left of the primary (negative
// coordinates). Each picture is compared with the X server's own pixels
// where the main window straddles the two monitors.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDesktopCapture = "デスクトップキャプチャ(&C)";

std::string Size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

Rect Offset(const Rect& r, int dx, int dy) {
  return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

class Monitors : public WineTest {
 protected:
  void Start(const MonitorLayout& layout) {
    monitors_ = layout;
    UseTwoMonitors(layout);
    ASSERT_FALSE(HasFailure());
    dir_ = fs::path(prefix_) / "drive_c" / "shots";
    fs::create_directories(dir_);
    SetWindowsVersion("winxp");
    SetSetting("Capture", "ToFile", "1");
    SetSetting("Capture", "Folder", "C:\\shots");
    SetSetting("Capture", "Pattern", "shot");
    SkipLogo();
    StartApp();
    main_ = WaitMainWindow();
  }

  Rect Primary() const { return Rect{0, 0, monitors_.primaryWidth, monitors_.primaryHeight}; }
  Rect Second() const {
    return Rect{monitors_.secondX(), 0, monitors_.secondX() + monitors_.secondWidth, monitors_.secondHeight};
  }
  Rect Virtual() const { return Rect{monitors_.left(), 0, monitors_.right(), monitors_.height()}; }

  static std::string RectText(const Rect& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
           " " + std::to_string(r.bottom);
  }

  // What Wine tells the program: two monitors, the primary at 0,0.
  void ExpectWineSeesTheLayout() {
    Result r = Driver({"monitors"});
    ASSERT_DRIVER_OK(r);
    std::vector<std::string> lines = r.lines();
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], "2 " + RectText(Virtual()));
    std::vector<std::string> monitors(lines.begin() + 1, lines.end());
    std::sort(monitors.begin(), monitors.end());
    std::vector<std::string> expected{RectText(Primary()) + "\tprimary=1",
                                      RectText(Second()) + "\tprimary=0"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(monitors, expected);
  }

  // The tray's desktop capture; returns the file it wrote (the n-th).
  fs::path CaptureDesktop(size_t n) {
    ChooseTrayMenuItem(kDesktopCapture);
    const fs::path file = dir_ / (n == 1 ? "shot.png" : "shot_" + std::to_string(n) + ".png");
    EXPECT_TRUE(WaitFor([&] { return fs::exists(file) && PictureSize(file) != ""; }, 20000))
        << file << " was not written";
    return file;
  }

  std::string PictureSize(const fs::path& file) {
    Result r = RunTool({"identify", "-format", "%wx%h", file.string()});
    return r.code == 0 ? r.out : "";
  }

  std::string ClipboardSize() {
    Result r = Driver({"clipboard-size"});
    return r.code == 0 && !r.lines().empty() ? r.lines()[0] : "(no picture: " + r.err + ")";
  }

  // Compares the part of the screen `area` (Windows' coordinates) in a
  // picture whose top left is `origin` with the X server's own pixels.
  void ExpectPictureShowsTheScreen(const fs::path& picture, int originX, int originY,
                                   const Rect& area, const std::string& what) {
    ASSERT_GT(area.width(), 0);
    ASSERT_GT(area.height(), 0);
    const std::string shot = Screenshot(testName_ + "_" + what, area);
    std::vector<std::string> screen = Pixels(shot, Rect{0, 0, area.width(), area.height()});
    std::vector<std::string> captured =
        Pixels(picture.string(), Offset(area, -originX, -originY));
    ASSERT_EQ(screen.size(), static_cast<size_t>(area.width()) * area.height()) << what;
    // Not all one colour: the area must show where the picture's parts lie.
    ASSERT_NE(std::count(screen.begin(), screen.end(), screen.front()),
              static_cast<std::ptrdiff_t>(screen.size()))
        << what << ": the screen shows one colour there";
    size_t differ = 0;
    for (size_t i = 0; i < screen.size() && i < captured.size(); ++i) differ += screen[i] != captured[i];
    EXPECT_EQ(captured.size(), screen.size()) << what;
    EXPECT_EQ(differ, 0u) << what << ": " << differ << " of " << screen.size()
                          << " pixels differ from the screen (" << shot << ")";
  }

  // Runs the whole check on a layout: both monitors in one picture, then each
  // monitor alone with the mouse on it.
  void CaptureEveryWay(const MonitorLayout& layout) {
    Start(layout);
    ASSERT_FALSE(HasFailure());
    ExpectWineSeesTheLayout();
    ASSERT_FALSE(HasFailure());

    // The main window across the border between the monitors: each shows a
    // part of it next to its own background.
    const int border = layout.secondLeft ? 0 : layout.primaryWidth;
    const int x = border - main_.width() / 2, y = 40;
    ASSERT_DRIVER_OK(Driver({"move", "--title", kMainTitle, "--x", std::to_string(x), "--y",
                             std::to_string(y)}));
    const Rect window = Offset(main_, x - main_.left, y - main_.top);
    // The window's upper half (its lower half shows the running clock) and
    // a margin of background, on each monitor.
    const Rect around{window.left - 16, window.top - 16, window.right + 16,
                      window.top + window.height() / 2};
    const Rect onPrimary = Intersect(around, Primary());
    const Rect onSecond = Intersect(around, Second());

    // The mouse away from the window: the tray menu opens there.
    MoveMouse(layout.secondLeft ? Second().left + 40 : Second().right - 40, Second().bottom - 40);
    ASSERT_FALSE(HasFailure());
    fs::path all = CaptureDesktop(1);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(PictureSize(all), Size(Virtual().width(), Virtual().height()));
    EXPECT_EQ(ClipboardSize(), Size(Virtual().width(), Virtual().height()));
    ExpectPictureShowsTheScreen(all, Virtual().left, 0, onPrimary, "whole-primary");
    ExpectPictureShowsTheScreen(all, Virtual().left, 0, onSecond, "whole-second");

    // Only the monitor under the mouse: first the second one.
    SetSetting("Capture", "Monitor", "1");
    fs::path second = CaptureDesktop(2);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(PictureSize(second), Size(layout.secondWidth, layout.secondHeight));
    EXPECT_EQ(ClipboardSize(), Size(layout.secondWidth, layout.secondHeight));
    ExpectPictureShowsTheScreen(second, Second().left, 0, onSecond, "second");

    // Then the primary.
    MoveMouse(layout.secondLeft ? Primary().right - 40 : 40, Primary().bottom - 40);
    ASSERT_FALSE(HasFailure());
    fs::path primary = CaptureDesktop(3);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(PictureSize(primary), Size(layout.primaryWidth, layout.primaryHeight));
    EXPECT_EQ(ClipboardSize(), Size(layout.primaryWidth, layout.primaryHeight));
    ExpectPictureShowsTheScreen(primary, 0, 0, onPrimary, "primary");
  }

  MonitorLayout monitors_;
  fs::path dir_;
  Rect main_;
};

TEST_F(Monitors, SideBySideTheDesktopCaptureTakesBothOrTheMonitorUnderTheMouse) {
  MonitorLayout layout;  // 800x600 primary, 1024x768 right of it
  CaptureEveryWay(layout);
}

TEST_F(Monitors, ASecondMonitorLeftOfThePrimaryLiesAtNegativeCoordinates) {
  MonitorLayout layout;
  layout.secondLeft = true;
  CaptureEveryWay(layout);
}

}  // namespace
}  // namespace e2e
