// The runner's end conditions: CPU use, network traffic and input on the
// simulated machine (the real calls' quirks: counters that wrap, an
// interface that goes away, input ahead of the tick count), their timer
// setting and stored values, the machine kept awake and the tray's tip.
#include "main_window_fixture.h"
#include "timers/conditions.h"
#include "timers/end_warning.h"
#include "timers/runner.h"
#include "timers/timer_setting.h"

namespace {

using platform::kPlatformNT;
using platform::kPlatformWindows;

class EndConditionsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    LinkClocks();
    sim->now = 46363.5;
    sim->tickCount = 1000000;
    sim->lastInputTick = sim->tickCount;
    sim->interfaces = {{1, 0, 0}, {2, 0, 0}};
    main = CreateQuiet();
    main->Show();
  }
  // One second: the CPU busy `busy` % of it, `bytes` over the first
  // interface, the user's input when `input`.
  void Second(double busy = 0, std::uint32_t bytes = 0, bool input = false) {
    const std::uint64_t total = 10000000;  // 1 s in 100 ns
    const std::uint64_t idle = static_cast<std::uint64_t>(total * (100 - busy) / 100);
    sim->cpuTimes.idle += idle;
    sim->cpuTimes.kernel += idle + (total - idle) / 2;
    sim->cpuTimes.user += (total - idle) - (total - idle) / 2;
    if (!sim->interfaces.empty()) sim->interfaces[0].inOctets += bytes;
    ui->TickTimers();
    if (input) sim->lastInputTick = sim->tickCount;
  }
  void Seconds(int n, double busy = 0) {
    for (int i = 0; i < n; ++i) Second(busy);
  }
  // The runner watching the stored conditions, with the power-off.
  TForm11* Watch(const char* mode = "3") {
    Store("F12", "MODE", mode);
    main->Button18->Click();
    TForm11* r = Form11;
    r->Edit1->SetText("");
    r->CheckBox1->Click();
    r->CheckBox2->Click();
    r->Button1->Click();
    ui->boxes.clear();
    return r;
  }
  void Cond(const char* ident, const char* value) { Store("Conditions", ident, value); }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> t;
    for (const auto& b : ui->boxes) t.push_back(b.text);
    return t;
  }
  TForm1* main = nullptr;
};

TEST_F(EndConditionsTest, CpuMustStayBelowForItsMinutesAndStartsAgainWhenItRises) {
  Cond("CpuOn", "1");
  Cond("CpuPercent", "10");
  Cond("CpuMinutes", "15");
  TForm11* r = Watch();
  ASSERT_TRUE(r->Counting());
  EXPECT_EQ(sim->Calls("GetSystemTimes").size(), 1u) << "the first reading to measure from";
  Second(3);
  EXPECT_TRUE(r->Label6->Visible());
  EXPECT_EQ(r->Label5->Caption(), "監視中");
  EXPECT_EQ(r->Label6->Caption(), "CPU 3 % — 0分01秒 / 15分") << "below since the reading before";
  Seconds(251, 3);
  EXPECT_EQ(r->Label6->Caption(), "CPU 3 % — 4分12秒 / 15分");
  Second(50);  // busy for a second: the fifteen minutes start again
  EXPECT_EQ(r->Label6->Caption(), "CPU 50 % — 0分00秒 / 15分");
  Seconds(15 * 60 - 1, 9);
  EXPECT_EQ(Form26, nullptr) << "a second short of fifteen minutes below 10 %";
  Second(9);
  ASSERT_NE(Form26, nullptr) << "the last warning, with its grace";
  EXPECT_EQ(r->Label3->Caption(), "30");
  EXPECT_FALSE(r->Label6->Visible());
  Seconds(29, 90);  // once it is warned, the grace runs whatever the CPU does
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());
  Second(90);
  EXPECT_EQ(sim->Calls("ExitWindowsEx"), (std::vector<std::string>{"ExitWindowsEx(8, 0)"}));
  EXPECT_TRUE(ui->boxes.empty()) << "no question";
}

