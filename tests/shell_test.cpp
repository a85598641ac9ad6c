// Version adaptation, status display, tray icon and popup menu, logo and about boxes.
#include <fstream>
#include <iterator>

#include "app/about_boxes.h"
#include "hotkeys/hotkeys.h"
#include "session/detailed_settings.h"
#include "viewer/capture_settings.h"
#include "viewer/image_viewer.h"
#include "main_window_fixture.h"

namespace {
class ShellTest : public MainWindowFixture {
 protected:
  TForm1* Create(bool logo = false) { return CreateMain(logo); }
};

// One row per Windows version: what the main window shows after start-up.
struct VersionRow {
  const char* name;
  platform::OsVersion v;
  const char* label2;
  const char* label6;
  unsigned family;
  const char* button6;
  const char* button12;
  const char* button15;
  bool nt;              // NT captions and disabled launchers
  bool button3;         // enabled
  bool button21;        // visible
  int checkBox2;        // 0 hidden, 1 disabled, 2 usable
};

const char* const kCp = "ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ";
const VersionRow kVersions[] = {
    {"95", {4, 0, 950, 1}, "MicroSoft Windows 95", kCp, 1, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "マウス", "日付と時刻", false, false, true, 2},
    {"98", {4, 10, 0x040A07CE, 1}, "Microsoft Windows 98", kCp, 1, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "マウス", "日付と時刻", false, false, true, 0},
    {"98SE", {4, 10, 0x040A08AE, 1}, "Windows 98 Second Edition", kCp, 1, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "マウス", "日付と時刻", false, false, true, 0},
    {"Me", {4, 90, 3000, 1}, "Windows Millennium Edition", kCp, 1, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "マウス", "日付と時刻", false, false, true, 2},
    {"9x other", {4, 3, 0, 1}, "Windows 4.3", kCp, 1, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "マウス", "日付と時刻", false, false, true, 2},
    {"NT4", {4, 0, 1381, 2}, "WindowsNT 4.0", "Windows NTｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, false, 1},
    {"2000", {5, 0, 2195, 2}, "Microsoft Windows 2000", "Windows 2000管理ツール", 2, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "ｺﾝﾋﾟｭｰﾀ管理", "ﾃﾞｨｽｸ管理", true, true, true, 2},
    {"XP", {5, 1, 2600, 2}, "Microsoft Windows XP", "Windows XP管理ツール", 2, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "ｺﾝﾋﾟｭｰﾀ管理", "ﾃﾞｨｽｸ管理", true, true, true, 2},
    {"5.2", {5, 2, 3790, 2}, "Microsoft Windows XP", "Windows XP管理ツール", 2, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "ｺﾝﾋﾟｭｰﾀ管理", "ﾃﾞｨｽｸ管理", true, true, true, 2},
    // From Vista on: NT 4's control panel items under Windows' own name;
    // standby and hibernation as the machine can (this one can both).
    {"6.0", {6, 0, 6000, 2}, "Windows Vista", "Windows Vistaｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    {"7", {6, 1, 7601, 2}, "Windows 7", "Windows 7ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    {"8", {6, 2, 9200, 2}, "Windows 8", "Windows 8ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    {"8.1", {6, 3, 9600, 2}, "Windows 8.1", "Windows 8.1ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    {"10", {10, 0, 19045, 2}, "Windows 10", "Windows 10ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    {"10 last build", {10, 0, 21999, 2}, "Windows 10", "Windows 10ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    {"11", {10, 0, 22000, 2}, "Windows 11", "Windows 11ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    {"11 24H2", {10, 0, 26100, 2}, "Windows 11", "Windows 11ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    // A version the program does not know keeps NT's numbers.
    {"6.4", {6, 4, 9841, 2}, "WindowsNT 6.4", "Windows NTｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    {"11.0", {11, 0, 30000, 2}, "WindowsNT 11.0", "Windows NTｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", 2, "ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ", "ﾈｯﾄﾜｰｸ", "日付と時刻", true, true, true, 2},
    {"Win32s", {3, 10, 0, 0}, "Windows 3.1", kCp, 0, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "マウス", "日付と時刻", false, true, true, 1},
    {"unknown", {1, 0, 0, 7}, "Please Wait !!", kCp, 0, "ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", "マウス", "日付と時刻", false, true, true, 2},
};

TEST_F(ShellTest, EveryWindowsVersionGetsItsCaptionsAndStates) {
  for (const VersionRow& r : kVersions) {
    SCOPED_TRACE(r.name);
    TearDown();
    SetUp();
    sim->version = r.v;
    sim->files.insert("C:\\WINDOWS\\SYSTEM\\RSRC32.DLL");
    TForm1* f = Create();
    EXPECT_EQ(f->PlatformFamily, r.family);
    EXPECT_EQ(f->Label2->Caption(), r.label2);
    EXPECT_EQ(f->Label6->Caption(), r.label6);
    EXPECT_EQ(f->Button6->Caption(), r.button6);
    EXPECT_EQ(f->Button12->Caption(), r.button12);
    EXPECT_EQ(f->Button15->Caption(), r.button15);
    EXPECT_EQ(f->Button9->Caption(), r.nt ? "ｼｽﾃﾑ情報" : "電源管理");
    EXPECT_EQ(f->Button10->Caption(), r.nt ? "ｿﾙﾃｨｱ" : "マルチメディア");
    EXPECT_EQ(f->Button13->Caption(), r.nt ? "ﾊﾟﾌｫｰﾏﾝｽ" : "パスワード");
    EXPECT_EQ(f->Button19->Caption(), r.nt ? "ﾌﾘｰｾﾙ" : "ジョイスティック");
    for (tk::Control* c : std::initializer_list<tk::Control*>{
             f->Button7, f->Button8, f->Button11, f->Button14, f->Button17, f->CheckBox4})
      EXPECT_EQ(c->Enabled(), !r.nt) << c->Name;
    for (tk::MenuItem* m : {f->CommandSender1, f->PingSender1})
      EXPECT_EQ(m->Enabled(), !r.nt) << m->Name;
    // The lock: the program's own on 95 to Me, none on NT 4 to XP, the
    // system's from Vista on.
    const bool systemLock = r.nt && r.v.major >= 6;
    EXPECT_EQ(f->Button16->Enabled(), !r.nt || systemLock);
    EXPECT_EQ(f->N3->Enabled(), !r.nt || systemLock);
    EXPECT_EQ(f->lockRoute, systemLock ? TForm1::LockRoute::System
                         : r.nt     ? TForm1::LockRoute::None
                                    : TForm1::LockRoute::Own);
    EXPECT_EQ(f->Button3->Enabled(), r.button3);
    EXPECT_EQ(f->Button21->Visible(), r.button21);
    EXPECT_EQ(f->CheckBox2->Visible(), r.checkBox2 != 0);
    EXPECT_EQ(f->CheckBox2->Enabled(), r.checkBox2 != 1);
    EXPECT_TRUE(f->StatusBar1->SimplePanel());
  }
}

// GetVersionEx tells a copy whose manifest names neither 8.1 nor 10 that it
// runs on 8; the label names the real version all the same.
TEST_F(ShellTest, TheLabelNamesTheRealVersionWhereGetVersionExHidesIt) {
  struct Case {
    const char* release;
    std::pair<std::uint32_t, std::uint32_t> manifest;
    const char* label;
  } cases[] = {
      {"11", {0, 0}, "Windows 11"},   {"11", {10, 0}, "Windows 11"}, {"10", {6, 3}, "Windows 10"},
      {"8.1", {6, 1}, "Windows 8.1"}, {"7", {0, 0}, "Windows 7"},   {"XP", {0, 0}, "Microsoft Windows XP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.release) + " named up to " + std::to_string(c.manifest.first) + "." +
                 std::to_string(c.manifest.second));
    TearDown();
    SetUp();
    sim->UseRelease(c.release);
    sim->manifestSupports = c.manifest;
    EXPECT_EQ(Create()->Label2->Caption(), c.label);
  }
  // Without RtlGetVersion only what GetVersionEx tells is known.
  TearDown();
  SetUp();
  sim->UseRelease("11");
  sim->manifestSupports = {0, 0};
  sim->hasRtlGetVersion = false;
  EXPECT_EQ(Create()->Label2->Caption(), "Windows 8");
}

// The simulated machine takes kivo_config's manifest to name Windows 8.1
// and 10 (which covers 11), so that GetVersionEx tells the program the real
// version there; the manifest does.
TEST(Manifest, NamesWhatTheSimulatedMachineAssumes) {
  std::ifstream in(KIVO_MANIFEST);
  ASSERT_TRUE(in) << KIVO_MANIFEST;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* os : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}",    // Vista
                         "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",    // 7
                         "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",    // 8
                         "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",    // 8.1
                         "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})   // 10 and 11
    EXPECT_NE(text.find(std::string("<supportedOS Id=\"") + os + "\"/>"), std::string::npos) << os;
  EXPECT_EQ(platform::SimPlatform().manifestSupports, (std::pair<std::uint32_t, std::uint32_t>{10, 0}));
}

// From 2000 on the machine's power capabilities decide: standby where it
// can sleep or hibernate, the hibernation switch where it can hibernate;
// without an answer 2000 and XP keep both and Vista and later show neither.
TEST_F(ShellTest, StandbyAndHibernationFollowWhatTheMachineCan) {
  using Caps = std::optional<platform::PowerCapabilities>;
  struct Case {
    const char* name;
    Caps caps;
    bool standby, hibernate;  // NT 6 and later
    bool standbyXp, hibernateXp;
  } cases[] = {
      {"sleep and hibernate", platform::PowerCapabilities{false, false, true, true, true}, true, true, true, true},
      {"S1 only", platform::PowerCapabilities{true, false, false, false, false}, true, false, true, false},
      {"hibernation switched off", platform::PowerCapabilities{false, false, true, true, false}, true, false, true, false},
      {"hibernate only", platform::PowerCapabilities{false, false, false, true, true}, true, true, true, true},
      {"neither", platform::PowerCapabilities{}, false, false, false, false},
      {"no answer", Caps{}, false, false, true, true},
  };
  for (const char* release : {"XP", "7", "11"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(release) + ": " + c.name);
      TearDown();
      SetUp();
      sim->UseRelease(release);
      sim->powerCapabilities = c.caps;
      TForm1* f = Create();
      const bool xp = std::string(release) == "XP";
      EXPECT_EQ(f->Button21->Visible(), xp ? c.standbyXp : c.standby);
      EXPECT_EQ(f->CheckBox2->Enabled(), xp ? c.hibernateXp : c.hibernate);
      EXPECT_TRUE(f->CheckBox2->Visible());
    }
  }
  // 95 to Me and NT 4 are not asked.
  for (const char* release : {"98", "Me", "NT4"}) {
    TearDown();
    SetUp();
    sim->UseRelease(release);
    Create();
    EXPECT_TRUE(sim->Calls("GetPwrCapabilities").empty()) << release;
  }
}

// A stored hibernation check on a machine that cannot hibernate: the switch
// keeps it (for a machine that can), the button stays standby.
TEST_F(ShellTest, AStoredHibernationCheckWaitsWhereTheMachineCannotHibernate) {
  sim->UseRelease("10");
  sim->powerCapabilities = platform::PowerCapabilities{false, false, true, true, false};
  Store("F1", "TITLE_TAG", "1");
  Store("F1", "KYUSI", "1");
  TForm1* f = Create();
  EXPECT_TRUE(f->CheckBox2->Checked());
  EXPECT_FALSE(f->CheckBox2->Enabled());
  EXPECT_EQ(f->Button21->Caption(), "スタンバイ");
  EXPECT_FALSE(f->actions.HibernateSwitch());
  f->SaveMainSettings();
  EXPECT_EQ(Stored("F1", "KYUSI"), "1");
}

TEST_F(ShellTest, FailedVersionQueryReadsAsWin32s) {
  sim->versionFails = true;
  TForm1* f = Create();
  EXPECT_EQ(f->Label2->Caption(), "Windows 3.1");
  EXPECT_FALSE(f->CheckBox2->Enabled());
}

TEST_F(ShellTest, ResourceButtonNeedsTheResourceLibrary) {
  UseVersion(platform::kPlatformWindows, 4, 10);
  EXPECT_FALSE(Create()->Button17->Enabled());
  TearDown();
  SetUp();
  UseVersion(platform::kPlatformWindows, 4, 10);
  sim->files.insert("c:\\windows\\system\\rsrc32.dll");
  EXPECT_TRUE(Create()->Button17->Enabled());
}

TEST_F(ShellTest, ClockUptimeAndMemoryFormats) {
  TForm1* f = Create();
  EXPECT_EQ(f->Label1->Caption(), "Please Wait !!");
  struct Case {
    std::uint32_t ticks;
    const char* text;
  } cases[] = {
      {90061000u, "OS起動から 1日 01時間 01分 01秒 経過"},
      {86400000u, "OS起動から 1日 00時間 00分 00秒 経過"},
      {59999u, "OS起動から 0日 00時間 00分 59秒 経過"},
      {4294967295u, "OS起動から 49日 17時間 02分 47秒 経過"},
      {0u, "OS起動から 0日 00時間 00分 00秒 経過"},
  };
  for (const auto& c : cases) {
    sim->tickCount = c.ticks;
    ui->TickTimers();
    EXPECT_EQ(f->Label3->Caption(), c.text);
  }
  EXPECT_EQ(f->Label1->Caption(), "現在時刻 2026/12/07 9:30:00");

  struct Mem {
    bool ex;  // the system has GlobalMemoryStatusEx
    std::uint64_t bytes;
    const char* text;
  } mems[] = {
      {true, 134217728u, "Total Physical Memory: 128MB"},
      {true, 2147483648u, "Total Physical Memory: 2048MB"},
      {true, 4294967295u, "Total Physical Memory: 4096MB"},
      {true, 24ull << 30, "Total Physical Memory: 24576MB"},
      {true, 1572864u, "Total Physical Memory: 2MB"},  // 1.5 MB rounds up
      {true, 1572863u, "Total Physical Memory: 1MB"},
      {false, 134217728u, "Total Physical Memory: 128MB"},
      {false, 24ull << 30, "Total Physical Memory: 2048MB"},  // the old call saturates
  };
  for (const auto& m : mems) {
    sim->hasGlobalMemoryStatusEx = m.ex;
    sim->totalPhys = m.bytes;
    EXPECT_EQ(PhysicalMemoryText(), m.text);
  }
}

TEST_F(ShellTest, TrayIconAndItsCallbackMessages) {
  TForm1* f = Create();
  ASSERT_EQ(sim->trayIcons.size(), 1u);
  const auto& icon = sim->trayIcons[0];
  EXPECT_EQ(icon.cbSize, 88u);
  EXPECT_EQ(icon.window, f->Handle());
  EXPECT_EQ(icon.id, 100u);
  EXPECT_EQ(icon.flags, 7u);
  EXPECT_EQ(icon.callbackMessage, 1025u);
  EXPECT_EQ(icon.tip, "Kivo_Config For Windows");
  EXPECT_TRUE(icon.applicationIcon) << "the tray shows the program's own icon";

  auto tray = [&](std::intptr_t mouse) {
    tk::Message m{1025, 100, mouse, 0};
    EXPECT_TRUE(f->PeerMessage(m));
  };
  f->Button5->Click();
  EXPECT_FALSE(f->Visible());
  tray(0x201);  // single left click
  tray(0x205);  // right button up
  EXPECT_FALSE(f->Visible());
  EXPECT_TRUE(ui->popups.empty());
  tray(0x203);
  EXPECT_TRUE(f->Visible());
  tray(0x204);
  ASSERT_EQ(ui->popups.size(), 1u);
  EXPECT_EQ(ui->popups[0].menu, "PopupMenu1");
  EXPECT_EQ(ui->popups[0].x, 100);
  EXPECT_EQ(ui->popups[0].y, 200);
  EXPECT_EQ(sim->Calls("SetForegroundWindow").size(), 1u);
}

// The program lives in the tray: an icon the shell refused at the start is
// asked for again, and a shell that starts again ("TaskbarCreated") gets it anew.
TEST_F(ShellTest, TheTrayIconComesBackWhenTheShellIsLateOrRestarts) {
  sim->trayRunning = false;  // a logon where the tray comes up late
  TForm1* f = Create();
  EXPECT_TRUE(sim->trayIcons.empty());
  ui->AdvanceClock(3000);
  EXPECT_TRUE(sim->trayIcons.empty());
  sim->trayRunning = true;
  ui->AdvanceClock(1000);
  ASSERT_EQ(sim->trayIcons.size(), 1u);
  sim->ClearJournal();
  ui->AdvanceClock(5000);
  EXPECT_TRUE(sim->Calls("Shell_NotifyIcon").empty()) << "asked again once it was there";

  // The shell ends and starts again: every program gets its message.
  sim->RestartShell();
  const unsigned created = sim->RegisterWindowMessage("TaskbarCreated");
  tk::Message m{created, 0, 0, 0};
  EXPECT_TRUE(f->PeerMessage(m));
  ASSERT_EQ(sim->trayIcons.size(), 1u);
  EXPECT_EQ(sim->trayIcons[0].callbackMessage, 1025u);
  // The same message with the icon still there (only the screen changed).
  EXPECT_TRUE(f->PeerMessage(m));
  EXPECT_EQ(sim->trayIcons.size(), 1u);

  // A shell that never comes back: asked for a while, then left alone.
  sim->RestartShell();
  sim->trayRunning = false;
  f->PeerMessage(m);
  ui->AdvanceClock(600000);
  sim->ClearJournal();
  ui->AdvanceClock(5000);
  EXPECT_TRUE(sim->Calls("Shell_NotifyIcon").empty());
}

TEST_F(ShellTest, PopupMenuItemsInOrderWithTheirCommands) {
  TForm1* f = Create();
  std::vector<std::string> names, captions;
  for (const auto& i : f->PopupMenu1->Items().Items()) {
    names.push_back(i->Name);
    captions.push_back(i->Caption());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"B1", "A1", "C1", "R1", "L1", "N3", "N4", "PingSender1",
                                              "KivoWebExplorer1", "Open2", "Exit1", "Windows1"}));
  EXPECT_EQ(captions[3], "範囲キャプチャ(&R)");
  EXPECT_EQ(captions[4], "前回の範囲(&L)");
  EXPECT_EQ(captions[9], "デスクトップに表示(&D)");
  EXPECT_EQ(captions[10], "アプリケーションの終了(&A)");
  EXPECT_EQ(captions[11], "Windowsの終了(&S)");

  f->Hide();
  ui->popupChoices = {"Open2"};
  tk::Message m{1025, 100, 0x204, 0};
  f->PeerMessage(m);
  EXPECT_TRUE(f->Visible());

  ui->popupChoices = {"B1"};
  f->PeerMessage(m);
  EXPECT_EQ(sim->Calls("SHAddToRecentDocs(2, NULL)").size(), 1u);

  f->Hide();
  ui->popupChoices = {"Windows1"};
  ui->boxAnswers = {tk::idNo};
  f->PeerMessage(m);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, "電源切断してもよろしいですか？");

  ui->popupChoices = {"Exit1"};
  f->PeerMessage(m);
  EXPECT_TRUE(tk::Application::Instance().Terminated());
  EXPECT_TRUE(Stored("F1", "X"));
}

TEST_F(ShellTest, LogoWaitsTwoSecondsWhileMessagesKeepFlowing) {
  sim->nowStep = 0.25 / 86400.0;  // each clock read is a quarter second later
  std::vector<int> cursorsDuringWait;
  ui->onProcessMessages = [&] {
    if (Form5) cursorsDuringWait.push_back(tk::Application::Instance().Cursor());
  };
  TForm1* f = Create(true);
  EXPECT_GE(ui->processMessagesCalls, 7);
  EXPECT_LE(ui->processMessagesCalls, 9);
  ASSERT_FALSE(cursorsDuringWait.empty());
  EXPECT_EQ(cursorsDuringWait.front(), tk::crHourGlass);
  EXPECT_EQ(tk::Application::Instance().Cursor(), tk::crDefault);
  EXPECT_EQ(Form5, nullptr) << "the logo is destroyed before start-up goes on";
  EXPECT_EQ(Owned<TForm5>(f), 0u);

  // The clock set back an hour during the logo: the wait ends instead of
  // lasting the hour.
  TearDown();
  SetUp();
  sim->nowStep = 0.25 / 86400.0;
  bool setBack = false;
  ui->onProcessMessages = [&] {
    if (Form5 && !setBack) {
      setBack = true;
      sim->now -= 1.0 / 24;
    }
  };
  Create(true);
  EXPECT_LE(ui->processMessagesCalls, 9);
}

TEST_F(ShellTest, TrayCommandsDuringTheLogoWaitUntilTheSettingsAreRestored) {
  Store("F1", "X", "300");
  Store("F1", "Y", "200");
  Store("F1", "TASK", "1");
  Store("F1", "STARTUP", "1");
  sim->nowStep = 0.25 / 86400.0;
  bool clicked = false;
  TForm1* main = nullptr;
  ui->onProcessMessages = [&] {
    if (!Form5 || clicked || !tk::Application::Instance().MainForm()) return;
    clicked = true;
    main = static_cast<TForm1*>(tk::Application::Instance().MainForm());
    ui->popupChoices = {"Exit1"};
    tk::Message tray{1025, 100, 0x204, 0};
    main->PeerMessage(tray);
    EXPECT_TRUE(ui->popups.empty()) << "the menu waits for the end of the logo";
    // An end of session that another program cancels posts a close too.
    tk::Message close{tk::wmClose, 0, 0, 0};
    main->PeerMessage(close);
    EXPECT_FALSE(tk::Application::Instance().Terminated());
  };
  TForm1* f = Create(true);
  ASSERT_TRUE(clicked);
  ui->onProcessMessages = nullptr;
  EXPECT_EQ(Stored("F1", "X"), "300") << "nothing was saved over the stored settings";
  EXPECT_EQ(Stored("F1", "TASK"), "1");
  EXPECT_FALSE(tk::Application::Instance().Terminated());

  tk::Application::Instance().ProcessMessages();  // the deferred messages
  EXPECT_EQ(ui->popups.size(), 1u);
  EXPECT_TRUE(tk::Application::Instance().Terminated());
  EXPECT_EQ(Stored("F1", "X"), "300");
  EXPECT_EQ(Stored("F1", "Y"), "200");
  EXPECT_EQ(Stored("F1", "TASK"), "1");
  EXPECT_EQ(Stored("F1", "STARTUP"), "1");
  EXPECT_EQ(f->Left(), 300);
}

TEST_F(ShellTest, EndOfSessionDuringTheLogoSavesNothingAndRestoresNothing) {
  Store("F1", "X", "300");
  Store("F1", "TASK", "1");
  sim->nowStep = 0.25 / 86400.0;
  bool ended = false;
  ui->onProcessMessages = [&] {
    auto* main = static_cast<TForm1*>(tk::Application::Instance().MainForm());
    if (!Form5 || ended || !main) return;
    ended = true;
    tk::Message query{tk::wmQueryEndSession, 0, 0, 0};
    main->PeerMessage(query);
    tk::Message end{tk::wmEndSession, 1, 0, 0};
    main->PeerMessage(end);
  };
  Create(true);
  ASSERT_TRUE(ended);
  EXPECT_TRUE(tk::Application::Instance().Terminated());
  EXPECT_EQ(Stored("F1", "X"), "300");
  EXPECT_TRUE(sim->Calls("ShowWindow").empty()) << "the taskbar was not hidden after the end";
}

TEST_F(ShellTest, StatusLabelsKeepTheirOwnBackgroundUntilAColourIsChosen) {
  Store("F6", "CL", "clRed");
  TForm1* f = Create();
  EXPECT_EQ(f->GetColor(), 0x0000FF);
  for (tk::Label* l : {f->Label1, f->Label2, f->Label3})
    EXPECT_EQ(l->PaintedBackground(), tk::clBtnFace) << l->Name;
  for (tk::Control* c : std::initializer_list<tk::Control*>{f->Label7, f->Label4, f->Label6,
                                                             f->CheckBox1, f->Button4})
    EXPECT_EQ(c->PaintedBackground(), 0x0000FF) << c->Name << " is drawn on the window";
}

TEST_F(ShellTest, NoLogoWhenSwitchedOff) {
  Create(false);
  EXPECT_EQ(ui->processMessagesCalls, 0);
  EXPECT_EQ(ui->cursors, (std::vector<int>{tk::crHourGlass, tk::crDefault}));
}

TEST_F(ShellTest, AboutBoxesOpenModallyCloseOnEnterAndRelease) {
  TForm1* f = Create();
  std::string version, product;
  ui->onModal = [&](tk::Form& box) {
    auto& about = static_cast<TAboutBox&>(box);
    version = about.Version->Caption();
    product = about.ProductName->Caption();
    about.Label1->Click();
    about.Label2->Click();
    about.Label1->PeerMouseMove();
    EXPECT_EQ(tk::Application::Instance().Cursor(), tk::crHandPoint);
    about.Panel1->PeerMouseMove();
    EXPECT_EQ(tk::Application::Instance().Cursor(), tk::crDefault);
    about.PressDefault();
  };
  f->About1->Click();
  EXPECT_EQ(version, "Version 1.7(Build020412)");
  EXPECT_EQ(product, "kivo_config");
  auto links = sim->Calls("ShellExecute");
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0], std::string("ShellExecute(NULL, NULL, \"") + kMakerWebAddress +
                          "\", NULL, NULL, 0)");
  EXPECT_EQ(links[1], std::string("ShellExecute(NULL, NULL, \"mailto:") + kMakerMailAddress +
                          "\", NULL, NULL, 0)");

