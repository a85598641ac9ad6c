// Start-up, creation, saving and closing of the main window.
#include <set>

#include "app/startup.h"
#include "main_window_fixture.h"
#include "netconsole/console.h"
#include "timers/runner.h"
#include "timers/stopwatch.h"
#include "viewer/image_viewer.h"

namespace {
class MainWindowTest : public MainWindowFixture {
 protected:
  TForm1* Create() { return CreateMain(); }
};

TEST_F(MainWindowTest, FreshStoreCentresTheWindowWithLayoutDefaults) {
  TForm1* f = Create();
  EXPECT_EQ(f->Width(), 531);
  EXPECT_EQ(f->Height(), 360);
  EXPECT_EQ(f->Left(), (1024 - 531) / 2);
  EXPECT_EQ(f->Top(), (768 - 360) / 2);
  EXPECT_EQ(f->Caption(), "KIVO-CONFIG FOR Windows");
  EXPECT_EQ(f->GetColor(), tk::clBtnFace);
  for (tk::CheckBox* c : {f->CheckBox1, f->CheckBox2, f->CheckBox3, f->CheckBox4, f->CheckBox5})
    EXPECT_FALSE(c->Checked()) << c->Name;
  for (tk::Button* b : {f->Button1, f->Button2, f->Button4}) EXPECT_TRUE(b->Enabled()) << b->Name;
  EXPECT_TRUE(ui->boxes.empty());
  // The close command of the system menu is disabled, the tray icon is added.
  ASSERT_EQ(sim->Calls("EnableMenuItem").size(), 1u);
  ASSERT_EQ(sim->trayIcons.size(), 1u);
  EXPECT_FALSE(sim->KeyExists(Section("F1"))) << "reading creates no section";
}

TEST_F(MainWindowTest, StoredStateIsRestoredInOrderWithHandlersRun) {
  Store("F1", "X", "12");
  Store("F1", "Y", "-4");
  Store("F1", "TITLE_TAG", "1");
  Store("F1", "KYUSI", "1");
  Store("F1", "TASK", "1");
  Store("F1", "TITLE", "1");
  Store("F1", "STATUS", "1");
  Store("F1", "STARTUP", "1");
  Store("F6", "C4", "1");
  Store("F6", "CL", "clAqua");
  Store("F8", "Form1C", "");
  UseVersion(platform::kPlatformWindows, 4, 90);
  sim->windowsByClass["Shell_TrayWnd"] = 0x77;
  sim->profileFiles["win.ini"] = "[windows]\r\nrun=\r\n";
  TForm1* f = Create();

  EXPECT_EQ(f->Left(), 12);
  EXPECT_EQ(f->Top(), 0) << "the caption is kept on the screen";
  EXPECT_EQ(f->Caption(), "");
  EXPECT_EQ(f->GetColor(), 0xFFFF00);
  for (tk::Button* b : {f->Button1, f->Button2, f->Button3, f->Button4})
    EXPECT_FALSE(b->Enabled()) << b->Name;
  EXPECT_TRUE(f->Button21->Enabled());
  EXPECT_EQ(f->Button21->Caption(), "休止状態");
  EXPECT_TRUE(ui->boxes.empty()) << "notice already shown once";
  EXPECT_EQ(sim->shownWindows[0x77], platform::kSwHide);
  EXPECT_EQ(f->Height(), 330);
  EXPECT_FALSE(f->StatusBar1->Visible());
  EXPECT_EQ(sim->Calls("SystemParametersInfo").back(), "SystemParametersInfo(97, 1, &old, 0)");
  EXPECT_NE(sim->profileFiles["win.ini"].find(sim->executablePath), std::string::npos);
  // The stored switches acted in the order the boxes are stored.
  std::vector<std::string> order;
  for (const auto& e : sim->journal) {
    if (e.rfind("FindWindow(\"Shell_TrayWnd\"", 0) == 0) order.push_back("TASK");
    if (e.rfind("SystemParametersInfo(97, 1", 0) == 0) order.push_back("TITLE");
    if (e.rfind("GetProfileString", 0) == 0) order.push_back("STARTUP");
  }
  EXPECT_EQ(order, (std::vector<std::string>{"TASK", "TITLE", "STARTUP"}));
}

TEST_F(MainWindowTest, FirstHibernationRestoreShowsTheNoticeOnce) {
  Store("F1", "KYUSI", "1");
  TForm1* f = Create();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].flags, 48u);
  EXPECT_EQ(Stored("F1", "TITLE_TAG"), "1");
  EXPECT_EQ(f->CheckBox2->Tag, 1);
}

TEST_F(MainWindowTest, BadStoredColourStopsCreationWithTheConversionError) {
  Store("F6", "CL", "greenish");
  Store("F8", "Form1C", "never read");
  TForm1* f = Create();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "'greenish' は整数ではありません");
  EXPECT_EQ(f->Caption(), "Kivo-Config For Windows") << "later steps did not run";
}

