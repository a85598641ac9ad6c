// The stopwatch, the program runner with its timer dialog, and the resource meter.
#include "main_window_fixture.h"
#include "timers/end_warning.h"
#include "timers/resource_meter.h"
#include "timers/runner.h"
#include "timers/timer_setting.h"
#include "timers/stopwatch.h"

namespace {

class TimersTest : public MainWindowFixture {
 protected:
  // One second of the message loop: the clock moves on, every timer fires.
  void Second(std::uint32_t ms = 1000) {
    sim->tickCount += ms;
    ui->TickTimers();
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> t;
    for (const auto& b : ui->boxes) t.push_back(b.text);
    return t;
  }
};

TEST_F(TimersTest, StopwatchCountsTheClocksSecondsAndResumes) {
  sim->tickCount = 4294960000u;  // the tick count wraps during the run
  TForm1* main = CreateQuiet();
  main->Button20->Click();
  ASSERT_NE(Form4, nullptr);
  TForm4* w = Form4;
  EXPECT_FALSE(main->Button20->Enabled());
  EXPECT_FALSE(main->Button16->Enabled()) << "no screen lock while the stopwatch is open";
  EXPECT_EQ(w->Left(), 200);
  Second();
  EXPECT_EQ(w->Label1->Caption(), "0") << "nothing runs before the start";

  w->Button2->Click();
  for (int i = 0; i < 25; ++i) Second(i % 2 ? 1012 : 988);  // ticks a little early and late
  EXPECT_EQ(w->Label1->Caption(), "25");
  sim->tickCount += 700;  // stopped 0.7 s after the last tick
  w->Button3->Click();
  EXPECT_EQ(w->Label1->Caption(), "25");
  Second();
  Second();
  EXPECT_EQ(w->Label1->Caption(), "25") << "stopped";
  w->Button2->Click();
  Second();
  EXPECT_EQ(w->Label1->Caption(), "26");

  // A thread kept busy for five seconds: the next tick shows the real time.
  sim->tickCount += 4000;
  Second();
  EXPECT_EQ(w->Label1->Caption(), "31");

  w->Button4->Click();  // reset while running
  EXPECT_EQ(w->Label1->Caption(), "0");
  EXPECT_EQ(w->ProgressBar1->Position(), 0);
  Second();
  EXPECT_EQ(w->Label1->Caption(), "1");
}

TEST_F(TimersTest, StopwatchBarNeverShowsFullAndClosingRestoresTheMainWindow) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);  // where the lock is offered
  TForm1* main = CreateQuiet();
  main->Button20->Click();
  TForm4* w = Form4;
  w->Button2->Click();
  std::vector<int> bar;
  for (int i = 0; i < 11; ++i) {
    Second();
    bar.push_back(w->ProgressBar1->Position());
  }
  EXPECT_EQ(bar, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 10}));

  w->CheckBox1->Click();
  EXPECT_FALSE(main->Visible());
  w->Button1->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_TRUE(main->Visible());
  EXPECT_EQ(Form4, nullptr) << "released";
  EXPECT_TRUE(main->Button20->Enabled());
  EXPECT_TRUE(main->Button16->Enabled());
  EXPECT_EQ(Stored("F4", "X"), "200");

  // A new window counts its seconds from nothing; its bar goes on from
  // where the last one left it.
  main->Button20->Click();
  w = Form4;
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Count().seconds, 0);
  EXPECT_EQ(w->Count().progress, 10) << "the bar's progress outlives the window";
  w->Button2->Click();
  Second();
  EXPECT_EQ(w->Label1->Caption(), "1");
  EXPECT_EQ(w->ProgressBar1->Position(), 20) << "the last window's bar carried on";
}

TEST_F(TimersTest, ClosingTheStopwatchOnNtKeepsTheLockOff) {
  UseVersion(platform::kPlatformNT, 5, 1);
  TForm1* main = CreateQuiet();
  ASSERT_FALSE(main->Button16->Enabled());
  main->Button20->Click();
  Form4->Close();
  EXPECT_FALSE(main->Button16->Enabled()) << "the lock is not offered on the NT family";
  EXPECT_TRUE(main->Button20->Enabled());
}

TEST_F(TimersTest, StopwatchResetWhileRunningCountsASecondFromTheReset) {
  TForm1* main = CreateQuiet();
  LinkClocks();
  main->Button20->Click();
  TForm4* w = Form4;
  w->Button2->Click();
  ui->AdvanceClock(3000);
  EXPECT_EQ(w->Label1->Caption(), "3");
  ui->AdvanceClock(600);
  w->Button4->Click();
  EXPECT_EQ(w->Label1->Caption(), "0");
  ui->AdvanceClock(999);
  EXPECT_EQ(w->Label1->Caption(), "0");
  EXPECT_EQ(w->ProgressBar1->Position(), 0);
  ui->AdvanceClock(1);
  EXPECT_EQ(w->Label1->Caption(), "1") << "one second after the reset";
  EXPECT_EQ(w->ProgressBar1->Position(), 10);
  ui->AdvanceClock(1000);
  EXPECT_EQ(w->Label1->Caption(), "2");

  // A reset while stopped starts nothing.
  w->Button3->Click();
  w->Button4->Click();
  ui->AdvanceClock(5000);
  EXPECT_EQ(w->Label1->Caption(), "0");
}

