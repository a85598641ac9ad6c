// The README's pictures: opens every window of the real program under Wine,
// one look per run, and saves each window alone as a PNG.
//
//   KIVO_GALLERY_DIR   where the pictures go (<name>-<look>.png)
//   KIVO_GALLERY_LOOK  "98": Windows 98 on the ANSI path under a Japanese
//                      locale; "xp": Windows XP on the Unicode path
//
// scripts/screenshots.sh runs both looks, optimises the files and keeps one
// picture where the two looks are the same. Not part of the test run: the
// pictures are made on purpose, never as a side effect of the tests.
//
// The pictures must be the same bytes from run to run when nothing changed:
// the caret never blinks (its rate is set out of reach), the clock, uptime
// and memory of the main window are painted over, the resource meter's
// stand-in library holds its figures still and the last warning is taken
// when its countdown reads a fixed number. No real password is ever typed:
// the lock is set with a throwaway one only to show its prompt.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace fs = std::filesystem;

namespace e2e {
namespace {

constexpr const char* kStopwatch = "Kivo-Config タイマー";
constexpr const char* kRunner = "Kivo-Config Open Application Ver1.0";
constexpr const char* kTimerDialog = "タイマー設定";
constexpr const char* kWarning = "Kivo-Config 終了予告";
constexpr const char* kMeter = "Kivo-SHUTDOWN リソースメータ Ver1.0";
constexpr const char* kLockTitle = "KIVO-CONFIG FOR Windows";  // the lock's default caption
constexpr const char* kUserSettings = "KIVO-CONFIG ユーザー設定";
constexpr const char* kConsole = "Kivo-Brevo PingSender Ver1.0 Personal";
constexpr const char* kPrompt = "MS-DOS プロンプト";
constexpr const char* kConsoleOptions = "Kivo-Brevo Raru Derura Ver1.0 オプション";
constexpr const char* kViewer = "Kivo-Config 画像ビューア Ver1.1";
constexpr const char* kViewerAbout = "Kivo画像ビューア";
constexpr const char* kCaptureSettings = "キャプチャの設定";
constexpr const char* kCaptureWindow = "アクティブウィンドウ\u3000キャプチャ";
constexpr const char* kBrowser = "Kivo-WebExplorer Ver1.0";
constexpr const char* kInternetOptions = "Kivo-WebExplorer インターネットオプション";
constexpr const char* kAbout = "バージョン情報";
constexpr const char* kThrowaway = "gallery";  // never a real password
constexpr int kWmClose = 16;
constexpr int kWmLButtonUp = 0x202;

std::string envOr(const char* name, const std::string& def) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : def;
}

class Gallery : public WineTest {
 protected:
  void SetUp() override {
    WineTest::SetUp();
    if (HasFailure()) return;
    dir_ = envOr("KIVO_GALLERY_DIR", "");
    look_ = envOr("KIVO_GALLERY_LOOK", "xp");
    if (dir_.empty()) GTEST_SKIP() << "KIVO_GALLERY_DIR is not set (scripts/screenshots.sh sets it)";
    fs::create_directories(dir_);
    // The stand-in resource library answers fixed figures (see e2e/fixtures).
    setenv("KIVO_RSRC32_STILL", "1", 1);
  }

  // Starts the program in the look of this run, with what every picture
  // needs set first.
  void Start(bool logo = false) {
    if (look_ == "98") {
      ForceAnsi();
      const fs::path system = fs::path(prefix_) / "drive_c" / "windows" / "system";
      fs::create_directories(system);
      fs::copy_file(Win32BuildDir() + "/e2e/driver/rsrc32.dll", system / "rsrc32.dll",
                    fs::copy_options::overwrite_existing);
    } else if (look_ == "150") {
      // Windows 10 on a full-HD screen at 150 %.
      SetWindowsVersion("win10");
      ASSERT_DRIVER_OK(Driver({"reg-set-dword", "Control Panel\\Desktop", "LogPixels", "144"}));
      ASSERT_DRIVER_OK(Driver({"reg-set", "Software\\Wine\\Explorer\\Desktops", "Default", "1920x1080"}));
      StopWineserver();  // the desktop takes its size when it starts
    } else {
      SetWindowsVersion("winxp");
    }
    // A caret that blinks would show in one picture and not in the next.
    ASSERT_DRIVER_OK(Driver({"reg-set", "Control Panel\\Desktop", "CursorBlinkRate", "1000000"}));
    if (!logo) SkipLogo();
    StartApp();
    if (logo) return;
    WaitMainWindow();
  }

