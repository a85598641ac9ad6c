// The repeated end at a time of day, followed every second: the schedule
// read at the first second and again whenever the timer setting wrote it
// (what cannot be read is said once, and the schedule stays off); a firing's
// last minute handed to the actions as the schedule's end, which they skip
// while an end is pending or the exit ban holds (the next stays armed).
#pragma once

#include <cstdint>

#include "session/actions.h"
#include "timers/schedule.h"

class ScheduleFollower {
 public:
  explicit ScheduleFollower(session::Actions& actions) : actions_(actions) {}
  // One second of the main window's clock; now: the local date-time in days.
  void Follow(double now);
  const timers::ScheduleWatch& Watch() const { return watch_; }

 private:
  session::Actions& actions_;
  timers::ScheduleWatch watch_;
  bool read_ = false;
  std::uint32_t generation_ = 0;
};
