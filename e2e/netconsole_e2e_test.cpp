// The network command console under Windows 98 settings: it opens a prompt
// window and types into it with real key events.
#include <cctype>
#include <string>

#include "e2e/harness.h"

namespace e2e {
namespace {

constexpr const char* kPrompt = "MS-DOS プロンプト";
constexpr const char* kConsole = "Kivo-Brevo PingSender Ver1.0 Personal";

class NetConsole : public WineTest {
 protected:
  std::string InputLine() {
    Result r = Driver({"console-line", "--title", kPrompt});
    return r.code == 0 && !r.lines().empty() ? r.lines()[0] : "(unreadable: " + r.err + ")";
  }
  void TypePunctuationIntoAPrompt();
};

TEST_F(NetConsole, TypesPingAndAnAddressIntoThePromptAndExitClosesIt) {
  SetWindowsVersion("win98");
  const char* digits[] = {"1", "9", "2", "1", "6", "8"};
  for (int i = 0; i < 6; ++i) SetSetting("F17", "CBI" + std::to_string(i + 1), digits[i]);
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("Raru Derura(&P)");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kConsole, "--visible"}));
  Result opened = Driver({"wait", "--title", kPrompt, "--visible"}, 30000);
  ASSERT_EQ(opened.code, 0) << "no prompt window was opened: " << opened.err;
  // The prompt is ready once its input line shows the prompt ("C:\...>").
  ASSERT_TRUE(WaitFor([&] { return InputLine().find('>') != std::string::npos; }, 30000))
      << InputLine();
  const std::string prompt = InputLine();

  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kConsole, "--text", "Ping"}));
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kConsole, "--text", "Ping IP2"}));
  EXPECT_TRUE(WaitFor([&] { return InputLine() == prompt + "ping 192.168."; }, 10000))
      << "input line: " << InputLine();
  Screenshot(testName_, Rect{0, 0, 1024, 768});

  // Backspace takes the line back, then "exit" ends the interpreter.
  for (size_t i = 0; i < std::string("ping 192.168.").size(); ++i)
    ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kConsole, "--text", "文字消去"}));
  EXPECT_TRUE(WaitFor([&] { return InputLine() == prompt; }, 10000)) << "input line: " << InputLine();
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kConsole, "--text", "終了"}));
  EXPECT_EQ(Driver({"wait-gone", "--title", kPrompt}, 20000).code, 0)
      << "exit did not close the prompt; its input line: " << InputLine();
}

// ":" "\\" "|" and "/" typed with the keys of the X server's keyboard
// layout as Wine sees it: "ルート" changes the prompt to the root of drive C,
// and the ipconfig line shows its switches.
void NetConsole::TypePunctuationIntoAPrompt() {
  SetWindowsVersion("win98");
  SetSetting("F17", "CK1", "1");
  SetSetting("F17", "CK2", "1");
  SkipLogo();
  StartAppIn("windows");  // the prompt starts in C:\windows
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ChooseTrayMenuItem("Raru Derura(&P)");
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kConsole, "--visible"}));
  ASSERT_EQ(Driver({"wait", "--title", kPrompt, "--visible"}, 30000).code, 0);
  ASSERT_TRUE(WaitFor([&] { return InputLine().find('>') != std::string::npos; }, 30000))
      << InputLine();
  // The driver writes each backslash doubled.
  ASSERT_EQ(InputLine(), "C:\\\\windows>");

  // The drive letter of the new prompt is as typed ("cd c:\").
  auto line = [&] {
    std::string l = InputLine();
    if (!l.empty()) l[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(l[0])));
    return l;
  };
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kConsole, "--text", "ルート"}));
  EXPECT_TRUE(WaitFor([&] { return line() == "C:\\\\>"; }, 10000)) << "input line: " << InputLine();
  ASSERT_DRIVER_OK(Driver({"click", "--send", "--title", kConsole, "--text", "Ipconfig"}));
  EXPECT_TRUE(WaitFor([&] { return line() == "C:\\\\>ipconfig /all|more"; }, 10000))
      << "input line: " << InputLine();
  Screenshot(testName_, Rect{0, 0, 1024, 768});
}

// Wine's default here: the US layout, where ":" is Shift with the ";" key.
TEST_F(NetConsole, RootAndIpconfigTypeTheirPunctuationOnTheUsLayout) { TypePunctuationIntoAPrompt(); }

// The Japanese 106-key layout, where ":" has a key of its own and "\\" is
// the yen key.
TEST_F(NetConsole, RootAndIpconfigTypeTheirPunctuationOnTheJapaneseLayout) {
  ASSERT_EQ(RunTool({"setxkbmap", "-model", "jp106", "-layout", "jp"}).code, 0);
  TypePunctuationIntoAPrompt();
  RunTool({"setxkbmap", "-model", "pc105", "-layout", "us"});
}

}  // namespace
}  // namespace e2e
