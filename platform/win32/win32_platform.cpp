#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include "text/utf.h"
#include "platform/win32/win32_activity.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_screen.h"
#include "winapi/winapi.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// windows.h maps these names to their A/W variants; the interface uses the
// plain names as member functions.
#undef CreateMutex
#undef GetVersionEx
#undef GetVolumeInformation
#undef LookupPrivilegeValue
#undef RegCreateKeyEx
#undef RegOpenKeyEx
#undef RegQueryValueEx
#undef RegSetValueEx
#undef RegDeleteValue
#undef FindWindow
#undef RegisterWindowMessage
#undef SystemParametersInfo
#undef ShellExecute
#undef GetProfileString
#undef WriteProfileString
#undef SendMessage
#undef CompareString
#undef CreateProcess
#undef LoadLibrary
#undef MapVirtualKey
#undef VkKeyScan
#undef GetWindowText
#undef ReadFile
#undef WriteFile
#undef DeleteFile
#undef MoveFile
#undef MoveFileEx
#undef GetTempFileName
#undef GetLongPathName
#undef GetShortPathName
#undef GetEnvironmentVariable

namespace platform {

namespace {

// UTF-8 <-> UTF-16 at the Win32 boundary: the program's one converter (its
// own code, so that it holds on Windows 95 too, whose MultiByteToWideChar
// may lack CP_UTF8).
std::wstring ToWide(const std::string& s) { return text::ToUtf16(s); }
std::string ToUtf8(const wchar_t* w, size_t len) { return text::ToUtf8(w, len); }
std::string ToUtf8(const std::wstring& w) { return text::ToUtf8(w); }

// FindOtherProcessWindow: a top-level window of another process with this
// class.
struct WindowSearch {
  std::wstring cls;
  DWORD self;
  HWND found = nullptr;
};

BOOL CALLBACK MatchOtherProcessWindow(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(h, &pid);
  if (pid == s->self) return TRUE;
  wchar_t buf[256];
  int n = winapi::GetClassNameW(h, buf, 256);
  if (n <= 0 || s->cls != std::wstring(buf, static_cast<size_t>(n))) return TRUE;
  s->found = h;
  return FALSE;
}

// Text for an optional argument: NULL when unset.
struct OptText {
  explicit OptText(const std::optional<std::string>& s) : set(s.has_value()) {
    if (set) text = ToWide(*s);
  }
  const wchar_t* get() const { return set ? text.c_str() : nullptr; }
  bool set;
  std::wstring text;
};

// A bare profile name ("win.ini") lives in the Windows directory.
std::wstring ProfilePath(const std::string& file) {
  std::wstring w = ToWide(file);
  if (w.find(L'\\') != std::wstring::npos || w.find(L'/') != std::wstring::npos) return w;
  wchar_t dir[MAX_PATH + 1] = {};
  UINT n = winapi::GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n > MAX_PATH) return w;
  std::wstring path(dir, n);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + w;
}

class Win32Platform : public Platform {
 public:
  Handle CreateMutex(const std::string& name) override {
    std::wstring w = ToWide(name);
    return reinterpret_cast<Handle>(winapi::CreateMutexW(nullptr, FALSE, w.c_str()));
  }

  bool ReleaseMutex(Handle mutex) override {
    return ::ReleaseMutex(reinterpret_cast<HANDLE>(mutex)) != FALSE;
  }

  std::uint32_t GetLastError() override { return ::GetLastError(); }
  void SetLastError(std::uint32_t code) override { ::SetLastError(code); }

  OsVersion GetVersionEx() override {
    OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 276 bytes
    OsVersion v;
    if (!winapi::GetVersionExW(&info)) return v;
    v.major = info.dwMajorVersion;
    v.minor = info.dwMinorVersion;
    v.build = info.dwBuildNumber;
    v.platformId = info.dwPlatformId;
    return v;
  }