// The main window's clock and uptime, the stopwatch, the runner's countdown
// and the meter, all open at once: each shows its next figure one second
// after it started, not a millisecond sooner, and so on every second.
TEST_F(TimersTest, EveryWindowUpdatesOnTheSecondAndNotBefore) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);
  sim->files.insert("c:\\windows\\system\\rsrc32.dll");
  sim->libraries["rsrc32.dll"]["_MyGetFreeSystemResources32@4"] = [](int kind) { return 50 + kind; };
  sim->programs = {"app.exe"};
  sim->tickCount = 59000;
  Store("F12", "CBI3", "5");
  LinkClocks();
  TForm1* main = CreateQuiet();
  main->Button20->Click();
  TForm4* stopwatch = Form4;
  stopwatch->Button2->Click();
  main->Button17->Click();
  TForm10* meter = Form10;
  main->Button18->Click();
  TForm11* runner = Form11;
  runner->Edit1->SetText("app.exe");
  runner->CheckBox1->Click();
  runner->CheckBox2->Click();
  runner->Button1->Click();
  ASSERT_FALSE(main->Visible()) << "the main window's timers run while it is hidden";

  auto shown = [&] {
    return std::vector<std::string>{main->Label1->Caption(), main->Label3->Caption(),
                                    stopwatch->Label1->Caption(), meter->Label2->Caption(),
                                    runner->Label3->Caption()};
  };
  const std::vector<std::string> first = {"Please Wait !!", "Please Wait !!", "0",
                                          "NOW LOADMING・・・", "5"};
  EXPECT_EQ(shown(), first);
  sim->dateTimeText = "2026/12/07 9:30:01";
  ui->AdvanceClock(999);
  EXPECT_EQ(shown(), first);
  ui->AdvanceClock(1);
  const std::vector<std::string> second = {"現在時刻 2026/12/07 9:30:01",
                                           "OS起動から 0日 00時間 01分 00秒 経過", "1",
                                           "GDIリソースの残り51%", "4"};
  EXPECT_EQ(shown(), second);
  sim->dateTimeText = "2026/12/07 9:30:02";
  ui->AdvanceClock(999);
  EXPECT_EQ(shown(), second);
  ui->AdvanceClock(1);
  EXPECT_EQ(shown(), (std::vector<std::string>{"現在時刻 2026/12/07 9:30:02",
                                               "OS起動から 0日 00時間 01分 01秒 経過", "2",
                                               "GDIリソースの残り51%", "3"}));
  EXPECT_EQ(sim->Calls("LoadLibrary").size(), 2u) << "the meter asks once a second";
}

class RunnerTest : public TimersTest {
 protected:
  void SetUp() override {
    TimersTest::SetUp();
    main = CreateQuiet();
    main->Show();
    sim->programs = {"app.exe"};
  }
  TForm11* Open() {
    main->Button18->Click();
    EXPECT_NE(Form11, nullptr);
    EXPECT_FALSE(main->Button18->Enabled());
    return Form11;
  }
  // The timer dialog, set to hours and minutes by item index.
  void SetTime(TForm11* r, int hourIndex, int minuteIndex, int secondIndex) {
    ui->onModal = [&](tk::Form& f) {
      auto& d = static_cast<TForm12&>(f);
      d.ComboBox1->PeerSelected(hourIndex);
      d.ComboBox2->PeerSelected(minuteIndex);
      d.ComboBox3->PeerSelected(secondIndex);
      d.Button1->Click();
    };
    r->Button4->Click();
    ui->onModal = nullptr;
  }
  void Countdown(TForm11* r) {
    r->Edit1->SetText("app.exe");
    r->CheckBox1->Click();
    r->CheckBox2->Click();
    r->Button1->Click();
  }
  TForm1* main = nullptr;
};

TEST_F(RunnerTest, CountdownPowersOffOnceAtZeroWithoutAQuestion) {
  TForm11* r = Open();
  SetTime(r, 1, 6, 0);  // 1 hour 30 minutes
  EXPECT_EQ(Stored("F12", "CBI1"), "1");
  EXPECT_EQ(Stored("F12", "CBI2"), "30");
  EXPECT_EQ(Stored("F12", "CB2"), "6");
  EXPECT_FALSE(r->CheckBox2->Enabled()) << "multitask needs countdown mode";
  Countdown(r);
  EXPECT_EQ(r->Label3->Caption(), "5400");
  EXPECT_FALSE(main->Visible());
  EXPECT_TRUE(main->actions.PowerOffQuestionSkipped());
  EXPECT_TRUE(sim->openHandles.empty()) << "the launched program's handles are closed";
  for (int i = 0; i < 5399; ++i) Second();
  EXPECT_EQ(r->Label3->Caption(), "1");
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());
  Second();
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
  EXPECT_TRUE(ui->boxes.empty()) << "power-off asked a question";
  Second();
  Second();
  EXPECT_EQ(r->Label3->Caption(), "-2") << "counting goes on below zero";
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u) << "no second request";
}

