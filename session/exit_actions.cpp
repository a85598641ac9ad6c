#include <cstdint>

#include "platform/platform.h"
#include "session/actions.h"
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

ExitRow RowOf(ExitKind kind) {
  switch (kind) {
    case ExitKind::LogOff:
      return {"ログオフしてもよろしいですか？", kEwxLogoff, kEwxLogoff, false};
    case ExitKind::Restart:
      return {"再起動してもよろしいですか？", kEwxReboot, kEwxReboot, true};
    case ExitKind::ShutDown:
      return {"シャットダウンしてもよろしいですか？", kEwxShutdown, kEwxShutdown, true};
    case ExitKind::PowerOff:
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
}  // namespace

void SetTokenPrivilege(const std::string& privilege, const std::string& systemName, bool enable) {
  auto& p = platform::Get();
  platform::Handle token = 0;
  if (!p.OpenProcessToken(platform::kTokenAdjustPrivileges | platform::kTokenQuery, token))
    throw tk::Error("ErrOpenProcess");
  const platform::OwnedHandle owned(token);
  std::uint64_t luid = 0;
  if (!p.LookupPrivilegeValue(systemName, privilege, luid))
    throw tk::Error("Error LookupPrivilegeValue");
  p.SetLastError(0);
  p.AdjustTokenPrivileges(token, luid, enable ? platform::kSePrivilegeEnabled : 0);
  // The outcome is in the last error: ERROR_NOT_ALL_ASSIGNED comes with TRUE.
  if (p.GetLastError() != 0) throw tk::Error("Error AdjustTokenPrivileges");
}

void CheckDriveInsertion() {
  bool check;
  std::string drive;
  {
    settings::SettingsStore store;
    check = store.ReadBool(settings::key::F6, settings::key::C3, false);
    drive = store.ReadString(settings::key::F6, settings::key::DR, "A");
  }
  if (!check) return;
  if (platform::Get().GetVolumeInformation(drive + ":\\")) {
    tk::Application::Instance().MessageBox(
        "ディスクが検出されました。\nBIOSで起動順位の最初をFD以外に設定してある場合は、"
        "このメッセージは無視して下さい。",
        kCaption, tk::mbOk | tk::mbIconExclamation);
  }
}

void RunExitAction(MainWindowAccess& main, ExitKind kind, bool ask) {
  const ExitRow row = RowOf(kind);
  main.SaveMainSettings();
  if (kind == ExitKind::PowerOff && main.ExitConfirmationSkipped()) ask = false;
  if (ask && !Ask(row.question)) return;

  auto& p = platform::Get();
  platform::OsVersion v = p.GetVersionEx();
  if (v.platformId == platform::kPlatformWindows) {
    if (row.driveCheck) CheckDriveInsertion();
    if (!p.ExitWindowsEx(row.flags9x, 0)) main.ShowStatusMessage(kExitError);
  } else if (v.platformId == platform::kPlatformNT) {
    main.ShowStatusMessage("");
    try {
      SetTokenPrivilege(kShutdownPrivilege, "", true);
    } catch (const tk::Error& e) {
      main.ShowStatusMessage(e.what());
      return;
    }
    if (!p.ExitWindowsEx(row.flagsNT, 0)) main.ShowStatusMessage(kExitError);
    try {
      SetTokenPrivilege(kShutdownPrivilege, "", false);
    } catch (const tk::Error& e) {
      main.ShowStatusMessage(e.what());
      return;
    }
  }
  if (kind == ExitKind::LogOff) main.CloseMainWindow();
}

void RunStandby(MainWindowAccess& main, bool ask, SleepKind kind) {
  if (ask && !Ask("移行してもよろしいですか？")) return;
  const bool suspend = kind == SleepKind::AsChecked ? !main.HibernateChecked() : kind == SleepKind::Standby;
  auto& p = platform::Get();
  platform::OsVersion v = p.GetVersionEx();
  if (v.platformId == platform::kPlatformWindows) {
    if (!p.SetSystemPowerState(suspend, false)) main.ShowStatusMessage(kExitError);
  } else if (v.platformId == platform::kPlatformNT) {
    main.ShowStatusMessage("");
    try {
      SetTokenPrivilege(kShutdownPrivilege, "", true);
    } catch (const tk::Error& e) {
      main.ShowStatusMessage(e.what());
      return;
    }
    if (!Sleep(p, v, suspend)) main.ShowStatusMessage(kExitError);
    try {
      SetTokenPrivilege(kShutdownPrivilege, "", false);
    } catch (const tk::Error& e) {
      main.ShowStatusMessage(e.what());
    }
  }
}

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

const char* TimedActionName(int action) { return EndActionName(EndActionOfStored(action)); }

void RunTimedAction(MainWindowAccess& main, int action) {
  switch (action) {
    case kTimedShutDown: RunExitAction(main, ExitKind::ShutDown, false); break;
    case kTimedRestart: RunExitAction(main, ExitKind::Restart, false); break;
    case kTimedLogOff: RunExitAction(main, ExitKind::LogOff, false); break;
    case kTimedStandby: RunStandby(main, false); break;
    case kTimedHibernate: RunStandby(main, false, SleepKind::Hibernate); break;
    default: RunExitAction(main, ExitKind::PowerOff); break;  // asks nothing while skipped
  }
}

}  // namespace session
