// The web explorer under Wine, whose prefixes have no browser engine: the
// window opens, says so, and every command is harmless.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "e2e/harness.h"

namespace e2e {
namespace {
namespace fs = std::filesystem;

constexpr const char* kBrowser = "Kivo-WebExplorer Ver1.0";
constexpr const char* kOptions = "Kivo-WebExplorer インターネットオプション";

class Browser : public WineTest {
 protected:
  std::string Status() {
    for (const Control& c : Controls(kBrowser))
      if (c.cls == "msctls_statusbar32") return c.text;
    return "(no status bar)";
  }
};

// The presence test looks in the system's own folder (GetSystemDirectory),
// wherever Windows is: on Windows 10 the control is found and nothing is
// said; without it the notice comes, and the window opens all the same.
TEST_F(Browser, MissingControlIsNoticedAndTheWindowOpensAnyway) {
  SetWindowsVersion("win10");
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("Kivo-WebExplorer(&W)");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kBrowser, "--visible"}, 30000));
  EXPECT_NE(Driver({"wait", "--class", "#32770", "--visible"}, 1000).code, 0)
      << "a notice came although the control is there";
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kBrowser, "--text", "アプリケーションの終了(&E)"}));
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kBrowser}));

  fs::remove(prefix_ + "/drive_c/windows/system32/shdocvw.dll");
  ChooseTrayMenuItem("Kivo-WebExplorer(&W)");
  Result box = Driver({"msgbox", "--title", "kivo_config", "--answer", std::to_string(kIdOk)}, 20000);
  ASSERT_DRIVER_OK(box);
  EXPECT_EQ(box.lines().at(0), "Internet Explorer4.0以上をインストールして下さい。");
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kBrowser, "--visible"}, 30000));
}

TEST_F(Browser, OpensWithoutAnEngineAndEveryCommandIsHarmless) {
  SetWindowsVersion("winxp");  // c:\windows\system32\shdocvw.dll is there
  SetSetting("F20", "homepage", "javascript:alert(1)");
  SetSetting("F20", "CBI", "-1");  // no favourite selected; all slots read "http://"
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("Kivo-WebExplorer(&W)");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kBrowser, "--visible"}, 30000));
  auto url = FindControl(Controls(kBrowser), "Edit", "javascript:alert(1)");
  EXPECT_TRUE(url) << "the URL box does not show the stored home page";
  Screenshot(testName_, WindowRect(kBrowser));
  const std::string status = Status();
  EXPECT_TRUE(status == "ブラウザコントロールを作成できません" || status.rfind("Navigate", 0) == 0 ||
              status.empty())
      << status;
  for (const char* glyph : {"→", "◀", "▶", "■", "⌂", "↻"})
    ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kBrowser, "--text", glyph}));
  ASSERT_DRIVER_OK(Driver({"type", "--title", kBrowser, "--ctl-class", "Edit", "--keys",
                           std::string(3000, 'x') + "日本語"}));
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kBrowser, "--text", "→"}));
  // Still answering, and the options open and store on their close.
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kBrowser, "--text", "インターネットオプション(&O)"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kOptions, "--visible"}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", kOptions, "--text", "OK"}));
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kOptions}));
  EXPECT_EQ(GetSetting("F20", "CBI2"), "0");
  EXPECT_EQ(GetSetting("F20", "CBI"), "-1");
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", kBrowser, "--text", "アプリケーションの終了(&E)"}));
  ASSERT_DRIVER_OK(Driver({"wait-gone", "--title", kBrowser}));
  EXPECT_TRUE(GetSetting("F18", "W"));
  // The program goes on.
  EXPECT_DRIVER_OK(Driver({"post", "--send", "--title", kMainTitle, "--msg", "0"}));
}

// Wine's WebBrowser control (its engine is missing here, its windows are
// there) is offered the keys typed inside it: Wine's trace of the control's
// TranslateAccelerator shows each call. Keys typed into the URL box are the
// form's and do not reach the control.
TEST_F(Browser, KeysInsideTheControlAreOfferedToItFirst) {
  setenv("WINEDEBUG", "trace+ieframe", 1);  // for the programs started from here on
  SetWindowsVersion("winxp");
  SkipLogo();
  const int app = StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("Kivo-WebExplorer(&W)");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kBrowser, "--visible"}, 30000));
  const std::string log = logDir_ + "/app-" + std::to_string(app) + ".log";
  auto offered = [&] {
    std::ifstream in(log);
    std::string line;
    int n = 0;
    while (std::getline(in, line))
      if (line.find("InPlaceActiveObject_TranslateAccelerator") != std::string::npos) ++n;
    return n;
  };
  ASSERT_DRIVER_OK(Driver({"type", "--title", kBrowser, "--ctl-class", "Edit", "--keys", "\r\t"}));
  ASSERT_DRIVER_OK(Driver({"type", "--title", kBrowser, "--ctl-class", "Shell Embedding", "--keys", "\r\tx"}));
  EXPECT_TRUE(WaitFor([&] { return offered() == 3; }, 10000)) << offered() << " keys offered to the control";
  // The program goes on.
  EXPECT_DRIVER_OK(Driver({"post", "--send", "--title", kMainTitle, "--msg", "0"}));
  EXPECT_EQ(offered(), 3);
}

}  // namespace
}  // namespace e2e