TEST_F(RunnerTest, CountdownFromNothingNeverPowersOffAndCancelStopsIt) {
  TForm11* r = Open();
  Countdown(r);
  EXPECT_EQ(r->Label3->Caption(), "0");
  Second();
  EXPECT_EQ(r->Label3->Caption(), "-1");
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());

  // OK again restarts from the full time; CANCEL stops the count.
  Store("F12", "CBI3", "5");
  r->Button1->Click();
  EXPECT_EQ(r->Label3->Caption(), "5");
  EXPECT_EQ(sim->Calls("CreateProcess").size(), 2u) << "the command line runs again";
  r->Button2->Click();
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form11, nullptr);
  for (int i = 0; i < 10; ++i) Second();
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());
  EXPECT_TRUE(main->Button18->Enabled());
  EXPECT_FALSE(main->Visible()) << "the main window stays in the tray";
  EXPECT_FALSE(main->actions.PowerOffQuestionSkipped());
}

// Hundreds of hours in milliseconds pass 32 bits, and the tick count wraps
// after 49.7 days: the count keeps its time whatever the clock does.
TEST_F(RunnerTest, LongCountdownsKeepTheirTimeAndNeverActEarly) {
  sim->tickCount = 4000000000u;
  Store("F12", "CBI1", "600");
  TForm11* r = Open();
  Countdown(r);
  EXPECT_EQ(r->Label3->Caption(), "2160000");
  Second();
  EXPECT_EQ(r->Label3->Caption(), "2159999");
  Second(24u * 86400000u);  // 24 days asleep, across the wrap of the tick count
  EXPECT_EQ(r->Label3->Caption(), "86399");
  EXPECT_EQ(Form26, nullptr);
  Second(86397000u);
  EXPECT_EQ(r->Label3->Caption(), "2");
  Second();
  EXPECT_EQ(r->Label3->Caption(), "1");
  Second(995);  // a tick a little early
  EXPECT_EQ(r->Label3->Caption(), "0");
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty()) << "acted before the time was up";
  Second();
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
  Second();
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
}

// The time is read before anything else changes: text that is no whole
// number ends the OK with the conversion error, a time beyond 9999 hours with
// its message, and a countdown already running goes on.
TEST_F(RunnerTest, TimesThatCannotBeCountedEndTheOk) {
  Store("F12", "CBI1", "$1");  // hexadecimal, as every stored integer may be
  Store("F12", "CBI2", " 10");
  TForm11* r = Open();
  Countdown(r);
  EXPECT_EQ(r->Label3->Caption(), "4200");
  const std::string tooLong = "タイマーは9999時間まで設定できます。";
  struct Row {
    const char* hours;
    const char* minutes;
    const char* seconds;
    std::string box;
  } rows[] = {{"1", "0", "abc", "'abc' は整数ではありません"},
              {"1", "0", "", "'' は整数ではありません"},
              {"1", "0", "1.5", "'1.5' は整数ではありません"},
              {"9999", "1", "0", tooLong},
              {"10000", "0", "0", tooLong},
              {"2000000000", "0", "0", tooLong}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.box);
    Store("F12", "CBI1", row.hours);
    Store("F12", "CBI2", row.minutes);
    Store("F12", "CBI3", row.seconds);
    ui->boxes.clear();
    r->Button1->PeerClicked();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{row.box});
  }
  Second();
  EXPECT_EQ(r->Label3->Caption(), "4199") << "the countdown running goes on";
  EXPECT_TRUE(sim->openHandles.empty()) << "the started programs' handles are closed";

  Store("F12", "CBI1", "9999");
  Store("F12", "CBI3", "0");
  r->Button1->Click();
  EXPECT_EQ(r->Label3->Caption(), "35996400") << "the longest time";
  EXPECT_EQ(r->Label5->Caption(), "9999:00:00");

  // A fresh runner without a program: the refusal alone, no promise of an end.
  r->Button2->Click();
  tk::Application::Instance().ProcessMessages();
  main->Show();
  Store("F12", "CBI1", "10000");
  r = Open();
  r->Edit1->SetText("missing.exe");
  r->CheckBox1->Click();
  r->CheckBox2->Click();
  ui->boxes.clear();
  r->Button1->PeerClicked();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{tooLong});
  EXPECT_EQ(r->Label1->Caption(), "実行したいアプリケーションを入力して実行して下さい。");
  EXPECT_FALSE(r->Counting());
  EXPECT_TRUE(main->Visible());
}

