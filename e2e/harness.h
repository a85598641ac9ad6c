// End-to-end test harness: runs kivo_config.exe under Wine on a private X
// server and drives it with kivo_driver.exe.
//
// Once per test process the environment boots (or reuses) a template Wine
// prefix and starts one Xvfb. Every test gets its own copy of the template,
// so its own registry and its own wineserver, stopped in TearDown.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "e2e/two_monitors.h"

namespace e2e {

// The main window's caption and the message boxes' caption.
inline constexpr const char* kMainTitle = "KIVO-CONFIG FOR Windows";
inline constexpr const char* kBoxTitle = "Kivo-Config For Windows";
inline constexpr const char* kSettingsKey = "Software\\Kivo_Project\\Ve_Dizo\\Kivo_Shutdown";
// The tray icon's callback message (WM_USER + 1) and the mouse events it carries.
inline constexpr int kTrayMessage = 1025;
inline constexpr int kWmLButtonDblClk = 0x203;
inline constexpr int kWmRButtonDown = 0x204;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

struct Result {
  int code = -1;        // exit code, or -1 when killed after the hard timeout
  std::string out;      // stdout (UTF-8)
  std::string err;      // stderr
  std::vector<std::string> lines() const;
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// One child control as listed by "kivo_driver children".
struct Control {
  std::string hwnd;
  std::string cls;
  int id = 0;
  bool enabled = false;
  bool visible = false;
  int checked = -1;  // -1: not a check box or radio button
  Rect rect;
  std::string text;
};

// A process started in the background (wine or the driver).
struct Background {
  pid_t pid = -1;
  std::string outFile;
  std::string errFile;
};

class WineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs kivo_driver.exe with the arguments; the driver's own waits use
  // timeoutMs, the process is killed 20 s after that.
  Result Driver(const std::vector<std::string>& args, int timeoutMs = 15000);
  // Starts the driver in the background (for commands that block, e.g. "run").
  Background DriverInBackground(const std::vector<std::string>& args);
  // Waits for a background process; its stdout/stderr are in the Result.
  Result Finish(Background& bg, int timeoutMs);
  // Runs a Linux tool (ImageMagick and the like) to its end.
  Result RunTool(const std::vector<std::string>& argv, int timeoutMs = 60000);

  // Starts "wine kivo_config.exe" in the background; output goes to
  // <log dir>/app-<n>.log. Returns the index to pass to WaitAppExit.
  int StartApp();
  // The same for a copy of the program elsewhere (a Windows path), and with
  // command-line arguments.
  int StartApp(const std::string& exe, const std::vector<std::string>& args = {});
  // Starts the program with a working directory of the prefix's drive C
  // (a path below drive_c, "windows" for C:\windows): programs it starts
  // inherit it.
  int StartAppIn(const std::string& driveCDir);
  // Waits until the n-th started app process exits; returns its exit status
  // (8 bits, as Linux reports it) or nullopt on timeout.
  std::optional<int> WaitAppExit(int n, int timeoutMs);
  // Runs one of the checking programs of the win32 build (a console program
  // printing "ok <case>" or "FAIL <case>: what" a line, the number failed as
  // its exit code) as the Windows version given, and fails naming every case
  // that did not hold, with the program's whole output.
  void RunCheckingProgram(const std::string& exe, const std::string& version);

  // Ends every Windows process of the prefix and its wineserver, which writes
  // the registry to the prefix's .reg files.
  void StopWineserver();