  std::string history;
  ui->onModal = [&](tk::Form& box) {
    auto& fix = static_cast<TAboutBox1&>(box);
    history = fix.Memo1->Text();
    EXPECT_FALSE(fix.Icons.systemMenu);
    fix.PressDefault();
  };
  f->FIX1->Click();
  EXPECT_EQ(history.rfind("Ver1.7", 0), 0u);
  EXPECT_EQ(Owned<TAboutBox>(f), 0u) << "released";
  EXPECT_EQ(Owned<TAboutBox1>(f), 0u) << "released";
}

// Escape closes each dialog that has a close or cancel button, whatever
// control has the focus, except in the hotkey window while a hotkey box has
// it: there Escape is a key for the box.
TEST_F(ShellTest, EscapeClosesTheDialogs) {
  TForm1* f = Create();
  std::vector<std::string> closed;
  auto escape = [&](tk::Control* focused) {
    return [&, focused](tk::Form& w) {
      EXPECT_TRUE(w.PeerDialogKey(tk::vkEscape, focused, false)) << w.Name;
      if (w.ModalResult != tk::mrNone) closed.push_back(w.Name);
    };
  };
  ui->onModal = escape(nullptr);
  f->About1->Click();
  f->FIX1->Click();
  f->N2->Click();
  f->V1->Click();
  ASSERT_TRUE(Form13);
  Form13->CaptureSettings1->Click();
  ui->onModal = [&](tk::Form& w) {
    auto& hotkeys = static_cast<TForm27&>(w);
    EXPECT_FALSE(w.PeerDialogKey(tk::vkEscape, hotkeys.HotKeys[0], false)) << "the box's key";
    EXPECT_EQ(w.ModalResult, tk::mrNone);
    escape(hotkeys.Edit1)(w);
  };
  f->HotKey1->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(closed, (std::vector<std::string>{"AboutBox", "AboutBox1", "Form6", "Form28", "Form27"}));
}