// A browsed path goes into the command line quoted when it holds a blank: the
// system tries the text before each blank as a program first.
TEST_F(RunnerTest, BrowsedPathsWithBlanksAreQuoted) {
  sim->programs = {"C:\\Program.exe", "C:\\Program Files\\Tool Kit\\app.exe",
                   "C:\\Tools\\app.exe"};
  TForm11* r = Open();
  ui->openAnswers = {std::string("C:\\Program Files\\Tool Kit\\app.exe")};
  r->Button3->Click();
  EXPECT_EQ(r->Edit1->Text(), "\"C:\\Program Files\\Tool Kit\\app.exe\"");
  r->Button1->Click();
  EXPECT_EQ(sim->started, (std::vector<std::string>{"C:\\Program Files\\Tool Kit\\app.exe"}));

  // Typed without quotes, the shorter name wins, as on Windows; a name
  // without an extension is an .exe.
  for (const char* typed : {"C:\\Program Files\\Tool Kit\\app.exe", "C:\\Tools\\app -x"}) {
    r = Open();
    r->Edit1->SetText(typed);
    r->Button1->Click();
  }
  EXPECT_EQ(sim->started, (std::vector<std::string>{"C:\\Program Files\\Tool Kit\\app.exe",
                                                    "C:\\Program.exe", "C:\\Tools\\app.exe"}));

  r = Open();
  ui->openAnswers = {std::string("C:\\Tools\\app.exe")};
  r->Button3->Click();
  EXPECT_EQ(r->Edit1->Text(), "C:\\Tools\\app.exe") << "nothing to quote";
}

TEST_F(RunnerTest, WaitModeReportsTheEndAndStaysAliveUnderItsHandler) {
  TForm11* r = Open();
  r->Edit1->SetText("app.exe");
  int waits = 0;
  sim->onMsgWait = [&](platform::Handle) -> std::uint32_t {
    ++waits;
    EXPECT_TRUE(r->Waiting());
    EXPECT_FALSE(r->Button1->Enabled());
    if (waits == 1) r->Button1->Click();  // a second OK changes nothing
    return waits < 3 ? platform::kWaitMessage : platform::kWaitObject0;
  };
  r->Button1->Click();
  EXPECT_EQ(waits, 3);
  EXPECT_EQ(sim->Calls("CreateProcess").size(), 1u);
  EXPECT_EQ(sim->Calls("CreateProcess")[0],
            "CreateProcess(NULL, \"app.exe\", 0x4000000, STARTF_USESHOWWINDOW, SW_SHOW)");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Open Applicationを終了しました"}));
  EXPECT_TRUE(sim->openHandles.empty());
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form11, nullptr);
  EXPECT_TRUE(main->Button18->Enabled());

  // Closing during the wait ends it; the runner goes only after the handler.
  r = Open();
  r->Edit1->SetText("app.exe");
  sim->onMsgWait = [&](platform::Handle) -> std::uint32_t {
    r->Button2->Click();
    tk::Application::Instance().FlushReleases();
    EXPECT_EQ(Form11, r) << "deleted under its waiting handler";
    return platform::kWaitMessage;
  };
  r->Button1->Click();
  EXPECT_TRUE(ui->boxes.size() == 1u) << "no end report for a program still running";
  EXPECT_TRUE(sim->openHandles.empty());
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form11, nullptr);
}

TEST_F(RunnerTest, CommandLinesThatNameNothingAreReported) {
  for (std::string line : {std::string(), std::string("\"app.exe"), std::string(10000, 'x')}) {
    SCOPED_TRACE(line.substr(0, 20));
    ui->boxes.clear();
    TForm11* r = Open();
    r->Edit1->SetText(line);
    r->Button1->Click();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"実行ファイル名を入力して下さい。",
                                                    "Open Applicationを終了しました"}));
    tk::Application::Instance().ProcessMessages();
    EXPECT_EQ(Form11, nullptr);
  }
}

TEST_F(RunnerTest, TimerDialogKeepsItsPlaceAndMendsStoredIndexes) {
  Store("F12", "CB1", "99");
  Store("F12", "CB2", "-3");
  Store("F12", "CB3", "12");
  Store("F12", "X", "40");
  TForm11* r = Open();
  std::vector<std::string> shown;
  ui->onModal = [&](tk::Form& f) {
    auto& d = static_cast<TForm12&>(f);
    shown = {d.ComboBox1->Text(), d.ComboBox2->Text(), d.ComboBox3->Text()};
    EXPECT_EQ(d.Left(), 40);
    EXPECT_EQ(d.ComboBox1->Items().size(), 24u);
    EXPECT_EQ(d.ComboBox2->DropDownCount, 5);
    d.Close();
  };
  r->Button4->Click();
  EXPECT_EQ(shown, (std::vector<std::string>{"0", "0", "59"}));
  EXPECT_EQ(Stored("F12", "CB1"), "0");
  EXPECT_EQ(Stored("F12", "CBI3"), "59");
}

