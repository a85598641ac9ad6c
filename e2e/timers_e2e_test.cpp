// The stopwatch, the program runner and the resource meter on a real
// Windows API: real seconds, a real program to wait for, the real end of the
// session, and a resource library in the place where Windows 98 keeps it.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "e2e/harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kStopwatch = "Kivo-Config タイマー";
constexpr const char* kRunner = "Kivo-Config Open Application Ver1.0";
constexpr const char* kMeter = "Kivo-SHUTDOWN リソースメータ Ver1.0";

class Timers : public WineTest {
 protected:
  void Start(const std::string& version = "") {
    if (!version.empty()) SetWindowsVersion(version);
    SkipLogo();
    StartApp();
    WaitMainWindow();
  }
  // The text of the first control of a class whose text passes the test.
  std::string TextOf(const std::string& title, const std::string& cls,
                     const std::function<bool(const std::string&)>& pick) {
    for (const Control& c : Controls(title))
      if (c.cls == cls && pick(c.text)) return c.text;
    return "";
  }
  static bool Digits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
      if ((c < '0' || c > '9') && c != '-') return false;
    return true;
  }
  // Opens the runner and types a command line into it.
  void OpenRunner(const std::string& commandLine) {
    ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "Open APL"}));
    ASSERT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}));
    ASSERT_DRIVER_OK(Driver({"type", "--title", kRunner, "--ctl-class", "Edit", "--keys", commandLine}));
  }
  static std::string DriverWinPath() { return WinPath(DriverExe()); }
  // Ticks the runner's countdown and multitask boxes.
  void CountdownMode() {
    ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text",
                             "アプリケーションが終了した時Windowsを終了させる"}));
    ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "マルチタスクモードで使用する"}));
  }
};

TEST_F(Timers, StopwatchCountsRealSeconds) {
  Start();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "ｽﾄｯﾌﾟｳｫｯﾁ"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kStopwatch, "--visible"}));
  auto shown = [&] { return TextOf(kStopwatch, "Static", Digits); };
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kStopwatch, "--text", "開始"}));
  auto t0 = Clock::now();
  ASSERT_TRUE(WaitFor([&] { return shown() == "3"; }, 10000)) << "shows " << shown();
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kStopwatch, "--text", "停止"}));
  double waited = std::chrono::duration<double>(Clock::now() - t0).count();
  int seconds = std::stoi(shown());
  EXPECT_LE(std::abs(seconds - waited), 1.0) << "shown " << seconds << " after " << waited << " s";
  Screenshot(testName_, WindowRect(kStopwatch));
  // The main window's stopwatch and lock buttons wait for it to close.
  auto button = FindControl(Controls(kMainTitle), "Button", "ｽﾄｯﾌﾟｳｫｯﾁ");
  ASSERT_TRUE(button);
  EXPECT_FALSE(button->enabled);
  ASSERT_DRIVER_OK(Driver({"click", "--title", kStopwatch, "--text", "閉じる"}));
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kStopwatch}));
  EXPECT_TRUE(GetSetting("F4", "X"));
}

TEST_F(Timers, RunnerWaitsForARealProgramAndStaysResponsive) {
  Start();
  ASSERT_FALSE(HasFailure());
  // A program that runs for two seconds: the driver waiting for no window.
  OpenRunner(DriverWinPath() + " wait --title no-such-window --timeout 2000");
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "OK"}));
  // While it waits the runner answers at once.
  Result ping = Driver({"post", "--send", "--title", kRunner, "--msg", "0", "--timeout", "1000"});
  EXPECT_DRIVER_OK(ping);
  Result box = Driver({"msgbox", "--title", "kivo_config", "--answer", std::to_string(kIdOk)}, 20000);
  ASSERT_DRIVER_OK(box);
  EXPECT_EQ(box.lines().at(0), "Open Applicationを終了しました");
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", kRunner}));
  auto button = FindControl(Controls(kMainTitle), "Button", "Open APL");
  ASSERT_TRUE(button);
  EXPECT_TRUE(button->enabled);
}

TEST_F(Timers, CountdownEndsTheSessionWithoutAQuestion) {
  SetSetting("F12", "CBI1", "0");
  SetSetting("F12", "CBI2", "0");
  SetSetting("F12", "CBI3", "5");
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  OpenRunner(DriverWinPath() + " screen");
  ASSERT_FALSE(HasFailure());
  CountdownMode();
  ASSERT_FALSE(HasFailure());
  auto t0 = Clock::now();
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "OK"}));
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--hidden"}));
  ASSERT_TRUE(WaitAppExit(0, 30000)) << "the session did not end at zero";
  double took = std::chrono::duration<double>(Clock::now() - t0).count();
  EXPECT_GE(took, 4.0) << "the countdown did not last its five seconds";
  EXPECT_TRUE(GetSetting("F1", "X")) << "F1 was not saved before the end";
}

