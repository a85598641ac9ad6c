// The thin layer over the Win32 operations the system uses. Each member maps
// to one Win32 call (or a fixed pair, where noted) with the same arguments, in
// UTF-8 instead of the native wide text. Two implementations: the Win32 one,
// and the simulated machine of the native tests, which records every call.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

using Handle = std::uintptr_t;  // HANDLE, HKEY, HWND: opaque here

// dwPlatformId values.
constexpr std::uint32_t kPlatformWin32s = 0;
constexpr std::uint32_t kPlatformWindows = 1;  // 95, 98, Me
constexpr std::uint32_t kPlatformNT = 2;

struct OsVersion {
  std::uint32_t major = 0, minor = 0, build = 0, platformId = 0;
};

// Win32 error codes and constants used by callers.
constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorCallNotImplemented = 120;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorNotAllAssigned = 1300;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr Handle kHkeyCurrentUser = 0x80000001;
constexpr Handle kHkeyLocalMachine = 0x80000002;
constexpr std::uint32_t kKeyRead = 0x20019;

constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;
constexpr int kSwShow = 5;
constexpr int kSwRestore = 9;

constexpr std::uint32_t kTokenAdjustPrivileges = 0x20;
constexpr std::uint32_t kTokenQuery = 0x8;
constexpr std::uint32_t kSePrivilegeEnabled = 2;

constexpr std::uint32_t kNimAdd = 0;
constexpr std::uint32_t kNimModify = 1;
constexpr std::uint32_t kNimDelete = 2;
constexpr std::uint32_t kNifTip = 4;

constexpr std::uint32_t kShardPathA = 2;
constexpr std::uint32_t kSpiSetScreenSaverRunning = 97;
constexpr std::uint32_t kLocaleUserDefault = 0x400;
constexpr int kCstrEqual = 2;
constexpr std::uint32_t kKeyEventKeyUp = 2;
constexpr std::uint8_t kVkSnapshot = 0x2C;  // the Print Screen key
constexpr std::uint32_t kMciOpen = 0x803;
constexpr std::uint32_t kKeyEventExtendedKey = 1;
constexpr std::uint32_t kGwHwndNext = 2;
constexpr std::uint32_t kGwChild = 5;
constexpr std::uint32_t kScClose = 0xF060;
constexpr std::uint32_t kMfDisabled = 2;

struct NotifyIconData {
  std::uint32_t cbSize = 88;
  Handle window = 0;
  std::uint32_t id = 0;
  std::uint32_t flags = 0;
  std::uint32_t callbackMessage = 0;
  bool applicationIcon = false;  // hIcon: the executable's main icon
  std::string tip;
};

// A registry value as stored: its type and its data bytes.
struct RegValue {
  std::uint32_t type = kRegSz;
  std::string data;  // strings: UTF-8 text with its terminating NUL byte(s)
};

// What the machine can do to save power: the fields the program reads of
// GetPwrCapabilities' SYSTEM_POWER_CAPABILITIES.
struct PowerCapabilities {
  bool s1 = false, s2 = false, s3 = false;  // the sleep states
  bool s4 = false;                          // hibernation
  bool hiberFilePresent = false;            // hibernation is switched on (its file is there)
  bool CanSleep() const { return s1 || s2 || s3; }
  bool CanHibernate() const { return s4 && hiberFilePresent; }
};

struct MemoryStatus {
  std::uint64_t totalPhys = 0;  // bytes
};

struct Point {
  int x = 0, y = 0;
};

// A picture in memory: 24-bit pixels, rows from the top, each pixel B, G, R,
// rows without padding.
struct Bitmap {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bgr;
};

struct ProcessInfo {
  Handle process = 0, thread = 0;
};

// The machine's work, as the runner's end conditions watch it. CPU times
// are in 100 ns units, the kernel's time holding the idle time, as
// GetSystemTimes gives them; an interface's counters are 32-bit and wrap.
struct CpuTimes {
  std::uint64_t idle = 0, kernel = 0, user = 0;
};
struct InterfaceCounters {
  std::uint32_t index = 0;  // dwIndex: an interface keeps it while it exists
  std::uint32_t inOctets = 0, outOctets = 0;
};
// HKEY_DYN_DATA, the 95 family's dynamic keys (PerfStats: the system's own
// counters); NT has no such root.
constexpr Handle kHkeyDynData = 0x80000006;
// SetThreadExecutionState's flags.
constexpr std::uint32_t kEsSystemRequired = 0x00000001;
constexpr std::uint32_t kEsContinuous = 0x80000000;