// The timer setting shows what the chosen mode uses: the time as a count or
// as a time of day, the conditions alone or after the program, and nothing
// it does not use enabled. キャンセル writes nothing.
TEST_F(RunnerTest, TimerSettingFollowsItsModeAndCancelWritesNothing) {
  TForm11* r = Open();
  std::vector<std::string> seen;
  ui->onModal = [&](tk::Form& f) {
    auto& d = static_cast<TForm12&>(f);
    // What each mode enables: hours, seconds, the CPU condition, the repeat.
    auto state = [&] {
      auto on = [](tk::Control* c) { return c->Enabled() ? "1" : "0"; };
      return d.Label1->Caption() + " " + d.Label2->Caption() + " " + on(d.ComboBox1) + on(d.ComboBox3) +
             on(d.Label4) + on(d.CheckBox1) + on(d.Edit2) + on(d.Label8) + on(d.CheckBox4) + " " +
             d.GroupBox2->Caption();
    };
    seen.push_back(state());
    for (tk::RadioButton* mode : {d.RadioButton2, d.RadioButton3, d.RadioButton4, d.RadioButton1}) {
      mode->Click();
      seen.push_back(state());
    }
    d.RadioButton4->Click();
    d.ComboBox4->PeerSelected(3);
    d.CheckBox3->Click();
    d.ComboBox1->PeerSelected(5);
    sim->ClearJournal();
    d.Button2->Click();  // キャンセル
  };
  r->Button4->Click();
  ui->onModal = nullptr;
  tk::Application::Instance().ProcessMessages();
  const std::string unused = "条件 (アプリケーション終了時と条件がそろった時)";
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "アプリケーションを終了させるまでの時間を設定して下さい。 時間 1110000 " + unused,
                      "アプリケーションを終了させる時刻を設定して下さい。 時 1000001 " + unused,
                      "起動したアプリケーションが終了した時に終了します。 時間 0001110 "
                      "条件 (終了後、選んだものがすべて続いた時)",
                      "下の条件がそろった時に終了します。 時間 0001110 条件 (選んだものがすべて続いた時)",
                      "アプリケーションを終了させるまでの時間を設定して下さい。 時間 1110000 " + unused}));
  EXPECT_EQ(Form12, nullptr);
  EXPECT_TRUE(sim->Calls("RegSetValueEx").empty()) << "キャンセル wrote";
  EXPECT_FALSE(Stored("F12", "MODE"));
  EXPECT_FALSE(Stored("Conditions", "IdleOn"));
}

TEST_F(TimersTest, MeterAsksTheLibraryEveryTickAndFreesIt) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);
  sim->files.insert("c:\\windows\\system\\rsrc32.dll");
  int calls = 0;
  sim->libraries["rsrc32.dll"]["_MyGetFreeSystemResources32@4"] = [&](int kind) {
    return 70 + kind + (calls++ / 3);
  };
  TForm1* main = CreateQuiet();
  ASSERT_TRUE(main->Button17->Enabled());
  main->Button17->Click();
  TForm10* m = Form10;
  ASSERT_NE(m, nullptr);
  EXPECT_FALSE(main->Button17->Enabled());
  EXPECT_EQ(m->Label1->Caption(), "NOW LOADING・・・");
  Second();
  EXPECT_EQ(m->Label1->Caption(), "SYSTEMリソースの残り70%");
  EXPECT_EQ(m->Label2->Caption(), "GDIリソースの残り71%");
  EXPECT_EQ(m->Label3->Caption(), "USERリソースの残り72%");
  EXPECT_EQ(m->ProgressBar3->Position(), 72);
  Second();
  EXPECT_EQ(m->ProgressBar1->Position(), 71) << "the bars follow the figures";
  EXPECT_EQ(sim->Calls("LoadLibrary").size(), 2u);
  EXPECT_EQ(sim->Calls("FreeLibrary").size(), 2u);
  EXPECT_TRUE(sim->loadedLibraries.empty()) << "nothing is held between ticks";

  // Without the library the figures stay.
  sim->libraries.clear();
  Second();
  EXPECT_EQ(m->Label1->Caption(), "SYSTEMリソースの残り71%");

  m->CheckBox1->Click();
  EXPECT_FALSE(main->Visible());
  m->Close();
  tk::Application::Instance().ProcessMessages();
  EXPECT_TRUE(main->Visible());
  EXPECT_TRUE(main->Button17->Enabled());
  EXPECT_EQ(Form10, nullptr);
  EXPECT_EQ(Stored("F10", "Y"), "200");
}

}  // namespace

