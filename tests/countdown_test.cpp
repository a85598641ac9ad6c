// The runner's countdown on its own: the clocks handed in by the test, no
// window, no machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "timers/countdown.h"

namespace {

using session::EndAction;
using timers::Clocks;
using timers::CountdownModel;
using Step = CountdownModel::Step;

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kNoon = 46363.5;

// Both clocks, moved by the test as a machine moves them.
struct Machine {
  Clocks now{1000000, kNoon};
  void Pass(std::uint32_t ms, double wallSeconds) {
    now.tick += ms;
    now.day += wallSeconds * kSecond;
  }
};

// Each second's outcome as text: "." nothing, "w60" the warning, "A" the end.
std::string Seconds(CountdownModel& c, Machine& m, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    m.Pass(1000, 1);
    const CountdownModel::Outcome o = c.Tick(m.now);
    if (o.step == Step::Act) out += "A";
    else if (o.step == Step::Warn) out += "w" + std::to_string(o.seconds);
    else out += ".";
  }
  return out;
}

TEST(CountdownTest, AfterATimeWarnsForItsLastMinuteAndActsExactlyOnce) {
  struct Row {
    std::int64_t seconds;
    int ticks;
    std::string outcomes;
    std::int64_t left;
  } rows[] = {
      {3, 5, "w2w1A..", -2},          // counts on below zero, acts once
      {62, 4, ".w60w59w58", 58},      // the warning from 60 seconds left
      {0, 3, "...", -3},              // a count from nothing never acts
      {-3600, 2, "..", -3602},        // nor one below it
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.seconds);
    Machine m;
    CountdownModel c(m.now.tick);
    c.StartAfter(EndAction::Restart, row.seconds, m.now);
    EXPECT_EQ(Seconds(c, m, row.ticks), row.outcomes);
    EXPECT_EQ(c.Remaining(), row.left);
    EXPECT_EQ(c.SecondsText(), std::to_string(row.left));
  }

  // The end's action comes with it; 今すぐ after the end, or the end after
  // 今すぐ, acts no more.
  Machine m;
  CountdownModel c(m.now.tick);
  c.StartAfter(EndAction::Standby, 2, m.now);
  m.Pass(1000, 1);
  c.Tick(m.now);
  m.Pass(1000, 1);
  const CountdownModel::Outcome end = c.Tick(m.now);
  EXPECT_EQ(end.step, Step::Act);
  EXPECT_EQ(end.action, EndAction::Standby);
  EXPECT_TRUE(c.Acted());
  EXPECT_FALSE(c.EndPending());
  EXPECT_FALSE(c.ActNow());
  c.StartAfter(EndAction::PowerOff, 2, m.now);
  EXPECT_TRUE(c.ActNow());
  EXPECT_FALSE(c.ActNow());
  EXPECT_EQ(Seconds(c, m, 4), "....");
}

// +10分 in the last minute puts the warning away until the next last minute.
TEST(CountdownTest, TenMoreMinutesEndTheWarningUntilTheLastMinuteAgain) {
  Machine m;
  CountdownModel c(m.now.tick);
  c.StartAfter(EndAction::PowerOff, 61, m.now);
  EXPECT_EQ(Seconds(c, m, 2), "w60w59");
  c.AddTenMinutes(m.now);
  EXPECT_EQ(c.Remaining(), 659);
  EXPECT_FALSE(c.WarningDue());
  std::string seen = Seconds(c, m, 600);
  EXPECT_EQ(seen.substr(0, 598), std::string(598, '.'));
  EXPECT_EQ(seen.substr(598), "w60w59");
}

// A time of day follows the wall clock: across midnight, set back, set
// forward past the end (the warning's grace first, never the end at once),
// and a standby past a time on the tick count alike.
TEST(CountdownTest, ClockJumpsPastTheEndBringTheGraceBeforeTheEnd) {
  {
    Machine m;
    m.now.day = 46363.0 + (23 * 3600 + 59 * 60 + 30) * kSecond;  // 23:59:30
    CountdownModel c(m.now.tick);
    c.StartAt(EndAction::PowerOff, timers::NextTimeOfDay(m.now.day, 0), m.now);
    EXPECT_EQ(c.Remaining(), 30) << "tomorrow at midnight";
    EXPECT_TRUE(c.WarningDue());
    m.Pass(0, -3600);  // the clock set back an hour
    EXPECT_EQ(Seconds(c, m, 1), ".");
    EXPECT_EQ(c.Remaining(), 3629);
    m.Pass(0, 3600);
    EXPECT_EQ(Seconds(c, m, 29), "w28" + [] {
      std::string s;
      for (int i = 27; i >= 1; --i) s += "w" + std::to_string(i);
      return s;
    }() + "A");
  }
  struct Row {
    const char* what;
    bool timeOfDay;
    std::uint32_t tickMs;  // beside the second itself
    double wallSeconds;
  } rows[] = {
      {"an hour in standby", false, 3600000, 3600},
      {"the clock two hours forward", true, 0, 7200},
      {"summer time over the end", true, 0, 3630},
      {"an hour in standby at a time of day", true, 3600000, 3600},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Machine m;
    CountdownModel c(m.now.tick);
    if (row.timeOfDay) c.StartAt(EndAction::PowerOff, kNoon + 3600 * kSecond, m.now);
    else c.StartAfter(EndAction::PowerOff, 600, m.now);
    EXPECT_EQ(Seconds(c, m, 3), "...");
    m.Pass(row.tickMs, row.wallSeconds);
    EXPECT_EQ(Seconds(c, m, 1), "w30") << "the end came without its warning";
    std::string grace;
    for (int i = 29; i >= 1; --i) grace += "w" + std::to_string(i);
    EXPECT_EQ(Seconds(c, m, 30), grace + "A");
  }
}

