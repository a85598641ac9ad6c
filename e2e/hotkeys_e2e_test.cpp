// Global hotkeys under Wine, pressed on the X server as a user would.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <fstream>
#include <string>

#include "e2e/harness.h"

namespace e2e {
namespace {

constexpr const char* kStopwatch = "Kivo-Config タイマー";
constexpr const char* kHotKeyWindow = "ホットキーの設定";

class HotKeys : public WineTest {
 protected:
  // Wine sees keys only while one of its X windows has the X input focus. A
  // window it has just mapped gets that focus a moment after it is visible,
  // and after a message box none may have it; so, as a user clicks a window
  // before pressing keys, the window is given the focus and the press waits
  // until it has it.
  void PressIn(const std::string& title, const std::string& keys) {
    std::string focused;
    RunTool({"xdotool", "search", "--name", "^" + title + "$", "windowfocus"}, 10000);
    EXPECT_TRUE(WaitFor([&] {
      Result r = RunTool({"xdotool", "getwindowfocus", "getwindowname"}, 10000);
      focused = r.code == 0 && !r.lines().empty() ? r.lines()[0] : "";
      return focused == title;
    }, 10000)) << "the X input focus stayed on '" << focused << "', not on '" << title << "'";
    Result r = RunTool({"xdotool", "key", "--delay", "50", keys}, 10000);
    ASSERT_EQ(r.code, 0) << r.err;
  }
  // The hotkey window from the main window's menu.
  void OpenHotKeyWindow() {
    ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kMainTitle, "--text", "ホットキーの設定(&K)"}));
    ASSERT_DRIVER_OK(Driver({"wait", "--title", kHotKeyWindow, "--visible"}, 10000));
  }
  // The program on XP with its hotkey window open.
  void StartWithHotKeyWindow() {
    SetWindowsVersion("winxp");
    SkipLogo();
    StartApp();
    WaitMainWindow();
    ASSERT_FALSE(HasFailure());
    OpenHotKeyWindow();
  }
};

TEST_F(HotKeys, RegisteredKeysOpenTheStopwatchAndCaptureTheDesktop) {
  SetWindowsVersion("winxp");
  SetSetting("HotKey", "Stopwatch", "Ctrl+Alt+W");
  SetSetting("HotKey", "CaptureDesktop", "Ctrl+Shift+F9");
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(Driver({"clipboard-size"}).code, 2) << "the clipboard already holds a picture";
  PressIn(kMainTitle, "ctrl+alt+w");
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kStopwatch, "--visible"}, 10000));
  PressIn(kStopwatch, "ctrl+shift+F9");
  auto [sw, sh] = ScreenSize();
  std::string size;
  EXPECT_TRUE(WaitFor([&] {
    Result r = Driver({"clipboard-size"});
    size = r.code == 0 && !r.lines().empty() ? r.lines()[0] : "";
    return !size.empty();
  }, 10000)) << "no picture reached the clipboard";
  EXPECT_EQ(size, std::to_string(sw) + "x" + std::to_string(sh));
}

TEST_F(HotKeys, AKeyAnotherProgramHoldsIsNamedAndTheOthersStillWork) {
  SetWindowsVersion("winxp");
  SetSetting("HotKey", "Stopwatch", "Ctrl+Alt+W");
  SetSetting("HotKey", "Viewer", "Ctrl+Alt+Q");
  Background holder = DriverInBackground({"hold-hotkey", "--mods", "3", "--vk", "0x51", "--ms", "60000"});
  ASSERT_TRUE(WaitFor([&] {
    std::ifstream in(holder.outFile);
    std::string line;
    return std::getline(in, line) && line.rfind("held", 0) == 0;
  }, 20000)) << "the other program did not get its hotkey";
  SkipLogo();
  StartApp();
  Result box = Driver({"msgbox", "--title", kBoxTitle, "--answer", std::to_string(kIdOk)}, 20000);
  ASSERT_DRIVER_OK(box);
  EXPECT_NE(box.out.find("Ctrl+Alt+Q (画像ビューア) は他のプログラムが使っている"), std::string::npos) << box.out;
  WaitMainWindow();
  PressIn(kMainTitle, "ctrl+alt+w");
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kStopwatch, "--visible"}, 10000));
  kill(holder.pid, SIGTERM);
  Finish(holder, 10000);
}

// The window's boxes are the system's hotkey controls: a letter pressed
// alone there becomes Ctrl+Alt and the letter, an F-key stays alone, and OK
// stores and registers both.
TEST_F(HotKeys, ALetterPressedAloneInTheWindowGetsCtrlAlt) {
  StartWithHotKeyWindow();
  ASSERT_FALSE(HasFailure());
  // The window opens with no control focused: Tab reaches the first box,
  // the main window's.
  PressIn(kHotKeyWindow, "Tab");
  PressIn(kHotKeyWindow, "a");
  PressIn(kHotKeyWindow, "Tab");
  PressIn(kHotKeyWindow, "F5");
  ASSERT_DRIVER_OK(Driver({"click", "--title", kHotKeyWindow, "--text", "OK"}));
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kHotKeyWindow, "--visible"}, 10000));
  EXPECT_EQ(GetSetting("HotKey", "ShowHide"), "Ctrl+Alt+A");
  EXPECT_EQ(GetSetting("HotKey", "CaptureDesktop"), "F5");
  // Registered: another program cannot have them.
  struct Held {
    const char* mods;
    const char* vk;
  };
  for (Held k : {Held{"3", "0x41"}, Held{"0", "0x74"}}) {
    Result r = Driver({"hold-hotkey", "--mods", k.mods, "--vk", k.vk, "--ms", "0"});
    EXPECT_EQ(r.code, 1) << k.vk << ": " << r.out << r.err;
  }
}