namespace {

// The runner's end modes, actions, last warning and pause.
class RunnerEndTest : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    sim->now = 46363.5;  // noon
  }
  // One second on both clocks.
  void Tick(int seconds = 1) {
    for (int i = 0; i < seconds; ++i) {
      sim->now += 1.0 / 86400.0;
      Second();
    }
  }
  TForm11* StartCountdown(int mode, int action, int h, int m, int s) {
    Store("F12", "MODE", std::to_string(mode));
    Store("F12", "ACT", std::to_string(action));
    Store("F12", "CBI1", std::to_string(h));
    Store("F12", "CBI2", std::to_string(m));
    Store("F12", "CBI3", std::to_string(s));
    TForm11* r = Open();
    Countdown(r);
    return r;
  }
};

TEST_F(RunnerEndTest, EachActionMakesExactlyOneRequestWithoutAQuestion) {
  struct Row {
    int action;
    const char* call;
  } rows[] = {{0, "ExitWindowsEx(8, 0)"}, {1, "ExitWindowsEx(1, 0)"}, {2, "ExitWindowsEx(2, 0)"},
              {3, "ExitWindowsEx(0, 0)"}, {4, "SetSystemPowerState(1, 0)"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.call);
    TearDown();
    SetUp();
    StartCountdown(0, row.action, 0, 0, 5);
    sim->ClearJournal();
    Tick(8);
    std::string name = std::string(row.call).substr(0, std::string(row.call).find('('));
    EXPECT_EQ(sim->Calls(name), (std::vector<std::string>{row.call}));
    EXPECT_TRUE(ui->boxes.empty()) << "a question was asked";
  }
}

TEST_F(RunnerEndTest, LastWarningAtSixtySecondsWithItsThreeCommands) {
  TForm11* r = StartCountdown(0, 0, 0, 2, 0);
  Tick(59);
  EXPECT_EQ(Form26, nullptr);
  Tick();
  ASSERT_NE(Form26, nullptr);
  EXPECT_TRUE(Form26->StayOnTop);
  EXPECT_EQ(Form26->Caption(), "Kivo-Config 終了予告");
  EXPECT_EQ(Form26->Label1->Caption(), "あと 60 秒で電源切断します");
  Tick();
  EXPECT_EQ(Form26->Label1->Caption(), "あと 59 秒で電源切断します");

  Form26->Button2->Click();  // +10分
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(r->Label3->Caption(), "659");
  EXPECT_EQ(Form26, nullptr) << "more than a minute left";
  Tick(600);
  ASSERT_NE(Form26, nullptr);
  Form26->Button1->Click();  // 中止
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form26, nullptr);
  EXPECT_FALSE(r->Counting());
  EXPECT_EQ(Form11, r) << "the runner stays open";
  EXPECT_TRUE(main->actions.PowerOffQuestionSkipped()) << "after the user's own OK, until the runner closes";
  Tick(120);
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());

  r->Button1->Click();  // counting again from the full two minutes
  Tick(61);
  ASSERT_NE(Form26, nullptr);
  Form26->Button3->Click();  // 今すぐ
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
  Tick(70);
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u) << "acted once";
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form26, nullptr);
}

TEST_F(RunnerEndTest, PauseHoldsTheCountAndHoursShowAsClockTime) {
  TForm11* r = StartCountdown(0, 0, 1, 30, 0);
  EXPECT_EQ(r->Label3->Caption(), "5400");
  EXPECT_EQ(r->Label5->Caption(), "1:30:00");
  Tick(100);
  EXPECT_EQ(r->Label5->Caption(), "1:28:20");
  EXPECT_EQ(sim->executionState, platform::kEsSystemRequired) << "kept awake while counting";
  r->Button5->Click();
  EXPECT_EQ(r->Button5->Caption(), "再開");
  EXPECT_EQ(sim->executionState, 0u) << "a paused count comes by itself no more: the machine may sleep";
  Tick(500);
  EXPECT_EQ(r->Label3->Caption(), "5300");
  EXPECT_EQ(sim->executionState, 0u);
  r->Button5->Click();
  EXPECT_EQ(r->Button5->Caption(), "一時停止");
  EXPECT_EQ(sim->executionState, platform::kEsSystemRequired) << "kept awake again once resumed";
  Tick();
  EXPECT_EQ(r->Label3->Caption(), "5299");
}

TEST_F(RunnerEndTest, TimeOfDayIsTheNextOneAndFollowsTheWallClock) {
  sim->now = 46363.0 + (23 * 3600 + 59 * 60 + 30) / 86400.0;  // 23:59:30
  TForm11* r = StartCountdown(1, 0, 0, 0, 45);  // 0:00, the seconds list ignored
  EXPECT_EQ(r->Label3->Caption(), "30") << "tomorrow at midnight";
  EXPECT_NE(Form26, nullptr) << "less than a minute: the warning at once";
  sim->now -= 3600.0 / 86400.0;  // the clock set back an hour
  Tick();
  EXPECT_EQ(r->Label3->Caption(), "3629");
  EXPECT_EQ(Form26, nullptr);
  sim->now += 3600.0 / 86400.0;
  Tick(29);
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);

  // 11:00 when it is noon: tomorrow.
  TearDown();
  SetUp();
  r = StartCountdown(1, 0, 11, 0, 0);
  EXPECT_EQ(r->Label3->Caption(), std::to_string(23 * 3600));
}

