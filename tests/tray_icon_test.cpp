// The tray icon on its own, on a plain form: adding and asking again, the
// shell starting again, the tip, the end, and what the mouse asks for.
#include <vector>

#include "app/tray_icon.h"
#include "fixture.h"

namespace {
class TrayIconTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    window = new tk::Form(nullptr);
    tk::Application::Instance().Adopt(window);
    window->Handle();
    tray = new TrayIcon(window);
    tray->OnRequest = [this](TrayIcon::Request r) { requests.push_back(r); };
  }
  size_t Adds() const { return sim->Calls("Shell_NotifyIcon(0,").size(); }
  tk::Message Created() const { return {sim->RegisterWindowMessage("TaskbarCreated"), 0, 0, 0}; }

  tk::Form* window = nullptr;
  TrayIcon* tray = nullptr;
  std::vector<TrayIcon::Request> requests;
};

using Request = TrayIcon::Request;

TEST_F(TrayIconTest, OnlyTheRightButtonAndTheDoubleClickAskForSomething) {
  tray->Add();
  const std::pair<std::intptr_t, Request> rows[] = {
      {0x0200, Request::None},     // move
      {0x0201, Request::None},     // left down
      {0x0202, Request::None},     // left up
      {0x0203, Request::Restore},  // left double click
      {0x0204, Request::Menu},     // right down
      {0x0205, Request::None},     // right up
      {0x0206, Request::None},     // right double click
  };
  for (const auto& [mouse, request] : rows) {
    EXPECT_EQ(TrayIcon::Decode(mouse), request) << mouse;
    requests.clear();
    EXPECT_TRUE(tray->Take({kTrayCallbackMessage, kTrayIconId, mouse, 0})) << mouse;
    EXPECT_EQ(requests, request == Request::None ? std::vector<Request>{} : std::vector<Request>{request})
        << mouse;
  }
  // Other messages are the window's.
  EXPECT_FALSE(tray->Take({kTrayCallbackMessage + 1, kTrayIconId, 0x0204, 0}));
  EXPECT_FALSE(tray->Take({tk::wmClose, 0, 0, 0}));
  EXPECT_EQ(requests.size(), 0u);
}

TEST_F(TrayIconTest, ARefusedIconIsAskedForEverySecondForTwoMinutesAndAgainAfterTheShellStarts) {
  sim->trayRunning = false;
  tray->Add();
  EXPECT_EQ(Adds(), 1u);
  ui->AdvanceClock(200000);
  EXPECT_EQ(Adds(), 1u + TrayIcon::kRetries) << "asked again once a second, 120 times";
  EXPECT_TRUE(sim->trayIcons.empty());

  // The shell starts: its message brings a new round of asking, which ends
  // as soon as the icon is there.
  ASSERT_TRUE(tray->Take(Created()));
  ui->AdvanceClock(2000);
  EXPECT_EQ(Adds(), 1u + TrayIcon::kRetries + 3u);
  sim->trayRunning = true;
  ui->AdvanceClock(1000);
  ASSERT_EQ(sim->trayIcons.size(), 1u);
  EXPECT_EQ(sim->trayIcons[0].window, window->Handle());
  ui->AdvanceClock(10000);
  EXPECT_EQ(Adds(), 1u + TrayIcon::kRetries + 4u);

  // The end while the shell refuses it: no more asking.
  sim->RestartShell();
  sim->trayRunning = false;
  tray->Take(Created());
  tray->Remove();
  const size_t before = sim->Calls("Shell_NotifyIcon").size();
  ui->AdvanceClock(10000);
  EXPECT_EQ(sim->Calls("Shell_NotifyIcon").size(), before);
}

TEST_F(TrayIconTest, TheTipIsToldOnlyWhenItChangesAndAnIconAddedAnewHasIt) {
  tray->Add();
  ASSERT_EQ(sim->trayIcons.size(), 1u);
  EXPECT_EQ(sim->trayIcons[0].tip, "Kivo_Config For Windows");
  tray->SetTip("");
  EXPECT_TRUE(sim->Calls("Shell_NotifyIcon(1,").empty()) << "the usual tip is not told again";
  tray->SetTip("電源切断まで 0:01:00");
  tray->SetTip("電源切断まで 0:01:00");
  EXPECT_EQ(sim->Calls("Shell_NotifyIcon(1,").size(), 1u);
  EXPECT_EQ(sim->trayIcons[0].tip, "電源切断まで 0:01:00");

  sim->RestartShell();
  tray->Take(Created());
  ASSERT_EQ(sim->trayIcons.size(), 1u);
  EXPECT_EQ(sim->trayIcons[0].tip, "電源切断まで 0:01:00");
  tray->SetTip("");
  EXPECT_EQ(sim->trayIcons[0].tip, "Kivo_Config For Windows");
  EXPECT_EQ(sim->Calls("Shell_NotifyIcon(1,").size(), 2u);

  tray->Remove();
  EXPECT_TRUE(sim->trayIcons.empty());
}
}  // namespace