TEST_F(MainWindowTest, WhatTheProgramAddsToTheStartHappensEvenWhenTheSettingsStopEarly) {
  Store("F6", "CL", "greenish");
  Store("F6", "C4", "1");  // the exit ban
  Store("HotKey", "Stopwatch", "Ctrl+Alt+W");
  TForm1* f = Create();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(sim->hotkeys.size(), 1u) << "the hotkeys were not registered";
  EXPECT_EQ(sim->blockReasons.count(f->Handle()), 1u) << "the exit ban's reason was not given to the system";
}

TEST_F(MainWindowTest, StoredRegistryDwordIsReportedNotFatal) {
  sim->SetValue(Section("F1"), "X", {platform::kRegDword, std::string("\x05\0\0\0", 4)});
  Create();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "'X' のデータ型が不正です");
}

// A stored place on no monitor (a second monitor removed, a lower resolution)
// is pulled back onto the work area of the nearest monitor; one that is on
// the screen stays where it was.
TEST_F(MainWindowTest, StoredPlacesOffEveryMonitorComeBackOntoTheWorkArea) {
  sim->monitors = {{0, 0, 1024, 768}, {1024, 0, 2304, 1024}};
  sim->workAreas = {{0, 0, 1024, 738}, {1024, 0, 2304, 1024}};
  Store("F1", "X", "2500");  // beyond the second monitor's right edge
  Store("F1", "Y", "1500");
  Store("F4", "X", "1500");  // on the second monitor: kept
  Store("F4", "Y", "300");
  TForm1* f = Create();
  EXPECT_EQ(f->Left(), 2304 - f->Width());
  EXPECT_EQ(f->Top(), 1024 - f->Height());
  f->Button20->Click();
  ASSERT_NE(Form4, nullptr);
  EXPECT_EQ(Form4->Left(), 1500);
  EXPECT_EQ(Form4->Top(), 300);
  Form4->Close();
  tk::Application::Instance().ProcessMessages();

  // The second monitor is gone: the primary's work area, above the taskbar.
  sim->monitors.resize(1);
  sim->workAreas.resize(1);
  f->Button20->Click();
  ASSERT_NE(Form4, nullptr);
  EXPECT_EQ(Form4->Left(), 1024 - Form4->Width());
  EXPECT_EQ(Form4->Top(), 300);
  // A resizable window larger than the screen: its caption stays on it.
  Store("F13", "X", "-3000");
  Store("F13", "Y", "-50");
  Store("F13", "W", "3000");
  Store("F13", "H", "500");
  f->V1->Click();
  ASSERT_NE(Form13, nullptr);
  EXPECT_EQ(Form13->Left(), 0);
  EXPECT_EQ(Form13->Top(), 0);
}

// 95 and NT 4 have no MonitorFromRect: the primary screen's work area.
TEST_F(MainWindowTest, WithoutMonitorCallsThePrimaryWorkAreaHolds) {
  UseVersion(platform::kPlatformWindows, 4, 0, 950);
  sim->monitors = {{0, 0, 800, 600}, {800, 0, 1600, 600}};
  sim->workAreas = {{0, 28, 800, 600}};
  Store("F1", "X", "900");
  Store("F1", "Y", "5");
  TForm1* f = Create();
  EXPECT_EQ(f->Left(), 800 - f->Width());
  EXPECT_EQ(f->Top(), 28);
}

// The program-wide window references: opening an open window brings it to
// the front instead of making a second, and every reference is empty once
// its window is gone.
TEST_F(MainWindowTest, WindowReferencesHoldOneWindowAndEmptyWhenItGoes) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);  // the consoles are offered
  TForm1* f = Create();
  f->V1->Click();
  TForm13* viewer = Form13;
  ASSERT_NE(viewer, nullptr);
  f->V1->SetEnabled(true);
  f->V1->Click();
  EXPECT_EQ(Form13, viewer);
  EXPECT_EQ(Owned<TForm13>(f), 1u) << "a second viewer was made";
  f->Button18->Click();
  f->Button20->Click();
  f->CommandSender1->Click();
  f->PingSender1->Click();  // the consoles: one more each time
  EXPECT_EQ(Owned<TForm15>(f), 2u);
  ASSERT_NE(Form11, nullptr);
  Form11->Close();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form11, nullptr) << "the runner's reference outlived it";

  delete f;  // and every window it owns
  std::set<std::string> names;
  for (const tk::FormSlotBase* slot : tk::FormSlotBase::All()) {
    names.insert(slot->SlotName());
    EXPECT_EQ(slot->Held(), nullptr) << slot->SlotName() << " still holds a window that is gone";
  }
  for (const char* name : {"Form1", "Form4", "Form9", "Form11", "Form13", "Form15", "Form28", "AboutBox3"})
    EXPECT_TRUE(names.count(name)) << name;
}

