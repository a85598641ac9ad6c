#include "timers/schedule.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "session/actions.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

namespace timers {

namespace {
namespace key = settings::key;

// The command line's names, in the order of the runner's ends.
struct ActionName {
  session::EndAction action;
  const char* name;
};
constexpr ActionName kActionNames[] = {
    {session::EndAction::PowerOff, "poweroff"}, {session::EndAction::ShutDown, "shutdown"},
    {session::EndAction::Restart, "reboot"},    {session::EndAction::LogOff, "logoff"},
    {session::EndAction::Standby, "standby"},   {session::EndAction::Hibernate, "hibernate"},
};
constexpr const char* kDayNames[kWeekDays] = {"月", "火", "水", "木", "金", "土", "日"};

std::uint32_t generation = 0;
constexpr const char* kMissing = " (値がありません)";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool Schedule::AnyDay() const {
  for (bool d : days)
    if (d) return true;
  return false;
}

bool Schedule::operator==(const Schedule& o) const {
  for (int i = 0; i < kWeekDays; ++i)
    if (days[i] != o.days[i]) return false;
  return on == o.on && hour == o.hour && minute == o.minute && action == o.action;
}

bool ParseDays(const std::string& text, bool (&days)[kWeekDays]) {
  if (text.size() != kWeekDays) return false;
  bool read[kWeekDays];
  for (int i = 0; i < kWeekDays; ++i) {
    if (text[i] != '0' && text[i] != '1') return false;
    read[i] = text[i] == '1';
  }
  for (int i = 0; i < kWeekDays; ++i) days[i] = read[i];
  return true;
}

std::string FormatDays(const bool (&days)[kWeekDays]) {
  std::string text;
  for (bool d : days) text += d ? '1' : '0';
  return text;
}

bool ParseAt(const std::string& text, int& hour, int& minute) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3) return false;
  int h = 0, m = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == colon) continue;
    if (text[i] < '0' || text[i] > '9') return false;
    int& into = i < colon ? h : m;
    into = into * 10 + (text[i] - '0');
  }
  if (h > 23 || m > 59) return false;
  hour = h;
  minute = m;
  return true;
}

std::string FormatAt(int hour, int minute) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
  return text;
}

bool ParseActionName(const std::string& text, session::EndAction& action) {
  std::string lower;
  for (char c : text) lower += Lower(c);
  for (const ActionName& a : kActionNames)
    if (lower == a.name) {
      action = a.action;
      return true;
    }
  return false;
}

const char* ActionCommandName(session::EndAction action) {
  for (const ActionName& a : kActionNames)
    if (a.action == action) return a.name;
  return kActionNames[0].name;
}

Schedule ReadSchedule(std::vector<std::string>* problems) {
  Schedule s;
  settings::SettingsStore store;
  bool sound = true;
  // The stored text, "" where missing; false (named) where it cannot be read.
  auto text = [&](const char* ident, std::string& into) {
    try {
      into = store.ReadString(key::Schedule, ident, "");
      return true;
    } catch (const settings::StoreError&) {
      if (problems) problems->push_back(std::string(key::Schedule) + "\\" + ident);
      sound = false;
      into = "?";  // there, but unreadable: named once
      return false;
    }
  };
  auto bad = [&](const char* ident) {
    if (problems) problems->push_back(std::string(key::Schedule) + "\\" + ident);
    sound = false;
  };
  std::string on, days, at, action;
  if (text(key::On, on) && !on.empty()) {
    std::int32_t v = 0;
    if (!settings::ParseInteger(on, v) || v < 0 || v > 1) bad(key::On);
    else s.on = v == 1;
  }
  if (text(key::Days, days) && !days.empty() && !ParseDays(days, s.days)) bad(key::Days);
  if (text(key::At, at) && !at.empty() && !ParseAt(at, s.hour, s.minute)) bad(key::At);
  if (text(key::Action, action) && !action.empty() && !ParseActionName(action, s.action)) bad(key::Action);
  // Switched on, every value has to be there: a day, time or end left out
  // (a hand edit, a partial import) is not guessed.
  if (s.on)
    for (auto [ident, value] : {std::pair{key::Days, &days}, {key::At, &at}, {key::Action, &action}})
      if (value->empty()) {
        if (problems) problems->push_back(std::string(key::Schedule) + "\\" + ident + kMissing);
        sound = false;
      }
  if (!sound) s.on = false;
  return s;
}

void WriteSchedule(const Schedule& s) {
  ++generation;
  settings::SettingsStore store;
  bool stored = false;
  for (const char* ident : {key::On, key::Days, key::At, key::Action})
    if (!store.ReadString(key::Schedule, ident, "").empty()) stored = true;
  if (!stored && !s.on) return;
  store.WriteBool(key::Schedule, key::On, s.on);
  store.WriteString(key::Schedule, key::Days, FormatDays(s.days));
  store.WriteString(key::Schedule, key::At, FormatAt(s.hour, s.minute));
  store.WriteString(key::Schedule, key::Action, ActionCommandName(s.action));
}

std::uint32_t ScheduleGeneration() { return generation; }

int DayOfWeek(double day) {
  const long long d = static_cast<long long>(std::floor(day));
  return static_cast<int>(((d + 5) % 7 + 7) % 7);
}

double NextFiring(const Schedule& s, double after) {
  if (!s.on || !s.AnyDay()) return -1;
  const double time = (3600.0 * s.hour + 60.0 * s.minute) / 86400.0;
  const double first = std::floor(after);
  // A week and a day: today's time may be gone and only today is chosen.
  for (int k = 0; k <= kWeekDays; ++k) {
    const double day = first + k;
    if (!s.days[DayOfWeek(day)]) continue;
    const double firing = day + time;
    if (firing > after) return firing;
  }
  return -1;
}

const char* DayName(int day) { return kDayNames[((day % kWeekDays) + kWeekDays) % kWeekDays]; }

std::string FiringText(double firing) {
  const double fraction = firing - std::floor(firing);
  const long long minutes = std::llround(fraction * 1440.0) % 1440;
  char text[32];
  std::snprintf(text, sizeof text, " %lld:%02lld", minutes / 60, minutes % 60);
  return DayName(DayOfWeek(firing)) + std::string(text);
}

void ScheduleWatch::Arm(const Schedule& s, double now) {
  schedule_ = s;
  seen_ = now;
  next_ = NextFiring(s, last_ > now ? last_ : now);
}

double ScheduleWatch::Due(double now) {
  // The clock set back: the firings from now on, but none that was handed
  // over or skipped already.
  if (now < seen_) next_ = NextFiring(schedule_, last_ > now ? last_ : now);
  seen_ = now;
  if (next_ < 0) return -1;
  if (now >= next_) {  // gone by while nobody asked: not acted on
    last_ = next_;
    next_ = NextFiring(schedule_, now);
    return -1;
  }
  if (now < next_ - kScheduleLeadSeconds / 86400.0) return -1;
  const double due = next_;
  last_ = due;
  next_ = NextFiring(schedule_, due);
  return due;
}

std::string ScheduleWatch::Text() const {
  if (next_ < 0) return {};
  return FiringText(next_) + " に" + session::EndActionName(schedule_.action);
}

}  // namespace timers