TEST_F(RunnerEndTest, WakingOrTheClockPastTheEndWarnsBeforeActing) {
  TForm11* r = StartCountdown(0, 0, 0, 10, 0);
  Tick(5);
  sim->tickCount += 3600 * 1000;  // an hour in standby
  sim->now += 3600.0 / 86400.0;
  Tick();
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty()) << "acted without the warning";
  ASSERT_NE(Form26, nullptr);
  EXPECT_EQ(r->Label3->Caption(), "30");
  Tick(30);
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);

  // The clock set forward past a time of day (or a summer-time hour skipped
  // over it): the ticks ran on as usual, the warning still comes first.
  for (double forward : {2 * 3600.0, 3600.0 + 30.0}) {
    SCOPED_TRACE(forward);
    TearDown();
    SetUp();
    r = StartCountdown(1, 0, 13, 0, 0);  // 13:00 at noon
    Tick(3);
    sim->now += forward / 86400.0;
    Tick();
    EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty()) << "acted without the warning";
    ASSERT_NE(Form26, nullptr);
    EXPECT_EQ(r->Label3->Caption(), "30");
    Tick(29);
    EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());
    Tick();
    EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
  }

  // A time of day no clock shows (a stored value edited by hand) is refused.
  for (auto [h, m] : {std::pair{24, 0}, std::pair{-100, 0}, std::pair{12, 60}}) {
    TearDown();
    SetUp();
    r = StartCountdown(1, 0, h, m, 0);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"時刻は0:00から23:59までで設定して下さい。"})) << h << ":" << m;
    EXPECT_FALSE(r->Counting());
  }
}

TEST_F(RunnerEndTest, ProgramEndStartsTheLastThirtySeconds) {
  bool running = true;
  sim->onMsgWait = [&](platform::Handle) {
    return running ? platform::kWaitTimeout : platform::kWaitObject0;
  };
  TForm11* r = StartCountdown(2, 2, 10000, 0, 0);  // the lists are ignored, their limit too
  EXPECT_TRUE(r->Counting());
  Tick(100);
  EXPECT_EQ(r->Label3->Caption(), "") << "no time is counted while the program runs";
  EXPECT_EQ(r->Label5->Caption(), "監視中");
  EXPECT_EQ(Form26, nullptr);
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());
  running = false;
  Tick();
  EXPECT_NE(Form26, nullptr);
  EXPECT_EQ(r->Label3->Caption(), "30");
  EXPECT_TRUE(sim->openHandles.empty()) << "the watched program's handle is closed";
  Tick(30);
  EXPECT_EQ(sim->Calls("ExitWindowsEx"), (std::vector<std::string>{"ExitWindowsEx(2, 0)"}));

  // A program that cannot start: reported, and no end is promised.
  TearDown();
  SetUp();
  Store("F12", "MODE", "2");
  r = Open();
  r->Edit1->SetText("missing.exe");
  r->CheckBox1->Click();
  r->CheckBox2->Click();
  r->Button1->Click();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"実行ファイル名を入力して下さい。"}));
  EXPECT_EQ(r->Label1->Caption(), "実行したいアプリケーションを入力して実行して下さい。");
  EXPECT_FALSE(r->Counting());
  EXPECT_TRUE(main->Visible());
  EXPECT_FALSE(main->actions.PowerOffQuestionSkipped()) << "nothing will end the session";
  Tick(60);
  EXPECT_EQ(r->Label3->Caption(), "0");
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());
  EXPECT_EQ(Form11, r) << "the runner stays for another name";

  // The other modes still count without a program of their own.
  Store("F12", "MODE", "0");
  Store("F12", "CBI3", "5");
  ui->boxes.clear();
  r->Button1->Click();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"タイマー終了しだい現在のアプリケーションを終了します"}));
  EXPECT_TRUE(r->Counting());
  EXPECT_TRUE(main->actions.PowerOffQuestionSkipped());
}