TEST_F(MainWindowTest, SaveMainSettingsWritesPositionBoxesAndColour) {
  TForm1* f = Create();
  f->SetBounds({33, 44, f->Width(), f->Height()});
  f->CheckBox1->SetChecked(true);
  f->SaveMainSettings();
  EXPECT_EQ(Stored("F1", "X"), "33");
  EXPECT_EQ(Stored("F1", "Y"), "44");
  EXPECT_EQ(Stored("F1", "TASK"), "1");
  for (const char* ident : {"KYUSI", "TITLE", "STATUS", "STARTUP"})
    EXPECT_EQ(Stored("F1", ident), "0") << ident;
  EXPECT_EQ(Stored("F6", "CL"), "clBtnFace");
}

TEST_F(MainWindowTest, CloseSequencePurgesReenablesKeysSavesAndRemovesTheIcon) {
  TForm1* f = Create();
  Store("F6", "C1", "1");
  f->CheckBox4->SetChecked(true);
  sim->ClearJournal();
  f->Exit1->Click();
  EXPECT_TRUE(tk::Application::Instance().Terminated());
  EXPECT_EQ(sim->Calls("SHAddToRecentDocs").size(), 1u);
  EXPECT_EQ(sim->Calls("SystemParametersInfo"),
            (std::vector<std::string>{"SystemParametersInfo(97, 0, &old, 0)"}));
  EXPECT_EQ(Stored("F1", "TITLE"), "1") << "the box keeps its saved state";
  EXPECT_TRUE(sim->trayIcons.empty());
  EXPECT_EQ(sim->Calls("Shell_NotifyIcon").back().substr(0, 22), "Shell_NotifyIcon(2, {8");
}

TEST_F(MainWindowTest, ClosingLeavesOwnedWindowsUnsavedAndRestoresOnlyTheApplicationWindow) {
  // A folder window of another program that happens to carry our title.
  const platform::Handle folder = 0x4242;
  sim->windowsByTitle["kivo_config"] = folder;
  TForm1* f = Create();
  const platform::Handle appWindow = ui->ApplicationHandle();
  auto* other = new tk::Form(f);
  bool closed = false;
  other->OnCloseQuery = [&](tk::Component*, bool&) { closed = true; };
  f->Exit1->Click();
  tk::Application::Instance().Shutdown();
  EXPECT_FALSE(closed);
  EXPECT_EQ(sim->shownWindows.count(folder), 0u) << "another program's window was touched";
  ASSERT_EQ(sim->shownWindows.count(appWindow), 1u);
  EXPECT_EQ(sim->shownWindows[appWindow], platform::kSwRestore);
}

TEST_F(MainWindowTest, LeftButtonDragsTheWindow) {
  TForm1* f = Create();
  tk::Message m{tk::wmLButtonDown, 0, 0, 0};
  EXPECT_TRUE(f->PeerMessage(m));
  EXPECT_EQ(sim->Calls("SendMessage").size(), 1u);
  EXPECT_NE(sim->Calls("SendMessage")[0].find(", 274, 0xf012, 0)"), std::string::npos);
}

class StartupTest : public SimTest {};

TEST_F(StartupTest, SecondCopyIsRefusedWithItsMessage) {
  sim->mutexes.insert("double_boot");
  EXPECT_EQ(RunKivoConfig(), -1);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "すでに同じプログラムが起動しています。");
  EXPECT_EQ(ui->boxes[0].caption, "Kivo-Config For Windows");
  EXPECT_EQ(ui->boxes[0].flags, 16u);
  EXPECT_EQ(sim->Calls("ReleaseMutex").size(), 1u);
  EXPECT_TRUE(sim->trayIcons.empty()) << "no window was made";
}

TEST_F(StartupTest, NormalStartShowsTheMainWindow) {
  Store("F6", "C2", "1");
  EXPECT_EQ(RunKivoConfig(), 0);
  EXPECT_EQ(sim->Calls("ShowWindow(0x10000, 0)").size(), 1u);
}

TEST(ApplicationTitle, IsTheExecutableNameWithoutExtension) {
  EXPECT_EQ(ApplicationTitle("C:\\Program Files\\Kivo\\kivo_config.exe"), "kivo_config");
  EXPECT_EQ(ApplicationTitle("Z:\\a.b\\tool.v2.EXE"), "tool.v2");
  EXPECT_EQ(ApplicationTitle("plain"), "plain");
}

TEST_F(StartupTest, FailedMutexEndsSilently) {
  sim->mutexFails = true;
  EXPECT_EQ(RunKivoConfig(), -1);
  EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(StartupTest, TrayStartKeepsTheMainWindowHidden) {
  Store("F6", "C2", "1");
  Store("F6", "C5", "1");
  // The loop ends at once without a user; the window was never shown (showing
  // it hides the application window first).
  EXPECT_EQ(RunKivoConfig(), 0);
  EXPECT_TRUE(sim->Calls("ShowWindow(0x10000, 0)").empty());
  EXPECT_EQ(sim->Calls("Shell_NotifyIcon(0").size(), 1u) << "the tray icon is there";
}
}  // namespace