  // Registry values under HKCU\<kSettingsKey>\<section>.
  void SetSetting(const std::string& section, const std::string& name, const std::string& value);
  std::optional<std::string> GetSetting(const std::string& section, const std::string& name);
  // Skips the two-second logo window.
  void SkipLogo() { SetSetting("F6", "C2", "1"); }
  // The Windows version Wine reports to kivo_config.exe (win98, winxp, ...).
  // A version of the 95 family makes the Wine processes started after it
  // run under a Japanese locale (ANSI code page 932).
  void SetWindowsVersion(const std::string& version);
  // The second run of the ANSI path (KIVO_E2E_ANSI=1): every test starts
  // on win98 under a Japanese locale with KIVO_ANSI=1 in the program's
  // environment.
  // This test takes the ANSI path whatever the run: win98, Japanese
  // locale, KIVO_ANSI=1.
  void ForceAnsi() {
    forceAnsi_ = true;
    japanese_ = true;
    SetWindowsVersion("win98");
  }
  static bool AnsiRun() {
    const char* v = getenv("KIVO_E2E_ANSI");
    return v && std::string(v) == "1";
  }

  // Runs this test on an X server of its own with two monitors side by side
  // (two_monitors.h) and without Wine's virtual desktop, which has only one.
  // Call it before the test starts the program; a wineserver that already
  // runs (the driver's) is stopped first.
  void UseTwoMonitors(const MonitorLayout& layout);

  // Waits until the main window is visible and returns its rect.
  Rect WaitMainWindow(int timeoutMs = 30000);
  Rect WindowRect(const std::string& title);
  // The client area of a top-level window in screen coordinates.
  Rect ClientRect(const std::string& title);
  std::vector<Control> Controls(const std::string& title);
  std::optional<Control> FindControl(const std::vector<Control>& all, const std::string& cls,
                                     const std::string& text);
  std::pair<int, int> ScreenSize();

  // The X server's own mouse (XTest), as a hand on a mouse moves it, to a
  // point of Windows' screen; waits until Wine has the pointer there.
  void MoveMouse(int x, int y);
  // xdotool with the arguments, on this test's X server.
  void XTool(const std::vector<std::string>& args);
  // Points at a control of a top-level window (by its text) until what
  // pointing shows holds (shown() true), at most timeoutMs: under Wine a
  // move from another process may be followed by one at the pointer's former
  // place, so each look points again. False when it never held.
  bool Hover(const std::string& title, const std::string& text, const std::function<bool()>& shown,
             int timeoutMs = 10000);

  // Chooses an item of the tray icon's popup menu.
  void ChooseTrayMenuItem(const std::string& item);

  // Saves a PNG of the screen area to build/screenshots/<name>.png.
  std::string Screenshot(const std::string& name, const Rect& area);
  // The colours ("#RRGGBB") of the pixels of an area of a PNG, row by row.
  std::vector<std::string> Pixels(const std::string& png, const Rect& area);

  // Windows path (Z:\...) of a file of the Linux file system.
  static std::string WinPath(const std::string& unixPath);

  std::string logDir_;
  std::string prefix_;
  std::string testName_;
  bool japanese_ = false;
  bool forceAnsi_ = false;

 private:
  Background Spawn(const std::vector<std::string>& argv, const std::string& outFile,
                   const std::string& errFile, const std::string& unixDir = "");
  std::string display_;  // the process's Xvfb, or the test's own server
  XServer ownServer_;
  std::optional<MonitorLayout> layout_;
  std::vector<pid_t> apps_;
  std::vector<pid_t> others_;
  int runs_ = 0;
};

// Polls cond every 50 ms until it is true or timeoutMs has passed.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs);

// Paths the runner was built with (overridable by environment variables).
std::string Win32BuildDir();
std::string AppExe();
std::string DriverExe();

}  // namespace e2e

// Asserts that a driver call succeeded, showing its output on failure.
#define ASSERT_DRIVER_OK(result)                                                        \
  do {                                                                                  \
    const ::e2e::Result& r_ = (result);                                                 \
    ASSERT_EQ(r_.code, 0) << "kivo_driver failed:\n" << r_.err << r_.out;               \
  } while (0)
#define EXPECT_DRIVER_OK(result)                                                        \
  do {                                                                                  \
    const ::e2e::Result& r_ = (result);                                                 \
    EXPECT_EQ(r_.code, 0) << "kivo_driver failed:\n" << r_.err << r_.out;               \
  } while (0)
