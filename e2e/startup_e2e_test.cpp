// Start-up: the first start's window, the logo, the refused second copy.
#include <chrono>
#include <set>

#include "e2e/harness.h"

namespace e2e {
namespace {

struct VersionCase {
  const char* wineVersion;  // value for Wine's AppDefaults "Version"
  const char* label;        // what the main window's static label shows
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.wineVersion; }

class FirstStart : public WineTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(FirstStart, ShowsCentredMainWindow) {
  SetWindowsVersion(GetParam().wineVersion);
  SkipLogo();
  StartApp();
  Rect rect = WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  Screenshot(testName_, rect);

  auto [screenW, screenH] = ScreenSize();
  // Centred: integer halves of the free space, allowing for either rounding.
  EXPECT_NEAR(rect.left, (screenW - rect.width()) / 2, 1) << "screen width " << screenW;
  EXPECT_NEAR(rect.top, (screenH - rect.height()) / 2, 1) << "screen height " << screenH;

  auto controls = Controls(kMainTitle);
  for (const char* button : {"ログオフ", "再起動", "シャットダウン", "電源切断", "スタンバイ", "閉じる"})
    EXPECT_TRUE(FindControl(controls, "Button", button)) << "no button " << button;
  for (const char* box : {"スタートアップ登録", "休止状態をサポートする", "タスクバーを非表示",
                          "ステータスバーを非表示", "強制終了を無効にする"}) {
    auto c = FindControl(controls, "Button", box);
    ASSERT_TRUE(c) << "no check box " << box;
    EXPECT_NE(c->checked, -1) << box << " is not a check box";
  }
  bool statusBar = false, label = false;
  for (const auto& c : controls) {
    if (c.cls == "msctls_statusbar32") statusBar = true;
    if (c.cls == "Static" && c.text.find(GetParam().label) != std::string::npos) label = true;
  }
  EXPECT_TRUE(statusBar) << "no status bar";
  EXPECT_TRUE(label) << "no label \"" << GetParam().label << "\"";
}

// Wine's "win98" reports build 2222, the build of 98 Second Edition.
INSTANTIATE_TEST_SUITE_P(Versions, FirstStart,
                         ::testing::Values(VersionCase{"win98", "Windows 98 Second Edition"},
                                           VersionCase{"winxp", "Microsoft Windows XP"}),
                         [](const auto& info) { return std::string(info.param.wineVersion); });

using Startup = WineTest;

// Without F6\C2 = "1" a logo window is shown for two seconds before the main
// window.
TEST_F(Startup, LogoPrecedesMainWindow) {
  auto started = std::chrono::steady_clock::now();
  StartApp();
  // Wine's own top-level windows, never the program's.
  const std::set<std::string> wineClasses = {"__winex11_standalone_tray", "Shell_TrayWnd", "IME",
                                             "tooltips_class32", "WineDdeServerName",
                                             "WineDdeEventClass", "#32769"};
  bool logoSeen = false, mainSeen = false;
  ASSERT_TRUE(WaitFor([&] {
    Result r = Driver({"list", "--visible"});
    for (const auto& line : r.lines()) {
      std::string cls = line.substr(line.find('\t') + 1);
      cls = cls.substr(0, cls.find('\t'));
      bool isMain = line.size() >= strlen(kMainTitle) &&
                    line.compare(line.size() - strlen(kMainTitle), std::string::npos, kMainTitle) == 0;
      if (isMain) mainSeen = true;
      else if (!wineClasses.count(cls)) logoSeen = true;
    }
    return mainSeen;
  }, 30000)) << "the main window did not appear";
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  EXPECT_TRUE(logoSeen) << "no other window was visible before the main window";
  EXPECT_GE(elapsed.count(), 1900) << "the main window came before the two-second logo ended";
  Rect rect = WaitMainWindow();
  auto [screenW, screenH] = ScreenSize();
  EXPECT_NEAR(rect.left, (screenW - rect.width()) / 2, 1);
  EXPECT_NEAR(rect.top, (screenH - rect.height()) / 2, 1);
}

TEST_F(Startup, SecondStartIsRefused) {
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());

  Background second = DriverInBackground({"run", "--timeout", "60000", "--", WinPath(AppExe())});
  Result box = Driver({"msgbox", "--title", kBoxTitle, "--answer", std::to_string(kIdOk)}, 30000);
  ASSERT_DRIVER_OK(box);
  ASSERT_FALSE(box.lines().empty());
  EXPECT_EQ(box.lines()[0], "すでに同じプログラムが起動しています。");

