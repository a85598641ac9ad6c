// The main window as each Windows version sees it, and the tray icon that
// hides, shows and ends the program.
#include <unistd.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace e2e {
namespace {

enum class Family { Win9x, NT };

struct VersionCase {
  const char* wineVersion;   // value for Wine's AppDefaults "Version"
  Family family;
  const char* versionLabel;  // the static that names the running system
  const char* groupLabel;    // the caption above the launcher buttons
  bool standbyVisible;       // "スタンバイ"
  bool hibernateVisible;     // "休止状態をサポートする"
  bool hibernateEnabled;
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.wineVersion; }

// Launchers the NT family takes over for its own administration tools.
const std::vector<std::string> kNtCaptions = {"ｼｽﾃﾑ情報", "ｿﾙﾃｨｱ", "ﾌﾘｰｾﾙ", "ﾊﾟﾌｫｰﾏﾝｽ"};
// Launchers for 9x control panel items, each enabled there and disabled on NT.
// "ネットワーク" is the full-width caption; NT 4 gives another button the
// half-width "ﾈｯﾄﾜｰｸ".
const std::vector<std::string> k9xOnlyButtons = {"画面設定", "モデム", "ネットワーク",
                                                 "アプリ追加・削除", "画面ロック"};

class VersionAdaptation : public WineTest, public ::testing::WithParamInterface<VersionCase> {
 protected:
  // The control with this class and exact text; records a failure if absent.
  Control Get(const std::vector<Control>& all, const std::string& cls, const std::string& text) {
    auto c = FindControl(all, cls, text);
    EXPECT_TRUE(c.has_value()) << "no " << cls << " \"" << text << "\"";
    return c.value_or(Control{});
  }
  void ExpectEnabled(const std::vector<Control>& all, const std::string& text, bool enabled) {
    auto c = FindControl(all, "Button", text);
    ASSERT_TRUE(c.has_value()) << "no button \"" << text << "\"";
    EXPECT_TRUE(c->visible) << "\"" << text << "\" is hidden";
    EXPECT_EQ(c->enabled, enabled) << "\"" << text << "\" should be "
                                   << (enabled ? "enabled" : "disabled");
  }
};

TEST_P(VersionAdaptation, ControlsMatchTheSystem) {
  const VersionCase& v = GetParam();
  SetWindowsVersion(v.wineVersion);
  SkipLogo();
  StartApp();
  Rect rect = WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  auto controls = Controls(kMainTitle);
  ASSERT_FALSE(controls.empty());
  Screenshot(testName_, rect);

  EXPECT_TRUE(Get(controls, "Static", v.versionLabel).visible);
  EXPECT_TRUE(Get(controls, "Static", v.groupLabel).visible);

  const bool nt = v.family == Family::NT;
  for (const auto& b : k9xOnlyButtons) ExpectEnabled(controls, b, !nt);
  ExpectEnabled(controls, "強制終了を無効にする", !nt);
  ExpectEnabled(controls, "シャットダウン", nt);
  // No c:\windows\system\rsrc32.dll in a Wine prefix.
  ExpectEnabled(controls, "リソース", false);
  for (const auto& c : kNtCaptions)
    EXPECT_EQ(FindControl(controls, "Button", c).has_value(), nt) << "button \"" << c << "\"";

  Control standby = Get(controls, "Button", "スタンバイ");
  EXPECT_EQ(standby.visible, v.standbyVisible) << "スタンバイ";
  Control hibernate = Get(controls, "Button", "休止状態をサポートする");
  EXPECT_EQ(hibernate.visible, v.hibernateVisible) << "休止状態をサポートする";
  if (v.hibernateVisible) {
    EXPECT_EQ(hibernate.enabled, v.hibernateEnabled) << "休止状態をサポートする";
  }

  const std::string version = v.wineVersion;
  const bool nt4 = version == "nt40";
  if (nt) {
    // 2000 and XP: the management consoles; NT 4: its own control panel items.
    for (const char* c : {"ｺﾝﾋﾟｭｰﾀ管理", "ﾃﾞｨｽｸ管理"})
      EXPECT_EQ(FindControl(controls, "Button", c).has_value(), !nt4) << "button \"" << c << "\"";
    for (const char* c : {"ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ"})
      EXPECT_EQ(FindControl(controls, "Button", c).has_value(), nt4) << "button \"" << c << "\"";
    EXPECT_EQ(FindControl(controls, "Button", "日付と時刻").has_value(), nt4);
  } else {
    // The 9x control panel keeps its captions.
    for (const char* c : {"マウス", "パスワード", "電源管理", "マルチメディア", "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ",
                          "ジョイスティック", "日付と時刻"})
      Get(controls, "Button", c);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionAdaptation,
    ::testing::Values(
        VersionCase{"win95", Family::Win9x, "MicroSoft Windows 95", "ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", true, true, true},
        // Wine's "win98" reports build 2222, the build of 98 Second Edition.
        VersionCase{"win98", Family::Win9x, "Windows 98 Second Edition", "ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", true, false,
                    false},
        VersionCase{"winme", Family::Win9x, "Windows Millennium Edition", "ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", true, true,
                    true},
        VersionCase{"nt40", Family::NT, "WindowsNT 4.0", "Windows NTｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", false, true,
                    false},
        VersionCase{"win2k", Family::NT, "Microsoft Windows 2000", "Windows 2000管理ツール", true,
                    true, true},
        VersionCase{"winxp", Family::NT, "Microsoft Windows XP", "Windows XP管理ツール", true, true,
                    true}),
    [](const auto& info) { return std::string(info.param.wineVersion); });

// Vista and later as Wine shows them: the release's name, NT 4's control
// panel items, standby and hibernation as Wine's power capabilities say
// (those of an XP desktop: S1 and hibernation), the lock switched on, and
// the launchers whose programs a Wine prefix lacks switched off with their
// reason in the status bar while the mouse is on them.
struct NewerCase {
  const char* wineVersion;
  const char* versionLabel;
  const char* groupLabel;
};

void PrintTo(const NewerCase& c, std::ostream* os) { *os << c.wineVersion; }

class NewerWindows : public WineTest, public ::testing::WithParamInterface<NewerCase> {};

TEST_P(NewerWindows, ControlsMatchTheSystem) {
  const NewerCase& v = GetParam();
  SetWindowsVersion(v.wineVersion);
  SkipLogo();
  StartApp();
  Rect rect = WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  // The launchers are looked at once the window is up: a moment later.
  std::vector<Control> controls;
  WaitFor([&] {
    controls = Controls(kMainTitle);
    auto sol = FindControl(controls, "Button", "ｿﾙﾃｨｱ");
    return sol && !sol->enabled;
  }, 5000);
  Screenshot(testName_, rect);

  auto label = FindControl(controls, "Static", v.versionLabel);
  ASSERT_TRUE(label) << "no label " << v.versionLabel;
  EXPECT_TRUE(label->visible);
  EXPECT_TRUE(FindControl(controls, "Static", v.groupLabel)) << "no label " << v.groupLabel;

  auto standby = FindControl(controls, "Button", "スタンバイ");
  ASSERT_TRUE(standby);
  EXPECT_TRUE(standby->visible && standby->enabled) << "Wine's machine can sleep (S1)";
  auto hibernate = FindControl(controls, "Button", "休止状態をサポートする");
  ASSERT_TRUE(hibernate);
  EXPECT_TRUE(hibernate->visible && hibernate->enabled) << "Wine's machine can hibernate";

  auto lock = FindControl(controls, "Button", "画面ロック");
  ASSERT_TRUE(lock);
  EXPECT_TRUE(lock->enabled) << "the system's lock is offered";

  // A Wine prefix has rundll32.exe and msinfo32.exe, but no sysdm.cpl,
  // ncpa.cpl, timedate.cpl, perfmon.msc, sol.exe or freecell.exe.
  const std::vector<std::pair<std::string, std::string>> missing = {
      {"ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "Sysdm.cpl"}, {"ﾈｯﾄﾜｰｸ", "ncpa.cpl"},   {"日付と時刻", "Timedate.cpl"},
      {"ﾊﾟﾌｫｰﾏﾝｽ", "perfmon.msc"},   {"ｿﾙﾃｨｱ", "sol.exe"},     {"ﾌﾘｰｾﾙ", "freecell.exe"}};
  for (const auto& [caption, file] : missing) {
    auto b = FindControl(controls, "Button", caption);
    ASSERT_TRUE(b) << "no button " << caption;
    EXPECT_FALSE(b->enabled) << caption;
  }
  auto info = FindControl(controls, "Button", "ｼｽﾃﾑ情報");
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->enabled) << "msinfo32.exe is there";

  // The mouse on a launcher that is off: its reason in the status bar; on
  // one that is on: the status bar's own line again (empty).
  auto status = [&] {
    Result r = Driver({"text", "--title", kMainTitle, "--ctl-class", "msctls_statusbar32"});
    EXPECT_DRIVER_OK(r);
    return r.lines().empty() ? std::string() : r.lines()[0];
  };
  for (const auto& [caption, file] : missing) {
    const std::string want = "このWindowsには " + file + " がありません";
    std::string got;
    EXPECT_TRUE(Hover(kMainTitle, caption, [&] { return (got = status()) == want; })) << caption << ": " << got;
  }
  std::string got;
  EXPECT_TRUE(Hover(kMainTitle, "ｼｽﾃﾑ情報", [&] { return (got = status()).empty(); })) << got;
}

INSTANTIATE_TEST_SUITE_P(Versions, NewerWindows,
                         ::testing::Values(NewerCase{"vista", "Windows Vista", "Windows Vistaｺﾝﾄﾛｰﾙﾊﾟﾈﾙ"},
                                           NewerCase{"win7", "Windows 7", "Windows 7ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ"},
                                           NewerCase{"win10", "Windows 10", "Windows 10ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ"}),
                         [](const auto& info) { return std::string(info.param.wineVersion); });

class Tray : public WineTest {
 protected:
  // Opens the tray icon's popup menu with a right click and returns its items.
  std::vector<std::string> OpenTrayMenu() {
    std::vector<std::string> items;
    Result post = Driver({"post", "--title", kMainTitle, "--msg", std::to_string(kTrayMessage),
                          "--wparam", "100", "--lparam", std::to_string(kWmRButtonDown)});
    EXPECT_DRIVER_OK(post);
    Result menu = Driver({"wait", "--class", "#32768", "--visible"});
    EXPECT_EQ(menu.code, 0) << "no popup menu opened:\n" << menu.err;
    if (menu.code != 0) return items;
    Result list = Driver({"menu-items"});
    EXPECT_DRIVER_OK(list);
    for (const auto& line : list.lines()) items.push_back(line.substr(line.rfind('\t') + 1));
    return items;
  }

  // Names of the values stored under a section of the settings key.
  std::set<std::string> StoredNames(const std::string& section) {
    std::set<std::string> names;
    Result r = Driver({"reg-list", std::string(kSettingsKey) + "\\" + section});
    EXPECT_DRIVER_OK(r);
    for (const auto& line : r.lines()) names.insert(line.substr(0, line.find('\t')));
    return names;
  }
};

TEST_F(Tray, HideShowAndExitFromTheTrayMenu) {
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());

  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "閉じる"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--hidden"}));
  // The hidden window still takes the tray icon's messages.
  ASSERT_DRIVER_OK(Driver({"post", "--title", kMainTitle, "--msg", std::to_string(kTrayMessage),
                           "--wparam", "100", "--lparam", std::to_string(kWmLButtonDblClk)}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}));

