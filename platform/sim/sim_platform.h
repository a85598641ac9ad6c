// A simulated Windows machine for the native tests: a chosen Windows version,
// a registry with value types, files, profile files, top-level windows, and a
// journal of every platform call with its exact arguments.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace platform {

class SimPlatform : public Platform {
 public:
  SimPlatform();

  // ---- the machine, set by tests
  // The Windows the machine is (what RtlGetVersion tells); GetVersionEx
  // tells the program less on 8.1 and later unless its manifest names them.
  OsVersion version{5, 1, 2600, kPlatformNT};
  bool versionFails = false;
  // The newest Windows the program's manifest names as supported, as major
  // and minor version: kivo_config's names Vista to 10, which covers 11; a
  // program without supportedOS entries is {0, 0}. On 8.1 and later
  // GetVersionEx reports 8 (6.2.9200) to a program that names neither 8.1
  // nor 10, and 8.1 (6.3.9600) to one that names 8.1 but not 10.
  std::pair<std::uint32_t, std::uint32_t> manifestSupports{10, 0};
  bool hasRtlGetVersion = true;  // ntdll's, 2000 and later
  // Makes the machine one release of Windows, with what that release has
  // and lacks: "95", "98", "98SE", "Me", "NT4", "2000", "XP", "Vista", "7",
  // "8", "8.1", "10" (build 19045) and "11" (10.0, build 22631). Throws
  // std::invalid_argument for any other name.
  void UseRelease(const std::string& name);
  // The releases UseRelease knows, oldest first.
  static const std::vector<std::string>& Releases();
  std::uint32_t tickCount = 0;
  // The process's age; each reading moves it on by processAgeStep.
  std::uint64_t processAge = 0;
  std::uint64_t processAgeStep = 0;
  std::map<std::string, std::string> environment;
  std::uint64_t totalPhys = 256u * 1024 * 1024;  // the machine's memory
  bool hasGlobalMemoryStatusEx = true;            // 2000 and later
  std::set<std::string> files;    // files whose contents do not matter (case-insensitive)
  std::set<std::string> volumes;  // root paths with readable media ("A:\")
  bool powerStateResult = true;
  // powrprof.dll (98, Me, 2000 and later): what GetPwrCapabilities answers
  // (nothing: the call fails) and SetSuspendState's outcome.
  bool hasPowrProf = true;
  std::optional<PowerCapabilities> powerCapabilities = PowerCapabilities{true, false, true, true, true};
  bool suspendStateResult = true;
  // LockWorkStation (2000 and later); with a refusal set it fails with that
  // error, as Wine's stub does with ERROR_CALL_NOT_IMPLEMENTED. workstationLocks
  // counts the locks the system was asked for.
  bool hasLockWorkStation = true;
  std::optional<std::uint32_t> lockWorkStationRefusal;
  int workstationLocks = 0;
  std::string dateTimeText = "2026/12/07 9:30:00";
  double now = 46363.0;  // days
  double nowStep = 0;    // added to now after each Now() call
  std::string executablePath = "C:\\Program Files\\Kivo\\kivo_config.exe";
  std::string windowsDirectory = "C:\\WINDOWS";
  bool mutexFails = false;
  // Names of mutexes that exist: held by other processes, or made by
  // CreateMutex until its last handle is closed.
  std::set<std::string> mutexes;
  bool openTokenResult = true;
  bool lookupResult = true;
  std::uint32_t adjustLastError = 0;  // left by AdjustTokenPrivileges
  bool exitWindowsResult = true;
  bool registryWritable = true;   // false: creating keys fails
  std::set<std::string> readOnlySections;  // key paths whose creation fails
  Point cursor{100, 200};
  std::map<std::string, Handle> windowsByClass;  // FindWindow(class, NULL)
  std::map<std::string, Handle> windowsByTitle;  // FindWindow(NULL, title)
  // Windows of other processes, by class (FindOtherProcessWindow).
  std::map<std::string, Handle> otherProcessWindows;
  // What a window of another process answers to WM_COPYDATA (tag, bytes);
  // without one the send times out.
  std::function<std::intptr_t(Handle, std::uint32_t, const std::string&)> copyDataAnswer;
  // Hotkeys: those other programs hold (modifiers, key), and ours by window and id.
  std::set<std::pair<std::uint32_t, std::uint32_t>> hotkeysOfOthers;
  std::map<std::pair<Handle, int>, std::pair<std::uint32_t, std::uint32_t>> hotkeys;
  std::string commandLine = "\"C:\\Program Files\\Kivo\\kivo_config.exe\"";
  std::uintptr_t shellExecuteResult = 42;
  std::uint32_t shellExecuteLastError = 0;  // left by ShellExecute
  std::uint32_t mciResult = 0;
  bool hasShutdownBlockReason = true;  // Vista and later
  std::map<Handle, std::string> blockReasons;  // registered reasons by window
  // File contents by path (case-insensitive); lockedFiles are open in
  // another program: they cannot be read, written, deleted or replaced.
  std::map<std::string, std::string> fileContents;
  std::set<std::string> lockedFiles;
  // Short (8.3) paths by their long ones, for GetShortPathName and
  // GetLongPathName; any other path that is there (a file, the program
  // itself) is its own short and long form.
  std::map<std::string, std::string> shortPathNames;
  bool hasGetLongPathName = true;  // 98, 2000 and later
  // Writes into these folders stop after that many bytes with
  // ERROR_DISK_FULL (a disk that fills up, a network drive that goes away),
  // the file holding what was written.
  std::map<std::string, std::uint64_t> writeLimits;
  // Names another program makes again as soon as they are deleted (it saves
  // the same file meanwhile): DeleteFile succeeds, and right after it a file
  // of that name exists again, holding recreatedContents.
  std::set<std::string> recreatedFiles;
  std::string recreatedContents = "another program's file";
  std::map<Handle, std::uint32_t> windowStyles;  // GetWindowLong(GWL_STYLE)
  // The clipboard: its sequence number (0: the system has none) and the
  // bytes of its bitmap (CF_DIB), as any program may have put them there.
  std::uint32_t clipboardSequence = 1;
  std::optional<std::string> clipboard;
  std::optional<std::string> clipboardPng;  // the registered "PNG" format
  // What a Print Screen key puts on the clipboard (the system's handling, a
  // CF_DIB); without it the keys change nothing, as under Wine.
  std::optional<std::string> printScreenPicture;
  Bitmap screen;  // what CaptureScreen reads (the whole virtual screen for 0)
  // How many more times ScreenPaintPending answers that the screen is still
  // being painted (another program's windows paint on their own time).
  int screenPaintsPending = 0;
  // The virtual screen and the monitors (left, top, right, bottom); the
  // first monitor is the primary one.
  std::array<int, 4> virtualScreen{0, 0, 1024, 768};
  int screenDpi = 96;
  std::vector<std::array<int, 4>> monitors{{0, 0, 1024, 768}};
  // Each monitor's work area, in the same order (the monitor itself where
  // none is given); 95 and NT 4 know only the primary one's.
  std::vector<std::array<int, 4>> workAreas;
  // Folders where nothing can be written (ERROR_ACCESS_DENIED), and the
  // user's picture folder ("" where the system has none).
  std::set<std::string> readOnlyFolders;
  std::string picturesFolder = "C:\\Documents and Settings\\user\\My Documents\\My Pictures";
  std::map<Handle, std::vector<std::string>> drops;  // files of each drop handle
  std::set<Handle> acceptingDrops;
  // Top-level windows, topmost first: handle and title.
  static constexpr Handle kDesktop = 0x10010;
  std::vector<std::pair<Handle, std::string>> topWindows;
  std::array<std::uint8_t, 256> keyboardState{};
  // The keyboard layout: which key and shift state gives each character
  // (VkKeyScan) and the keys' scan codes (MapVirtualKey). Japanese is the
  // machine the program was made for; Wine's default is the US layout.
  enum class KeyboardLayout { Japanese, US, German };
  KeyboardLayout keyboardLayout = KeyboardLayout::Japanese;
  // The character a key gives on that layout with the modifiers held (1
  // Shift, 2 Ctrl, 4 Alt), 0 for none: what the focused window receives.
  char16_t KeyChar(std::uint8_t vk, unsigned modifiers) const;
  bool keyboardStateFails = false;
  // Files that ShellExecute cannot find (it answers 2, ERROR_FILE_NOT_FOUND).
  std::set<std::string> missingFiles;
  // Programs that start, by full name, compared case-insensitively. As on
  // Windows, a command line names its program in quotes or, unquoted, by its
  // shortest text up to a blank that names one; ".exe" is added to a name
  // without an extension.
  std::set<std::string> programs;
  // Answers MsgWaitForObject; without it every wait finds the object signalled.
  std::function<std::uint32_t(Handle)> onMsgWait;
  std::set<Handle> openHandles;  // process and thread handles not closed yet
  // Libraries that load, with their int __stdcall f(int) functions by name.
  std::map<std::string, std::map<std::string, std::function<int(int)>>> libraries;
  std::set<Handle> loadedLibraries;