// Paused, the count holds its time whatever the clocks do and nothing is
// pending; resumed, the time left counts on the tick count, a time of day
// too.
TEST(CountdownTest, PauseHoldsTheTimeAndResumeCountsItOnTheTickCount) {
  Machine m;
  CountdownModel c(m.now.tick);
  c.StartAt(EndAction::LogOff, kNoon + 7200 * kSecond, m.now);  // 14:00
  EXPECT_EQ(c.PendingText(), "14:00 にログオフ");
  Seconds(c, m, 100);
  ASSERT_TRUE(c.TogglePause(m.now));
  EXPECT_TRUE(c.Paused());
  EXPECT_EQ(c.Remaining(), 7100);
  EXPECT_FALSE(c.EndPending());
  EXPECT_EQ(c.PendingText(), "");
  m.Pass(0, 10800);  // the wall clock past 14:00 meanwhile
  EXPECT_EQ(Seconds(c, m, 500), std::string(500, '.'));
  EXPECT_EQ(c.Remaining(), 7100);
  ASSERT_TRUE(c.TogglePause(m.now));
  EXPECT_FALSE(c.Paused());
  EXPECT_TRUE(c.EndPending());
  EXPECT_EQ(c.PendingText(), "ログオフまで 1:58:20");
  m.Pass(0, -86400);  // the wall clock means nothing to it now
  Seconds(c, m, 1);
  EXPECT_EQ(c.Remaining(), 7099);
  EXPECT_EQ(c.ClockText(), "1:58:19");

  // Nothing to pause while watching or stopped.
  c.StartWatching(EndAction::PowerOff, true, nullptr, m.now);
  EXPECT_FALSE(c.TogglePause(m.now));
  EXPECT_TRUE(c.Cancel());
  EXPECT_FALSE(c.TogglePause(m.now));
  EXPECT_FALSE(c.Cancel()) << "nothing was counting";
  EXPECT_EQ(c.Remaining(), 0);
}

// The tick count wraps after 49.7 days; a count of up to 9999 hours keeps
// its time across every wrap, with seconds late or asleep for weeks.
TEST(CountdownTest, TheLongestCountKeepsItsTimeAcrossTheTickCountsWraps) {
  Machine m;
  m.now.tick = 4294960000u;  // the tick count wraps in seven seconds
  CountdownModel c(m.now.tick);
  const std::int64_t longest = 3600LL * timers::kMaxHours;
  c.StartAfter(EndAction::ShutDown, longest, m.now);
  EXPECT_EQ(c.SecondsText(), "35996400");
  EXPECT_EQ(c.ClockText(), "9999:00:00");
  EXPECT_EQ(c.PendingText(), "シャットダウンまで 9999:00:00");
  EXPECT_EQ(Seconds(c, m, 10), "..........");
  EXPECT_EQ(c.Remaining(), longest - 10);
  // 24 days asleep at a time: the tick count wraps every second or third.
  std::int64_t left = longest - 10;
  while (left > 30LL * 86400) {
    m.Pass(24u * 86400000u, 0);
    left -= 24LL * 86400;
    EXPECT_EQ(Seconds(c, m, 1), ".");
    --left;
    ASSERT_EQ(c.Remaining(), left);
  }
  // Woken a second and a half before the end: never early, once on time.
  m.Pass(static_cast<std::uint32_t>((left - 3) * 1000 + 500), 0);
  EXPECT_EQ(Seconds(c, m, 1), "w2") << "1.5 s left shows as 2";
  m.now.tick += 995;  // a second a little early
  const CountdownModel::Outcome early = c.Tick(m.now);
  EXPECT_EQ(early.step, Step::Warn);
  EXPECT_EQ(early.seconds, 1);
  EXPECT_EQ(Seconds(c, m, 2), "A.");
}

// Waiting for the program and the conditions nothing is counted; once they
// are done the grace runs, and may be paused.
TEST(CountdownTest, WatchingCountsNothingUntilTheProgramEndsThenTheGrace) {
  Machine m;
  CountdownModel c(m.now.tick);
  c.StartWatching(EndAction::Restart, true, nullptr, m.now);
  EXPECT_TRUE(c.Watching());
  EXPECT_TRUE(c.EndPending());
  EXPECT_FALSE(c.CanPause());
  EXPECT_EQ(c.SecondsText(), "");
  EXPECT_EQ(c.ClockText(), "監視中");
  EXPECT_EQ(c.PendingText(), "再起動: アプリケーションの終了待ち");
  EXPECT_EQ(Seconds(c, m, 100), std::string(100, '.'));
  c.ProgramEnded();
  EXPECT_EQ(Seconds(c, m, 1), "w30");
  EXPECT_TRUE(c.CanPause());
  EXPECT_EQ(c.SecondsText(), "30");
  EXPECT_EQ(c.PendingText(), "再起動まで 0:00:30");
  std::string grace;
  for (int i = 29; i >= 1; --i) grace += "w" + std::to_string(i);
  EXPECT_EQ(Seconds(c, m, 31), grace + "A.");

  // A stop while watching: nothing pending, the next start counts afresh.
  c.StartWatching(EndAction::Restart, true, nullptr, m.now);
  c.Stop();
  EXPECT_FALSE(c.Watching());
  EXPECT_FALSE(c.EndPending());
  EXPECT_EQ(Seconds(c, m, 40), std::string(40, '.'));
}

}  // namespace
