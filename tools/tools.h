// The launchers of control-panel applets, consoles, tools and games, and the
// desktop toggles of the main window.
#pragma once

#include <functional>
#include <memory>
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
// looks, one launcher at a time, whether each of the buttons' programs is on
// this system, so that the caller can spread the looks over its idle
// moments (under Wine a missing file costs a search of its folder; a
// thread of its own would cost more than the looks). It looks where the
// launcher starts its program from: an applet's program and the applet in
// the system folder, a bare name started by its default action where the
// shell finds it (the system folder, the Windows folder, the PATH's local
// folders), a game in the system folder; each file once. Older systems are
// not looked at.
class LauncherSearch {
 public:
  explicit LauncherSearch(std::vector<int> buttons);
  ~LauncherSearch();
  LauncherSearch(const LauncherSearch&) = delete;
  LauncherSearch& operator=(const LauncherSearch&) = delete;
  // Looks at the next button's program: false once every button was looked
  // at. reason: why its program is not there ("このWindowsには sol.exe が
  // ありません"), "" when it is or when that cannot be told.
  bool Next(int& button, std::string& reason);

 private:
  struct Finder;
  std::vector<int> buttons_;
  size_t next_ = 0;
  platform::OsVersion version_;
  std::unique_ptr<Finder> finder_;
};

// Hides (true) or shows the shell's taskbar window.
void SetTaskbarHidden(bool hidden);
// Suspends (true) or restores the system's forced-termination keys.
void SetForcedTerminationDisabled(bool disabled);
// Adds or removes a program's full path in the "run" entry of section
// "windows" of win.ini, leaving every other program's entry as it was. On
// NT 6 and later, where Task Manager and Settings list start-up programs
// only from the Run keys, the entry is the value "kivo_config" under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run instead, and an entry
// of ours still in win.ini is taken out of it. That value is ours only while
// it names this program (NamesProgram): another program's is never deleted,
// and is replaced only when replaceOther, asked with the value's text, says
// so; false when it was kept.
bool SetStartupRegistration(bool registered, const std::string& exePath,
                            const std::function<bool(const std::string& other)>& replaceOther = {});
// Whether a command line (a Run value) starts the program at exePath, as
// Windows would find it: quoted or not (an unquoted path with blanks is
// tried up to each blank), in any case, in its short or long form.
bool NamesProgram(const std::string& command, const std::string& exePath);
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValue = "kivo_config";
// The run-entry list edit itself: returns the new entry text.
std::string EditRunEntry(const std::string& entry, const std::string& exePath, bool registered);
// Opens (true) or closes the CD tray of the default CD-audio device.
void MoveCdTray(bool open);
// Empties the shell's list of recently used documents.
void PurgeRecentDocuments();

}  // namespace tools