TEST_F(EndConditionsTest, CpuOfOlderSystems) {
  // 2000: the processors' times from NtQuerySystemInformation.
  sim->hasGetSystemTimes = false;
  UseVersion(kPlatformNT, 5, 0, 2195);
  Cond("CpuOn", "1");
  Cond("CpuMinutes", "1");
  TForm11* r = Watch();
  Seconds(61, 5);
  EXPECT_NE(Form26, nullptr);
  EXPECT_TRUE(sim->Calls("GetSystemTimes").empty());
  EXPECT_FALSE(sim->Calls("NtQuerySystemInformation").empty());
  r->StopCountdown();

  // Times that go back (a processor's count reset) give no figure.
  Second(5);
  TearDown();
  SetUp();
  Cond("CpuOn", "1");
  Cond("CpuMinutes", "1");
  r = Watch();
  Seconds(30, 5);
  sim->cpuTimes.idle -= 100000000;
  Second(5);
  EXPECT_EQ(r->Label6->Caption(), "CPU - % — 0分00秒 / 1分");
  Seconds(2, 5);
  EXPECT_EQ(r->Label6->Caption(), "CPU 5 % — 0分02秒 / 1分");

  // 98: the system's own counter, started, read and stopped.
  TearDown();
  SetUp();
  UseVersion(kPlatformWindows, 4, 10, 1998);
  sim->cpuUsage9x = 40;
  Cond("CpuOn", "1");
  Cond("CpuMinutes", "1");
  r = Watch();
  EXPECT_TRUE(sim->cpuStatRunning);
  Second();
  EXPECT_EQ(r->Label6->Caption(), "CPU 40 % — 0分00秒 / 1分");
  sim->cpuUsage9x = 2;
  Seconds(61);
  EXPECT_NE(Form26, nullptr);
  EXPECT_FALSE(sim->cpuStatRunning) << "stopped once the conditions held";
  EXPECT_EQ(sim->OpenKeyCount(), 0u);
}

TEST_F(EndConditionsTest, NetworkSumsEveryInterfaceAcrossWrapsAndLosses) {
  Cond("NetOn", "1");
  Cond("NetKBps", "10");
  Cond("NetMinutes", "1");
  sim->interfaces[0].inOctets = 0xFFFFF000u;  // wraps within the first second
  TForm11* r = Watch();
  Second(0, 20 * 1024);
  EXPECT_EQ(r->Label6->Caption(), "通信 20 KB/s — 0分00秒 / 1分");
  Second(0, 9 * 1024);
  sim->interfaces[1].outOctets += 5 * 1024;
  Second(0, 4 * 1024);
  EXPECT_EQ(r->Label6->Caption(), "通信 9 KB/s — 0分02秒 / 1分") << "both interfaces together";
  // A dial-up connection that ends, and one that comes: neither is traffic.
  sim->interfaces.erase(sim->interfaces.begin() + 1);
  sim->interfaces.push_back({7, 123456789, 987654321});
  Second(0, 1024);
  EXPECT_EQ(r->Label6->Caption(), "通信 1 KB/s — 0分03秒 / 1分");
  Seconds(58);
  EXPECT_NE(Form26, nullptr);
}

// The interface table is read every second near the threshold and every few
// seconds far below it; the time held is shown every second all the same,
// and the end comes at the very second it would with a reading every second.
TEST_F(EndConditionsTest, NetworkReadSparselyFarBelowItsThresholdEndingOnTime) {
  Cond("NetOn", "1");
  Cond("NetKBps", "10");
  Cond("NetMinutes", "1");
  TForm11* r = Watch();
  auto reads = [&] { return sim->Calls("GetIfTable").size(); };
  ASSERT_EQ(reads(), 1u);
  for (int i = 0; i < 10; ++i) Second(0, 5 * 1024);  // half the threshold
  EXPECT_EQ(reads(), 11u) << "near the threshold: every second";
  EXPECT_EQ(r->Label6->Caption(), "通信 5 KB/s — 0分10秒 / 1分");
  for (int i = 11; i <= 59; ++i) {
    Second();
    EXPECT_EQ(r->Label6->Caption(), "通信 0 KB/s — 0分" + std::to_string(i) + "秒 / 1分");
  }
  EXPECT_LE(reads(), 11u + 1 + 48 / 30 + 1) << "quiet: every thirtieth second";
  EXPECT_EQ(Form26, nullptr);
  const size_t before = reads();
  Second();
  EXPECT_EQ(reads(), before + 1) << "read for the end itself";
  EXPECT_NE(Form26, nullptr) << "at the minute, as with a reading every second";
}