  Result run = Finish(second, 70000);
  ASSERT_DRIVER_OK(run);
  auto lines = run.lines();
  ASSERT_EQ(lines.size(), 2u) << run.out;
  EXPECT_EQ(lines[1], "exit=0xffffffff -1");

  // The first copy keeps running with its window.
  EXPECT_FALSE(WaitAppExit(0, 0).has_value());
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}, 2000));
}

// A position that is not a number falls back to the default, the centre.
TEST_F(Startup, UnreadablePositionFallsBackToCentre) {
  SkipLogo();
  SetSetting("F1", "X", "abc");
  SetSetting("F1", "Y", "12");
  StartApp();
  Rect rect = WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  auto [screenW, screenH] = ScreenSize();
  EXPECT_NEAR(rect.left, (screenW - rect.width()) / 2, 1);
  EXPECT_EQ(rect.top, 12);
}

// What the start sets up before the window first shows (the version's
// captions and disabled launchers, the stored check boxes, the status bar
// hidden) is there when it shows, and the buttons and boxes keep the order
// they were made in: the stacking, which is the order of the Tab key.
TEST_F(Startup, SetUpBeforeTheFirstShowingAndInTheOrderMade) {
  SetWindowsVersion("win10");
  SkipLogo();
  SetSetting("F1", "STARTUP", "1");
  SetSetting("F1", "STATUS", "1");
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  const std::vector<Control> controls = Controls(kMainTitle);
  std::vector<std::string> order;
  for (const Control& c : controls)
    if (c.cls == "Button" && c.visible) order.push_back(c.text);
  // スタンバイ shows where Wine reports a sleep state; the others always.
  if (!order.empty() && order.front() == "スタンバイ") order.erase(order.begin());
  const std::vector<std::string> made = {
      "ログオフ", "再起動", "シャットダウン", "電源切断", "ﾈｯﾄﾜｰｸ", "ﾊﾟﾌｫｰﾏﾝｽ", "アプリ追加・削除",
      "ｼｽﾃﾑ情報", "ｿﾙﾃｨｱ", "ネットワーク", "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾌﾘｰｾﾙ", "モデム", "日付と時刻",
      "画面設定", "リソース", "画面ロック", "ｽﾄｯﾌﾟｳｫｯﾁ", "Open APL", "閉じる", "スタートアップ登録",
      "休止状態をサポートする", "タスクバーを非表示", "ステータスバーを非表示", "強制終了を無効にする"};
  EXPECT_EQ(order, made);
  for (const char* off : {"画面設定", "アプリ追加・削除", "強制終了を無効にする"}) {
    auto c = FindControl(controls, "Button", off);
    ASSERT_TRUE(c) << off;
    EXPECT_FALSE(c->enabled) << off << " is enabled on Windows 10";
  }
  for (const char* on : {"スタートアップ登録", "ステータスバーを非表示"}) {
    auto c = FindControl(controls, "Button", on);
    ASSERT_TRUE(c) << on;
    EXPECT_EQ(c->checked, 1) << on << " is not checked as stored";
  }
  auto version = FindControl(controls, "Static", "Windows 10");
  ASSERT_TRUE(version) << "no label \"Windows 10\"";
  EXPECT_TRUE(version->visible);
  for (const Control& c : controls) {
    if (c.cls != "msctls_statusbar32") continue;
    EXPECT_FALSE(c.visible) << "the status bar shows, though stored hidden";
  }
}

// A value of the wrong registry type is reported by name; the program keeps
// running with its window.
TEST_F(Startup, WrongValueTypeIsReported) {
  SkipLogo();
  ASSERT_DRIVER_OK(Driver({"reg-set-dword", std::string(kSettingsKey) + "\\F1", "Y", "12"}));
  StartApp();
  Result box = Driver({"msgbox", "--answer", std::to_string(kIdOk)}, 30000);
  ASSERT_DRIVER_OK(box);
  ASSERT_FALSE(box.lines().empty());
  EXPECT_EQ(box.lines()[0], "'Y' のデータ型が不正です");
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kBoxTitle, "--visible"}));
  EXPECT_FALSE(WaitAppExit(0, 0).has_value()) << "the program ended after the error";
}

}  // namespace
}  // namespace e2e