TEST_F(ShellTest, AboutBoxControlsLieOnThePanelAndTheHistoryScrollsBothWays) {
  TForm1* f = Create();
  ui->onModal = [&](tk::Form& box) {
    auto& about = static_cast<TAboutBox&>(box);
    const tk::Rect p = about.Panel1->Bounds();
    struct Place {
      tk::Control* c;
      int left, top;  // on the panel
    } places[] = {{about.ProgramIcon, 16, 16}, {about.ProductName, 88, 16},
                  {about.Version, 88, 40},     {about.Copyright, 8, 80},
                  {about.Comments, 8, 104},    {about.Label3, 8, 104},
                  {about.Label1, 8, 136},      {about.Label2, 144, 136}};
    for (const Place& pl : places) {
      const tk::Rect r = pl.c->Bounds();
      EXPECT_EQ(r.left, p.left + pl.left) << pl.c->Name;
      EXPECT_EQ(r.top, p.top + pl.top) << pl.c->Name;
      EXPECT_LE(r.left + r.width, p.left + p.width) << pl.c->Name << " sticks out of the panel";
      EXPECT_LE(r.top + r.height, p.top + p.height) << pl.c->Name << " sticks out of the panel";
    }
    about.PressDefault();
  };
  f->About1->Click();
  ui->onModal = [&](tk::Form& box) {
    auto& fix = static_cast<TAboutBox1&>(box);
    EXPECT_EQ(fix.Memo1->ScrollBars(), tk::ScrollStyle::Both);
    bool imeOff = false;
    const std::string memo = tk::Format("0x%lx", static_cast<unsigned long>(fix.Memo1->Handle()));
    for (const auto& call : sim->Calls("ImmAssociateContext"))
      imeOff |= call == "ImmAssociateContext(" + memo + ", NULL)";
    EXPECT_TRUE(imeOff) << "the input method stays on in the history";
    fix.PressDefault();
  };
  f->FIX1->Click();
}
}  // namespace