// Traffic between two readings counts in full: a second over the threshold
// starts the minutes again at the next reading, never letting the end come
// sooner than a reading every second would.
TEST_F(EndConditionsTest, NetworkBurstBetweenReadingsStartsTheTimeAgain) {
  Cond("NetOn", "1");
  Cond("NetKBps", "10");
  Cond("NetMinutes", "1");
  TForm11* r = Watch();
  Seconds(21);
  const size_t before = sim->Calls("GetIfTable").size();
  Second(0, 30 * 1024);
  EXPECT_EQ(sim->Calls("GetIfTable").size(), before) << "between readings";
  int untilSeen = 0;
  // Seen at the next reading: at most half a minute later while it is quiet.
  while (r->Label6->Caption().find("— 0分0") == std::string::npos && untilSeen < 31) {
    Second();
    ++untilSeen;
  }
  EXPECT_LT(untilSeen, 31) << r->Label6->Caption();
  Seconds(59 - untilSeen);
  EXPECT_EQ(Form26, nullptr) << "a minute has not passed since the burst";
  for (int i = 0; i < 35 && !Form26; ++i) Second();
  EXPECT_NE(Form26, nullptr);
}

// A network condition that has held its minutes waits for the others
// without reading the table every second, and is read at the second they
// hold.
TEST_F(EndConditionsTest, NetworkHeldWaitsForTheOthersReadingSparsely) {
  Cond("NetOn", "1");
  Cond("NetMinutes", "1");
  Cond("IdleOn", "1");
  Cond("IdleMinutes", "2");
  TForm11* r = Watch();
  Seconds(61);
  const size_t atMinute = sim->Calls("GetIfTable").size();
  Seconds(58);
  EXPECT_EQ(r->Label6->Caption(), "通信 0 KB/s — 1分59秒 / 1分\r\n無入力 — 1分59秒 / 2分");
  EXPECT_LE(sim->Calls("GetIfTable").size(), atMinute + 58 / 30 + 1);
  EXPECT_EQ(Form26, nullptr);
  const size_t before = sim->Calls("GetIfTable").size();
  Second();
  EXPECT_EQ(sim->Calls("GetIfTable").size(), before + 1);
  EXPECT_NE(Form26, nullptr);
}

TEST_F(EndConditionsTest, InputFollowsTheLastInputAcrossTheTickWrap) {
  sim->tickCount = 0xFFFFFFFFu - 30000;
  sim->lastInputTick = sim->tickCount;
  Cond("IdleOn", "1");
  Cond("IdleMinutes", "2");
  TForm11* r = Watch();
  Seconds(90);
  EXPECT_EQ(r->Label6->Caption(), "無入力 — 1分30秒 / 2分") << "across the wrap";
  Second(0, 0, true);
  Second();
  EXPECT_EQ(r->Label6->Caption(), "無入力 — 0分01秒 / 2分");
  // Input between the tick count's reading and the last input's puts the
  // last input ahead of the tick count: no time without input yet (not the
  // 49 days the difference would make). The clock moves first, then the
  // input comes, then the watch reads.
  const auto clock = ui->onClockAdvanced;
  ui->onClockAdvanced = [&](std::uint64_t ms) {
    clock(ms);
    sim->lastInputTick = sim->tickCount + 5;
  };
  Second();
  EXPECT_EQ(r->Label6->Caption(), "無入力 — 0分00秒 / 2分");
  Second();
  EXPECT_EQ(r->Label6->Caption(), "無入力 — 0分00秒 / 2分");
  ui->onClockAdvanced = clock;
  sim->lastInputTick = sim->tickCount;
  Seconds(119);
  EXPECT_EQ(Form26, nullptr);
  Second();
  EXPECT_NE(Form26, nullptr);
}