  Result Wait(const std::string& title, int timeoutMs = 15000) {
    return Driver({"wait", "--title", title, "--visible"}, timeoutMs);
  }

  Rect VisibleRect(const std::string& title) {
    Rect r;
    Result res = Driver({"rect", "--title", title, "--visible"});
    EXPECT_EQ(res.code, 0) << res.err;
    std::istringstream in(res.out);
    in >> r.left >> r.top >> r.right >> r.bottom;
    return r;
  }

  std::string Signature(const std::string& png) {
    Result r = RunTool({"identify", "-format", "%#", png});
    return r.code == 0 ? r.out : "";
  }

  // Saves the window alone; the areas (screen coordinates) are painted over
  // with the colour just above each. The picture is taken again until two in
  // a row are the same, so a paint still on its way cannot get in.
  void Shoot(const std::string& name, const std::string& title,
             const std::vector<Rect>& masks = {}) {
    ASSERT_DRIVER_OK(Wait(title));
    // A message sent through the window's queue: pending paints are done.
    Driver({"post", "--send", "--title", title, "--msg", "0"});
    Rect area = VisibleRect(title);
    ASSERT_GT(area.width(), 0) << title;
    ShootArea(name, area, masks);
  }

  void ShootArea(const std::string& name, const Rect& area, const std::vector<Rect>& masks = {}) {
    // At 150 % the README shows four windows only.
    if (look_ == "150" && name != "main" && name != "settings" && name != "runner" && name != "capture-settings")
      return;
    std::string file, last;
    ASSERT_TRUE(WaitFor([&] {
      file = Screenshot("gallery_" + name, area);
      std::string sig = Signature(file);
      bool same = !sig.empty() && sig == last;
      last = sig;
      return same;
    }, 20000)) << name << ": the window does not hold still";
    std::vector<std::string> argv = {"convert", file};
    for (const Rect& m : masks) {
      Rect local{m.left - area.left, m.top - area.top, m.right - area.left, m.bottom - area.top};
      auto colour = Pixels(file, Rect{local.left, local.top - 3, local.left + 1, local.top - 2});
      ASSERT_FALSE(colour.empty()) << name;
      argv.insert(argv.end(), {"-fill", colour[0], "-draw",
                               "rectangle " + std::to_string(local.left) + "," +
                                   std::to_string(local.top) + " " + std::to_string(local.right - 1) +
                                   "," + std::to_string(local.bottom - 1)});
    }
    std::string out = dir_ + "/" + name + "-" + look_ + ".png";
    argv.insert(argv.end(), {"-strip", "-define", "png:exclude-chunks=date,time", out});
    Result r = RunTool(argv);
    ASSERT_EQ(r.code, 0) << r.err;
  }

  void Close(const std::string& title) {
    ASSERT_DRIVER_OK(Driver({"post", "--title", title, "--msg", std::to_string(kWmClose)}));
    ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", title, "--visible"}));
  }

  void MenuCommand(const std::string& title, const std::string& item) {
    ASSERT_DRIVER_OK(Driver({"menu-command", "--title", title, "--text", item}));
  }
  void Click(const std::string& title, const std::string& text) {
    ASSERT_DRIVER_OK(Driver({"click", "--title", title, "--text", text}));
  }

