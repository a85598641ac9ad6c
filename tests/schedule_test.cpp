// The repeated end: its stored form, the next firing by day of the week, and
// the main window handing each firing's last minute to the runner.
#include "main_window_fixture.h"
#include "timers/end_warning.h"
#include "timers/runner.h"
#include "timers/schedule.h"
#include "timers/timer_setting.h"

namespace {

constexpr double kMonday = 46363.0;  // 7 December 2026
constexpr double kSecond = 1.0 / 86400.0;

constexpr const char* kUsualTip = "Kivo_Config For Windows";

double At(double day, int h, int m, int s = 0) { return day + (3600.0 * h + 60.0 * m + s) * kSecond; }

TEST(ScheduleText, DaysTimesAndNamesReadOnlyWhatTheyWrite) {
  bool days[timers::kWeekDays] = {};
  EXPECT_TRUE(timers::ParseDays("1111100", days));
  EXPECT_EQ(timers::FormatDays(days), "1111100");
  for (const char* bad : {"", "111110", "11111000", "11111a0", "1111 00", "２222222"}) {
    EXPECT_FALSE(timers::ParseDays(bad, days)) << bad;
    EXPECT_EQ(timers::FormatDays(days), "1111100") << "a refused text changes nothing";
  }
  int h = -1, m = -1;
  EXPECT_TRUE(timers::ParseAt("7:05", h, m));
  EXPECT_EQ(timers::FormatAt(h, m), "07:05");
  EXPECT_TRUE(timers::ParseAt("23:59", h, m));
  for (const char* bad : {"24:00", "12:60", "1:5", ":30", "123:00", "12-30", "12:3x", "-1:30", "12:30 "})
    EXPECT_FALSE(timers::ParseAt(bad, h, m)) << bad;
  EXPECT_EQ(h * 100 + m, 2359);
  session::EndAction action = session::EndAction::Hibernate;
  EXPECT_TRUE(timers::ParseActionName("PowerOff", action));
  EXPECT_EQ(action, session::EndAction::PowerOff);
  for (int i = 0; i < session::kEndActionCount; ++i) {
    const session::EndAction a = session::EndActionOfStored(i);
    EXPECT_TRUE(timers::ParseActionName(timers::ActionCommandName(a), action));
    EXPECT_EQ(action, a);
  }
  EXPECT_FALSE(timers::ParseActionName("cancel", action));
  EXPECT_FALSE(timers::ParseActionName("", action));
}

TEST(ScheduleDays, NextFiringIsTheFirstChosenDayStrictlyAfter) {
  EXPECT_EQ(timers::DayOfWeek(kMonday), 0);
  EXPECT_EQ(timers::DayOfWeek(kMonday - 1), 6);
  EXPECT_EQ(timers::DayOfWeek(0), 5) << "30 December 1899 was a Saturday";
  timers::Schedule s;
  s.on = true;
  timers::ParseDays("1111100", s.days);
  s.hour = 23;
  EXPECT_DOUBLE_EQ(timers::NextFiring(s, At(kMonday, 12, 0)), At(kMonday, 23, 0));
  EXPECT_DOUBLE_EQ(timers::NextFiring(s, At(kMonday, 23, 0)), At(kMonday + 1, 23, 0)) << "strictly after";
  EXPECT_DOUBLE_EQ(timers::NextFiring(s, At(kMonday + 4, 23, 30)), At(kMonday + 7, 23, 0)) << "Friday night";
  EXPECT_EQ(timers::FiringText(At(kMonday + 7, 23, 0)), "月 23:00");
  timers::ParseDays("0000001", s.days);
  s.hour = 0;
  EXPECT_DOUBLE_EQ(timers::NextFiring(s, At(kMonday + 6, 0, 0)), At(kMonday + 13, 0, 0)) << "a week later";
  timers::ParseDays("0000000", s.days);
  EXPECT_LT(timers::NextFiring(s, kMonday), 0);
  s = timers::Schedule();
  EXPECT_LT(timers::NextFiring(s, kMonday), 0) << "off";
}

TEST(ScheduleWatch, MissedAndRepeatedFiringsAreNotActedOn) {
  timers::Schedule s;
  s.on = true;
  s.hour = 23;
  timers::ScheduleWatch w;
  w.Arm(s, At(kMonday, 12, 0));
  EXPECT_EQ(w.Text(), "月 23:00 に電源切断");
  EXPECT_LT(w.Due(At(kMonday, 22, 58, 59)), 0);
  EXPECT_DOUBLE_EQ(w.Due(At(kMonday, 22, 59, 0)), At(kMonday, 23, 0)) << "its last minute";
  EXPECT_LT(w.Due(At(kMonday, 22, 59, 1)), 0) << "handed over once";
  EXPECT_EQ(w.Text(), "火 23:00 に電源切断");
  // The clock set back an hour: Monday's firing does not come again.
  EXPECT_LT(w.Due(At(kMonday, 22, 0)), 0);
  EXPECT_LT(w.Due(At(kMonday, 22, 59, 30)), 0);
  // Asleep through Tuesday's: skipped, Wednesday's armed.
  EXPECT_LT(w.Due(At(kMonday + 1, 23, 0, 5)), 0);
  EXPECT_EQ(w.Text(), "水 23:00 に電源切断");
  // Armed again (the setting written) keeps what was handed over.
  w.Arm(s, At(kMonday + 1, 23, 30));
  EXPECT_EQ(w.Text(), "水 23:00 に電源切断");
}

class ScheduleTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    LinkClocks();
    sim->now = At(kMonday, 12, 0);
  }
  void StoreSchedule(const char* days, const char* at, const char* action = "poweroff") {
    Store("Schedule", "On", "1");
    Store("Schedule", "Days", days);
    Store("Schedule", "At", at);
    Store("Schedule", "Action", action);
  }
  std::string Tip() const { return sim->trayIcons.empty() ? "" : sim->trayIcons[0].tip; }
  // The local time moved (the machine asleep, or the clock set) without a tick.
  void Jump(double seconds, bool asleep = true) {
    sim->now += seconds * kSecond;
    if (asleep) sim->tickCount += static_cast<std::uint32_t>(seconds * 1000);
  }
  size_t PowerOffs() const { return sim->Calls("ExitWindowsEx").size(); }
};