// MsgWaitForMultipleObjects results, and its endless time-out.
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitMessage = 1;  // WAIT_OBJECT_0 + 1: input in the queue
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
constexpr std::uint32_t kMoveFileReplaceExisting = 1;
constexpr std::uint32_t kMoveFileWriteThrough = 8;

class Platform {
 public:
  virtual ~Platform() = default;

  // kernel32
  virtual Handle CreateMutex(const std::string& name) = 0;  // 0 on failure
  virtual bool ReleaseMutex(Handle mutex) = 0;
  virtual std::uint32_t GetLastError() = 0;
  virtual void SetLastError(std::uint32_t code) = 0;
  // GetVersionEx with the record's size field set to 148; a failed call
  // leaves the record zeroed.
  virtual OsVersion GetVersionEx() = 0;
  // RtlGetVersion (ntdll, looked up at run time): the version the system
  // really is. GetVersionEx tells a program whose manifest does not name
  // Windows 8.1 or 10 that it runs on 8 (6.2.9200; 6.3.9600 where only 8.1
  // is named); RtlGetVersion never does. Windows 11 is 10.0 with builds from
  // 22000 on (10's manifest entry covers it). Nothing where ntdll has no
  // such call (the 95 family, NT 4).
  virtual std::optional<OsVersion> RtlGetVersion() = 0;
  virtual std::uint32_t GetTickCount() = 0;
  // Microseconds since this process was created (GetProcessTimes' creation
  // time against the system time, where the system has GetProcessTimes: NT;
  // on the 95 family since the first call).
  virtual std::uint64_t ProcessAgeMicroseconds() = 0;
  // An environment variable of this process, nothing when it is not set.
  virtual std::optional<std::string> GetEnvironmentVariable(const std::string& name) = 0;
  // GlobalMemoryStatusEx where the system has it (2000 and later), else
  // GlobalMemoryStatus with its 32-byte record, which saturates at 2 GB.
  virtual MemoryStatus GlobalMemoryStatus() = 0;
  virtual bool FileExists(const std::string& path) = 0;  // FindFirstFile
  // GetLongPathName and GetShortPathName (looked up at run time): the path of
  // a file or folder that is there with each part in its long or its short
  // (8.3) form; nothing where the call fails (no such file: 2) or the system
  // lacks it (the long form on 95 and NT 4: 120).
  virtual std::optional<std::string> GetLongPathName(const std::string& path) = 0;
  virtual std::optional<std::string> GetShortPathName(const std::string& path) = 0;
  // GetVolumeInformation on a root path with a 15-character name buffer.
  virtual bool GetVolumeInformation(const std::string& rootPath) = 0;
  virtual bool SetSystemPowerState(bool suspend, bool force) = 0;
  // powrprof.dll, loaded at run time (98, Me, 2000 and later):
  // GetPwrCapabilities, nothing where the system has no such call or it
  // fails; SetSuspendState(hibernate, force, disableWakeEvent), false with
  // ERROR_CALL_NOT_IMPLEMENTED (120) where there is none.
  virtual std::optional<PowerCapabilities> GetPwrCapabilities() = 0;
  virtual bool SetSuspendState(bool hibernate, bool force, bool disableWakeEvent) = 0;
  // Local date and time in the user's short date and long time formats.
  virtual std::string FormatLocalDateTime() = 0;
  // CompareString(locale, flags, a, -1, b, -1): 1 less, 2 equal, 3 greater,
  // 0 failure.
  virtual int CompareString(std::uint32_t locale, std::uint32_t flags, const std::string& a,
                            const std::string& b) = 0;
  // Local date-time in days (the toolkit's date-time unit).
  virtual double Now() = 0;
  virtual std::string ExecutablePath() = 0;
  // The program's command line as the system hands it over (GetCommandLine).
  virtual std::string CommandLine() = 0;
  // GetStartupInfo, then CreateProcess(NULL, commandLine, NULL, NULL, FALSE,
  // CREATE_DEFAULT_ERROR_MODE, NULL, NULL, startup with STARTF_USESHOWWINDOW
  // and SW_SHOW, &info). The caller closes both handles.
  virtual bool CreateProcess(const std::string& commandLine, ProcessInfo& info) = 0;
  // MsgWaitForMultipleObjects(1, &object, FALSE, timeout, every kind of
  // input): waits for the object and the thread's message queue together;
  // object 0 waits for input or the time-out alone.
  virtual std::uint32_t MsgWaitForObject(Handle object, std::uint32_t timeoutMs) = 0;
  // LoadLibrary / GetProcAddress / FreeLibrary, and a call through a
  // function pointer of the form int __stdcall f(int).
  virtual Handle LoadLibrary(const std::string& name) = 0;
  virtual std::uintptr_t GetProcAddress(Handle module, const std::string& name) = 0;
  virtual void FreeLibrary(Handle module) = 0;
  virtual int CallStdcallInt(std::uintptr_t function, int argument) = 0;
  // Windows directory of the running system ("C:\WINDOWS").
  virtual std::string WindowsDirectory() = 0;
  // The system's own folder ("C:\WINDOWS\SYSTEM" on 95/98/Me,
  // "C:\WINNT\system32" or "C:\Windows\system32" on NT), GetSystemDirectory.
  virtual std::string SystemDirectory() = 0;