// "Windows ends when the application ends" without the multitask mode: the
// started program is watched whatever mode the timer setting holds, and its
// end brings the last warning before the chosen end.
TEST_F(RunnerEndTest, CountdownWithoutMultitaskEndsWindowsWhenTheProgramEnds) {
  bool running = true;
  sim->onMsgWait = [&](platform::Handle) { return running ? platform::kWaitTimeout : platform::kWaitObject0; };
  Store("F12", "MODE", "0");
  Store("F12", "CBI3", "5");  // a time, which this end does not use
  Store("F12", "ACT", "2");   // reboot
  TForm11* r = Open();
  r->Edit1->SetText("app.exe");
  r->CheckBox1->Click();
  r->Button1->Click();
  EXPECT_TRUE(BoxTexts().empty()) << "a box behind the started program";
  EXPECT_EQ(sim->started, (std::vector<std::string>{"app.exe"}));
  EXPECT_EQ(Form11, r);
  EXPECT_TRUE(r->Counting());
  EXPECT_EQ(r->Label5->Caption(), "監視中");
  EXPECT_EQ(r->PendingText(), "再起動: アプリケーションの終了待ち");
  EXPECT_FALSE(main->Visible());
  Tick(100);
  EXPECT_EQ(Form26, nullptr);
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());
  running = false;
  Tick();
  ASSERT_NE(Form26, nullptr);
  EXPECT_EQ(Form26->Label1->Caption(), "あと 30 秒で再起動します");
  EXPECT_TRUE(sim->openHandles.empty());
  Form26->Button1->Click();  // 中止
  tk::Application::Instance().ProcessMessages();
  Tick(60);
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty()) << "中止 ends nothing";
  EXPECT_FALSE(r->Counting());

  // Let run: the end, once.
  running = true;
  r->Button1->Click();
  Tick(5);
  running = false;
  Tick(31);
  EXPECT_EQ(sim->Calls("ExitWindowsEx"), (std::vector<std::string>{"ExitWindowsEx(2, 0)"}));

  // Nothing started: the message alone, and the runner stays for another name.
  TearDown();
  SetUp();
  r = Open();
  r->Edit1->SetText("missing.exe");
  r->CheckBox1->Click();
  r->Button1->Click();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"実行ファイル名を入力して下さい。"}));
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form11, r);
  EXPECT_FALSE(r->Counting());
  EXPECT_TRUE(main->Visible());
  EXPECT_FALSE(main->actions.PowerOffQuestionSkipped()) << "nothing will end the session";
}

// However a count is stopped, the runner no longer says it is counting; a
// new count says so again.
TEST_F(RunnerEndTest, AStoppedCountShowsAsStopped) {
  const std::string counting = "自動でWindowsを終了します、途中で止める場合はcancelして下さい。";
  const std::string stopped = "Windowsの自動終了を中止しました。";
  TForm11* r = Open();
  r->StartTimedEnd(session::EndAction::PowerOff, 30);  // /poweroff /in 30
  Tick(3);
  EXPECT_EQ(r->Label1->Caption(), counting);
  EXPECT_EQ(r->Label3->Caption(), "1797");
  r->StopCountdown();  // /cancel, the tray's or the hotkey's cancel
  EXPECT_EQ(r->Label1->Caption(), stopped);
  EXPECT_EQ(r->Label3->Caption(), "0");
  EXPECT_EQ(r->Label5->Caption(), "");
  EXPECT_FALSE(r->Button5->Enabled());
  EXPECT_EQ(r->PendingText(), "");

  // 中止 in the last warning of the user's own count, then a count again.
  Store("F12", "CBI2", "2");
  Countdown(r);
  EXPECT_EQ(r->Label1->Caption(), counting);
  Tick(61);
  ASSERT_NE(Form26, nullptr);
  Form26->Button1->Click();
  EXPECT_EQ(r->Label1->Caption(), stopped);
  EXPECT_EQ(r->Label3->Caption(), "0");
  r->Button1->Click();
  EXPECT_EQ(r->Label1->Caption(), counting);
  EXPECT_EQ(r->Label3->Caption(), "120");
}

TEST_F(RunnerEndTest, StoredChoicesOutOfRangeReadAsDefaultsAndDefaultsWriteNothingNew) {
  Store("F12", "MODE", "7");
  Store("F12", "ACT", "x");
  TForm11* r = Open();
  ui->onModal = [&](tk::Form& f) {
    auto& d = static_cast<TForm12&>(f);
    EXPECT_TRUE(d.RadioButton1->Checked());
    EXPECT_EQ(d.ComboBox4->Text(), "電源切断");
    EXPECT_EQ(d.ComboBox4->Items().size(), 5u);
    d.RadioButton2->Click();
    EXPECT_FALSE(d.RadioButton1->Checked()) << "one choice at a time";
    d.ComboBox4->PeerSelected(3);
    d.Close();
  };
  r->Button4->Click();
  EXPECT_EQ(Stored("F12", "MODE"), "1");
  EXPECT_EQ(Stored("F12", "ACT"), "3");

  // A fresh store with the defaults: the dialog writes what it always wrote.
  TearDown();
  SetUp();
  r = Open();
  ui->onModal = [&](tk::Form& f) { f.Close(); };
  sim->ClearJournal();
  r->Button4->Click();
  for (const auto& call : sim->Calls("RegSetValueEx")) {
    EXPECT_EQ(call.find("\"MODE\""), std::string::npos) << call;
    EXPECT_EQ(call.find("\"ACT\""), std::string::npos) << call;
  }
  EXPECT_EQ(sim->Calls("RegSetValueEx").size(), 8u);
}

}  // namespace
