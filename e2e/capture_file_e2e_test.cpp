// Captures saved to files under Wine: the tray's desktop capture writes a
// PNG of the screen's size beside the clipboard's picture, never over an
// older one, and a folder that cannot be written is named.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class CaptureFile : public WineTest {
 protected:
  void Start(const std::string& folder, const std::string& version = "winxp", int dpi = 96) {
    SetWindowsVersion(version);
    if (dpi != 96) {
      ASSERT_DRIVER_OK(Driver({"reg-set-dword", "Control Panel\\Desktop", "LogPixels", std::to_string(dpi)}));
    }
    SetSetting("Capture", "ToFile", "1");
    SetSetting("Capture", "Folder", folder);
    SetSetting("Capture", "Pattern", "shot");  // every capture wants the same name
    SkipLogo();
    StartApp();
    WaitMainWindow();
  }
  // The file and the clipboard's bitmap hold the whole screen.
  void ExpectTheWholeScreen(const fs::path& file) {
    auto [sw, sh] = ScreenSize();
    Result size = RunTool({"identify", "-format", "%m %wx%h", file.string()});
    EXPECT_EQ(size.out, "PNG " + std::to_string(sw) + "x" + std::to_string(sh)) << size.err;
    Result clip = Driver({"clipboard-size"});
    ASSERT_DRIVER_OK(clip);
    EXPECT_EQ(clip.lines().at(0), std::to_string(sw) + "x" + std::to_string(sh));
  }
    std::vector<std::string> Files(const fs::path& dir) {
    std::vector<std::string> names;
    if (fs::exists(dir))
      for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The folder holds exactly these names. A picture is written to a
  // temporary file that then takes its name, so a count of files would
  // also be met by a capture still being written.
  bool FolderHolds(const fs::path& dir, const std::vector<std::string>& names) {
    return WaitFor([&] { return Files(dir) == names; }, 15000);
  }
};

TEST_F(CaptureFile, TheTraysDesktopCaptureWritesAPngOfTheScreenAndKeepsOlderOnes) {
  const fs::path dir = fs::path(prefix_) / "drive_c" / "shots";
  fs::create_directories(dir);
  Start("C:\\shots");
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("デスクトップキャプチャ(&C)");
  ASSERT_TRUE(FolderHolds(dir, {"shot.png"})) << "the folder holds: " << testing::PrintToString(Files(dir));
  ChooseTrayMenuItem("デスクトップキャプチャ(&C)");
  ASSERT_TRUE(FolderHolds(dir, {"shot.png", "shot_2.png"}))
      << "the folder holds: " << testing::PrintToString(Files(dir));
  ExpectTheWholeScreen(dir / "shot.png");
}

// Windows 10 at 150 %: no Print Screen is pressed (the program takes the
// screen itself), and the picture has the screen's real pixels, not the
// layout's units.
TEST_F(CaptureFile, OnWindows10At150TheDesktopCaptureHasEveryPixelOfTheScreen) {
  const fs::path dir = fs::path(prefix_) / "drive_c" / "shots";
  fs::create_directories(dir);
  Start("C:\\shots", "win10", 144);
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("デスクトップキャプチャ(&C)");
  ASSERT_TRUE(FolderHolds(dir, {"shot.png"})) << "the folder holds: " << testing::PrintToString(Files(dir));
  ExpectTheWholeScreen(dir / "shot.png");
  // The clipboard's PNG, which browsers and chat programs paste, holds the
  // same pixels as the file.
  const fs::path pasted = fs::path(prefix_) / "drive_c" / "pasted.png";
  ASSERT_DRIVER_OK(Driver({"clipboard-save", "--format", "PNG", "--file", "C:\\pasted.png"}));
  Result same = RunTool({"compare", "-metric", "AE", pasted.string(), (dir / "shot.png").string(), "null:"});
  EXPECT_EQ(same.err.substr(0, 1), "0") << "the clipboard's PNG differs from the file: " << same.err;
}

TEST_F(CaptureFile, AFolderThatCannotBeWrittenIsNamedAndTheClipboardStillGetsThePicture) {
  // A folder inside a file: nothing can be made there, even by root.
  const fs::path blocker = fs::path(prefix_) / "drive_c" / "blocker";
  std::ofstream(blocker) << "a file";
  Start("C:\\blocker\\shots");
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("デスクトップキャプチャ(&C)");
  Result box = Driver({"msgbox", "--title", kBoxTitle, "--answer", std::to_string(kIdOk)}, 20000);
  ASSERT_DRIVER_OK(box);
  // The driver prints a backslash as two.
  EXPECT_NE(box.out.find("フォルダ: C:\\\\blocker\\\\shots"), std::string::npos) << box.out;
  Result clip = Driver({"clipboard-size"});
  EXPECT_EQ(clip.code, 0) << "the clipboard has no picture";
}

}  // namespace
}  // namespace e2e