  auto items = OpenTrayMenu();
  ASSERT_FALSE(HasFailure());
  const std::set<std::string> present(items.begin(), items.end());
  for (const char* item : {"デスクトップに表示(&D)", "アプリケーションの終了(&A)", "Windowsの終了(&S)"})
    EXPECT_TRUE(present.count(item)) << "the tray menu has no item " << item;
  ASSERT_DRIVER_OK(Driver({"menu-select", "--text", "アプリケーションの終了(&A)"}));
  ASSERT_TRUE(WaitAppExit(0, 20000)) << "the program did not exit after the tray menu's exit item";

  auto f1 = StoredNames("F1");
  for (const char* name : {"X", "Y", "KYUSI", "TASK", "TITLE", "STATUS", "STARTUP"})
    EXPECT_TRUE(f1.count(name)) << "F1\\" << name << " was not saved";
  EXPECT_TRUE(StoredNames("F6").count("CL")) << "F6\\CL was not saved";
}

// The program lives in the tray: a shell that ends and starts again loses
// every icon and says so with "TaskbarCreated"; the icon comes back.
TEST_F(Tray, TheIconComesBackWhenTheShellStartsAgain) {
  SetWindowsVersion("winxp");
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  auto present = [&] {
    Result r = Driver({"tray-icon", "--title", kMainTitle});
    return r.code == 0 && r.out.rfind("1", 0) == 0;
  };
  ASSERT_TRUE(present()) << "no tray icon at the start";
  ASSERT_DRIVER_OK(Driver({"tray-icon", "--title", kMainTitle, "--delete"}));
  ASSERT_FALSE(present());
  ASSERT_DRIVER_OK(Driver({"broadcast", "--registered", "TaskbarCreated"}));
  EXPECT_TRUE(WaitFor(present, 10000)) << "the icon did not come back";
  // Its menu still works.
  auto items = OpenTrayMenu();
  EXPECT_FALSE(items.empty());
}

