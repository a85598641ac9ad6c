// Ending the program: the tray menu, the log-off button, the end of the
// Windows session, and the hidden/shown main window in between.
#include "e2e/harness.h"

namespace e2e {
namespace {

class Session : public WineTest {
 protected:
  void StartAndMove(int x, int y) {
    SkipLogo();
    StartApp();
    WaitMainWindow();
    ASSERT_FALSE(HasFailure());
    ASSERT_DRIVER_OK(Driver({"move", "--title", kMainTitle, "--x", std::to_string(x), "--y",
                             std::to_string(y)}));
  }

  // The settings written on exit, with the position the window had.
  void ExpectSavedAt(int x, int y) {
    EXPECT_EQ(GetSetting("F1", "X"), std::to_string(x));
    EXPECT_EQ(GetSetting("F1", "Y"), std::to_string(y));
    for (const char* flag : {"KYUSI", "TASK", "TITLE", "STATUS", "STARTUP"}) {
      auto v = GetSetting("F1", flag);
      ASSERT_TRUE(v) << "F1\\" << flag << " was not saved";
      EXPECT_TRUE(*v == "0" || *v == "1") << "F1\\" << flag << " = " << *v;
    }
    auto colour = GetSetting("F6", "CL");
    ASSERT_TRUE(colour) << "F6\\CL was not saved";
    EXPECT_FALSE(colour->empty());
  }
};

TEST_F(Session, CloseSavesAndReopensWhereLeft) {
  StartAndMove(37, 41);
  ChooseTrayMenuItem("アプリケーションの終了(&A)");
  ASSERT_TRUE(WaitAppExit(0, 20000)) << "the program did not exit after the tray menu's exit item";
  ExpectSavedAt(37, 41);

  StartApp();
  Rect rect = WaitMainWindow();
  EXPECT_EQ(rect.left, 37);
  EXPECT_EQ(rect.top, 41);
  Screenshot(testName_, rect);
}

// A check box the user sets and the window colour are stored on exit and
// restored, with their effect, on the next start.
TEST_F(Session, CheckBoxAndColourSurviveRestart) {
  SkipLogo();
  SetSetting("F6", "CL", "clAqua");
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  auto statusBarHidden = [&](int& checked) {
    bool barVisible = true;
    checked = -1;
    for (const auto& c : Controls(kMainTitle)) {
      if (c.cls == "msctls_statusbar32") barVisible = c.visible;
      if (c.text == "ステータスバーを非表示") checked = c.checked;
    }
    return !barVisible;
  };
  int checked = -1;
  ASSERT_FALSE(statusBarHidden(checked)) << "the status bar is hidden on a first start";
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "ステータスバーを非表示"}));
  ASSERT_TRUE(WaitFor([&] { return statusBarHidden(checked) && checked == 1; }, 10000))
      << "the status bar stayed visible (check box state " << checked << ")";

  ChooseTrayMenuItem("アプリケーションの終了(&A)");
  ASSERT_TRUE(WaitAppExit(0, 20000)) << "the program did not exit after the tray menu's exit item";
  EXPECT_EQ(GetSetting("F1", "STATUS"), "1");
  EXPECT_EQ(GetSetting("F1", "TITLE"), "0") << "another check box was stored as set";
  EXPECT_EQ(GetSetting("F6", "CL"), "clAqua");

  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  EXPECT_TRUE(WaitFor([&] { return statusBarHidden(checked) && checked == 1; }, 10000))
      << "the status bar was not hidden again after the restart (check box state " << checked << ")";
}

// The caption's close button and Alt+F4 go through the system menu's Close
// command, which the main window disables.
TEST_F(Session, CloseCommandIsDisabled) {
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  Result menu = Driver({"menu-items", "--system", "--title", kMainTitle});
  ASSERT_DRIVER_OK(menu);
  bool found = false;
  for (const auto& line : menu.lines()) {
    if (line.find("\tid=61536\t") == std::string::npos) continue;  // SC_CLOSE
    found = true;
    unsigned state = std::stoul(line.substr(line.find("state=") + 6), nullptr, 16);
    EXPECT_NE(state & 0x3u, 0u) << "Close is enabled: " << line;  // MF_GRAYED | MF_DISABLED
  }
  EXPECT_TRUE(found) << "no Close command in the system menu:\n" << menu.out;
}