TEST_F(Timers, MeterShowsTheLibrarysFigures) {
  const fs::path system = fs::path(prefix_) / "drive_c" / "windows" / "system";
  fs::create_directories(system);
  fs::copy_file(Win32BuildDir() + "/e2e/driver/rsrc32.dll", system / "rsrc32.dll",
                fs::copy_options::overwrite_existing);
  Start("win98");
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "リソース"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kMeter, "--visible"}));
  auto systemText = [&] {
    return TextOf(kMeter, "Static", [](const std::string& t) { return t.rfind("SYSTEM", 0) == 0; });
  };
  ASSERT_TRUE(WaitFor([&] { return systemText().rfind("SYSTEMリソースの残り", 0) == 0; }, 10000))
      << systemText();
  std::string text = systemText();
  std::string number = text.substr(std::string("SYSTEMリソースの残り").size());
  ASSERT_FALSE(number.empty());
  EXPECT_EQ(number.back(), '%') << text;
  EXPECT_TRUE(Digits(number.substr(0, number.size() - 1))) << text;
  auto bar = [&] { return TextOf(kMeter, "msctls_progress32", Digits); };
  std::string first = bar();
  EXPECT_TRUE(WaitFor([&] { return bar() != first; }, 10000)) << "the bars do not move";
  Screenshot(testName_, WindowRect(kMeter));
}

// A browsed program under "C:\Program Files" while "C:\Program.exe" exists:
// unquoted, the system starts C:\Program.exe (here a window that stays open
// until it is closed); quoted, the program itself runs and the wait ends
// with it.
TEST_F(Timers, BrowsedProgramWithBlanksInItsPathRunsItself) {
  const fs::path drive = fs::path(prefix_) / "drive_c";
  fs::create_directories(drive / "Program Files" / "kivo runner");
  fs::copy_file(Win32BuildDir() + "/bench/bench_sleeper.exe",
                drive / "Program Files" / "kivo runner" / "sleeper.exe",
                fs::copy_options::overwrite_existing);
  fs::copy_file(Win32BuildDir() + "/bench/bench_minimal.exe", drive / "Program.exe",
                fs::copy_options::overwrite_existing);
  Start();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "Open APL"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "参照"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--class", "#32770", "--visible"}));
  const std::string program = "C:\\Program Files\\kivo runner\\sleeper.exe";
  ASSERT_DRIVER_OK(Driver({"type", "--class", "#32770", "--visible", "--ctl-class", "Edit", "--keys",
                           program}));
  ASSERT_DRIVER_OK(Driver({"post", "--class", "#32770", "--visible", "--msg", "273", "--wparam", "1"}));
  const std::string quoted = "\"" + program + "\"";
  auto edit = [&] { return TextOf(kRunner, "Edit", [](const std::string&) { return true; }); };
  ASSERT_TRUE(WaitFor([&] { return edit() == quoted; }, 10000)) << "the name reads " << edit();
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "OK"}));
  Result box = Driver({"msgbox", "--title", "kivo_config", "--answer", std::to_string(kIdOk)}, 20000);
  EXPECT_NE(Driver({"wait", "--title", "bench_minimal"}, 500).code, 0) << "C:\\Program.exe was run";
  ASSERT_DRIVER_OK(box);
  EXPECT_EQ(box.lines().at(0), "Open Applicationを終了しました");
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kRunner}));

  // Typed without quotes, the system takes the shorter name.
  OpenRunner(program);
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "OK"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", "bench_minimal", "--visible"}, 20000));
  ASSERT_DRIVER_OK(Driver({"post", "--title", "bench_minimal", "--msg", "16"}));  // WM_CLOSE
  box = Driver({"msgbox", "--title", "kivo_config", "--answer", std::to_string(kIdOk)}, 20000);
  ASSERT_DRIVER_OK(box);
  EXPECT_EQ(box.lines().at(0), "Open Applicationを終了しました");
}

// Power off when a program ends, with a program that cannot start: the
// failure is reported and no end is promised.
TEST_F(Timers, ProgramEndWithAProgramThatCannotStartPromisesNothing) {
  SetSetting("F12", "MODE", "2");
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  OpenRunner("C:\\no such folder\\missing.exe");
  ASSERT_FALSE(HasFailure());
  CountdownMode();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "OK"}));
  Result box = Driver({"msgbox", "--title", "kivo_config", "--answer", std::to_string(kIdOk)}, 10000);
  ASSERT_DRIVER_OK(box);
  EXPECT_EQ(box.lines().at(0), "実行ファイル名を入力して下さい。");
  auto sentence = [&] {
    return TextOf(kRunner, "Static", [](const std::string& t) { return t.size() > 40; });
  };
  EXPECT_EQ(sentence(), "実行したいアプリケーションを入力して実行して下さい。");
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}, 2000));
}