// The tick counts' difference is sure only below 2^31 ms (24.8 days); the
// longest wait without input (/idle 599940, 9999 hours) is carried on from
// reading to reading of the same last input.
TEST_F(EndConditionsTest, InputHeldLongerThanTheTickCountTells) {
  timers::Conditions c;
  c.of[timers::kIdleCondition] = {true, 0, 80000};  // above 35791 minutes, and 2^32 ms
  timers::ConditionWatch w(c);
  std::int64_t now = 5000000000;  // the caller's clock, 64 bits
  sim->lastInputTick = sim->tickCount - 60000;  // a minute ago
  w.Sample(now);
  EXPECT_EQ(w.Lines(), (std::vector<std::string>{"無入力 — 1分00秒 / 80000分"}));
  auto hours = [&](int n) {
    for (int i = 0; i < n; ++i) {
      sim->tickCount += 3600000;  // wraps after 49.7 days
      now += 3600000;
      w.Sample(now);
    }
  };
  hours(1333);
  EXPECT_EQ(w.Lines(), (std::vector<std::string>{"無入力 — 79981分00秒 / 80000分"}));
  EXPECT_FALSE(w.AllHold());
  hours(1);
  EXPECT_TRUE(w.AllHold());
  // Input again: from nothing.
  sim->lastInputTick = sim->tickCount - 1000;
  w.Sample(now);
  EXPECT_EQ(w.Lines(), (std::vector<std::string>{"無入力 — 0分01秒 / 80000分"}));
  EXPECT_FALSE(w.AllHold());
}

TEST_F(EndConditionsTest, EveryChosenConditionTogetherAndAfterTheProgram) {
  Cond("CpuOn", "1");
  Cond("CpuMinutes", "1");
  Cond("IdleOn", "1");
  Cond("IdleMinutes", "2");
  TForm11* r = Watch();
  Seconds(70, 5);
  EXPECT_EQ(Form26, nullptr) << "the CPU alone is not enough";
  Seconds(50, 5);
  EXPECT_NE(Form26, nullptr);
  r->StopCountdown();

  // With the program's end: the conditions held meanwhile count.
  bool running = true;
  sim->programs = {"app.exe"};
  sim->onMsgWait = [&](platform::Handle) { return running ? platform::kWaitTimeout : platform::kWaitObject0; };
  Store("F12", "MODE", "2");
  sim->lastInputTick = sim->tickCount;
  r->Edit1->SetText("app.exe");
  r->Button1->Click();
  Seconds(200, 5);
  EXPECT_EQ(Form26, nullptr);
  EXPECT_EQ(r->Label6->Caption(), "CPU 5 % — 3分20秒 / 1分\r\n無入力 — 3分20秒 / 2分");
  running = false;
  Second(5);
  EXPECT_NE(Form26, nullptr);
}

