// Ending the Windows session: the shutdown privilege, the drive-insertion
// warning and the answer to the system's end-of-session query (the ends
// themselves are session/actions.h). The main window supplies what these
// need through MainWindowAccess.
#pragma once

#include <string>

#include "toolkit/toolkit.h"

namespace session {

constexpr const char* kCaption = "Kivo-Config For Windows";
constexpr const char* kExitError = "Error ExitWindowEx";
constexpr const char* kShutdownBlockReason =
    "Kivo-Config: Windowsの終了が禁止されています（詳細設定で解除できます）";

// What the detailed settings and the answer to the system's query need of
// the main window. The actions of the end reach it through EndHost
// (session/actions.h).
class MainWindowAccess {
 public:
  virtual ~MainWindowAccess() = default;
  virtual void PostCloseMainWindow() = 0;
  // Button1 … Button4, the four exit buttons.
  virtual void DisableExitButtons() = 0;
  virtual bool ExitButtonsEnabled() const = 0;
  // The main window's colour, also given to its information labels.
  virtual void ApplyColor(tk::Color color) = 0;
  virtual tk::WindowHandle MainWindowHandle() const = 0;
};

// Enables or disables a privilege of this process's token; raises tk::Error
// with "ErrOpenProcess", "Error LookupPrivilegeValue" or
// "Error AdjustTokenPrivileges".
void SetTokenPrivilege(const std::string& privilege, const std::string& systemName, bool enable);

// Warns when the configured drive holds readable media.
void CheckDriveInsertion();

// The answer to WM_QUERYENDSESSION: 0 refuses (exit ban), 1 allows and posts
// the main window's close.
int AnswerQueryEndSession(MainWindowAccess& main);

// Keeps the system's shutdown-block reason in step with the exit ban where the
// system has one (Vista and later); a no-op elsewhere.
void UpdateShutdownBlockReason(tk::WindowHandle window, bool banned);

}  // namespace session