TEST_F(ScheduleTest, LastMinuteWarnsStopSkipsTheDayAndTheNextDayActs) {
  StoreSchedule("1111111", "12:03");
  TForm1* main = CreateQuiet();
  main->Show();
  ui->AdvanceClock(1000);
  EXPECT_EQ(Tip(), "月 12:03 に電源切断");
  EXPECT_EQ(Form11, nullptr) << "nothing opens until the last minute";
  ui->AdvanceClock(60000);
  EXPECT_EQ(Form11, nullptr);
  ui->AdvanceClock(60000);  // 12:02:01
  ASSERT_NE(Form11, nullptr);
  ASSERT_NE(Form26, nullptr);
  EXPECT_EQ(Form26->Label1->Caption(), "あと 59 秒で電源切断します");
  EXPECT_EQ(Tip(), "12:03 に電源切断") << "the runner's own from now on";
  Form26->Button1->Click();  // 中止
  tk::Application::Instance().ProcessMessages();
  ui->AdvanceClock(1000);
  EXPECT_FALSE(Form11->Counting());
  EXPECT_EQ(Tip(), "火 12:03 に電源切断") << "only today skipped";
  ui->AdvanceClock(120000);
  EXPECT_EQ(PowerOffs(), 0u);

  Jump(23 * 3600.0 + 57 * 60, false);  // Tuesday 12:00
  ui->AdvanceClock(185000);
  EXPECT_EQ(PowerOffs(), 1u);
  EXPECT_EQ(Tip(), "水 12:03 に電源切断") << "armed again for the next day";
  // The clock set back over the firing: it does not come again.
  Jump(-600, false);
  ui->AdvanceClock(700000);
  EXPECT_EQ(PowerOffs(), 1u);
}