// Taller captions and menu bars than the classic ones (larger text, another
// theme) leave the client area as it is: the status bar stays inside.
TEST_F(Tray, TallCaptionsAndMenusKeepTheStatusBarInTheWindow) {
  SetWindowsVersion("winxp");
  SkipLogo();
  const std::string metrics = "Control Panel\\Desktop\\WindowMetrics";
  ASSERT_DRIVER_OK(Driver({"reg-set", metrics, "CaptionHeight", "-450"}));  // 30 pixels, in twips
  ASSERT_DRIVER_OK(Driver({"reg-set", metrics, "MenuHeight", "-450"}));
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  const Rect window = WindowRect(kMainTitle), client = ClientRect(kMainTitle);
  EXPECT_GE(window.height() - client.height(), 8 + 30 + 30) << "the taller metrics were not taken";
  EXPECT_EQ(client.height(), 314);
  bool found = false;
  for (const Control& c : Controls(kMainTitle)) {
    if (c.cls != "msctls_statusbar32") continue;
    found = true;
    EXPECT_LE(c.rect.bottom, client.bottom) << "the status bar is cut off";
  }
  EXPECT_TRUE(found);
}

// The logo lets messages through before the stored settings are restored:
// a tray command then must not save the window's defaults over them.
TEST_F(Tray, ExitChosenDuringTheLogoKeepsTheStoredSettings) {
  SetSetting("F1", "X", "40");
  SetSetting("F1", "Y", "30");
  SetSetting("F1", "STATUS", "1");
  StartApp();
  // The logo's own caption is never shown; its window is there for 2 s.
  ASSERT_DRIVER_OK(Driver({"wait", "--title", "Form5", "--visible"}, 20000));
  // The main window has its start-up caption until the settings are read.
  ASSERT_DRIVER_OK(Driver({"post", "--title", kBoxTitle, "--msg", std::to_string(kTrayMessage),
                           "--wparam", "100", "--lparam", std::to_string(kWmRButtonDown)}));
  EXPECT_EQ(Driver({"wait", "--title", "Form5", "--visible"}, 100).code, 0)
      << "the logo ended before the tray command was sent; the test proves nothing";
  ASSERT_DRIVER_OK(Driver({"menu-select", "--text", "アプリケーションの終了(&A)"}, 20000));
  ASSERT_TRUE(WaitAppExit(0, 20000)) << "the program did not exit";
  EXPECT_EQ(GetSetting("F1", "X"), "40");
  EXPECT_EQ(GetSetting("F1", "Y"), "30");
  EXPECT_EQ(GetSetting("F1", "STATUS"), "1");
}