  // What the machine is doing, for the runner's end conditions. CPU times
  // as GetSystemTimes gives them (hasGetSystemTimes: XP SP1 and later; NT 4
  // and 2000 answer the same through NtQuerySystemInformation, summed over
  // cpuCount processors; the 95 family neither).
  CpuTimes cpuTimes;
  bool hasGetSystemTimes = true;
  unsigned cpuCount = 1;
  // The 95 family's own CPU usage in percent (HKEY_DYN_DATA\PerfStats,
  // "KERNEL\CPUUsage"): it reads 0 until StartStat has been read, and
  // again once StopStat has been read.
  std::uint32_t cpuUsage9x = 0;
  bool cpuStatRunning = false;
  // The interfaces GetIfTable lists (iphlpapi: 98/2000 and later); the
  // counters wrap at 32 bits and an interface may go away at any time.
  bool hasIfTable = true;
  std::vector<InterfaceCounters> interfaces;
  // GetLastInputInfo (2000 and later): the tick count of the last input.
  bool hasLastInputInfo = true;
  std::uint32_t lastInputTick = 0;
  // SetThreadExecutionState (98/2000 and later) and this thread's state.
  bool hasExecutionState = true;
  std::uint32_t executionState = 0;

  // ---- what happened
  std::vector<std::string> journal;  // "Name(arg, arg, ...)" per call
  std::vector<std::string> started;  // the programs CreateProcess started, as listed in programs
  std::map<Handle, int> shownWindows;  // last ShowWindow command per window
  std::vector<NotifyIconData> trayIcons;  // icons currently added
  // The shell's tray: while it is not there (the shell not started yet, or
  // ended) NIM_ADD fails; RestartShell loses every icon, as a shell that
  // ends and starts again does.
  bool trayRunning = true;
  void RestartShell() { trayIcons.clear(); }
  // Names given to RegisterWindowMessage, by number.
  std::map<unsigned, std::string> registeredMessages;

