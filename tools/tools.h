// The launchers of control-panel applets, consoles, tools and games, and the
// desktop toggles of the main window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tools {

// Runs the launcher of a main-window button (6 … 15 and 19) for the running
// Windows version. Reports "実行ファイルが見つかりません" through status for
// the rows that check for a missing program.
void Launch(int button, platform::Handle owner,
            const std::function<void(const std::string&)>& status);
// From Vista on, where the table's programs may be gone (Solitaire and
// FreeCell from the system folder, applets and consoles on some editions):
// for each of the buttons, why its launcher's program is not on this system
// ("このWindowsには sol.exe がありません"), "" when it is there or on an
// older Windows. It looks where the launcher starts it from: an applet's
// program and the applet in the system folder, a bare name started by its
// default action where the shell finds it (the system folder, the Windows
// folder, the PATH), a game in the system folder; each file once.
std::vector<std::string> MissingPrograms(const std::vector<int>& buttons);

// Hides (true) or shows the shell's taskbar window.
void SetTaskbarHidden(bool hidden);
// Suspends (true) or restores the system's forced-termination keys.
void SetForcedTerminationDisabled(bool disabled);
// Adds or removes a program's full path in the "run" entry of section
// "windows" of win.ini, leaving every other program's entry as it was. On
// NT 6 and later, where Task Manager and Settings list start-up programs
// only from the Run keys, the entry is the value "kivo_config" under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run instead, and an entry
// of ours still in win.ini is taken out of it.
void SetStartupRegistration(bool registered, const std::string& exePath);
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValue = "kivo_config";
// The run-entry list edit itself: returns the new entry text.
std::string EditRunEntry(const std::string& entry, const std::string& exePath, bool registered);
// Opens (true) or closes the CD tray of the default CD-audio device.
void MoveCdTray(bool open);
// Empties the shell's list of recently used documents.
void PurgeRecentDocuments();

}  // namespace tools