  // advapi32: privileges
  virtual bool OpenProcessToken(std::uint32_t access, Handle& token) = 0;
  virtual bool LookupPrivilegeValue(const std::string& systemName, const std::string& name,
                                    std::uint64_t& luid) = 0;
  virtual bool AdjustTokenPrivileges(Handle token, std::uint64_t luid,
                                     std::uint32_t attributes) = 0;
  virtual void CloseHandle(Handle h) = 0;

  // advapi32: registry. Return Win32 error codes (0 = success).
  virtual long RegCreateKeyEx(Handle parent, const std::string& subKey, std::uint32_t access,
                              Handle& key) = 0;
  virtual long RegOpenKeyEx(Handle parent, const std::string& subKey, std::uint32_t access,
                            Handle& key) = 0;
  virtual long RegQueryValueEx(Handle key, const std::string& name, RegValue& value) = 0;
  virtual long RegSetValueEx(Handle key, const std::string& name, const RegValue& value) = 0;
  // ERROR_FILE_NOT_FOUND (2) when the value is not there.
  virtual long RegDeleteValue(Handle key, const std::string& name) = 0;
  virtual long RegCloseKey(Handle key) = 0;

  // user32
  virtual bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) = 0;
  virtual Handle FindWindow(const std::optional<std::string>& className,
                            const std::optional<std::string>& title) = 0;
  virtual bool ShowWindow(Handle window, int command) = 0;
  // A top-level window of that class that belongs to another process
  // (EnumWindows), whatever its title; 0 when there is none.
  virtual Handle FindOtherProcessWindow(const std::string& className) = 0;
  // RegisterWindowMessage: the message number every program gets for the
  // name (0xC000 … 0xFFFF), 0 when it fails.
  virtual unsigned RegisterWindowMessage(const std::string& name) = 0;
  // RegisterHotKey / UnregisterHotKey on a window: false when the key is
  // taken (by another program, or by another id of ours).
  virtual bool RegisterHotKey(Handle window, int id, std::uint32_t modifiers, std::uint32_t vk) = 0;
  virtual bool UnregisterHotKey(Handle window, int id) = 0;
  // WM_COPYDATA with the bytes, through SendMessageTimeout(SMTO_ABORTIFHUNG):
  // false when the window did not answer in time; else its answer in reply.
  virtual bool SendCopyData(Handle window, std::uint32_t tag, const std::string& bytes,
                            std::uint32_t timeoutMs, std::intptr_t& reply) = 0;
  // EnableMenuItem(GetSystemMenu(window, FALSE), item, flags)
  virtual void EnableSystemMenuItem(Handle window, std::uint32_t item, std::uint32_t flags) = 0;
  // SystemParametersInfo(action, param, &previous BOOL, winIni)
  virtual bool SystemParametersInfo(std::uint32_t action, std::uint32_t param,
                                    std::uint32_t winIni) = 0;
  virtual Point GetCursorPos() = 0;
  virtual std::intptr_t SendMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) = 0;
  virtual bool SetForegroundWindow(Handle window) = 0;
  virtual Handle GetForegroundWindow() = 0;
  // MapVirtualKey(code, mapType); mapType 0: virtual key to scan code.
  virtual std::uint32_t MapVirtualKey(std::uint32_t code, std::uint32_t mapType) = 0;
  // VkKeyScan(ch): the key that gives a character on the current keyboard
  // layout, as the system answers it: the virtual key in the low byte, the
  // shift state in the high byte (1 Shift, 2 Ctrl, 4 Alt; Ctrl+Alt is AltGr),
  // 0xFFFF when no key gives it.
  virtual std::uint16_t VkKeyScan(char16_t ch) = 0;
  // GetKeyboardState into a 256-byte array; false on failure (GetLastError).
  virtual bool GetKeyboardState(std::array<std::uint8_t, 256>& state) = 0;
  virtual Handle GetDesktopWindow() = 0;
  virtual Handle GetWindow(Handle window, std::uint32_t command) = 0;
  // GetWindowText with a 256-character buffer.
  virtual std::string GetWindowText(Handle window) = 0;
  // The system's text for an error code (FormatMessage).
  virtual std::string ErrorText(std::uint32_t code) = 0;
  // keybd_event(vk, scan, flags, 0): a synthesised key event.
  virtual void KeybdEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) = 0;
  // Switches the input method off for a window: ImmAssociateContext(window, NULL).
  virtual void DisableIme(Handle window) = 0;
  // Gives a window the input method back, switched on: ImmGetContext /
  // ImmSetOpenStatus(TRUE) after re-associating the default context.
  virtual void OpenIme(Handle window) = 0;
  // Switches the window's input method off without taking it away (the user
  // may switch it on again): ImmSetOpenStatus(FALSE).
  virtual void CloseIme(Handle window) = 0;
  // ShutdownBlockReasonCreate / Destroy, looked up at run time: false where
  // the system has no such call (before Vista).
  virtual bool ShutdownBlockReasonCreate(Handle window, const std::string& reason) = 0;
  virtual bool ShutdownBlockReasonDestroy(Handle window) = 0;
  // LockWorkStation, looked up at run time (2000 and later): the system's
  // own lock, which asks for the user's Windows password. True only means
  // the lock was asked for; false with ERROR_CALL_NOT_IMPLEMENTED (120)
  // where the system has none, or with the system's reason.
  virtual bool LockWorkStation() = 0;

  // Files, by their full path (UTF-8). ReadFile fails on files larger than
  // maxBytes; LastError tells why a call failed.
  virtual bool ReadFile(const std::string& path, std::string& data, std::uint64_t maxBytes) = 0;
  // CreateFile(CREATE_ALWAYS), WriteFile until all is written,
  // FlushFileBuffers, CloseHandle. It writes in place: a write that fails
  // half way leaves a partial file, and the old contents are gone from the
  // start. Save pictures with SaveFile and SaveNewFile (below).
  virtual bool WriteFile(const std::string& path, const std::string& data) = 0;
  // GetTempFileName(folder, prefix, 0): makes an empty file of a new name
  // in the folder ("<prefix><hex>.TMP") and returns that name; "" when none
  // can be made.
  virtual std::string GetTempFileName(const std::string& folder, const std::string& prefix) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  // MoveFile: fails with ERROR_ALREADY_EXISTS (183) when the new name
  // exists, on every Windows.
  virtual bool MoveFile(const std::string& from, const std::string& to) = 0;
  // MoveFileEx; on the 95 family a stub that fails with
  // ERROR_CALL_NOT_IMPLEMENTED (120).
  virtual bool MoveFileEx(const std::string& from, const std::string& to, std::uint32_t flags) = 0;
  // The user's picture folder (SHGetFolderPath(CSIDL_MYPICTURES), looked up
  // at run time); "" where the system has none.
  virtual std::string PicturesFolder() = 0;
  // GetWindowLong(window, GWL_STYLE).
  virtual std::uint32_t GetWindowStyle(Handle window) = 0;
  // Clipboard: GetClipboardSequenceNumber (0 where the system has none);
  // a packed device-independent bitmap (info header, colour table, pixels)
  // put there as CF_DIB, or read back as the bytes of CF_DIB (CF_DIBV5 where
  // only that is there), unchecked: the reader decodes them.
  virtual std::uint32_t GetClipboardSequenceNumber() = 0;
  // A picture for every program that pastes: CF_DIB and, where png is not
  // empty, the registered "PNG" format that browsers, chat and office
  // programs read first; both in one opening of the clipboard. The bytes are
  // the clipboard's once it took them.
  virtual bool SetClipboardPicture(Handle owner, const std::string& dib, const std::string& png) = 0;
  // The clipboard's "PNG" format, where it has one.
  virtual bool GetClipboardPng(std::string& png) = 0;
  virtual bool GetClipboardDib(std::string& dib) = 0;
  // The screen's pixels in a window's rectangle, or the whole virtual screen
  // (every monitor) for 0 (BitBlt from the screen's device context).
  // withCursor: the mouse cursor drawn in, its real image at its hot spot
  // (GetCursorInfo, looked up at run time: 98/2000 and later).
  virtual bool CaptureScreen(Handle window, Bitmap& out, bool withCursor) = 0;
  // Whether the screen is still to be painted anew: a menu is showing (a
  // visible window of the menus' class "#32768"), or a visible window or a
  // visible child of one has a part still to paint (EnumWindows,
  // EnumChildWindows, GetUpdateRect). A window that was over others leaves
  // them such parts when it goes.
  virtual bool ScreenPaintPending() = 0;
  // RedrawWindow(desktop, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME |
  // RDW_ALLCHILDREN): every window on the screen is to paint itself anew,
  // each program in its own time (what a menu left on the screen, which the
  // windows beneath do not always learn of, goes).
  virtual void RepaintScreen() = 0;
  // The virtual screen (SM_XVIRTUALSCREEN and its siblings; the primary
  // screen where the system knows one screen only), and the monitor a point
  // lies on (MonitorFromPoint, looked up at run time; the primary screen
  // without it), as left, top, right, bottom.
  virtual std::array<int, 4> VirtualScreen() = 0;
  virtual std::array<int, 4> MonitorAt(Point point) = 0;
  // The work area (the monitor less the taskbar) of the monitor nearest to a
  // rectangle (MonitorFromRect and GetMonitorInfo, looked up at run time,
  // 98/2000 and later); the primary screen's work area without them
  // (SPI_GETWORKAREA).
  virtual std::array<int, 4> WorkAreaNear(const std::array<int, 4>& rect) = 0;
  // The system's DPI (the screen's LOGPIXELSY): 96 at 100 %, 144 at 150 %.
  // Windows keep their places in units of 96 DPI; the monitors' rectangles
  // above are the screen's pixels.
  virtual int ScreenDpi() = 0;

  // What the machine is doing (the runner's end conditions). Each is looked
  // up at run time and answers false (0) where the system lacks it.
  // GetSystemTimes (XP SP1 and later); before it, on NT 4 and 2000,
  // NtQuerySystemInformation(SystemProcessorPerformanceInformation) with
  // every processor's times summed; false on the 95 family.
  virtual bool GetSystemTimes(CpuTimes& times) = 0;
  // GetIfTable from iphlpapi.dll (98/2000 and later): every interface's
  // octet counters.
  virtual bool GetIfTable(std::vector<InterfaceCounters>& rows) = 0;
  // GetLastInputInfo (2000 and later): the tick count of the last keyboard
  // or mouse input.
  virtual bool GetLastInputInfo(std::uint32_t& tick) = 0;
  // SetThreadExecutionState (98/2000 and later): the state before, 0 where
  // the call is missing or refused.
  virtual std::uint32_t SetThreadExecutionState(std::uint32_t flags) = 0;

  // shell32
  // DragAcceptFiles; DragQueryFile(drop, 0xFFFFFFFF) and every name with a
  // MAX_PATH buffer; DragFinish.
  virtual void DragAcceptFiles(Handle window, bool accept) = 0;
  virtual std::vector<std::string> DragQueryFiles(Handle drop) = 0;
  virtual void DragFinish(Handle drop) = 0;
  virtual bool ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) = 0;
  // Unset optional texts are passed as NULL.
  virtual std::uintptr_t ShellExecute(Handle owner, const std::optional<std::string>& verb,
                                      const std::string& file,
                                      const std::optional<std::string>& parameters,
                                      const std::optional<std::string>& directory,
                                      int show) = 0;
  virtual void SHAddToRecentDocs(std::uint32_t flags, const std::string* path) = 0;

  // Profile file in the Windows directory ("win.ini").
  virtual std::string GetProfileString(const std::string& file, const std::string& section,
                                       const std::string& key, const std::string& def) = 0;
  virtual bool WriteProfileString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) = 0;

  // winmm: mciSendCommand. For MCI_OPEN the device type is passed and the
  // opened device id returned through deviceId.
  virtual std::uint32_t MciSendCommand(std::uint32_t deviceId, std::uint32_t command,
                                       std::uint32_t flags, const std::string& deviceType,
                                       std::uint32_t& openedId) = 0;
};