// Escape in the window: a hotkey box with the focus keeps it as a key; in
// any other control it closes the window as キャンセル does.
TEST_F(HotKeys, EscapeClosesTheWindowExceptInAHotKeyBox) {
  StartWithHotKeyWindow();
  ASSERT_FALSE(HasFailure());
  PressIn(kHotKeyWindow, "Tab");
  PressIn(kHotKeyWindow, "Escape");
  // On to the minutes, past the other boxes (the lock's is off on XP); the
  // keys come in order, so once the minutes change the Escape was handled.
  for (int i = 0; i < 9; ++i) PressIn(kHotKeyWindow, "Tab");
  PressIn(kHotKeyWindow, "7");
  std::string minutes;
  EXPECT_TRUE(WaitFor([&] {
    for (const Control& c : Controls(kHotKeyWindow))
      if (c.cls == "Edit") minutes = c.text;
    return minutes == "7";
  }, 10000)) << "the minutes read '" << minutes << "'";
  Result open = Driver({"list", "--title", kHotKeyWindow, "--visible"});
  EXPECT_FALSE(open.lines().empty()) << "Escape in a hotkey box closed the window";
  PressIn(kHotKeyWindow, "Escape");
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kHotKeyWindow, "--visible"}, 10000));
  EXPECT_FALSE(GetSetting("HotKey", "TimerMinutes").has_value()) << "cancelled: nothing stored";
}

// A single-line edit's and a hotkey box's text sit in the middle of their
// boxes at every DPI (at 144 and 192 they sat against the top edge).
TEST_F(HotKeys, TextsAreCentredInEditsAndHotKeyBoxesAtEveryDpi) {
  int started = -1;
  for (int dpi : {96, 144, 192}) {
    SCOPED_TRACE(dpi);
    if (started >= 0) {
      ChooseTrayMenuItem("アプリケーションの終了(&A)");
      ASSERT_TRUE(WaitAppExit(started, 20000));
      StopWineserver();
    }
    SetWindowsVersion("win10");
    ASSERT_DRIVER_OK(Driver({"reg-set-dword", "Control Panel\\Desktop", "LogPixels", std::to_string(dpi)}));
    StopWineserver();
    SetSetting("F1", "X", "0");
    SetSetting("F1", "Y", "0");
    SkipLogo();
    started = StartApp();
    WaitMainWindow();
    ASSERT_FALSE(HasFailure());
    OpenHotKeyWindow();
    ASSERT_FALSE(HasFailure());
  ASSERT_FALSE(HasFailure());
    ASSERT_DRIVER_OK(Driver({"move", "--title", kHotKeyWindow, "--x", "0", "--y", "0"}));
    Screenshot("hotkeys-" + std::to_string(dpi), WindowRect(kHotKeyWindow));
    const Rect client = ClientRect(kHotKeyWindow);
    const std::vector<Control> controls = Controls(kHotKeyWindow);
    // The minutes and the first hotkey box ("None").
    for (const char* cls : {"Edit", "msctls_hotkey32"}) {
      SCOPED_TRACE(cls);
      Rect box;
      for (const Control& c : controls)
        if (c.cls == cls && box.height() == 0) box = c.rect;
      ASSERT_GT(box.height(), 0);
      const Rect onScreen{client.left + box.left, client.top + box.top, client.left + box.right,
                          client.top + box.bottom};
      // The text's rows: those with a dark pixel inside the client edge.
      const int edge = 2 * dpi / 96;
      int first = -1, last = -1;
      ASSERT_TRUE(WaitFor([&] {
        const std::string shot = Screenshot(std::string(cls) + "-" + std::to_string(dpi), onScreen);
        const std::vector<std::string> px = Pixels(shot, Rect{0, 0, onScreen.width(), onScreen.height()});
        first = last = -1;
        for (int y = edge; y < onScreen.height() - edge; ++y)
          for (int x = edge; x < onScreen.width() - edge; ++x) {
            const std::string& c = px[static_cast<size_t>(y * onScreen.width() + x)];
            if (std::stoi(c.substr(1, 2), nullptr, 16) < 0x80) {
              if (first < 0) first = y;
              last = y;
            }
          }
        return first >= 0;
      }, 10000)) << "no text in the box";
      const int above = first - edge, below = onScreen.height() - edge - 1 - last;
      std::cout << dpi << " DPI: " << cls << " " << onScreen.height() << " high, text rows " << first << "-"
                << last << ", above " << above << ", below " << below << "\n";
      EXPECT_LE(std::abs(above - below), 2 * dpi / 96) << "above " << above << ", below " << below;
    }
  }
}

}  // namespace
}  // namespace e2e
