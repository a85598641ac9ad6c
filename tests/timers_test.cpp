// The stopwatch, the program runner with its timer dialog, and the resource meter.
#include "main_window_fixture.h"
#include "timers/resource_meter.h"
#include "timers/runner.h"
#include "timers/stopwatch.h"

namespace {

class TimersTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    StopwatchSeconds = StopwatchProgress = 0;  // they outlive windows, not tests
  }
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
  EXPECT_EQ(StopwatchSeconds, 0);
  EXPECT_EQ(StopwatchProgress, 10) << "the bar's progress outlives the window";
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
  EXPECT_TRUE(main->SkipExitConfirmation);
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
  Store("F12", "CBI1", "abc");  // edited by hand: counts 0
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
  EXPECT_FALSE(main->SkipExitConfirmation);
}

TEST_F(RunnerTest, CountdownWithoutMultitaskClosesWithoutCounting) {
  TForm11* r = Open();
  r->Edit1->SetText("app.exe");
  r->CheckBox1->Click();
  r->Button1->Click();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"実行ファイル名を入力して下さい。"}));
  tk::Application::Instance().ProcessMessages();
  EXPECT_EQ(Form11, nullptr);
  EXPECT_TRUE(main->Visible());
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