  std::optional<OsVersion> RtlGetVersion() override {
    // The 95 family's ntdll has no RtlGetVersion, NT 4's neither; Wine's
    // has one whatever version it shows.
    using Fn = LONG(WINAPI*)(OSVERSIONINFOW*);
    static const auto get = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(winapi::Lookup("ntdll.dll", "RtlGetVersion")));
    if (!get) return std::nullopt;
    OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (get(&info) != 0) return std::nullopt;  // an NTSTATUS other than STATUS_SUCCESS
    OsVersion v;
    v.major = info.dwMajorVersion;
    v.minor = info.dwMinorVersion;
    v.build = info.dwBuildNumber;
    v.platformId = info.dwPlatformId;
    return v;
  }

  std::uint32_t GetTickCount() override { return ::GetTickCount(); }

  std::uint64_t ProcessAgeMicroseconds() override {
    // GetProcessTimes is NT's; the 95 family counts from the first call.
    using Times = BOOL(WINAPI*)(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME, LPFILETIME);
    static const auto times = reinterpret_cast<Times>(
        reinterpret_cast<void*>(winapi::Lookup("kernel32.dll", "GetProcessTimes")));
    static const DWORD firstTick = ::GetTickCount();
    FILETIME created, exited, kernel, user, now;
    if (times && times(::GetCurrentProcess(), &created, &exited, &kernel, &user)) {
      ::GetSystemTimeAsFileTime(&now);
      auto value = [](const FILETIME& t) {
        return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
      };
      std::uint64_t from = value(created), to = value(now);
      return to > from ? (to - from) / 10 : 0;
    }
    return static_cast<std::uint64_t>(::GetTickCount() - firstTick) * 1000;
  }

  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override {
    // The A call, which both families have; the value in the code page.
    char buf[1024];
    DWORD n = ::GetEnvironmentVariableA(name.c_str(), buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return std::nullopt;
    std::wstring w = winapi::FromAnsi(buf, static_cast<int>(n));
    return ToUtf8(w.data(), w.size());
  }

  MemoryStatus GlobalMemoryStatus() override {
    MemoryStatus out;
    // GlobalMemoryStatus stops at 2 GB for a program that is not
    // large-address-aware; the Ex form (2000 and later) does not.
    using StatusEx = BOOL(WINAPI*)(LPMEMORYSTATUSEX);
    auto ex = reinterpret_cast<StatusEx>(reinterpret_cast<void*>(
        ::GetProcAddress(winapi::GetModuleHandleW(L"kernel32.dll"), "GlobalMemoryStatusEx")));
    if (ex) {
      MEMORYSTATUSEX ms;
      std::memset(&ms, 0, sizeof ms);
      ms.dwLength = sizeof ms;
      if (ex(&ms)) {
        out.totalPhys = ms.ullTotalPhys;
        return out;
      }
    }
    MEMORYSTATUS ms;
    std::memset(&ms, 0, sizeof ms);
    ms.dwLength = sizeof ms;  // 32 bytes
    ::GlobalMemoryStatus(&ms);
    out.totalPhys = static_cast<std::uint32_t>(ms.dwTotalPhys);
    return out;
  }

  bool FileExists(const std::string& path) override {
    std::wstring w = ToWide(path);
    WIN32_FIND_DATAW data;
    HANDLE h = winapi::FindFirstFileW(w.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::FindClose(h);
    return true;
  }

  std::optional<std::string> GetLongPathName(const std::string& path) override {
    return PathName(path, winapi::GetLongPathNameW);
  }
  std::optional<std::string> GetShortPathName(const std::string& path) override {
    return PathName(path, winapi::GetShortPathNameW);
  }
  static std::optional<std::string> PathName(const std::string& path, DWORD(WINAPI* call)(LPCWSTR, LPWSTR, DWORD)) {
    const std::wstring w = ToWide(path);
    std::wstring out(MAX_PATH, L'\0');
    DWORD n = call(w.c_str(), &out[0], static_cast<DWORD>(out.size()));
    if (n >= out.size()) {  // a longer path: the size it needs
      out.assign(n, L'\0');
      n = call(w.c_str(), &out[0], static_cast<DWORD>(out.size()));
    }
    if (n == 0 || n >= out.size()) return std::nullopt;
    out.resize(n);
    return ToUtf8(out);
  }

  bool GetVolumeInformation(const std::string& rootPath) override {
    std::wstring w = ToWide(rootPath);
    wchar_t name[16] = {};
    DWORD maxComponent = 0, flags = 0;
    // No "insert a disk" box for an empty drive.
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    BOOL ok = winapi::GetVolumeInformationW(w.c_str(), name, 15, nullptr, &maxComponent, &flags,
                                      nullptr, 0);
    DWORD err = ::GetLastError();
    ::SetErrorMode(oldMode);
    ::SetLastError(err);
    return ok != FALSE;
  }

  bool SetSystemPowerState(bool suspend, bool force) override {
    using Fn = BOOL(WINAPI*)(BOOL, BOOL);
    HMODULE k32 = winapi::GetModuleHandleW(L"kernel32.dll");
    Fn fn = nullptr;
    if (k32)
      fn = reinterpret_cast<Fn>(
          reinterpret_cast<void*>(::GetProcAddress(k32, "SetSystemPowerState")));
    if (!fn) {
      ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return false;
    }
    return fn(suspend ? TRUE : FALSE, force ? TRUE : FALSE) != FALSE;
  }

  std::optional<PowerCapabilities> GetPwrCapabilities() override {
    using Fn = BOOLEAN(WINAPI*)(SYSTEM_POWER_CAPABILITIES*);
    auto get = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(winapi::Lookup("powrprof.dll", "GetPwrCapabilities")));
    if (!get) return std::nullopt;
    SYSTEM_POWER_CAPABILITIES caps;
    std::memset(&caps, 0, sizeof caps);
    if (!get(&caps)) return std::nullopt;
    PowerCapabilities out;
    out.s1 = caps.SystemS1 != 0;
    out.s2 = caps.SystemS2 != 0;
    out.s3 = caps.SystemS3 != 0;
    out.s4 = caps.SystemS4 != 0;
    out.hiberFilePresent = caps.HiberFilePresent != 0;
    return out;
  }

  bool SetSuspendState(bool hibernate, bool force, bool disableWakeEvent) override {
    using Fn = BOOLEAN(WINAPI*)(BOOLEAN, BOOLEAN, BOOLEAN);
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(winapi::Lookup("powrprof.dll", "SetSuspendState")));
    if (!fn) {
      ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return false;
    }
    return fn(hibernate ? TRUE : FALSE, force ? TRUE : FALSE, disableWakeEvent ? TRUE : FALSE) != FALSE;
  }

