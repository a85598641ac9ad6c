// What the program does to end the session, in one vocabulary. Every way to
// ask for an end (a button, the tray, a hotkey, the command line, the
// schedule, the runner) names it with EndAction.
#pragma once

#include <cstdint>

namespace session {

// In the order the runner's list shows them and the timer setting stores
// them ("F12"/"ACT", the schedule's action): the numbers are stored values.
enum class EndAction : std::int32_t { PowerOff = 0, ShutDown, Restart, LogOff, Standby, Hibernate };
constexpr int kEndActionCount = 6;
// The ends the timer setting offers: all but hibernation, which only the
// command line asks for by name.
constexpr int kTimerSettingActions = 5;

// A stored number as an action; out of range reads as power-off, as the
// runner always took it.
constexpr EndAction EndActionOfStored(std::int64_t stored) {
  return stored >= 0 && stored < kEndActionCount ? static_cast<EndAction>(stored) : EndAction::PowerOff;
}
constexpr std::int32_t StoredOf(EndAction action) { return static_cast<std::int32_t>(action); }

// The action's name as the runner, the tray tip and the warnings show it.
const char* EndActionName(EndAction action);

}  // namespace session
