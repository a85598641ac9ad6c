// Ending the Windows session: the exit actions, the shutdown privilege, the
// drive-insertion warning, standby and hibernate, and the answer to the
// system's end-of-session query. The main window supplies what these need
// through MainWindowAccess.
#pragma once

#include <string>

#include "toolkit/toolkit.h"

namespace session {

constexpr const char* kCaption = "Kivo-Config For Windows";
constexpr const char* kExitError = "Error ExitWindowEx";
constexpr const char* kShutdownBlockReason =
    "Kivo-Config: Windowsの終了が禁止されています（詳細設定で解除できます）";

class MainWindowAccess {
 public:
  virtual ~MainWindowAccess() = default;
  virtual void SaveMainSettings() = 0;
  virtual void ShowStatusMessage(const std::string& text) = 0;
  virtual bool ExitConfirmationSkipped() const = 0;
  // Set by the program runner from its OK until it closes.
  virtual void SetExitConfirmationSkipped(bool skipped) = 0;
  // What the program runner does when its time is up (TimedAction): the
  // power-off is the main window's Button4Click itself; the others are the
  // same actions without their question.
  virtual void RunTimedAction(int action) = 0;
  virtual void CloseMainWindow() = 0;
  virtual void PostCloseMainWindow() = 0;
  virtual bool HibernateChecked() const = 0;
  // Button1 … Button4, the four exit buttons.
  virtual void DisableExitButtons() = 0;
  virtual bool ExitButtonsEnabled() const = 0;
  // The main window's colour, also given to its information labels.
  virtual void ApplyColor(tk::Color color) = 0;
  virtual tk::WindowHandle MainWindowHandle() const = 0;
  // True while the screen lock is up: no window of the program but the
  // lock's own may then be shown or take input.
  virtual bool InputLocked() const = 0;
};

enum class ExitKind { LogOff, Restart, ShutDown, PowerOff };

// The runner's choice of action, as stored ("F12"/"ACT"); the command line
// also asks for hibernation by name, which the runner's list does not offer.
enum TimedAction {
  kTimedPowerOff = 0,
  kTimedShutDown,
  kTimedRestart,
  kTimedLogOff,
  kTimedStandby,
  kTimedHibernate
};
// Their names as the runner shows them.
const char* TimedActionName(int action);
// Runs a timed action on the main window.
void RunTimedAction(MainWindowAccess& main, int action);

// One exit action: save, ask, request the end of the session for the running
// family (with the shutdown privilege on NT), report failures in the status bar.
void RunExitAction(MainWindowAccess& main, ExitKind kind, bool ask = true);

// Enables or disables a privilege of this process's token; raises tk::Error
// with "ErrOpenProcess", "Error LookupPrivilegeValue" or
// "Error AdjustTokenPrivileges".
void SetTokenPrivilege(const std::string& privilege, const std::string& systemName, bool enable);

// Warns when the configured drive holds readable media.
void CheckDriveInsertion();

// The standby button: suspends, or hibernates when the hibernation box is
// checked; the command line names the one it wants.
enum class SleepKind { AsChecked, Standby, Hibernate };
void RunStandby(MainWindowAccess& main, bool ask = true, SleepKind kind = SleepKind::AsChecked);

// The answer to WM_QUERYENDSESSION: 0 refuses (exit ban), 1 allows and posts
// the main window's close.
int AnswerQueryEndSession(MainWindowAccess& main);

// Keeps the system's shutdown-block reason in step with the exit ban where the
// system has one (Vista and later); a no-op elsewhere.
void UpdateShutdownBlockReason(tk::WindowHandle window, bool banned);

}  // namespace session