  std::string dir_;
  std::string look_;
};

// The logo, alone: the main window is taken in a run without it, where
// nothing was ever painted over it.
TEST_F(Gallery, Logo) {
  Start(/*logo=*/true);
  ASSERT_FALSE(HasFailure());
  Shoot("logo", "Form5");
}

// The main window with its clock, uptime and memory painted over, the about
// boxes and the settings windows of the main menu.
TEST_F(Gallery, MainWindowAndItsSettings) {
  Start();
  ASSERT_FALSE(HasFailure());
  // The three live labels share one box; they grow to the left with their
  // text, so the whole rows are painted over, from the left of the box's
  // fixed label "起動しているOS:" to the labels' right edge.
  std::vector<Control> controls;
  auto labelled = [&](const char* start) {
    for (const Control& c : controls)
      if (c.text.rfind(start, 0) == 0) return true;
    return false;
  };
  // Until their first tick they read "Please Wait !!".
  ASSERT_TRUE(WaitFor([&] {
    controls = Controls(kMainTitle);
    return labelled("現在時刻") && labelled("OS起動から");
  }, 10000)) << "the clock and uptime never showed";
  auto fixed = FindControl(controls, "Static", "起動しているOS:");
  ASSERT_TRUE(fixed);
  // The controls' rects are in client coordinates.
  Rect client = ClientRect(kMainTitle);
  Rect live{fixed->rect.left, 1 << 20, 0, 0};
  for (const Control& c : controls) {
    if (c.text.rfind("現在時刻", 0) == 0 || c.text.rfind("OS起動から", 0) == 0 ||
        c.text.rfind("Total Physical Memory", 0) == 0) {
      live.top = std::min(live.top, c.rect.top);
      live.right = std::max(live.right, c.rect.right);
      live.bottom = std::max(live.bottom, c.rect.bottom);
    }
  }
  ASSERT_GT(live.bottom, live.top) << "the clock, uptime and memory labels were not found";
  live = Rect{live.left + client.left, live.top + client.top, live.right + client.left,
              live.bottom + client.top};
  Shoot("main", kMainTitle, {live});
  ASSERT_FALSE(HasFailure());

  MenuCommand(kMainTitle, "バージョン情報(&V)");
  Shoot("about", kAbout);
  Close(kAbout);
  MenuCommand(kMainTitle, "FIX情報(&F)");
  Shoot("fix", "FIX情報");
  Close("FIX情報");
  // The logo as it is set out of the box (the pictures skip it).
  SetSetting("F6", "C2", "0");
  MenuCommand(kMainTitle, "設定(&S)");
  Shoot("settings", "詳細設定");
  Close("詳細設定");
  MenuCommand(kMainTitle, "ホットキーの設定(&K)");
  Shoot("hotkeys", "ホットキーの設定");
  Close("ホットキーの設定");
}

// The stopwatch, the runner with its timer dialog, the last warning and the
// resource meter.
TEST_F(Gallery, Timers) {
  SetSetting("F12", "MODE", "2");  // power off when the program ends: the warning comes at once
  Start();
  ASSERT_FALSE(HasFailure());
  Click(kMainTitle, "ｽﾄｯﾌﾟｳｫｯﾁ");
  Shoot("stopwatch", kStopwatch);
  Close(kStopwatch);

  // The meter reads the resources of the 95 family only (elsewhere its
  // button is off).
  if (look_ == "98") {
    Click(kMainTitle, "リソース");
    ASSERT_TRUE(WaitFor([&] {
      for (const Control& c : Controls(kMeter))
        if (c.text == "SYSTEMリソースの残り70%") return true;
      return false;
    }, 10000)) << "the meter does not show the stand-in's still figures";
    Shoot("meter", kMeter);
    Close(kMeter);
  }

  Click(kMainTitle, "Open APL");
  ASSERT_DRIVER_OK(Wait(kRunner));
  Shoot("runner", kRunner);
  Click(kRunner, "Timer Set");
  Shoot("runner-timer", kTimerDialog);
  Close(kTimerDialog);

  // The warning of a power-off when a program ends, taken when its countdown
  // reads a number it held for the whole picture.
  ASSERT_DRIVER_OK(Driver({"type", "--title", kRunner, "--ctl-class", "Edit", "--keys",
                           WinPath(Win32BuildDir() + "/bench/bench_sleeper.exe") + " 100"}));
  Click(kRunner, "アプリケーションが終了した時Windowsを終了させる");
  Click(kRunner, "マルチタスクモードで使用する");
  ASSERT_FALSE(HasFailure());
  Click(kRunner, "OK");
  ASSERT_DRIVER_OK(Wait(kWarning, 20000));
  auto reads = [&](int seconds) {
    for (const Control& c : Controls(kWarning))
      if (c.text.rfind("あと " + std::to_string(seconds) + " 秒で", 0) == 0) return true;
    return false;
  };
  // The picture is taken between two readings of the same number.
  Rect area = VisibleRect(kWarning);
  bool taken = false;
  for (int seconds = 27; seconds >= 9 && !taken; seconds -= 3) {
    if (!WaitFor([&] { return reads(seconds); }, 5000)) continue;
    ShootArea("warning", area);
    ASSERT_FALSE(HasFailure());
    taken = reads(seconds);
  }
  EXPECT_TRUE(taken) << "the warning's countdown never held still for a picture";
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kWarning, "--text", "中止"}));
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kWarning}));
}

