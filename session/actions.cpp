#include "session/actions.h"

#include <cstdint>
#include <functional>

#include "platform/platform.h"
#include "session/session.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

namespace session {

namespace {
constexpr std::uint32_t kEwxLogoff = 0;
constexpr std::uint32_t kEwxShutdown = 1;
constexpr std::uint32_t kEwxReboot = 2;
constexpr std::uint32_t kEwxPoweroff = 8;
constexpr const char* kShutdownPrivilege = "SeShutdownPrivilege";

struct ExitRow {
  const char* question;
  std::uint32_t flags9x;
  std::uint32_t flagsNT;
  bool driveCheck;
};

ExitRow RowOf(EndAction action) {
  switch (action) {
    case EndAction::LogOff:
      return {"ログオフしてもよろしいですか？", kEwxLogoff, kEwxLogoff, false};
    case EndAction::Restart:
      return {"再起動してもよろしいですか？", kEwxReboot, kEwxReboot, true};
    case EndAction::ShutDown:
      return {"シャットダウンしてもよろしいですか？", kEwxShutdown, kEwxShutdown, true};
    default:
      return {"電源切断してもよろしいですか？", kEwxShutdown, kEwxPoweroff, true};
  }
}

// Standby (suspend) or hibernation on NT: from Vista on through powrprof's
// SetSuspendState, the call the system keeps for it (SetSystemPowerState
// where that is missing); before, SetSystemPowerState as always.
bool Sleep(platform::Platform& p, const platform::OsVersion& v, bool suspend) {
  if (v.major >= 6) {
    if (p.SetSuspendState(!suspend, false, false)) return true;
    if (p.GetLastError() != platform::kErrorCallNotImplemented) return false;
  }
  return p.SetSystemPowerState(suspend, false);
}

bool Ask(const std::string& question) {
  return tk::Application::Instance().MessageBox(question, kCaption,
                                                tk::mbYesNo | tk::mbIconQuestion) == tk::idYes;
}

// The shutdown privilege held for the system's call on NT, its failures in
// the status line; false when it could not be had.
bool WithShutdownPrivilege(EndHost& host, const std::function<void()>& call) {
  host.ShowStatusMessage("");
  try {
    SetTokenPrivilege(kShutdownPrivilege, "", true);
  } catch (const tk::Error& e) {
    host.ShowStatusMessage(e.what());
    return false;
  }
  call();
  try {
    SetTokenPrivilege(kShutdownPrivilege, "", false);
  } catch (const tk::Error& e) {
    host.ShowStatusMessage(e.what());
    return false;
  }
  return true;
}

EndRequest Request(EndAction action, EndSource source, bool ask) {
  EndRequest r;
  r.action = action;
  r.source = source;
  r.ask = ask;
  return r;
}
}  // namespace

const char* EndActionName(EndAction action) {
  switch (action) {
    case EndAction::ShutDown: return "シャットダウン";
    case EndAction::Restart: return "再起動";
    case EndAction::LogOff: return "ログオフ";
    case EndAction::Standby: return "スタンバイ";
    case EndAction::Hibernate: return "休止状態";
    case EndAction::PowerOff: break;
  }
  return "電源切断";
}

// ---------------------------------------------------------------- makers
EndRequest FromButton(EndAction action) {
  EndRequest r = Request(action, EndSource::Button, true);
  r.followsHibernateSwitch = action == EndAction::Standby;
  return r;
}

EndRequest FromTrayItem(EndAction action) { return Request(action, EndSource::Tray, true); }

EndRequest FromTimerHotKey(std::uint32_t minutes) {
  EndRequest r = Request(EndAction::PowerOff, EndSource::HotKey, false);
  r.when = EndTime::In;
  r.minutes = minutes;
  return r;
}

EndRequest FromSchedule(EndAction action, double firingDay) {
  EndRequest r = Request(action, EndSource::Schedule, false);
  r.when = EndTime::AtDay;
  r.day = firingDay;
  return r;
}

EndRequest FromRunner(EndAction action) {
  EndRequest r = Request(action, EndSource::Runner, action == EndAction::PowerOff);
  r.followsHibernateSwitch = action == EndAction::Standby;
  return r;
}

// ---------------------------------------------------------------- policy
bool Actions::StoredExitBan() {
  try {
    settings::SettingsStore store;
    return store.ReadBool(settings::key::F6, settings::key::C4, false);
  } catch (const settings::StoreError&) {
    return false;
  }
}

Refusal Actions::Check(const EndRequest& r) const {
  switch (r.source) {
    case EndSource::Button:
    case EndSource::Tray:
      // What the main window offers is what the user chose; the exit ban
      // switches its buttons off, and the system's query answers it.
    case EndSource::Runner:
      // Judged when it was asked for; its time has come.
      return Refusal::None;
    case EndSource::Schedule:
      // An end already pending (or a program waited for) comes first, and
      // the exit ban holds: the firing is skipped.
      if (runnerWaiting_ || (counting_ && !acted_)) return Refusal::Busy;
      if (StoredExitBan()) return Refusal::ExitBan;
      return Refusal::None;
    case EndSource::HotKey:
    case EndSource::CommandLine:
      break;
  }
  if (StoredExitBan()) return Refusal::ExitBan;
  // A count replaces a running one, but never the runner's wait for a program.
  if (r.Pending() && runnerWaiting_) return Refusal::Busy;
  if (r.when == EndTime::WhenConditionsHold && !host_.ConditionsOffered(r.conditions))
    return Refusal::ConditionsNotOffered;
  return Refusal::None;
}

Refusal Actions::CheckCancel() const { return counting_ ? Refusal::None : Refusal::NothingToCancel; }

Refusal Actions::Cancel() {
  const Refusal refusal = CheckCancel();
  if (refusal == Refusal::None) host_.StopPendingEnd();
  return refusal;
}

Refusal Actions::CheckLock() const {
  if (lockUp_) return Refusal::Locked;
  if (!lockOffered_) return Refusal::NoLock;
  // Not while the stopwatch has the lock button switched off.
  if (stopwatchOpen_) return Refusal::Busy;
  return Refusal::None;
}

Refusal Actions::Submit(const EndRequest& request) {
  const Refusal refusal = Check(request);
  if (refusal == Refusal::None) Run(request);
  return refusal;
}

// ---------------------------------------------------------------- running
void Actions::Run(const EndRequest& r) {
  if (r.Pending()) {
    host_.StartPendingEnd(r);
    return;
  }
  switch (r.action) {
    case EndAction::Standby: RunSleep(r.followsHibernateSwitch && hibernateSwitch_, r.ask); break;
    case EndAction::Hibernate: RunSleep(true, r.ask); break;
    default: RunExit(r.action, r.ask); break;
  }
}

void Actions::RunExit(EndAction action, bool ask) {
  const ExitRow row = RowOf(action);
  host_.SaveMainSettings();
  if (action == EndAction::PowerOff && powerOffQuestionSkipped_) ask = false;
  if (ask && !Ask(row.question)) return;

  auto& p = platform::Get();
  platform::OsVersion v = p.GetVersionEx();
  if (v.platformId == platform::kPlatformWindows) {
    if (row.driveCheck) CheckDriveInsertion();
    if (!p.ExitWindowsEx(row.flags9x, 0)) host_.ShowStatusMessage(kExitError);
  } else if (v.platformId == platform::kPlatformNT) {
    const bool held = WithShutdownPrivilege(host_, [&] {
      if (!p.ExitWindowsEx(row.flagsNT, 0)) host_.ShowStatusMessage(kExitError);
    });
    if (!held) return;
  }
  if (action == EndAction::LogOff) host_.CloseMainWindow();
}

void Actions::RunSleep(bool hibernate, bool ask) {
  if (ask && !Ask("移行してもよろしいですか？")) return;
  const bool suspend = !hibernate;
  auto& p = platform::Get();
  platform::OsVersion v = p.GetVersionEx();
  if (v.platformId == platform::kPlatformWindows) {
    if (!p.SetSystemPowerState(suspend, false)) host_.ShowStatusMessage(kExitError);
  } else if (v.platformId == platform::kPlatformNT) {
    WithShutdownPrivilege(host_, [&] {
      if (!Sleep(p, v, suspend)) host_.ShowStatusMessage(kExitError);
    });
  }
}

}  // namespace session