TEST_F(Session, LogOffEndsSessionAndSavesSettings) {
  StartAndMove(50, 60);

  // "No" keeps everything as it was.
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "ログオフ"}));
  ASSERT_DRIVER_OK(Driver({"msgbox", "--title", kBoxTitle, "--text", "ログオフしてもよろしいですか？",
                           "--answer", std::to_string(kIdNo)}));
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}, 2000));
  EXPECT_FALSE(WaitAppExit(0, 0).has_value());

  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "ログオフ"}));
  ASSERT_DRIVER_OK(Driver({"msgbox", "--title", kBoxTitle, "--text", "ログオフしてもよろしいですか？",
                           "--answer", std::to_string(kIdYes)}));
  ASSERT_TRUE(WaitAppExit(0, 30000)) << "the program did not exit after logging off";
  ExpectSavedAt(50, 60);
}

// Windows asks every top-level window before the session ends, then tells
// each whether it really ends; the program agrees and closes itself through
// its normal close sequence when it does. (Sent directly: with ExitWindowsEx,
// Wine ends the processes right after WM_ENDSESSION.)
TEST_F(Session, QueryEndSessionClosesAndSaves) {
  StartAndMove(61, 73);
  Result answer = Driver({"post", "--send", "--title", kMainTitle, "--msg", "0x0011"});  // WM_QUERYENDSESSION
  ASSERT_DRIVER_OK(answer);
  EXPECT_EQ(answer.out, "1\n") << "the program refused the end of the session";
  ASSERT_DRIVER_OK(Driver({"post", "--send", "--title", kMainTitle, "--msg", "0x0016", "--wparam", "1"}));
  ASSERT_TRUE(WaitAppExit(0, 30000)) << "the program did not close when the session ended";
  ExpectSavedAt(61, 73);
}

// Another program refused after we agreed: the session goes on, and so does
// the program, although it had posted itself a close.
TEST_F(Session, SessionCancelledByAnotherProgramKeepsTheProgramRunning) {
  StartAndMove(62, 74);
  Result answer = Driver({"post", "--send", "--title", kMainTitle, "--msg", "0x0011"});
  ASSERT_DRIVER_OK(answer);
  EXPECT_EQ(answer.out, "1\n");
  ASSERT_DRIVER_OK(Driver({"post", "--send", "--title", kMainTitle, "--msg", "0x0016", "--wparam", "0"}));
  // The posted close is handled at once; two seconds leave it time to show.
  EXPECT_FALSE(WaitAppExit(0, 2000).has_value()) << "the program closed although the session goes on";
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}, 2000));
  ChooseTrayMenuItem("アプリケーションの終了(&A)");
  ASSERT_TRUE(WaitAppExit(0, 20000));
  ExpectSavedAt(62, 74);
}

TEST_F(Session, CloseHidesAndTrayDoubleClickShows) {
  SkipLogo();
  StartApp();
  WaitMainWindow();
  ASSERT_FALSE(HasFailure());
  ASSERT_DRIVER_OK(Driver({"click", "--title", kMainTitle, "--text", "閉じる"}));
  ASSERT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--hidden"}));
  EXPECT_FALSE(WaitAppExit(0, 0).has_value()) << "閉じる ended the program";
  ASSERT_DRIVER_OK(Driver({"post", "--title", kMainTitle, "--msg", std::to_string(kTrayMessage),
                           "--wparam", "100", "--lparam", std::to_string(kWmLButtonDblClk)}));
  EXPECT_DRIVER_OK(Driver({"wait", "--title", kMainTitle, "--visible"}));
}

}  // namespace
}  // namespace e2e
