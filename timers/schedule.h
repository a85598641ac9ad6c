// The repeated end: the runner's end at a time of day, on chosen days of the
// week, stored in the section "Schedule" and armed again at every start of
// the program (usually at logon) and after each firing. A firing whose time
// has gone by (the machine was off or asleep, the clock moved past it) is
// not acted on later: the next matching day is taken.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/actions.h"

namespace timers {

constexpr int kWeekDays = 7;  // Monday first, as stored
// When the runner takes a firing over: its last warning's time before it.
constexpr double kScheduleLeadSeconds = 60;

struct Schedule {
  bool on = false;
  bool days[kWeekDays] = {true, true, true, true, true, true, true};
  int hour = 23;
  int minute = 0;
  session::EndAction action = session::EndAction::PowerOff;
  bool AnyDay() const;
  bool operator==(const Schedule& o) const;
};

// "1111100": seven '0'/'1' characters, Monday first.
bool ParseDays(const std::string& text, bool (&days)[kWeekDays]);
std::string FormatDays(const bool (&days)[kWeekDays]);
// "H:MM" or "HH:MM", 0:00 to 23:59.
bool ParseAt(const std::string& text, int& hour, int& minute);
std::string FormatAt(int hour, int minute);
// The command line's names of the ends: "poweroff", "shutdown", "reboot",
// "logoff", "standby", "hibernate" (lower case; case is ignored on reading).
bool ParseActionName(const std::string& text, session::EndAction& action);
const char* ActionCommandName(session::EndAction action);

// Section "Schedule". A value that cannot be read or makes no sense names
// itself in problems (section\ident), and so does one that is missing while
// On is 1 ("section\ident (値がありません)"); a schedule with such a value
// is not armed (off), whatever On says: a guessed day, time or end is never
// acted on.
Schedule ReadSchedule(std::vector<std::string>* problems);
// Written whole, once the schedule is on or the section holds any value.
void WriteSchedule(const Schedule& s);
// Changes with every WriteSchedule: whoever keeps a schedule armed reads it
// again when it differs from the one it read at.
std::uint32_t ScheduleGeneration();

// Monday 0 … Sunday 6 of a local date-time in days (day 0, 30 December
// 1899, was a Saturday).
int DayOfWeek(double day);
// The first firing strictly after `after` (local date-times in days), or a
// negative value when the schedule is off or has no day.
double NextFiring(const Schedule& s, double after);
// The day's one-character name, Monday 0 … Sunday 6: "月" … "日".
const char* DayName(int day);
// "水 23:00": the day of the week and the time of a firing.
std::string FiringText(double firing);

// The schedule kept armed, asked once a second with the local time.
class ScheduleWatch {
 public:
  void Arm(const Schedule& s, double now);
  // The firing whose last warning is due now (its time within the lead),
  // else a negative value. A firing already past is skipped for the next.
  // A clock set back never brings a firing that was handed over or skipped
  // a second time.
  double Due(double now);
  const Schedule& Current() const { return schedule_; }
  double Next() const { return next_; }
  // "水 23:00 に電源切断" while armed, else "".
  std::string Text() const;

 private:
  Schedule schedule_;
  double next_ = -1;
  double last_ = -1;  // the last firing handed over or skipped
  double seen_ = -1;  // the time at the last Due
};

}  // namespace timers