// The lock's set-up and its prompt, both with empty entries.
TEST_F(Gallery, Lock) {
  Start();
  ASSERT_FALSE(HasFailure());
  MenuCommand(kMainTitle, "ユーザー設定");
  Shoot("user-settings", kUserSettings);
  Close(kUserSettings);

  // The lock is offered on the 95 family only.
  if (look_ != "98") return;
  Click(kMainTitle, "画面ロック");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--hidden"}));
  Shoot("lock-setup", kLockTitle);
  ASSERT_FALSE(HasFailure());
  for (int i = 0; i < 2; ++i)
    ASSERT_DRIVER_OK(Driver({"type", "--title", kLockTitle, "--visible", "--ctl-class", "Edit",
                             "--index", std::to_string(i), "--keys", kThrowaway}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  ASSERT_DRIVER_OK(Wait("Form25"));
  ASSERT_DRIVER_OK(Driver({"post", "--title", "Form25", "--msg", std::to_string(kWmLButtonUp)}));
  Shoot("lock-prompt", kLockTitle);
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"type", "--title", kLockTitle, "--visible", "--ctl-class", "Edit",
                           "--index", "0", "--keys", kThrowaway}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kLockTitle, "--visible", "--text", "OK"}));
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", "Form25"}));
}

// The network console with its options and about box.
TEST_F(Gallery, Console) {
  if (look_ != "98") GTEST_SKIP() << "the console is offered on the 95 family only";
  Start();
  ASSERT_FALSE(HasFailure());
  MenuCommand(kMainTitle, "Raru Derura(&P)");
  ASSERT_DRIVER_OK(Wait(kConsole));
  // The console opens its prompt window, which Wine puts over it: the
  // console moves below.
  ASSERT_DRIVER_OK(Wait(kPrompt, 30000));
  Rect prompt = VisibleRect(kPrompt);
  Rect console = VisibleRect(kConsole);
  if (prompt.bottom > console.top)
    ASSERT_DRIVER_OK(Driver({"move", "--title", kConsole, "--x", std::to_string(console.left),
                             "--y", std::to_string(prompt.bottom + 8)}));
  Shoot("console", kConsole);
  Driver({"click", "--title", kConsole, "--text", "オプション"});
  Shoot("console-options", kConsoleOptions);
  Close(kConsoleOptions);
  Driver({"click", "--title", kConsole, "--text", "ﾊﾞｰｼﾞｮﾝ情報"});
  Shoot("console-about", kAbout);
  Close(kAbout);
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kConsole, "--text", "終了"}));
}

