// The catalogue of the application key: every section and ident the windows
// read or write, as named constants.
#pragma once

namespace settings {

constexpr const char* kApplicationKey = "Software\\Kivo_Project\\Ve_Dizo\\Kivo_Shutdown";

namespace key {
// Sections.
constexpr const char* F1 = "F1";    // main window
constexpr const char* F4 = "F4";    // stopwatch
constexpr const char* F6 = "F6";    // detailed settings, main window colour
constexpr const char* F8 = "F8";    // user settings
constexpr const char* F9 = "F9";    // lock set-up
constexpr const char* F10 = "F10";  // resource meter
constexpr const char* F11 = "F11";  // program runner
constexpr const char* F12 = "F12";  // timer setting
constexpr const char* F13 = "F13";  // image viewer
constexpr const char* F15 = "F15";  // network command console
constexpr const char* F17 = "F17";  // console options
constexpr const char* F18 = "F18";  // web explorer
constexpr const char* F20 = "F20";  // internet options

// Window position, in every section of a window that remembers it.
constexpr const char* X = "X";
constexpr const char* Y = "Y";
// The resizable windows' state and normal size.
constexpr const char* WS = "WS";
constexpr const char* H = "H";
constexpr const char* W = "W";

// "F1": the main window (app/main_window_settings.h).
constexpr const char* HibernationNoticeShown = "TITLE_TAG";
constexpr const char* StandbyHibernates = "KYUSI";
constexpr const char* TaskbarHidden = "TASK";
constexpr const char* ForcedTerminationDisabled = "TITLE";
constexpr const char* StatusBarHidden = "STATUS";
constexpr const char* StartWithWindows = "STARTUP";

// "F6": detailed settings.
constexpr const char* C1 = "C1";  // purge recent documents when Windows ends
constexpr const char* C2 = "C2";  // no start-up logo
constexpr const char* C3 = "C3";  // drive check when Windows ends
constexpr const char* C4 = "C4";  // exit ban
constexpr const char* C5 = "C5";  // start in the task tray
constexpr const char* C6 = "C6";  // wave at exit (kept, not acted on)
constexpr const char* CB = "CB";  // drive list index
constexpr const char* DR = "DR";  // drive letter to check
constexpr const char* MainWindowColor = "CL";

// "F8": user settings.
constexpr const char* LockTitle = "Title";
constexpr const char* User = "User";
constexpr const char* MainWindowCaption = "Form1C";
constexpr const char* Coment = "Coment";

// "F15", "F17": network command console and its options.
constexpr const char* CK1 = "CK1";  // ipconfig /all
constexpr const char* CK2 = "CK2";  // ipconfig | more
constexpr const char* ED1 = "ED1";  // special build name (console caption)
constexpr const char* ED2 = "ED2";  // row-1 address button name
constexpr const char* ED3 = "ED3";  // row-2 address button name
// Also "C1" (hide the main window), "CB1" … "CB12" (digit item indexes) and
// "CBI1" … "CBI12" (digit texts), numbered in the code.

// "F13": image viewer. Also "WS" (maximised), "H" and "W" (normal size).

// "F18", "F20": web explorer and its internet options. Also "WS", "H", "W"
// (placement), "fav0" … "fav6" (favourites), "CBI" and "CBI2" (selections).
constexpr const char* HomePage = "homepage";

// "HotKey": the global hotkeys, one text per action ("Ctrl+Alt+S"; "" none).
constexpr const char* HotKey = "HotKey";
constexpr const char* TimerMinutes = "TimerMinutes";  // the timer hotkey's minutes

// "Capture": captures saved to files.
constexpr const char* Capture = "Capture";
constexpr const char* ToFile = "ToFile";    // Bool: also save each capture to a file
constexpr const char* Folder = "Folder";    // String: "" for the user's picture folder
constexpr const char* Pattern = "Pattern";  // String: the file name with %Y %m %d %H %M %S
constexpr const char* Format = "Format";    // String: "png", "jpg" or "bmp"
constexpr const char* Quality = "Quality";  // Integer: JPEG quality, 90
constexpr const char* Monitor = "Monitor";  // Integer: 0 every monitor, 1 the one under the mouse
constexpr const char* Cursor = "Cursor";    // Bool: the mouse cursor drawn into desktop captures
constexpr const char* Delay = "Delay";      // Integer: seconds before each capture, 0, 3, 5 or 10
constexpr const char* Region = "Region";    // String: the last region, "left,top,width,height"

// "F12": the runner's timer setting.
constexpr const char* Mode = "MODE";  // 0 after a time, 1 at a time of day, 2 when the program ends, 3 when the conditions hold
constexpr const char* Act = "ACT";    // the end: 0 … 4 (power off, shut down, restart, log off, standby)
constexpr const char* CountItems[] = {"CB1", "CB2", "CB3"};    // the hour/minute/second lists' indexes
constexpr const char* CountTexts[] = {"CBI1", "CBI2", "CBI3"};  // their texts

// "Conditions": the runner's end conditions (TForm12), each on or off
// (Bool) with its threshold and minutes (Integer).
constexpr const char* Conditions = "Conditions";
constexpr const char* CpuOn = "CpuOn";
constexpr const char* CpuPercent = "CpuPercent";  // below this % of the whole machine, default 10
constexpr const char* CpuMinutes = "CpuMinutes";
constexpr const char* NetOn = "NetOn";
constexpr const char* NetKBps = "NetKBps";  // every interface together below this, default 10
constexpr const char* NetMinutes = "NetMinutes";
constexpr const char* IdleOn = "IdleOn";
constexpr const char* IdleMinutes = "IdleMinutes";  // without keyboard or mouse input

// "Schedule": the runner's repeated end at a time of day.
constexpr const char* Schedule = "Schedule";
constexpr const char* On = "On";          // Bool
constexpr const char* Days = "Days";      // String: seven 0/1, Monday first
constexpr const char* At = "At";          // String: "HH:MM"
constexpr const char* Action = "Action";  // String: the command line's name of the end

// "F9": lock set-up.
constexpr const char* Tomei = "tomei";  // transparent lock window
}  // namespace key

// Defaults shared by several call sites.
constexpr const char* kDefaultMainCaption = "KIVO-CONFIG FOR Windows";
constexpr const char* kDefaultLockTitle = "KIVO-CONFIG FOR Windows";
constexpr const char* kDefaultUser = "Administrator";

}  // namespace settings
