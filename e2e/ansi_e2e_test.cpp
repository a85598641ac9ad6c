// The ANSI path (the 95/98/Me family) on a Japanese system: Wine on win98
// under ja_JP (code page 932) with KIVO_ANSI=1, so that the program takes the
// A calls whatever Wine provides. Japanese captions, settings written and
// read back, dropped files with Japanese names, and names the code page
// cannot hold.
#include <filesystem>
#include <string>

#include "e2e/harness.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
constexpr const char* kUserSettings = "KIVO-CONFIG ユーザー設定";
constexpr const char* kViewer = "Kivo-Config 画像ビューア Ver1.1";

class AnsiPath : public WineTest {
 protected:
  std::string EditText(const std::string& title, int index) {
    Result r = Driver({"text", "--title", title, "--visible", "--ctl-class", "Edit", "--index",
                       std::to_string(index)});
    EXPECT_DRIVER_OK(r);
    return r.lines().empty() ? std::string() : r.lines()[0];
  }
  bool HasText(const std::string& title, const std::string& text) {
    for (const Control& c : Controls(title))
      if (c.text == text) return true;
    return false;
  }
};

// The main window's caption and the user settings come from the registry in
// Japanese, show as such, and go back unchanged with what the user typed.
TEST_F(AnsiPath, JapaneseCaptionsAndSettingsRoundTrip) {
  ForceAnsi();
  const std::string caption = "キヴォ設定・ﾃｽﾄ";
  SetSetting("F8", "Form1C", caption);
  SkipLogo();
  StartApp();
  Result shown = Driver({"wait", "--title", caption, "--visible"}, 30000);
  ASSERT_DRIVER_OK(shown);
  // The windows are ANSI windows: the A calls were taken.
  Result unicode = Driver({"unicode", "--title", caption});
  ASSERT_DRIVER_OK(unicode);
  EXPECT_EQ(unicode.lines().at(0), "0") << "the main window was registered with the W calls";
  // Full-width and half-width captions of the main window.
  EXPECT_TRUE(HasText(caption, "画面ロック"));
  EXPECT_TRUE(HasText(caption, "ｽﾄｯﾌﾟｳｫｯﾁ"));
  EXPECT_TRUE(HasText(caption, "タスクバーを非表示"));

  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", caption, "--text", "ユーザー設定"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kUserSettings, "--visible"}));
  EXPECT_TRUE(HasText(kUserSettings, "セキュリティロック時のWindowのタイトル画面"));
  EXPECT_EQ(EditText(kUserSettings, 2), caption);
  // A user name typed in Japanese (double-byte and half-width) is applied.
  const std::string user = "山田ﾀﾛｳ";
  ASSERT_DRIVER_OK(Driver({"type", "--title", kUserSettings, "--visible", "--ctl-class", "Edit",
                           "--index", "1", "--keys", user}));
  EXPECT_TRUE(WaitFor([&] { return EditText(kUserSettings, 1).find(user) != std::string::npos; },
                      5000));
  std::string typed = EditText(kUserSettings, 1);
  ASSERT_DRIVER_OK(Driver({"click", "--title", kUserSettings, "--text", "適用"}));
  EXPECT_TRUE(WaitFor([&] { return GetSetting("F8", "User") == typed; }, 5000))
      << "stored: " << GetSetting("F8", "User").value_or("(none)") << ", shown: " << typed;
  EXPECT_EQ(GetSetting("F8", "Form1C"), caption);
}

