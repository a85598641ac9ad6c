// The runner's countdown without its window: when the end comes, what it is,
// and what the last minute shows. The deadline is on the tick count (a time)
// or on the local wall clock (a time of day); a count can instead wait for
// the started program to end and for the end conditions to hold, then run
// the last warning's grace. The owner reads the clocks and hands them in;
// the model keeps the tick count in 64 bits (it wraps after 49.7 days, a
// count may last 9999 hours), reads no widget and opens no window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "session/actions.h"
#include "timers/conditions.h"

namespace timers {

constexpr int kWarningSeconds = 60;
constexpr int kGraceSeconds = 30;  // after the watched program ends, or a jump past the end
// The longest time the runner counts down.
constexpr int kMaxHours = 9999;

// The two clocks a count follows, read together: the tick count (ms) and the
// local date-time in days.
struct Clocks {
  std::uint32_t tick = 0;
  double day = 0;
};

// The next moment, today or tomorrow, that the clock shows this time of day
// (seconds after midnight); both in days, as the local time is kept.
double NextTimeOfDay(double now, double secondsOfDay);

class CountdownModel {
 public:
  enum class Step { None, Warn, Act };
  // What a second of the count asks of its owner: nothing, the last warning
  // with the seconds left, or the end itself (once).
  struct Outcome {
    Step step = Step::None;
    std::int64_t seconds = 0;
    session::EndAction action = session::EndAction::PowerOff;
  };

  // tick: the tick count now, where the 64-bit clock starts.
  explicit CountdownModel(std::uint32_t tick);
  ~CountdownModel();
  CountdownModel(const CountdownModel&) = delete;
  CountdownModel& operator=(const CountdownModel&) = delete;

  // Each start replaces a count running. After seconds on the tick count,
  // armed only when above zero: a count from nothing goes on below zero and
  // never acts.
  void StartAfter(session::EndAction action, std::int64_t seconds, Clocks now);
  // At a local date-time (days), on the wall clock: it follows the clock
  // when it is set.
  void StartAt(session::EndAction action, double deadlineDay, Clocks now);
  // Waits for the started program's end (program) and for the conditions
  // (conditions, may be null), then the grace.
  void StartWatching(session::EndAction action, bool program, std::unique_ptr<ConditionWatch> conditions,
                     Clocks now);
  // The count stopped; the time shown stays. Cancel is the user's stop: the
  // time shown becomes 0; false when nothing was counting.
  void Stop();
  bool Cancel();

  // The watched program has ended.
  void ProgramEnded();
  // One second of the count. Ticks that come late (a busy thread) or not at
  // all (standby) do not stretch it, and nothing acts before the time is up.
  Outcome Tick(Clocks now);

  // The pause button: false (nothing changed) when the count cannot pause
  // (nothing counting, or watching). Resumed, the time left counts on the
  // tick count from now.
  bool TogglePause(Clocks now);
  // The last warning's +10分.
  void AddTenMinutes(Clocks now);
  // The last warning's 今すぐ: true when the end is to come now (once).
  bool ActNow();

  bool Counting() const { return counting_; }
  bool Paused() const { return paused_; }
  bool Acted() const { return acted_; }
  bool WaitingForProgram() const { return waitingForProgram_; }
  // Waiting for the program or the conditions: no time is counted yet.
  bool Watching() const { return waitingForProgram_ || conditions_ != nullptr; }
  bool CanPause() const { return counting_ && !Watching(); }
  // The conditions being watched, or null.
  const ConditionWatch* Watch() const { return conditions_.get(); }
  session::EndAction Action() const { return action_; }
  // Whole seconds left by the clock, as last counted.
  std::int64_t Remaining() const { return remaining_; }
  // True while an end will come by itself: the machine is kept from sleeping.
  bool EndPending() const;
  // The last warning is due: 1 … 60 seconds left of a running count.
  bool WarningDue() const;
  Outcome Warning() const;

  // The count as shown: the seconds ("" while watching) and beside them,
  // above an hour, "h:mm:ss" (else "監視中" while watching).
  std::string SecondsText() const;
  std::string ClockText() const;
  // What is pending, for the tray's tip: "電源切断まで 1:23:45",
  // "電源切断: CPU 4分/15分", "23:00 に電源切断"; "" when nothing is.
  std::string PendingText() const;

 private:
  // The tick count carried on in 64 bits, across its wraps.
  std::int64_t Carry(std::uint32_t tick);
  double RemainingMs(Clocks now);
  void Begin(session::EndAction action, std::int64_t seconds, Clocks now, bool armed);
  void StartGrace();

  bool counting_ = false;
  bool paused_ = false;
  bool acted_ = false;
  bool armed_ = false;              // the count has a time to end: it started above zero
  bool waitingForProgram_ = false;
  bool graceAfterWatch_ = false;    // the grace runs once the program (and conditions) are done
  std::unique_ptr<ConditionWatch> conditions_;  // until they all hold
  session::EndAction action_ = session::EndAction::PowerOff;
  std::int64_t remaining_ = 0;
  std::int64_t deadlineMs_ = 0;     // on the 64-bit tick clock: a time, and every grace
  double deadlineDay_ = 0;          // a time of day: local date-time in days
  bool byTimeOfDay_ = false;        // which of the two the deadline is
  std::uint32_t lastTick_ = 0;      // the tick count at the last second counted
  std::uint32_t clockRead_ = 0;     // the last tick count carried
  std::int64_t clockMs_ = 0;
};

}  // namespace timers