namespace {
// The windows that centre themselves do so on the screen, whatever its size
// and wherever the main window stands, with their whole window size.
TEST_F(ShellTest, ScreenCentredWindowsLandInTheMiddleOfTheScreen) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);  // the lock set-up is offered
  Store("F1", "X", "3");
  Store("F1", "Y", "5");
  TForm1* f = Create();
  f->Show();
  for (auto [sw, sh] : {std::pair<int, int>{1024, 768}, {801, 599}}) {
    ui->screenWidth = sw;
    ui->screenHeight = sh;
    std::vector<std::string> seen;
    ui->onModal = [&](tk::Form& w) {
      EXPECT_EQ(w.Position, tk::FormPosition::ScreenCenter) << w.Name;
      EXPECT_EQ(w.Left(), (sw - w.Width()) / 2) << w.Name << " at " << sw;
      EXPECT_EQ(w.Top(), (sh - w.Height()) / 2) << w.Name << " at " << sh;
      EXPECT_GT(w.Width(), 100) << w.Name;
      seen.push_back(w.Name);
      w.Close();
    };
    for (tk::MenuItem* item : {f->N5, f->About1, f->FIX1, f->A1, f->N3}) item->Click();
    tk::Application::Instance().ProcessMessages();
    EXPECT_EQ(seen, (std::vector<std::string>{"Form21", "AboutBox", "AboutBox1", "Form24", "Form9"}));
  }
}
}  // namespace