TEST_F(EndConditionsTest, OfferedByTheVersionShownWithTheReasonAndStored) {
  UseVersion(kPlatformWindows, 4, 0, 950);
  Store("F12", "MODE", "3");
  Cond("IdleOn", "1");
  Cond("CpuPercent", "abc");  // no number: its default, written back
  main->Button18->Click();
  TForm12* dialog = nullptr;
  ui->onModal = [&](tk::Form& f) {
    dialog = &static_cast<TForm12&>(f);
    EXPECT_TRUE(dialog->RadioButton4->Checked());
    EXPECT_TRUE(dialog->CheckBox1->Enabled());
    EXPECT_FALSE(dialog->CheckBox2->Enabled());
    EXPECT_FALSE(dialog->CheckBox3->Enabled());
    EXPECT_TRUE(dialog->CheckBox3->Checked()) << "the stored choice, shown";
    EXPECT_EQ(dialog->Label11->Caption(), "通信量: Windows 98/2000 以降  入力なし: Windows 2000 以降");
    EXPECT_EQ(dialog->Edit1->Text(), "10");
    dialog->CheckBox1->Click();
    dialog->Edit2->SetText("30");
    dialog->Edit5->SetText("0");  // out of range: kept as it was
    dialog->Button1->Click();
  };
  Form11->Button4->Click();
  ui->onModal = nullptr;
  EXPECT_EQ(Stored("Conditions", "CpuOn"), "1");
  EXPECT_EQ(Stored("Conditions", "CpuPercent"), "10");
  EXPECT_EQ(Stored("Conditions", "CpuMinutes"), "30");
  EXPECT_EQ(Stored("Conditions", "IdleOn"), "1") << "a choice not offered here stays";
  EXPECT_EQ(Stored("Conditions", "IdleMinutes"), "15");
  EXPECT_EQ(Stored("F12", "MODE"), "3");

  // Only conditions this system does not offer: nothing to wait for.
  Cond("CpuOn", "0");
  Form11->CheckBox1->Click();
  Form11->CheckBox2->Click();
  Form11->Button1->Click();
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"終了の条件を一つ以上選んで下さい (タイマー設定)。"}));
  EXPECT_FALSE(Form11->Counting());
}

TEST_F(EndConditionsTest, UnreadableValuesFallBackAndAreNamedOnce) {
  Cond("CpuOn", "1");
  Cond("CpuPercent", "500");
  sim->SetValue(Section("Conditions"), "CpuMinutes", platform::RegValue{platform::kRegDword, "\x01\0\0\0"});
  TForm11* r = Watch();
  ASSERT_TRUE(r->Counting());
  Second(5);
  EXPECT_EQ(r->Label6->Caption(), "CPU 5 % — 0分01秒 / 15分");
  // The defaults of a fresh store, and what the dialog writes without changes.
  timers::Conditions defaults;
  Cond("CpuOn", "");
  EXPECT_EQ(timers::ReadConditions(nullptr).of[timers::kNetCondition], defaults.of[timers::kNetCondition]);
}

TEST_F(EndConditionsTest, UnreadableValuesBox) {
  Cond("CpuOn", "1");
  Cond("CpuPercent", "500");
  Cond("NetMinutes", "x");
  Store("F12", "MODE", "3");
  main->Button18->Click();
  Form11->CheckBox1->Click();
  Form11->CheckBox2->Click();
  Form11->Button1->Click();
  ASSERT_EQ(ui->boxes.size(), 2u);
  EXPECT_EQ(ui->boxes[0].text,
            "終了の条件の次の値を読み込めないため、既定値を使いました。\r\nConditions\\CpuPercent\r\n"
            "Conditions\\NetMinutes");
}

TEST_F(EndConditionsTest, MachineKeptAwakeExactlyWhileAnEndIsPending) {
  Cond("IdleOn", "1");
  Cond("IdleMinutes", "1");
  TForm11* r = Watch();
  EXPECT_EQ(sim->Calls("SetThreadExecutionState"),
            (std::vector<std::string>{"SetThreadExecutionState(0x80000001)"}));
  EXPECT_EQ(sim->executionState, platform::kEsSystemRequired);
  Seconds(61);
  EXPECT_EQ(sim->Calls("SetThreadExecutionState").size(), 1u) << "set once";
  ASSERT_NE(Form26, nullptr);
  Form26->Button1->Click();  // 中止
  EXPECT_EQ(sim->executionState, 0u) << "released when cancelled";
  // Acted: released.
  Store("F12", "MODE", "0");
  Store("F12", "CBI3", "5");
  r->Button1->Click();
  EXPECT_EQ(sim->executionState, platform::kEsSystemRequired);
  Seconds(6);
  EXPECT_EQ(sim->executionState, 0u);
  // Closed with the program: released.
  r->Button1->Click();
  EXPECT_EQ(sim->executionState, platform::kEsSystemRequired);
  main->Close();
  EXPECT_TRUE(tk::Application::Instance().Terminated());
  EXPECT_NE(Form11, nullptr) << "destroyed with the application, without a close";
  tk::Application::Instance().Shutdown();
  EXPECT_EQ(sim->executionState, 0u);
}

}  // namespace