TEST_F(ScheduleTest, MissedTimesAPendingEndAndTheExitBanGoFirst) {
  // Weekdays; asleep over Monday's time: Tuesday's is next, nothing acts.
  StoreSchedule("1111100", "12:30", "Reboot");
  TForm1* main = CreateQuiet();
  ui->AdvanceClock(1000);
  EXPECT_EQ(Tip(), "月 12:30 に再起動");
  Jump(3600);
  ui->AdvanceClock(2000);
  EXPECT_EQ(Form11, nullptr);
  EXPECT_EQ(Tip(), "火 12:30 に再起動");

  // An end the user asked for comes first; the firing within it is skipped.
  main->Button18->Click();
  ASSERT_NE(Form11, nullptr);
  Form11->StartTimedEndAt(session::EndAction::PowerOff, 12, 32);  // Tuesday
  sim->now = At(kMonday + 1, 12, 28);
  ui->AdvanceClock(300000);
  EXPECT_EQ(sim->Calls("ExitWindowsEx"), (std::vector<std::string>{"ExitWindowsEx(8, 0)"}));
  EXPECT_EQ(Tip(), "水 12:30 に再起動");
  // The runner that acted stays open: the next firing is taken all the same.
  sim->now = At(kMonday + 2, 12, 28);
  ui->AdvanceClock(90000);
  EXPECT_TRUE(Form11->EndPending());
  Form11->StopCountdown();

  // The exit ban: the firing passes without the runner counting.
  Store("F6", "C4", "1");
  sim->now = At(kMonday + 3, 12, 28);
  ui->AdvanceClock(300000);
  EXPECT_FALSE(Form11->EndPending());
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
}

TEST_F(ScheduleTest, UnreadableValuesArmNothingAndSayWhich) {
  StoreSchedule("1111111", "12:01");
  Store("Schedule", "Days", "every day");
  Store("Schedule", "Action", "format c:");
  TForm1* main = CreateQuiet();
  (void)main;
  ui->AdvanceClock(1000);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find("Schedule\\Days\r\nSchedule\\Action"), std::string::npos) << ui->boxes[0].text;
  ui->AdvanceClock(120000);
  EXPECT_EQ(ui->boxes.size(), 1u) << "named once";
  EXPECT_EQ(Form11, nullptr);
  EXPECT_EQ(Tip(), kUsualTip);
}

// On=1 alone (a hand edit, part of an import): no day, time or end is
// guessed; the box names what is missing.
TEST_F(ScheduleTest, MissingValuesArmNothingAndSayWhich) {
  Store("Schedule", "On", "1");
  Store("Schedule", "At", "12:01");
  TForm1* main = CreateQuiet();
  (void)main;
  ui->AdvanceClock(1000);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find("\r\nSchedule\\Days (値がありません)\r\nSchedule\\Action (値がありません)"),
            std::string::npos)
      << ui->boxes[0].text;
  EXPECT_EQ(ui->boxes[0].text.find("Schedule\\At"), std::string::npos);
  ui->AdvanceClock(120000);
  EXPECT_EQ(Form11, nullptr);
  EXPECT_EQ(Tip(), kUsualTip);
  // Switched off, nothing has to be there; whole, it is armed.
  std::vector<std::string> problems;
  Store("Schedule", "On", "0");
  EXPECT_FALSE(timers::ReadSchedule(&problems).on);
  EXPECT_TRUE(problems.empty());
  StoreSchedule("1111111", "12:05", "logoff");
  EXPECT_TRUE(timers::ReadSchedule(&problems).on);
  EXPECT_TRUE(problems.empty());
  Store("Schedule", "Days", "");
  EXPECT_FALSE(timers::ReadSchedule(&problems).on);
  EXPECT_EQ(problems, (std::vector<std::string>{"Schedule\\Days (値がありません)"}));
}

