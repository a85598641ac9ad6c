// What the program does to end the session, in one vocabulary and through
// one entry. Every way to ask for an end (a button, the tray, a hotkey, the
// command line, the schedule, the runner) names it with EndAction, makes an
// EndRequest with its own small maker, and hands it to Actions: Check says
// whether it may go (and why not), Run does it. The state the answer
// depends on is data Actions holds, told by whoever changes it; nothing
// here reads a window.
#pragma once

#include <cstdint>
#include <string>

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

// Who asks: the policy differs by source.
enum class EndSource { Button, Tray, HotKey, CommandLine, Schedule, Runner };

// When the end comes: at once, or handed to the runner, which counts down
// (after minutes, at the next such time of day, at a local date-time) or
// waits for the conditions.
enum class EndTime { Now, In, At, AtDay, WhenConditionsHold };

// The conditions an end may wait for: each with minutes 0 is not asked for.
struct EndConditions {
  std::int32_t cpuPercent = 0;
  std::int32_t cpuMinutes = 0;
  std::int32_t netKBps = 0;
  std::int32_t netMinutes = 0;
  std::int32_t idleMinutes = 0;
  bool Any() const { return cpuMinutes || netMinutes || idleMinutes; }
};

struct EndRequest {
  EndAction action = EndAction::PowerOff;
  EndSource source = EndSource::Button;
  EndTime when = EndTime::Now;
  std::uint32_t minutes = 0;  // EndTime::In
  int hour = 0, minute = 0;   // EndTime::At
  double day = 0;             // EndTime::AtDay, a local date-time in days
  EndConditions conditions;   // EndTime::WhenConditionsHold
  // The question before the end (the power-off's is not asked while the
  // runner holds it aside: Actions::SkipPowerOffQuestion).
  bool ask = false;
  // A standby that hibernates while the main window's hibernation switch
  // is on (the standby button, and the runner's standby).
  bool followsHibernateSwitch = false;
  bool Pending() const { return when != EndTime::Now; }
};

// One maker per source.
EndRequest FromButton(EndAction action);  // asks; the standby button follows the switch
EndRequest FromTrayItem(EndAction action);  // asks
// The timer hotkey: a power-off after its minutes.
EndRequest FromTimerHotKey(std::uint32_t minutes);
// A repeated end's firing: the runner's count to that local date-time.
EndRequest FromSchedule(EndAction action, double firingDay);
// The runner's end, once its time has come: only the power-off asks (and
// not while its question is held aside).
EndRequest FromRunner(EndAction action);

// Why a request may not go. The numbers are the replies a second copy gets
// for its command (cmdline::Reply): they must not change.
enum class Refusal : std::intptr_t {
  None = 1,                  // it may go
  ExitBan = 3,               // the detailed settings forbid ending Windows
  Locked = 4,                // the screen lock is up
  NothingToCancel = 5,       // no count is running
  Busy = 6,                  // the runner waits for a program, or an end is pending (schedule)
  ConditionsNotOffered = 8,  // none of the end's conditions works on this system
  NoLock = 9,                // this Windows has no lock the program offers
};

// What the actions need the main window to do.
class EndHost {
 public:
  virtual ~EndHost() = default;
  virtual void SaveMainSettings() = 0;
  virtual void ShowStatusMessage(const std::string& text) = 0;
  // After a log-off has been asked for.
  virtual void CloseMainWindow() = 0;
  // A pending end for the runner (opened when it is not): its count or its
  // wait for the conditions, replacing one that runs.
  virtual void StartPendingEnd(const EndRequest& request) = 0;
  // Stops the runner's count.
  virtual void StopPendingEnd() = 0;
  // Whether the running system offers any of the conditions.
  virtual bool ConditionsOffered(const EndConditions& conditions) const = 0;
};

class Actions {
 public:
  explicit Actions(EndHost& host) : host_(host) {}
  Actions(const Actions&) = delete;
  Actions& operator=(const Actions&) = delete;

  // The state the policy reads, told by whoever changes it.
  void SetLockUp(bool up) { lockUp_ = up; }  // the screen lock
  bool LockUp() const { return lockUp_; }
  void SetLockOffered(bool offered) { lockOffered_ = offered; }  // the Windows version's lock
  void SetStopwatchOpen(bool open) { stopwatchOpen_ = open; }
  bool StopwatchOpen() const { return stopwatchOpen_; }
  // The runner's OK handler waits for the program it started.
  void SetRunnerWaiting(bool waiting) { runnerWaiting_ = waiting; }
  // The runner counts (or waits for the conditions); acted: its end has come.
  void SetCounting(bool counting, bool acted) {
    counting_ = counting;
    acted_ = acted;
  }
  bool Counting() const { return counting_; }
  // While set (the runner from its OK, or a count from outside) the
  // power-off asks no question.
  void SkipPowerOffQuestion(bool skip) { powerOffQuestionSkipped_ = skip; }
  bool PowerOffQuestionSkipped() const { return powerOffQuestionSkipped_; }
  // The main window's hibernation switch, where the machine can hibernate.
  void SetHibernateSwitch(bool on) { hibernateSwitch_ = on; }
  bool HibernateSwitch() const { return hibernateSwitch_; }
  // The exit ban as stored now; a value that cannot be read counts as not
  // set, as at the start.
  static bool StoredExitBan();

  Refusal Check(const EndRequest& request) const;
  // Does it: at once (save, ask, the privilege, the system's call, the
  // status line, the close after a log-off), or hands it to the runner.
  void Run(const EndRequest& request);
  // Check, then Run when it may go.
  Refusal Submit(const EndRequest& request);

  // Stopping the runner's count (/cancel, the cancel hotkey).
  Refusal CheckCancel() const;
  Refusal Cancel();
  // The lock command: what the lock button offers, and when.
  Refusal CheckLock() const;

 private:
  void RunExit(EndAction action, bool ask);
  void RunSleep(bool hibernate, bool ask);
  EndHost& host_;
  bool lockUp_ = false;
  bool lockOffered_ = true;
  bool stopwatchOpen_ = false;
  bool runnerWaiting_ = false;
  bool counting_ = false;
  bool acted_ = false;
  bool powerOffQuestionSkipped_ = false;
  bool hibernateSwitch_ = false;
};

}  // namespace session