// The image viewer, its about box, the capture settings and the capture
// window.
TEST_F(Gallery, Viewer) {
  Start();
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("アクティブウィンドウ取得(&A)");
  Shoot("capture-window", kCaptureWindow);
  Close(kCaptureWindow);
  MenuCommand(kMainTitle, "画像ビューア(&V)");
  // With a picture open, as a person sees it: ImageMagick's built-in logo
  // as a JPEG (the same bytes every run), dropped on the window.
  const std::string picture = prefix_ + "/drive_c/logo.jpg";
  ASSERT_EQ(RunTool({"convert", "logo:", "-resize", "50%", "-quality", "90", picture}).code, 0);
  ASSERT_DRIVER_OK(Wait(kViewer));
  ASSERT_DRIVER_OK(Driver({"drop", "--title", kViewer, "--", "C:\\logo.jpg"}));
  ASSERT_TRUE(WaitFor([&] {
    for (const Control& c : Controls(kViewer))
      if (c.cls == "Static" && c.rect.width() == 320 && c.rect.height() == 240) return true;
    return false;
  }, 20000)) << "the picture is not shown";
  Shoot("viewer", kViewer);
  MenuCommand(kViewer, "バージョン情報");
  Shoot("viewer-about", kViewerAbout);
  Close(kViewerAbout);
  MenuCommand(kViewer, "キャプチャの設定(&C)...");
  ASSERT_DRIVER_OK(Wait(kCaptureSettings));
  // The example name carries the date and time: painted over.
  std::vector<Rect> example;
  Rect client = ClientRect(kCaptureSettings);
  for (const Control& c : Controls(kCaptureSettings))
    if (c.text.rfind("例: ", 0) == 0)
      example.push_back(Rect{client.left + c.rect.left, client.top + c.rect.top,
                             client.left + c.rect.right, client.top + c.rect.bottom});
  ASSERT_EQ(example.size(), 1u) << "the example name was not found";
  Shoot("capture-settings", kCaptureSettings, example);
  Close(kCaptureSettings);

  if (look_ == "150") return;  // the overlay's picture is the 100 % one
  // The region overlay over the viewer, half way through a drag: the screen
  // still and darkened, the rectangle bright with its size. The main window
  // (its clock) is out of the way first.
  Click(kMainTitle, "閉じる");
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kMainTitle, "--visible"}));
  const Rect viewer = VisibleRect(kViewer);
  MenuCommand(kViewer, "範囲キャプチャ(&R)");
  ASSERT_DRIVER_OK(Wait("範囲キャプチャ"));
  auto mouse = [&](const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_EQ(RunTool(argv).code, 0);
  };
  auto moveTo = [&](int x, int y) {
    mouse({"mousemove", std::to_string(x), std::to_string(y)});
    const std::string want = std::to_string(x) + " " + std::to_string(y);
    ASSERT_TRUE(WaitFor([&] {
      Result r = Driver({"cursor"});
      return r.code == 0 && !r.lines().empty() && r.lines()[0] == want;
    }, 15000)) << "the mouse did not reach " << want;
  };
  moveTo(viewer.left + 150, viewer.top + 120);
  mouse({"mousedown", "1"});
  moveTo(viewer.left + 300, viewer.top + 220);
  moveTo(viewer.left + 389, viewer.top + 289);
  ShootArea("region-overlay", Rect{viewer.left, viewer.top, viewer.right, viewer.bottom + 40});
  mouse({"key", "Escape"});
  mouse({"mouseup", "1"});
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", "範囲キャプチャ"}));
}

// The web browser (without an engine under Wine: its frame and tools), its
// internet options and about box.
TEST_F(Gallery, Browser) {
  Start();
  ASSERT_FALSE(HasFailure());
  MenuCommand(kMainTitle, "Kivo-WebExplorer Ver1.0");
  // Without Internet Explorer the program says so first.
  Driver({"msgbox", "--title", "kivo_config", "--answer", std::to_string(kIdOk)}, 5000);
  Shoot("browser", kBrowser);
  MenuCommand(kBrowser, "インターネットオプション(&O)");
  Shoot("internet-options", kInternetOptions);
  Close(kInternetOptions);
  MenuCommand(kBrowser, "バージョン情報(&V)");
  Shoot("browser-about", kAbout);
  Close(kAbout);
}

}  // namespace
}  // namespace e2e