// The platform of this process: the Win32 one in the program, the simulated
// machine in native tests.
Platform& Get();
void Install(std::unique_ptr<Platform> p);  // takes ownership
std::unique_ptr<Platform> Uninstall();

// Saving whole files so that a failure never costs the old file: the data
// goes into a temporary file beside the target (GetTempFileName in the same
// folder), which then takes the target's name. On any failure the temporary
// file is deleted, the target is as it was, and LastError tells why.
//
// SaveFile replaces an existing file: MoveFileEx with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH; on the 95 family, where
// that is a stub, the old file is deleted and the new one renamed. Should
// the rename fail after that (another program made the name again), the
// temporary file is kept, as it holds the only copy, and its name goes to
// kept (left empty on every other outcome).
bool SaveFile(Platform& p, const std::string& path, const std::string& data, std::string* kept = nullptr);
// SaveNewFile never replaces anything: false with ERROR_FILE_EXISTS (80) or
// ERROR_ALREADY_EXISTS (183) when the name exists, or is taken meanwhile
// (MoveFile refuses an existing name).
bool SaveNewFile(Platform& p, const std::string& path, const std::string& data);

// The version the system runs: GetVersionEx's family and, on NT where the
// system has it, RtlGetVersion's numbers, which GetVersionEx hides from 8.1
// on from a program whose manifest does not name them.
OsVersion RunningVersion(Platform& p);