  std::string FormatLocalDateTime() override {
    wchar_t date[128] = {}, time[128] = {};
    int nd = winapi::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128);
    int nt = winapi::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, 128);
    std::wstring out;
    if (nd > 0) out.assign(date);
    out += L" ";
    if (nt > 0) out += time;
    return ToUtf8(out);
  }

  double Now() override {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    // Days from 1899-12-30 to the date (proleptic Gregorian), then the
    // fraction of the day.
    int y = st.wYear, m = st.wMonth, d = st.wDay;
    if (m <= 2) { y -= 1; m += 12; }
    // Day number of the civil date with 0000-03-01 as origin.
    long days = 365L * y + y / 4 - y / 100 + y / 400 + (153 * (m - 3) + 2) / 5 + d - 1;
    // Same for 1899-12-30 (m=12 -> stays in year 1899).
    const long base = 365L * 1899 + 1899 / 4 - 1899 / 100 + 1899 / 400 + (153 * 9 + 2) / 5 + 30 - 1;
    double frac = (st.wHour * 3600000.0 + st.wMinute * 60000.0 + st.wSecond * 1000.0 +
                   st.wMilliseconds) / 86400000.0;
    return static_cast<double>(days - base) + frac;
  }

  std::string CommandLine() override {
    const wchar_t* line = ::GetCommandLineW();
    return line ? ToUtf8(std::wstring(line)) : std::string();
  }

  std::string ExecutablePath() override {
    std::vector<wchar_t> buf(MAX_PATH + 1);
    for (;;) {
      DWORD n = winapi::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
      if (n == 0) return std::string();
      if (n < buf.size() - 1) return ToUtf8(buf.data(), n);
      if (buf.size() > 32768) return ToUtf8(buf.data(), n);
      buf.resize(buf.size() * 2);
    }
  }

  bool CreateProcess(const std::string& commandLine, ProcessInfo& info) override {
    STARTUPINFOW si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    winapi::GetStartupInfoW(&si);
    si.dwFlags |= STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    // CreateProcessW may write to its command line: a copy of its own.
    std::wstring w = ToWide(commandLine);
    std::vector<wchar_t> line(w.begin(), w.end());
    line.push_back(L'\0');
    if (!winapi::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                          nullptr, nullptr, &si, &pi))
      return false;
    info.process = reinterpret_cast<Handle>(pi.hProcess);
    info.thread = reinterpret_cast<Handle>(pi.hThread);
    return true;
  }

  std::uint32_t MsgWaitForObject(Handle object, std::uint32_t timeoutMs) override {
    HANDLE h = reinterpret_cast<HANDLE>(object);
    // QS_ALLEVENTS | QS_SENDMESSAGE: every kind of input that 95 and 2000
    // know (QS_RAWINPUT, part of QS_ALLINPUT on XP, is refused there).
    return ::MsgWaitForMultipleObjects(object ? 1 : 0, object ? &h : nullptr, FALSE, timeoutMs,
                                       0xFF);
  }

  std::uint32_t MapVirtualKey(std::uint32_t code, std::uint32_t mapType) override {
    return winapi::MapVirtualKeyW(code, mapType);
  }
  std::uint16_t VkKeyScan(char16_t ch) override {
    return static_cast<std::uint16_t>(winapi::VkKeyScanW(static_cast<wchar_t>(ch)));
  }
  bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override {
    return ::GetKeyboardState(state.data()) != FALSE;
  }
  Handle GetDesktopWindow() override { return reinterpret_cast<Handle>(::GetDesktopWindow()); }
  Handle GetWindow(Handle window, std::uint32_t command) override {
    return reinterpret_cast<Handle>(::GetWindow(reinterpret_cast<HWND>(window), command));
  }
  std::string GetWindowText(Handle window) override {
    wchar_t title[256] = {};
    int n = winapi::GetWindowTextW(reinterpret_cast<HWND>(window), title, 256);
    return n > 0 ? ToUtf8(title, n) : std::string();
  }
  std::string ErrorText(std::uint32_t code) override {
    wchar_t* text = nullptr;
    DWORD n = winapi::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string s = n ? ToUtf8(text, static_cast<int>(n)) : "error " + std::to_string(code);
    if (text) ::LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
  }

  Handle LoadLibrary(const std::string& name) override {
    std::wstring w = ToWide(name);
    return reinterpret_cast<Handle>(winapi::LoadLibraryW(w.c_str()));
  }
  std::uintptr_t GetProcAddress(Handle module, const std::string& name) override {
    return reinterpret_cast<std::uintptr_t>(
        ::GetProcAddress(reinterpret_cast<HMODULE>(module), name.c_str()));
  }
  void FreeLibrary(Handle module) override { ::FreeLibrary(reinterpret_cast<HMODULE>(module)); }
  int CallStdcallInt(std::uintptr_t function, int argument) override {
    using Function = int(WINAPI*)(int);
    return reinterpret_cast<Function>(function)(argument);
  }

  std::string WindowsDirectory() override {
    wchar_t dir[MAX_PATH + 1] = {};
    UINT n = winapi::GetWindowsDirectoryW(dir, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return "C:\\WINDOWS";
    return ToUtf8(dir, n);
  }

  std::string SystemDirectory() override {
    wchar_t dir[MAX_PATH + 1] = {};
    UINT n = winapi::GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return WindowsDirectory() + "\\system32";
    return ToUtf8(dir, n);
  }

  bool OpenProcessToken(std::uint32_t access, Handle& token) override {
    HANDLE h = nullptr;
    BOOL ok = ::OpenProcessToken(::GetCurrentProcess(), access, &h);
    token = ok ? reinterpret_cast<Handle>(h) : 0;
    return ok != FALSE;
  }

  bool LookupPrivilegeValue(const std::string& systemName, const std::string& name,
                            std::uint64_t& luid) override {
    std::wstring sys = ToWide(systemName), priv = ToWide(name);
    LUID l = {};
    BOOL ok = winapi::LookupPrivilegeValueW(sys.c_str(), priv.c_str(), &l);
    luid = ok ? (static_cast<std::uint64_t>(static_cast<std::uint32_t>(l.HighPart)) << 32) |
                    l.LowPart
              : 0;
    return ok != FALSE;
  }

  bool AdjustTokenPrivileges(Handle token, std::uint64_t luid,
                             std::uint32_t attributes) override {
    TOKEN_PRIVILEGES tp;
    std::memset(&tp, 0, sizeof tp);
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid & 0xFFFFFFFFu);
    tp.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
    tp.Privileges[0].Attributes = attributes;
    return ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &tp, 16, nullptr,
                                   nullptr) != FALSE;
  }

  void CloseHandle(Handle h) override {
    if (h) ::CloseHandle(reinterpret_cast<HANDLE>(h));
  }

  // The registry: win32_registry.cpp.
  long RegCreateKeyEx(Handle parent, const std::string& subKey, std::uint32_t access,
                      Handle& key) override {
    return win32::CreateKey(parent, subKey, access, key);
  }
  long RegOpenKeyEx(Handle parent, const std::string& subKey, std::uint32_t access,
                    Handle& key) override {
    return win32::OpenKey(parent, subKey, access, key);
  }
  long RegQueryValueEx(Handle key, const std::string& name, RegValue& value) override {
    return win32::QueryValue(key, name, value);
  }
  long RegSetValueEx(Handle key, const std::string& name, const RegValue& value) override {
    return win32::SetValue(key, name, value);
  }
  long RegDeleteValue(Handle key, const std::string& name) override {
    return win32::DeleteValue(key, name);
  }
  long RegCloseKey(Handle key) override { return win32::CloseKey(key); }

  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) override {
    return ::ExitWindowsEx(flags, reserved) != FALSE;
  }

  Handle FindWindow(const std::optional<std::string>& className,
                    const std::optional<std::string>& title) override {
    OptText c(className), t(title);
    return reinterpret_cast<Handle>(winapi::FindWindowW(c.get(), t.get()));
  }

  Handle FindOtherProcessWindow(const std::string& className) override {
    WindowSearch search{ToWide(className), ::GetCurrentProcessId()};
    ::EnumWindows(&MatchOtherProcessWindow, reinterpret_cast<LPARAM>(&search));
    return reinterpret_cast<Handle>(search.found);
  }

  unsigned RegisterWindowMessage(const std::string& name) override {
    return winapi::RegisterWindowMessageW(ToWide(name).c_str());
  }

  bool RegisterHotKey(Handle window, int id, std::uint32_t modifiers, std::uint32_t vk) override {
    return ::RegisterHotKey(reinterpret_cast<HWND>(window), id, modifiers, vk) != FALSE;
  }
  bool UnregisterHotKey(Handle window, int id) override {
    return ::UnregisterHotKey(reinterpret_cast<HWND>(window), id) != FALSE;
  }

  bool SendCopyData(Handle window, std::uint32_t tag, const std::string& bytes, std::uint32_t timeoutMs,
                    std::intptr_t& reply) override {
    COPYDATASTRUCT cds{};
    cds.dwData = tag;
    cds.cbData = static_cast<DWORD>(bytes.size());
    cds.lpData = const_cast<char*>(bytes.data());
    DWORD_PTR result = 0;
    if (!winapi::SendMessageTimeoutW(reinterpret_cast<HWND>(window), WM_COPYDATA, 0,
                               reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG, timeoutMs, &result))
      return false;
    reply = static_cast<std::intptr_t>(result);
    return true;
  }

  bool ShowWindow(Handle window, int command) override {
    return ::ShowWindow(reinterpret_cast<HWND>(window), command) != FALSE;
  }

  void EnableSystemMenuItem(Handle window, std::uint32_t item, std::uint32_t flags) override {
    HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window), FALSE);
    if (menu) ::EnableMenuItem(menu, item, flags);
  }

  bool SystemParametersInfo(std::uint32_t action, std::uint32_t param,
                            std::uint32_t winIni) override {
    BOOL previous = FALSE;
    return winapi::SystemParametersInfoW(action, param, &previous, winIni) != FALSE;
  }

  Point GetCursorPos() override {
    POINT p = {0, 0};
    ::GetCursorPos(&p);
    return Point{static_cast<int>(p.x), static_cast<int>(p.y)};
  }

  std::intptr_t SendMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) override {
    return winapi::SendMessageW(reinterpret_cast<HWND>(window), msg, wParam, lParam);
  }

  void DisableIme(Handle window) override {
    // imm32 is loaded at run time: systems without an input method lack it.
    using Associate = HANDLE(WINAPI*)(HWND, HANDLE);
    HMODULE imm = winapi::LoadLibraryW(L"imm32.dll");
    if (!imm) return;
    if (auto f = reinterpret_cast<Associate>(
            reinterpret_cast<void*>(::GetProcAddress(imm, "ImmAssociateContext"))))
      f(reinterpret_cast<HWND>(window), nullptr);
  }
  void OpenIme(Handle window) override {
    HMODULE imm = winapi::LoadLibraryW(L"imm32.dll");
    if (!imm) return;
    using AssociateEx = BOOL(WINAPI*)(HWND, HANDLE, DWORD);
    using GetContext = HANDLE(WINAPI*)(HWND);
    using SetOpen = BOOL(WINAPI*)(HANDLE, BOOL);
    using ReleaseContext = BOOL(WINAPI*)(HWND, HANDLE);
    auto associate = reinterpret_cast<AssociateEx>(reinterpret_cast<void*>(::GetProcAddress(imm, "ImmAssociateContextEx")));
    auto get = reinterpret_cast<GetContext>(reinterpret_cast<void*>(::GetProcAddress(imm, "ImmGetContext")));
    auto open = reinterpret_cast<SetOpen>(reinterpret_cast<void*>(::GetProcAddress(imm, "ImmSetOpenStatus")));
    auto release = reinterpret_cast<ReleaseContext>(reinterpret_cast<void*>(::GetProcAddress(imm, "ImmReleaseContext")));
    HWND h = reinterpret_cast<HWND>(window);
    if (associate) associate(h, nullptr, 0x10);  // IACE_DEFAULT
    if (!get || !open) return;
    if (HANDLE ctx = get(h)) {
      open(ctx, TRUE);
      if (release) release(h, ctx);
    }
  }
  void CloseIme(Handle window) override {
    HMODULE imm = winapi::LoadLibraryW(L"imm32.dll");
    if (!imm) return;
    using GetContext = HANDLE(WINAPI*)(HWND);
    using SetOpen = BOOL(WINAPI*)(HANDLE, BOOL);
    using ReleaseContext = BOOL(WINAPI*)(HWND, HANDLE);
    auto get = reinterpret_cast<GetContext>(reinterpret_cast<void*>(::GetProcAddress(imm, "ImmGetContext")));
    auto open = reinterpret_cast<SetOpen>(reinterpret_cast<void*>(::GetProcAddress(imm, "ImmSetOpenStatus")));
    auto release = reinterpret_cast<ReleaseContext>(reinterpret_cast<void*>(::GetProcAddress(imm, "ImmReleaseContext")));
    if (!get || !open) return;
    HWND h = reinterpret_cast<HWND>(window);
    if (HANDLE ctx = get(h)) {
      open(ctx, FALSE);
      if (release) release(h, ctx);
    }
  }
  bool ShutdownBlockReasonCreate(Handle window, const std::string& reason) override {
    using Create = BOOL(WINAPI*)(HWND, LPCWSTR);
    auto f = reinterpret_cast<Create>(reinterpret_cast<void*>(
        ::GetProcAddress(winapi::GetModuleHandleW(L"user32.dll"), "ShutdownBlockReasonCreate")));
    if (!f) return false;
    std::wstring w = ToWide(reason);
    return f(reinterpret_cast<HWND>(window), w.c_str()) != FALSE;
  }
  bool ShutdownBlockReasonDestroy(Handle window) override {
    using Destroy = BOOL(WINAPI*)(HWND);
    auto f = reinterpret_cast<Destroy>(reinterpret_cast<void*>(
        ::GetProcAddress(winapi::GetModuleHandleW(L"user32.dll"), "ShutdownBlockReasonDestroy")));
    return f && f(reinterpret_cast<HWND>(window)) != FALSE;
  }
  bool LockWorkStation() override {
    using Fn = BOOL(WINAPI*)();
    auto f = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        ::GetProcAddress(winapi::GetModuleHandleW(L"user32.dll"), "LockWorkStation")));
    if (!f) {
      ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return false;
    }
    return f() != FALSE;
  }
  void KeybdEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override {
    ::keybd_event(vk, scan, flags, 0);
  }
  int CompareString(std::uint32_t locale, std::uint32_t flags, const std::string& a,
                    const std::string& b) override {
    std::wstring wa = ToWide(a), wb = ToWide(b);
    int r = winapi::CompareStringW(locale, flags, wa.c_str(), static_cast<int>(wa.size()), wb.c_str(),
                             static_cast<int>(wb.size()));
    // The texts may be passwords: no copy outlives the comparison.
    for (std::wstring* s : {&wa, &wb}) {
      volatile wchar_t* p = s->empty() ? nullptr : &(*s)[0];
      for (size_t i = 0; i < s->size(); ++i) p[i] = 0;
    }
    return r;
  }
  Handle GetForegroundWindow() override { return reinterpret_cast<Handle>(::GetForegroundWindow()); }
  bool SetForegroundWindow(Handle window) override {
    return ::SetForegroundWindow(reinterpret_cast<HWND>(window)) != FALSE;
  }

  bool ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) override {
    NOTIFYICONDATAW nid;
    std::memset(&nid, 0, sizeof nid);
    nid.cbSize = NOTIFYICONDATAW_V1_SIZE;
    nid.hWnd = reinterpret_cast<HWND>(data.window);
    nid.uID = data.id;
    nid.uFlags = data.flags;
    nid.uCallbackMessage = data.callbackMessage;
    // The small icon's size at the system's DPI (a shared, standard-sized
    // icon: the system keeps it).
    if (data.applicationIcon)
      nid.hIcon = static_cast<HICON>(winapi::LoadImageW(winapi::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                        IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                        ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    std::wstring tip = ToWide(data.tip);
    if (tip.size() > 63) tip.resize(63);
    std::memcpy(nid.szTip, tip.c_str(), (tip.size() + 1) * sizeof(wchar_t));
    return winapi::Shell_NotifyIconW(message, &nid) != FALSE;
  }

  // Files: win32_files.cpp.
  bool ReadFile(const std::string& path, std::string& data, std::uint64_t maxBytes) override {
    return win32::ReadWholeFile(path, data, maxBytes);
  }
  bool WriteFile(const std::string& path, const std::string& data) override {
    return win32::WriteWholeFile(path, data);
  }
  std::string GetTempFileName(const std::string& folder, const std::string& prefix) override {
    return win32::TempFileName(folder, prefix);
  }
  bool DeleteFile(const std::string& path) override { return win32::RemoveFile(path); }
  bool MoveFile(const std::string& from, const std::string& to) override {
    return win32::RenameFile(from, to, false, 0);
  }
  bool MoveFileEx(const std::string& from, const std::string& to, std::uint32_t flags) override {
    return win32::RenameFile(from, to, true, flags);
  }
  std::string PicturesFolder() override {
    wchar_t path[MAX_PATH] = {};
    if (winapi::SHGetFolderPathW(nullptr, 0x0027 /* CSIDL_MYPICTURES */, nullptr, 0, path) == S_OK && path[0])
      return ToUtf8(std::wstring(path));
    return {};
  }
  std::uint32_t GetWindowStyle(Handle window) override {
    return static_cast<std::uint32_t>(winapi::GetWindowLongW(reinterpret_cast<HWND>(window), GWL_STYLE));
  }

  // The clipboard and the screen: win32_screen.cpp.
  std::uint32_t GetClipboardSequenceNumber() override { return win32::ClipboardSequenceNumber(); }
  bool SetClipboardPicture(Handle owner, const std::string& dib, const std::string& png) override {
    return win32::SetClipboardPicture(reinterpret_cast<HWND>(owner), dib, png);
  }
  bool GetClipboardPng(std::string& png) override { return win32::GetClipboardPng(png);
  }
  bool GetClipboardDib(std::string& dib) override { return win32::GetClipboardDib(dib); }
  std::array<int, 4> VirtualScreen() override { return win32::VirtualScreen(); }
  std::array<int, 4> MonitorAt(Point point) override { return win32::MonitorAt(point); }
  std::array<int, 4> WorkAreaNear(const std::array<int, 4>& rect) override { return win32::WorkAreaNear(rect); }
  int ScreenDpi() override { return win32::ScreenDpi(); }
  bool CaptureScreen(Handle window, Bitmap& out, bool withCursor) override {
    return win32::CaptureScreen(reinterpret_cast<HWND>(window), out, withCursor);
  }
  bool ScreenPaintPending() override { return win32::ScreenPaintPending(); }
  void RepaintScreen() override {
    ::RedrawWindow(::GetDesktopWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }

  // The machine's work: win32_activity.cpp.
  bool GetSystemTimes(CpuTimes& times) override { return win32::SystemTimes(times); }
  bool GetIfTable(std::vector<InterfaceCounters>& rows) override { return win32::IfTable(rows); }
  bool GetLastInputInfo(std::uint32_t& tick) override { return win32::LastInputInfo(tick); }
  std::uint32_t SetThreadExecutionState(std::uint32_t flags) override {
    return win32::ThreadExecutionState(flags);
  }

  void DragAcceptFiles(Handle window, bool accept) override {
    ::DragAcceptFiles(reinterpret_cast<HWND>(window), accept ? TRUE : FALSE);
  }
  std::vector<std::string> DragQueryFiles(Handle drop) override {
    auto h = reinterpret_cast<HDROP>(drop);
    UINT n = winapi::DragQueryFileW(h, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> files;
    for (UINT i = 0; i < n; ++i) {
      wchar_t path[MAX_PATH] = {};
      UINT len = winapi::DragQueryFileW(h, i, path, MAX_PATH);
      files.push_back(ToUtf8(path, len));
    }
    return files;
  }
  void DragFinish(Handle drop) override { ::DragFinish(reinterpret_cast<HDROP>(drop)); }

  std::uintptr_t ShellExecute(Handle owner, const std::optional<std::string>& verb,
                              const std::string& file,
                              const std::optional<std::string>& parameters,
                              const std::optional<std::string>& directory, int show) override {
    OptText v(verb), p(parameters), d(directory);
    std::wstring f = ToWide(file);
    return reinterpret_cast<std::uintptr_t>(
        winapi::ShellExecuteW(reinterpret_cast<HWND>(owner), v.get(), f.c_str(), p.get(), d.get(), show));
  }

  void SHAddToRecentDocs(std::uint32_t flags, const std::string* path) override {
    if (!path) {
      ::SHAddToRecentDocs(flags, nullptr);  // clears the list
      return;
    }
    std::wstring w = ToWide(*path);
    winapi::SHAddToRecentDocsPathW(w.c_str());
  }

  std::string GetProfileString(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& def) override {
    std::wstring f = ProfilePath(file), s = ToWide(section), k = ToWide(key), d = ToWide(def);
    std::vector<wchar_t> buf(1024);
    for (;;) {
      DWORD n = winapi::GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buf.data(),
                                           static_cast<DWORD>(buf.size()), f.c_str());
      if (n + 1 < buf.size() || buf.size() >= 65536) return ToUtf8(buf.data(), n);
      buf.resize(buf.size() * 4);
    }
  }

  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override {
    std::wstring f = ProfilePath(file), s = ToWide(section), k = ToWide(key), v = ToWide(value);
    return winapi::WritePrivateProfileStringW(s.c_str(), k.c_str(), v.c_str(), f.c_str()) != FALSE;
  }

  std::uint32_t MciSendCommand(std::uint32_t deviceId, std::uint32_t command, std::uint32_t flags,
                               const std::string& deviceType, std::uint32_t& openedId) override {
    std::wstring type = ToWide(deviceType);
    MCI_OPEN_PARMSW parms;
    std::memset(&parms, 0, sizeof parms);
    parms.lpstrDeviceType = type.c_str();
    MCIERROR r = winapi::mciSendCommandW(deviceId, command, flags, reinterpret_cast<DWORD_PTR>(&parms));
    if (command == MCI_OPEN) openedId = r == 0 ? parms.wDeviceID : 0;
    return r;
  }
};

}  // namespace

std::unique_ptr<Platform> CreateWin32Platform() { return std::make_unique<Win32Platform>(); }

}  // namespace platform