namespace {

class TrayTipTest : public EndConditionsTest {
 protected:
  std::vector<std::string> TipChanges() const {
    std::vector<std::string> tips;
    for (const std::string& call : sim->Calls("Shell_NotifyIcon(1,")) tips.push_back(call);
    return tips;
  }
  std::string Tip() const { return sim->trayIcons.empty() ? "" : sim->trayIcons[0].tip; }
};

TEST_F(TrayTipTest, TellsWhatIsPendingAndChangesOnlyWithItsText) {
  ASSERT_EQ(sim->trayIcons.size(), 1u);
  Seconds(5);
  EXPECT_TRUE(TipChanges().empty()) << "nothing pending: the usual tip, untouched";
  EXPECT_EQ(Tip(), "Kivo_Config For Windows");

  // A countdown: its time left, each second.
  Store("F12", "CBI1", "1");
  Store("F12", "CBI2", "23");
  Store("F12", "CBI3", "46");
  TForm11* r = Watch("0");
  // The main window's clock comes first in a second: the tip tells the
  // runner's count of the second before.
  Second();
  EXPECT_EQ(Tip(), "電源切断まで 1:23:46");
  Second();
  EXPECT_EQ(Tip(), "電源切断まで 1:23:45");
  EXPECT_EQ(TipChanges().size(), 2u);
  EXPECT_EQ(TipChanges()[0].find("Shell_NotifyIcon(1, {88, "), 0u) << TipChanges()[0];
  r->Button5Click(nullptr);  // paused: nothing comes by itself
  Seconds(3);
  EXPECT_EQ(Tip(), "Kivo_Config For Windows");
  EXPECT_EQ(TipChanges().size(), 3u);
  r->StopCountdown();

  // At a time of day.
  Store("F12", "CBI1", "23");
  Store("F12", "CBI2", "0");
  Store("F12", "MODE", "1");
  r->Button1->Click();
  Seconds(3);
  EXPECT_EQ(Tip(), "23:00 に電源切断");
  EXPECT_EQ(TipChanges().size(), 4u) << "the same text is not set again";

  // Conditions: the one the end waits for most.
  Cond("CpuOn", "1");
  Cond("CpuMinutes", "15");
  Cond("IdleOn", "1");
  Cond("IdleMinutes", "1");
  Store("F12", "MODE", "3");
  r->Button1->Click();
  Seconds(253, 3);
  EXPECT_EQ(Tip(), "電源切断: CPU 4分/15分");
  const size_t watched = TipChanges().size();
  Seconds(40, 3);
  EXPECT_EQ(TipChanges().size(), watched) << "the tip changes once a minute while watching";
  Seconds(10, 3);
  EXPECT_EQ(Tip(), "電源切断: CPU 5分/15分");
  r->StopCountdown();
  Second();
  EXPECT_EQ(Tip(), "Kivo_Config For Windows");
  const size_t changes = TipChanges().size();
  Seconds(5);
  EXPECT_EQ(TipChanges().size(), changes);

  // A shell that starts again gets the icon with the tip of the moment.
  Store("F12", "MODE", "0");
  Store("F12", "CBI1", "1");
  Store("F12", "CBI2", "23");
  r->Button1->Click();
  Seconds(2);
  sim->RestartShell();
  tk::Message created{sim->RegisterWindowMessage("TaskbarCreated"), 0, 0, 0};
  EXPECT_TRUE(main->PeerMessage(created));
  EXPECT_EQ(Tip(), "電源切断まで 1:23:45");
}

}  // namespace