// A handle of the platform closed when its owner goes, on every way out:
// `OwnedHandle` (process, thread, token and file handles: CloseHandle) and
// `RegKey` (registry keys: RegCloseKey).
template <class Closer>
class HandleOwner {
 public:
  HandleOwner() = default;
  explicit HandleOwner(Handle h) : h_(h) {}
  ~HandleOwner() { Reset(); }
  HandleOwner(HandleOwner&& o) noexcept : h_(o.h_) { o.h_ = 0; }
  HandleOwner& operator=(HandleOwner&& o) noexcept {
    if (this != &o) { Reset(); h_ = o.h_; o.h_ = 0; }
    return *this;
  }
  HandleOwner(const HandleOwner&) = delete;
  HandleOwner& operator=(const HandleOwner&) = delete;
  Handle get() const { return h_; }
  // For a call that hands a new handle out through a pointer.
  Handle* put() { Reset(); return &h_; }
  explicit operator bool() const { return h_ != 0; }
  void Reset(Handle h = 0) {
    if (h_ && h_ != h) Closer::Close(h_);
    h_ = h;
  }

 private:
  Handle h_ = 0;
};

struct HandleCloser {
  static void Close(Handle h) { Get().CloseHandle(h); }
};
struct RegKeyCloser {
  static void Close(Handle h) { Get().RegCloseKey(h); }
};
using OwnedHandle = HandleOwner<HandleCloser>;
using RegKey = HandleOwner<RegKeyCloser>;

}  // namespace platform