constexpr const char* kWarning = "Kivo-Config 終了予告";

// Power off when a program ends: the warning comes when it has ended, and
// "今すぐ" ends the session at once.
TEST_F(Timers, ProgramEndBringsTheWarningAndNowEndsTheSession) {
  SetSetting("F12", "MODE", "2");
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  OpenRunner(WinPath(Win32BuildDir() + "/bench/bench_sleeper.exe") + " 3000");
  ASSERT_FALSE(HasFailure());
  CountdownMode();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "OK"}));
  EXPECT_NE(Driver({"wait", "--title", kWarning, "--visible"}, 1500).code, 0)
      << "the warning came while the program still ran";
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kWarning, "--visible"}, 20000));
  Screenshot(testName_, WindowRect(kWarning));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kWarning, "--text", "今すぐ"}));
  ASSERT_TRUE(WaitAppExit(0, 30000)) << "the session did not end";
  EXPECT_TRUE(GetSetting("F1", "X")) << "F1 was not saved before the end";
}

// Five seconds: the warning at once; "中止" stops the countdown and nothing
// ends.
TEST_F(Timers, StopInTheWarningKeepsEverythingRunning) {
  SetSetting("F12", "CBI3", "5");
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  OpenRunner(DriverWinPath() + " screen");
  ASSERT_FALSE(HasFailure());
  CountdownMode();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "OK"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kWarning, "--visible"}, 3000));
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kWarning, "--text", "中止"}));
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", kWarning}));
  EXPECT_FALSE(WaitAppExit(0, 8000).has_value()) << "the countdown went on to the end";
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}, 2000));
}

constexpr const char* kTimerDialog = "タイマー設定";

// A repeated end due within its last minute when the program starts (as at
// a logon just before it): the runner opens with the last warning, and
// 中止 skips the day without ending anything.
TEST_F(Timers, ScheduleDueAtStartWarnsAndStopSkipsTheDay) {
  // The next minute on this machine's clock, with a few seconds to spare.
  std::time_t now = std::time(nullptr);
  ASSERT_TRUE(WaitFor([&] {
    now = std::time(nullptr);
    return std::localtime(&now)->tm_sec < 50;
  }, 15000));
  now += 60;
  const std::tm* next = std::localtime(&now);
  char at[8];
  std::snprintf(at, sizeof at, "%02d:%02d", next->tm_hour, next->tm_min);
  SetSetting("Schedule", "On", "1");
  SetSetting("Schedule", "Days", "1111111");
  SetSetting("Schedule", "At", at);
  SetSetting("Schedule", "Action", "poweroff");
  Start("win10");
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kWarning, "--visible"}, 5000));
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}, 2000));
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kWarning, "--text", "中止"}));
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", kWarning}));
  EXPECT_FALSE(WaitAppExit(0, 3000).has_value()) << "the end went on after 中止";
  EXPECT_EQ(GetSetting("Schedule", "At"), at) << "the schedule stays stored";
}

// The conditions chosen in the timer setting: stored, and the runner shows
// each one's figure and time while it watches.
TEST_F(Timers, ConditionsChosenInTheTimerSettingAreWatched) {
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  OpenRunner(DriverWinPath() + " screen");
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "Timer Set"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kTimerDialog, "--visible"}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kTimerDialog, "--text", "条件がそろった時"}));
  for (const Control& c : Controls(kTimerDialog)) {
    if (c.text == "CPU使用率" || c.text == "通信量" || c.text == "入力なし") {
      EXPECT_TRUE(c.enabled) << c.text << " is offered on XP";
    }
  }
  ASSERT_DRIVER_OK(Driver({"click", "--title", kTimerDialog, "--text", "入力なし"}));
  Screenshot(testName_ + "_setting", WindowRect(kTimerDialog));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kTimerDialog, "--text", "OK"}));
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kTimerDialog}));
  EXPECT_EQ(GetSetting("F12", "MODE"), "3");
  EXPECT_EQ(GetSetting("Conditions", "IdleOn"), "1");
  EXPECT_EQ(GetSetting("Conditions", "IdleMinutes"), "15");
  CountdownMode();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "OK"}));
  std::string line;
  EXPECT_TRUE(WaitFor(
      [&] {
        line = TextOf(kRunner, "Static", [](const std::string& t) { return t.find("無入力 — ") == 0; });
        return line.find("秒 / 15分") != std::string::npos;
      },
      5000))
      << "the runner shows the condition: " << line;
  EXPECT_EQ(TextOf(kRunner, "Static", [](const std::string& t) { return t == "監視中"; }), "監視中");
  Screenshot(testName_, WindowRect(kRunner));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "CANCEL"}));
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", kRunner}));
  EXPECT_FALSE(WaitAppExit(0, 1000).has_value()) << "the program ended";
}