  // Journal entries starting with a call name, e.g. Calls("ExitWindowsEx").
  std::vector<std::string> Calls(const std::string& name) const;
  void ClearJournal() { journal.clear(); }

  // ---- registry access for tests (full paths below HKEY_CURRENT_USER)
  void SetValue(const std::string& keyPath, const std::string& name, const RegValue& v);
  void SetString(const std::string& keyPath, const std::string& name, const std::string& text);
  std::optional<RegValue> GetValue(const std::string& keyPath, const std::string& name) const;
  // The text of a string value without its terminating NUL.
  std::optional<std::string> GetString(const std::string& keyPath, const std::string& name) const;
  bool KeyExists(const std::string& keyPath) const;
  size_t OpenKeyCount() const { return handles_.size(); }

  // ---- profile files (win.ini), as whole texts keyed by lower-case file name
  std::map<std::string, std::string> profileFiles;
  // NT and Wine map win.ini's [windows] section to the registry, where values
  // are read back with their quotes.
  bool profileMappedToRegistry = false;

  // Platform
  Handle CreateMutex(const std::string& name) override;
  bool ReleaseMutex(Handle mutex) override;
  std::uint32_t GetLastError() override { return lastError_; }
  void SetLastError(std::uint32_t code) override { lastError_ = code; }
  OsVersion GetVersionEx() override;
  std::optional<OsVersion> RtlGetVersion() override;
  std::uint32_t GetTickCount() override;
  std::uint64_t ProcessAgeMicroseconds() override;
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override;
  MemoryStatus GlobalMemoryStatus() override;
  bool FileExists(const std::string& path) override;
  std::optional<std::string> GetLongPathName(const std::string& path) override;
  std::optional<std::string> GetShortPathName(const std::string& path) override;
  bool GetVolumeInformation(const std::string& rootPath) override;
  bool SetSystemPowerState(bool suspend, bool force) override;
  std::optional<PowerCapabilities> GetPwrCapabilities() override;
  bool SetSuspendState(bool hibernate, bool force, bool disableWakeEvent) override;
  std::string FormatLocalDateTime() override;
  double Now() override;
  std::string ExecutablePath() override { return executablePath; }
  std::string CommandLine() override { return commandLine; }
  bool CreateProcess(const std::string& commandLine, ProcessInfo& info) override;
  std::uint32_t MsgWaitForObject(Handle object, std::uint32_t timeoutMs) override;
  Handle LoadLibrary(const std::string& name) override;
  std::uintptr_t GetProcAddress(Handle module, const std::string& name) override;
  void FreeLibrary(Handle module) override;
  int CallStdcallInt(std::uintptr_t function, int argument) override;
  std::string WindowsDirectory() override { return windowsDirectory; }
  // The Windows directory's "SYSTEM" on the 95 family, "system32" on NT.
  std::string SystemDirectory() override {
    return windowsDirectory + (version.platformId == kPlatformNT ? "\\system32" : "\\SYSTEM");
  }
  bool OpenProcessToken(std::uint32_t access, Handle& token) override;
  bool LookupPrivilegeValue(const std::string& systemName, const std::string& name,
                            std::uint64_t& luid) override;
  bool AdjustTokenPrivileges(Handle token, std::uint64_t luid, std::uint32_t attributes) override;
  void CloseHandle(Handle h) override;
  long RegCreateKeyEx(Handle parent, const std::string& subKey, std::uint32_t access,
                      Handle& key) override;
  long RegOpenKeyEx(Handle parent, const std::string& subKey, std::uint32_t access,
                    Handle& key) override;
  long RegQueryValueEx(Handle key, const std::string& name, RegValue& value) override;
  bool GetSystemTimes(CpuTimes& times) override;
  bool GetIfTable(std::vector<InterfaceCounters>& rows) override;
  bool GetLastInputInfo(std::uint32_t& tick) override;
  std::uint32_t SetThreadExecutionState(std::uint32_t flags) override;
  long RegSetValueEx(Handle key, const std::string& name, const RegValue& value) override;
  long RegDeleteValue(Handle key, const std::string& name) override;
  long RegCloseKey(Handle key) override;
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) override;
  Handle FindOtherProcessWindow(const std::string& className) override;
  unsigned RegisterWindowMessage(const std::string& name) override;
  bool RegisterHotKey(Handle window, int id, std::uint32_t modifiers, std::uint32_t vk) override;
  bool UnregisterHotKey(Handle window, int id) override;
  bool SendCopyData(Handle window, std::uint32_t tag, const std::string& bytes,
                    std::uint32_t timeoutMs, std::intptr_t& reply) override;
  Handle FindWindow(const std::optional<std::string>& className,
                    const std::optional<std::string>& title) override;
  bool ShowWindow(Handle window, int command) override;
  void EnableSystemMenuItem(Handle window, std::uint32_t item, std::uint32_t flags) override;
  bool SystemParametersInfo(std::uint32_t action, std::uint32_t param,
                            std::uint32_t winIni) override;
  Point GetCursorPos() override;
  std::intptr_t SendMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  bool SetForegroundWindow(Handle window) override;
  Handle GetForegroundWindow() override { return foreground; }
  Handle foreground = 0;  // the window SetForegroundWindow last brought up
  void DisableIme(Handle window) override;
  void OpenIme(Handle window) override;
  void CloseIme(Handle window) override;
  void KeybdEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
  std::uint32_t MapVirtualKey(std::uint32_t code, std::uint32_t mapType) override;
  std::uint16_t VkKeyScan(char16_t ch) override;
  bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override;
  Handle GetDesktopWindow() override { return kDesktop; }
  Handle GetWindow(Handle window, std::uint32_t command) override;
  std::string GetWindowText(Handle window) override;
  std::string ErrorText(std::uint32_t code) override;
  int CompareString(std::uint32_t locale, std::uint32_t flags, const std::string& a,
                    const std::string& b) override;
  bool ShutdownBlockReasonCreate(Handle window, const std::string& reason) override;
  bool ShutdownBlockReasonDestroy(Handle window) override;
  bool LockWorkStation() override;
  bool ReadFile(const std::string& path, std::string& data, std::uint64_t maxBytes) override;
  bool WriteFile(const std::string& path, const std::string& data) override;
  std::string GetTempFileName(const std::string& folder, const std::string& prefix) override;
  bool DeleteFile(const std::string& path) override;
  bool MoveFile(const std::string& from, const std::string& to) override;
  bool MoveFileEx(const std::string& from, const std::string& to, std::uint32_t flags) override;
  std::string PicturesFolder() override { return picturesFolder; }
  std::array<int, 4> VirtualScreen() override { return virtualScreen; }
  std::array<int, 4> MonitorAt(Point point) override;
  std::array<int, 4> WorkAreaNear(const std::array<int, 4>& rect) override;
  int ScreenDpi() override { return screenDpi; }
  std::uint32_t GetWindowStyle(Handle window) override;
  std::uint32_t GetClipboardSequenceNumber() override { return clipboardSequence; }
  bool SetClipboardPicture(Handle owner, const std::string& dib, const std::string& png) override;
  bool GetClipboardPng(std::string& png) override;
  bool GetClipboardDib(std::string& dib) override;
  bool CaptureScreen(Handle window, Bitmap& out, bool withCursor) override;
  bool ScreenPaintPending() override;
  void RepaintScreen() override;
  void DragAcceptFiles(Handle window, bool accept) override;
  std::vector<std::string> DragQueryFiles(Handle drop) override;
  void DragFinish(Handle drop) override;
  bool ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) override;
  std::uintptr_t ShellExecute(Handle owner, const std::optional<std::string>& verb,
                              const std::string& file,
                              const std::optional<std::string>& parameters,
                              const std::optional<std::string>& directory, int show) override;
  void SHAddToRecentDocs(std::uint32_t flags, const std::string* path) override;
  std::string GetProfileString(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& def) override;
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override;
  std::uint32_t MciSendCommand(std::uint32_t deviceId, std::uint32_t command,
                               std::uint32_t flags, const std::string& deviceType,
                               std::uint32_t& openedId) override;

 private:
  struct Key {
    std::map<std::string, RegValue> values;  // by lower-case name
  };
  void Log(const std::string& entry) { journal.push_back(entry); }
  std::string PathOf(Handle parent, const std::string& sub) const;
  // HKEY_DYN_DATA ("HKDD\\…"): the 95 family's PerfStats keys only.
  static bool DynData(const std::string& path);
  long OpenDynData(const std::string& path, Handle& key);
  long QueryDynData(const std::string& path, const std::string& name, RegValue& value);
  // Files by name, compared without case as the file system does.
  std::map<std::string, std::string>::iterator FindContents(const std::string& path);
  bool Exists(const std::string& path);
  bool Locked(const std::string& path) const;
  bool ReadOnlyFolder(const std::string& path) const;
  void Remove(const std::string& path);
  bool Rename(const std::string& call, const std::string& from, const std::string& to, bool replace);
  unsigned nextTempName_ = 0;
  // Our mutex handles by name, and the names in mutexes that we made.
  std::map<Handle, std::string> mutexHandles_;
  std::set<std::string> ownMutexNames_;
  std::map<std::string, Key> keys_;  // by lower-case full path
  std::map<Handle, std::string> handles_;
  Handle nextHandle_ = 0x1000;
  std::map<Handle, std::string> libraryNames_;
  std::vector<const std::function<int(int)>*> functions_;  // by address - 1
  std::uint32_t lastError_ = 0;
  // A call that fails with the system's error code.
  bool Refuse(std::uint32_t error) {
    lastError_ = error;
    return false;
  }
};

// Quotes a text for the journal: "text"; absent optionals read NULL.
std::string Quote(const std::string& s);
std::string Quote(const std::optional<std::string>& s);

}  // namespace platform