// The clock, uptime and version labels keep the button-face background when
// the window takes its stored colour; the memory label is drawn on the window.
TEST_F(Tray, StoredColourLeavesTheStatusLabelsAlone) {
  SkipLogo();
  SetSetting("F6", "CL", "clRed");
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  // Let the clock and uptime labels get their first texts.
  ASSERT_TRUE(WaitFor([&] {
    auto c = Controls(kMainTitle);
    for (const auto& ctl : c)
      if (ctl.text.rfind("現在時刻", 0) == 0) return true;
    return false;
  }, 10000));
  Rect client = ClientRect(kMainTitle);
  auto controls = Controls(kMainTitle);
  std::string shot = Screenshot(testName_, Rect{0, 0, 1024, 768});
  auto redIn = [&](const Control& c) {
    Rect r{client.left + c.rect.left, client.top + c.rect.top, client.left + c.rect.right,
           client.top + c.rect.bottom};
    size_t red = 0;
    for (const std::string& px : Pixels(shot, r)) red += px == "#FF0000";
    return red;
  };
  size_t labels = 0;
  for (const Control& c : controls) {
    if (c.cls != "Static") continue;
    // The version label is the one at the row of "起動しているOS:", right of it.
    bool status = c.text.rfind("現在時刻", 0) == 0 || c.text.rfind("OS起動から", 0) == 0 ||
                  (c.rect.top == 260 && c.rect.left > 300);
    if (c.text.rfind("Total Physical Memory", 0) == 0) {
      EXPECT_GT(redIn(c), 0u) << "the memory label is not drawn on the window's colour";
      ++labels;
    } else if (status) {
      EXPECT_EQ(redIn(c), 0u) << "\"" << c.text << "\" took the window's colour";
      ++labels;
    }
  }
  EXPECT_EQ(labels, 4u) << "not every status label was found";
  Rect free{client.left + 200, client.top + 230, client.left + 250, client.top + 240};
  size_t red = 0;
  for (const std::string& px : Pixels(shot, free)) red += px == "#FF0000";
  EXPECT_GT(red, 0u) << "the window did not take the stored colour";
}

}  // namespace
}  // namespace e2e
