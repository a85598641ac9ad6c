#include "timers/countdown.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace timers {

namespace {
constexpr std::uint32_t kJumpMs = 5000;  // a second this late means the clock jumped

std::int64_t WholeSeconds(double ms) { return std::llround(ms / 1000.0); }
}  // namespace

double NextTimeOfDay(double now, double secondsOfDay) {
  double day = std::floor(now) + secondsOfDay / 86400.0;
  return day <= now ? day + 1 : day;
}

CountdownModel::CountdownModel(std::uint32_t tick) : clockRead_(tick), clockMs_(tick) {}

CountdownModel::~CountdownModel() = default;

std::int64_t CountdownModel::Carry(std::uint32_t tick) {
  clockMs_ += static_cast<std::uint32_t>(tick - clockRead_);  // across a wrap too
  clockRead_ = tick;
  return clockMs_;
}

double CountdownModel::RemainingMs(Clocks now) {
  const std::int64_t clock = Carry(now.tick);
  if (byTimeOfDay_) return (deadlineDay_ - now.day) * 86400000.0;
  return static_cast<double>(deadlineMs_ - clock);
}

void CountdownModel::Stop() {
  counting_ = false;
  paused_ = false;
  waitingForProgram_ = false;
  conditions_.reset();
}

bool CountdownModel::Cancel() {
  const bool was = counting_;
  Stop();
  if (was) remaining_ = 0;
  return was;
}

void CountdownModel::Begin(session::EndAction action, std::int64_t seconds, Clocks now, bool armed) {
  Stop();
  action_ = action;
  lastTick_ = now.tick;
  deadlineMs_ = Carry(now.tick) + seconds * 1000;
  remaining_ = seconds;
  graceAfterWatch_ = false;
  counting_ = true;
  acted_ = false;
  armed_ = armed;
}

void CountdownModel::StartAfter(session::EndAction action, std::int64_t seconds, Clocks now) {
  Begin(action, seconds, now, seconds > 0);
  byTimeOfDay_ = false;
}

void CountdownModel::StartAt(session::EndAction action, double deadlineDay, Clocks now) {
  Begin(action, std::llround((deadlineDay - now.day) * 86400.0), now, true);
  byTimeOfDay_ = true;
  deadlineDay_ = deadlineDay;
}

void CountdownModel::StartWatching(session::EndAction action, bool program,
                                   std::unique_ptr<ConditionWatch> conditions, Clocks now) {
  Begin(action, 0, now, false);
  byTimeOfDay_ = false;
  graceAfterWatch_ = true;
  waitingForProgram_ = program;
  if (conditions && conditions->Offered()) {
    conditions_ = std::move(conditions);
    conditions_->Sample(Carry(now.tick));  // the first readings to measure from
  }
}

void CountdownModel::ProgramEnded() { waitingForProgram_ = false; }

void CountdownModel::StartGrace() {
  byTimeOfDay_ = false;
  deadlineMs_ = clockMs_ + kGraceSeconds * 1000;
  armed_ = true;
  remaining_ = kGraceSeconds;
}

CountdownModel::Outcome CountdownModel::Tick(Clocks now) {
  Carry(now.tick);  // every second, so that no wrap of the tick count is missed
  if (!counting_ || paused_) return {};
  const bool jumped = now.tick - lastTick_ > kJumpMs;
  lastTick_ = now.tick;
  // The conditions are read every second, while the program runs too: they
  // have to hold together with its end.
  if (conditions_) conditions_->Sample(clockMs_);
  if (waitingForProgram_) return {};
  if (conditions_) {
    if (!conditions_->AllHold()) return {};
    conditions_.reset();
    StartGrace();
    return Warning();
  }
  if (graceAfterWatch_ && !armed_) {
    StartGrace();
    return Warning();
  }
  double ms = RemainingMs(now);
  // Past the end without the warning having been up: woken from standby, or
  // the clock moved past a time of day. The warning first, for its grace.
  const bool unwarned = remaining_ > kWarningSeconds;
  if ((jumped || unwarned) && armed_ && !acted_ && ms <= 0) {
    StartGrace();
    ms = kGraceSeconds * 1000.0;
  }
  remaining_ = WholeSeconds(ms);
  // Once, when the time is up: a refused request is not repeated, and a
  // count from nothing never acts.
  if (!acted_ && armed_ && ms <= 0) {
    acted_ = true;
    return {Step::Act, remaining_, action_};
  }
  return Warning();
}

bool CountdownModel::TogglePause(Clocks now) {
  if (!CanPause()) return false;
  if (!paused_) {
    paused_ = true;
    remaining_ = WholeSeconds(RemainingMs(now));
    return true;
  }
  // Resumed: the time left when paused, from now on the tick count.
  paused_ = false;
  byTimeOfDay_ = false;
  lastTick_ = now.tick;
  deadlineMs_ = Carry(now.tick) + remaining_ * 1000;
  return true;
}

void CountdownModel::AddTenMinutes(Clocks now) {
  if (byTimeOfDay_) deadlineDay_ += 600.0 / 86400.0;
  else deadlineMs_ += 600000;
  remaining_ = WholeSeconds(RemainingMs(now));
}

bool CountdownModel::ActNow() {
  if (acted_) return false;
  acted_ = true;
  return true;
}

bool CountdownModel::EndPending() const {
  return counting_ && !paused_ && !acted_ && (armed_ || Watching());
}

bool CountdownModel::WarningDue() const {
  return counting_ && !paused_ && !acted_ && !Watching() && remaining_ <= kWarningSeconds && remaining_ > 0;
}

CountdownModel::Outcome CountdownModel::Warning() const {
  if (!WarningDue()) return {};
  return {Step::Warn, remaining_, action_};
}

std::string CountdownModel::SecondsText() const { return Watching() ? "" : std::to_string(remaining_); }

std::string CountdownModel::ClockText() const {
  if (remaining_ <= 3600) return Watching() ? "監視中" : "";
  const long long s = remaining_;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

std::string CountdownModel::PendingText() const {
  if (!EndPending()) return {};
  const std::string action = session::EndActionName(action_);
  if (Watching()) {
    std::string what = conditions_ && !waitingForProgram_ ? conditions_->Short() : "アプリケーションの終了待ち";
    return action + ": " + what;
  }
  char text[64];
  if (byTimeOfDay_) {
    // The time of day it ends at, as the clock will show it.
    const double day = deadlineDay_ - std::floor(deadlineDay_);
    const long long minutes = std::llround(day * 1440.0) % 1440;
    std::snprintf(text, sizeof text, "%lld:%02lld に", minutes / 60, minutes % 60);
    return text + action;
  }
  const long long s = std::max<long long>(0, remaining_);
  std::snprintf(text, sizeof text, "まで %lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return action + text;
}

}  // namespace timers