// Texts the code page cannot hold (an emoji): the program's own window
// shows what the code page gives, the system's edits keep them whole where
// the system can, and applying the settings stores them unchanged.
TEST_F(AnsiPath, TextsTheCodePageCannotHoldAreKeptWhereTheSystemCan) {
  ForceAnsi();
  const std::string smile = "\xF0\x9F\x98\x80";  // U+1F600
  const std::string caption = "Kivo " + smile, comment = "コメント" + smile;
  SetSetting("F8", "Form1C", caption);
  SetSetting("F8", "Coment", comment);
  SkipLogo();
  StartApp();
  // An ANSI window: the emoji (two UTF-16 units) becomes what the code page
  // gives for it.
  Result shown = Driver({"wait", "--title", "Kivo ??", "--visible"}, 30000);
  ASSERT_DRIVER_OK(shown);
  ASSERT_DRIVER_OK(Driver({"menu-command", "--title", "Kivo ??", "--text", "ユーザー設定"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kUserSettings, "--visible"}));
  EXPECT_EQ(EditText(kUserSettings, 2), caption);
  EXPECT_EQ(EditText(kUserSettings, 3), comment);
  ASSERT_DRIVER_OK(Driver({"type", "--title", kUserSettings, "--visible", "--ctl-class", "Edit",
                           "--index", "1", "--keys", "X"}));
  ASSERT_TRUE(WaitFor([&] { return EditText(kUserSettings, 1).find('X') != std::string::npos; },
                      5000));
  std::string typed = EditText(kUserSettings, 1);
  ASSERT_DRIVER_OK(Driver({"click", "--title", kUserSettings, "--text", "適用"}));
  EXPECT_TRUE(WaitFor([&] { return GetSetting("F8", "User") == typed; }, 5000));
  EXPECT_EQ(GetSetting("F8", "Form1C"), caption);
  EXPECT_EQ(GetSetting("F8", "Coment"), comment);
}

// A Japanese file name goes through the code page both ways; a name it
// cannot hold (an emoji) is still opened where the system can name it.
TEST_F(AnsiPath, DroppedFilesWithJapaneseAndEmojiNames) {
  ForceAnsi();
  const std::string dir = prefix_ + "/drive_c/写真";
  fs::create_directories(dir);
  for (const auto& [name, size] : {std::pair<std::string, std::string>{"赤い花１.jpg", "320x200"},
                                   {"青\xF0\x9F\x98\x80.bmp", "200x100"}}) {
    Result r = RunTool({"convert", "-size", size, "xc:red",
                        (name.back() == 'p' ? "BMP3:" : "") + dir + "/" + name});
    ASSERT_EQ(r.code, 0) << r.err;
  }
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("画像ビューワ(&V)");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kViewer, "--visible"}));
  ASSERT_DRIVER_OK(Driver({"drop", "--title", kViewer, "--", "C:\\写真\\赤い花１.jpg",
                           "C:\\写真\\青\xF0\x9F\x98\x80.bmp"}));
  auto pictureOfSize = [&](int w, int h) {
    for (const Control& c : Controls(kViewer))
      if (c.cls == "Static" && c.rect.width() == w && c.rect.height() == h) return true;
    return false;
  };
  EXPECT_TRUE(WaitFor([&] { return pictureOfSize(320, 200); }, 10000))
      << "the JPEG with the Japanese name is not shown";
  EXPECT_TRUE(HasText(kViewer, "予約された画像の数 2個  "));
  // No message box: both names were read whole.
  EXPECT_NE(Driver({"wait", "--class", "#32770", "--visible"}, 1000).code, 0)
      << "a message box came up";
  ASSERT_DRIVER_OK(Driver({"click", "--title", kViewer, "--text", "次へ"}));
  EXPECT_TRUE(WaitFor([&] { return pictureOfSize(200, 100); }, 10000))
      << "the bitmap whose name the code page cannot hold is not shown";
}

// The runner starts a program whose folder and name are Japanese: the
// command line goes to CreateProcessA in the code page.
TEST_F(AnsiPath, RunnerStartsAProgramWithAJapaneseName) {
  ForceAnsi();
  const std::string dir = prefix_ + "/drive_c/プログラム";
  fs::create_directories(dir);
  fs::copy_file(DriverExe(), dir + "/待つ.exe");
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  const char* runner = "Kivo-Config Open Application Ver1.0";
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "Open APL"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", runner, "--visible"}));
  ASSERT_DRIVER_OK(Driver({"type", "--title", runner, "--ctl-class", "Edit", "--keys",
                           "C:\\プログラム\\待つ.exe wait --title no-such-window --timeout 1500"}));
  ASSERT_DRIVER_OK(Driver({"click", "--title", runner, "--text", "OK"}));
  // The program ran and ended: the runner says so (a program that did not
  // start gives another box at once).
  Result box = Driver({"msgbox", "--title", "kivo_config", "--answer", std::to_string(kIdOk)}, 20000);
  ASSERT_DRIVER_OK(box);
  EXPECT_EQ(box.lines().at(0), "Open Applicationを終了しました");
}

}  // namespace
}  // namespace e2e