// A weekly end is armed only at a time the user chose: hours or minutes
// that are no time of day are refused as a missing day is.
TEST_F(ScheduleTest, TimerSettingRefusesARepeatWithoutATimeOfDay) {
  TForm1* main = CreateQuiet();
  main->Button18->Click();
  ASSERT_NE(Form11, nullptr);
  ui->onModal = [&](tk::Form& f) {
    auto& d = static_cast<TForm12&>(f);
    d.RadioButton2->Click();
    d.CheckBox4->Click();
    for (auto [hours, minutes] : {std::pair{"", "0"}, std::pair{"abc", "0"}, std::pair{"22", "x"},
                                  std::pair{"24", "0"}, std::pair{"22", "60"}, std::pair{"-1", "0"}}) {
      SCOPED_TRACE(std::string(hours) + ":" + minutes);
      ui->boxes.clear();
      d.ComboBox1->SetText(hours);
      d.ComboBox2->SetText(minutes);
      d.Button1->Click();
      EXPECT_TRUE(d.Visible());
      EXPECT_EQ(ui->boxes.size(), 1u);
      if (!ui->boxes.empty()) {
        EXPECT_EQ(ui->boxes[0].text, "時刻は0:00から23:59までで設定して下さい。");
      }
    }
    d.Button2->Click();  // キャンセル
  };
  Form11->Button4->Click();
  ui->onModal = nullptr;
  EXPECT_FALSE(Stored("Schedule", "On"));
  EXPECT_FALSE(Stored("Schedule", "At"));
  ui->AdvanceClock(1000);
  EXPECT_EQ(Tip(), kUsualTip);
}

TEST_F(ScheduleTest, TimerSettingStoresTheRepeatOnlyForTheTimeOfDay) {
  TForm1* main = CreateQuiet();
  main->Button18->Click();
  ASSERT_NE(Form11, nullptr);
  auto setting = [&](std::function<void(TForm12&)> change) {
    ui->onModal = [&](tk::Form& f) { change(static_cast<TForm12&>(f)); };
    Form11->Button4->Click();
    ui->onModal = nullptr;
  };
  setting([](TForm12& d) {
    EXPECT_FALSE(d.CheckBox4->Enabled()) << "after a time: nothing repeats";
    d.RadioButton2->Click();
    EXPECT_TRUE(d.CheckBox4->Enabled());
    EXPECT_FALSE(d.ComboBox5->Enabled());
    d.CheckBox4->Click();
    d.ComboBox5->PeerSelected(2);
    for (tk::CheckBox* day : d.DayBoxes)
      if (day->Checked()) day->Click();
    d.Button1->Click();  // no day: refused, nothing written
    EXPECT_TRUE(d.Visible());
    d.DayBoxes[2]->Click();  // Wednesday
    d.DayBoxes[5]->Click();  // Saturday
    d.ComboBox1->PeerSelected(22);
    d.ComboBox2->PeerSelected(6);  // 30
    d.ComboBox4->PeerSelected(1);  // shutdown
    d.Button1->Click();
  });
  EXPECT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(Stored("Schedule", "On"), "1");
  EXPECT_EQ(Stored("Schedule", "Days"), "0010010");
  EXPECT_EQ(Stored("Schedule", "At"), "22:30");
  EXPECT_EQ(Stored("Schedule", "Action"), "shutdown");
  ui->AdvanceClock(1000);
  EXPECT_EQ(Tip(), "水 22:30 にシャットダウン") << "armed again once written";

  // Shown again as stored; another mode leaves it alone; weekdays preset.
  setting([](TForm12& d) {
    EXPECT_TRUE(d.CheckBox4->Checked());
    EXPECT_EQ(d.ComboBox5->ItemIndex(), 2);
    EXPECT_EQ(d.ComboBox1->Text(), "22");
    d.RadioButton1->Click();
    EXPECT_FALSE(d.CheckBox4->Enabled());
    d.Button1->Click();
  });
  EXPECT_EQ(Stored("Schedule", "Days"), "0010010");
  setting([](TForm12& d) {
    d.RadioButton2->Click();
    d.ComboBox5->PeerSelected(1);
    EXPECT_FALSE(d.DayBoxes[0]->Enabled());
    EXPECT_TRUE(d.DayBoxes[0]->Checked());
    EXPECT_FALSE(d.DayBoxes[5]->Checked());
    d.Button1->Click();
  });
  EXPECT_EQ(Stored("Schedule", "Days"), "1111100");
  setting([](TForm12& d) {
    d.CheckBox4->Click();  // off
    d.Button1->Click();
  });
  EXPECT_EQ(Stored("Schedule", "On"), "0");
  ui->AdvanceClock(1000);
  EXPECT_EQ(Tip(), kUsualTip);
}

}  // namespace