// Windows 98 has no last input and IP Helper only from 98 on: the input
// condition is shown off, with the reason.
TEST_F(Timers, ConditionsNotOfferedShowTheirReason) {
  Start("win98");
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "Open APL"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "Timer Set"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kTimerDialog, "--visible"}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kTimerDialog, "--text", "条件がそろった時"}));
  int seen = 0;
  for (const Control& c : Controls(kTimerDialog)) {
    if (c.text == "入力なし") {
      EXPECT_FALSE(c.enabled) << "no input before 2000";
    }
    if (c.text == "通信量" || c.text == "CPU使用率") {
      EXPECT_TRUE(c.enabled) << c.text;
    }
    if (c.text == "入力なし: Windows 2000 以降") ++seen;
  }
  EXPECT_EQ(seen, 1) << "the reason is shown";
}

constexpr const char* kCounting = "自動でWindowsを終了します、途中で止める場合はcancelして下さい。";
constexpr const char* kStopped = "Windowsの自動終了を中止しました。";

// "Windows ends when the application ends" without the multitask mode: the
// runner waits for the started program (no box over or behind it), then
// brings the last warning; 中止 ends nothing and the runner says so.
TEST_F(Timers, WithoutMultitaskTheProgramsEndBringsTheWarningAndStopEndsNothing) {
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  OpenRunner(WinPath(Win32BuildDir() + "/bench/bench_sleeper.exe") + " 3000");
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text",
                           "アプリケーションが終了した時Windowsを終了させる"}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kRunner, "--text", "OK"}));
  auto sentence = [&] {
    return TextOf(kRunner, "Static", [](const std::string& t) { return t.size() > 30; });
  };
  EXPECT_TRUE(WaitFor([&] { return sentence() == kCounting; }, 5000)) << sentence();
  EXPECT_EQ(TextOf(kRunner, "Static", [](const std::string& t) { return t == "監視中"; }), "監視中");
  EXPECT_NE(Driver({"wait", "--title", kWarning, "--visible"}, 1000).code, 0)
      << "the warning came while the program still ran";
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kWarning, "--visible"}, 20000));
  EXPECT_NE(Driver({"wait", "--class", "#32770", "--visible"}, 500).code, 0) << "a message box is up";
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kWarning, "--text", "中止"}));
  EXPECT_DRIVER_OK(Driver({"wait-gone", "--title", kWarning}));
  EXPECT_TRUE(WaitFor([&] { return sentence() == kStopped; }, 5000)) << sentence();
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}, 2000));
  EXPECT_FALSE(WaitAppExit(0, 1000).has_value()) << "the session ended after 中止";
}

// /cancel from a second copy: the runner no longer says it counts.
TEST_F(Timers, CancelFromASecondCopyShowsTheRunnerStopped) {
  Start("winxp");
  ASSERT_FALSE(HasFailure());
  auto second = [&](const std::vector<std::string>& args) {
    std::optional<int> code = WaitAppExit(StartApp(AppExe(), args), 30000);
    EXPECT_TRUE(code.has_value()) << "the second copy did not end";
    return code.value_or(-100);
  };
  EXPECT_EQ(second({"/poweroff", "/in", "30", "/silent"}), 0);
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kRunner, "--visible"}));
  auto sentence = [&] {
    return TextOf(kRunner, "Static", [](const std::string& t) { return t.size() > 30; });
  };
  auto count = [&] { return TextOf(kRunner, "Static", Digits); };
  ASSERT_TRUE(WaitFor([&] { return sentence() == kCounting && count() != "" && count() != "1800"; }, 10000))
      << sentence() << " " << count();
  EXPECT_EQ(second({"/cancel", "/silent"}), 0);
  EXPECT_TRUE(WaitFor([&] { return sentence() == kStopped; }, 5000)) << sentence();
  EXPECT_EQ(count(), "0");
  Screenshot(testName_, WindowRect(kRunner));
  EXPECT_EQ(second({"/cancel", "/silent"}), 3) << "nothing left to cancel";
}

}  // namespace
}  // namespace e2e
