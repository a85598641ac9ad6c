// The family switch, the code page conversions and the text calls of
// kernel32, advapi32, shell32 and winmm (user32, gdi32 and comdlg32:
// user.cpp).
#include "winapi/winapi.h"
#include "winapi/internal.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace winapi {
using namespace detail;

bool Ansi() {
  static const bool ansi = [] {
    char forced[8] = {};
    DWORD n = ::GetEnvironmentVariableA("KIVO_ANSI", forced, sizeof forced);
    if (n == 1 && forced[0] == '1') return true;
    return (::GetVersion() & 0x80000000u) != 0;
  }();
  return ansi;
}

bool UnicodeSystem() {
  static int works = -1;
  if (works < 0) {
    // The 95 family's W stubs fail with ERROR_CALL_NOT_IMPLEMENTED.
    using Fn = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);
    auto f = reinterpret_cast<Fn>(reinterpret_cast<void*>(Lookup("kernel32.dll", "GetModuleFileNameW")));
    wchar_t path[MAX_PATH] = {};
    works = f && f(nullptr, path, MAX_PATH) > 0 ? 1 : 0;
  }
  return works == 1;
}

std::string ToAnsi(const wchar_t* text, int length, bool* lost) {
  if (lost) *lost = false;
  if (!text) return std::string();
  if (length < 0) length = static_cast<int>(std::wcslen(text));
  if (length == 0) return std::string();
  BOOL usedDefault = FALSE;
  int n = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) {
    if (lost) *lost = true;
    return std::string();
  }
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], n, nullptr, &usedDefault);
  if (lost) *lost = usedDefault != FALSE;
  return out;
}

std::wstring FromAnsi(const char* text, int length) {
  if (!text) return std::wstring();
  if (length < 0) length = static_cast<int>(std::strlen(text));
  if (length == 0) return std::wstring();
  int n = ::MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, length, &out[0], n);
  return out;
}

FARPROC Lookup(const char* dll, const char* name) {
  HMODULE m = ::GetModuleHandleA(dll);
  if (!m) m = ::LoadLibraryA(dll);
  return m ? ::GetProcAddress(m, name) : nullptr;
}


// ------------------------------------------------------------- kernel32
HMODULE WINAPI GetModuleHandleW(LPCWSTR name) {
  if (Ansi() || !name) return ::GetModuleHandleA(name ? ToAnsi(name).c_str() : nullptr);
  KIVO_W("kernel32.dll", GetModuleHandleW);
  return w_GetModuleHandleW ? w_GetModuleHandleW(name) : nullptr;
}

HMODULE WINAPI LoadLibraryW(LPCWSTR name) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", LoadLibraryW);
    if (w_LoadLibraryW) return w_LoadLibraryW(name);
  }
  Arg a(name);
  if (a.lost) {  // another library would be loaded
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return nullptr;
  }
  return ::LoadLibraryA(a.get());
}

DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", GetModuleFileNameW);
    return w_GetModuleFileNameW ? w_GetModuleFileNameW(module, buffer, size) : 0;
  }
  std::vector<char> a(static_cast<size_t>(size) * 2 + 2, '\0');
  DWORD n = ::GetModuleFileNameA(module, a.data(), static_cast<DWORD>(a.size()));
  if (n == 0) return 0;
  std::wstring w = FromAnsi(a.data(), static_cast<int>(n));
  if (w.size() >= size) {  // too small: truncated, as the W function does
    CopyOut(w, buffer, static_cast<int>(size));
    return size;
  }
  return static_cast<DWORD>(CopyOut(w, buffer, static_cast<int>(size)));
}

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES sa, BOOL owner, LPCWSTR name) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", CreateMutexW);
    return w_CreateMutexW ? w_CreateMutexW(sa, owner, name) : nullptr;
  }
  Arg a(name);
  return ::CreateMutexA(sa, owner, a.get());
}

HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES sa, LONG initial, LONG maximum, LPCWSTR name) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", CreateSemaphoreW);
    if (w_CreateSemaphoreW) return w_CreateSemaphoreW(sa, initial, maximum, name);
  }
  Arg a(name);
  return ::CreateSemaphoreA(sa, initial, maximum, a.get());
}

BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info) {
  OSVERSIONINFOA a;
  std::memset(&a, 0, sizeof a);
  a.dwOSVersionInfoSize = sizeof a;  // 148 bytes
  if (!::GetVersionExA(&a)) return FALSE;
  info->dwMajorVersion = a.dwMajorVersion;
  info->dwMinorVersion = a.dwMinorVersion;
  info->dwBuildNumber = a.dwBuildNumber;
  info->dwPlatformId = a.dwPlatformId;
  CopyOut(FromAnsi(a.szCSDVersion), info->szCSDVersion, 128);
  return TRUE;
}

HANDLE WINAPI FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", FindFirstFileW);
    return w_FindFirstFileW ? w_FindFirstFileW(pattern, data) : INVALID_HANDLE_VALUE;
  }
  Arg a(pattern);
  if (a.lost) {
    // '?' in place of a lost character is a wildcard: it would find
    // other files. The Unicode call where the system has it.
    KIVO_W("kernel32.dll", FindFirstFileW);
    if (w_FindFirstFileW) {
      HANDLE h = w_FindFirstFileW(pattern, data);
      if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return h;
    }
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return INVALID_HANDLE_VALUE;
  }
  WIN32_FIND_DATAA fa;
  std::memset(&fa, 0, sizeof fa);
  HANDLE h = ::FindFirstFileA(a.get(), &fa);
  if (h == INVALID_HANDLE_VALUE) return h;
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = fa.dwFileAttributes;
  data->ftCreationTime = fa.ftCreationTime;
  data->ftLastAccessTime = fa.ftLastAccessTime;
  data->ftLastWriteTime = fa.ftLastWriteTime;
  data->nFileSizeHigh = fa.nFileSizeHigh;
  data->nFileSizeLow = fa.nFileSizeLow;
  CopyOut(FromAnsi(fa.cFileName), data->cFileName, MAX_PATH);
  CopyOut(FromAnsi(fa.cAlternateFileName), data->cAlternateFileName, 14);
  return h;
}

BOOL WINAPI GetVolumeInformationW(LPCWSTR root, LPWSTR name, DWORD nameSize, LPDWORD serial,
                                  LPDWORD maxComponent, LPDWORD flags, LPWSTR fsName,
                                  DWORD fsNameSize) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", GetVolumeInformationW);
    return w_GetVolumeInformationW &&
           w_GetVolumeInformationW(root, name, nameSize, serial, maxComponent, flags, fsName,
                                   fsNameSize);
  }
  Arg a(root);
  std::vector<char> n(nameSize * 2 + 2, '\0'), fs(fsNameSize * 2 + 2, '\0');
  BOOL ok = ::GetVolumeInformationA(a.get(), name ? n.data() : nullptr,
                                    static_cast<DWORD>(n.size()), serial, maxComponent, flags,
                                    fsName ? fs.data() : nullptr, static_cast<DWORD>(fs.size()));
  if (ok) {
    if (name) CopyOut(FromAnsi(n.data()), name, static_cast<int>(nameSize));
    if (fsName) CopyOut(FromAnsi(fs.data()), fsName, static_cast<int>(fsNameSize));
  }
  return ok;
}

namespace {
// GetDateFormat and GetTimeFormat on the A path: the format in the code
// page, the text back in UTF-16.
using FormatA = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCSTR, LPSTR, int);
int FormatThroughAnsi(FormatA format, LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR pattern,
                      LPWSTR out, int size) {
  Arg f(pattern);
  char a[256] = {};
  int n = format(locale, flags, time, f.get(), a, sizeof a);
  return n > 0 ? CopyOut(FromAnsi(a), out, size) + 1 : 0;
}
}  // namespace

int WINAPI GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format,
                          LPWSTR out, int size) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", GetDateFormatW);
    return w_GetDateFormatW ? w_GetDateFormatW(locale, flags, time, format, out, size) : 0;
  }
  return FormatThroughAnsi(&::GetDateFormatA, locale, flags, time, format, out, size);
}

int WINAPI GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format,
                          LPWSTR out, int size) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", GetTimeFormatW);
    return w_GetTimeFormatW ? w_GetTimeFormatW(locale, flags, time, format, out, size) : 0;
  }
  return FormatThroughAnsi(&::GetTimeFormatA, locale, flags, time, format, out, size);
}

VOID WINAPI GetStartupInfoW(LPSTARTUPINFOW info) {
  // The texts (desktop, title) are not used: only the numbers come over.
  STARTUPINFOA a;
  std::memset(&a, 0, sizeof a);
  a.cb = sizeof a;
  ::GetStartupInfoA(&a);
  std::memset(info, 0, sizeof *info);
  info->cb = sizeof *info;
  info->dwX = a.dwX;
  info->dwY = a.dwY;
  info->dwXSize = a.dwXSize;
  info->dwYSize = a.dwYSize;
  info->dwXCountChars = a.dwXCountChars;
  info->dwYCountChars = a.dwYCountChars;
  info->dwFillAttribute = a.dwFillAttribute;
  info->dwFlags = a.dwFlags;
  info->wShowWindow = a.wShowWindow;
  info->hStdInput = a.hStdInput;
  info->hStdOutput = a.hStdOutput;
  info->hStdError = a.hStdError;
}

BOOL WINAPI CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES pa,
                           LPSECURITY_ATTRIBUTES ta, BOOL inherit, DWORD flags, LPVOID environment,
                           LPCWSTR directory, LPSTARTUPINFOW startup,
                           LPPROCESS_INFORMATION info) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", CreateProcessW);
    return w_CreateProcessW && w_CreateProcessW(application, commandLine, pa, ta, inherit, flags,
                                                environment, directory, startup, info);
  }
  Arg app(application), line(commandLine), dir(directory);
  if (SendsLost(app) || SendsLost(line) || SendsLost(dir)) {
    // A program the code page cannot name would be another program.
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return FALSE;
  }
  STARTUPINFOA si;
  std::memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  if (startup) {
    si.dwX = startup->dwX;
    si.dwY = startup->dwY;
    si.dwXSize = startup->dwXSize;
    si.dwYSize = startup->dwYSize;
    si.dwXCountChars = startup->dwXCountChars;
    si.dwYCountChars = startup->dwYCountChars;
    si.dwFillAttribute = startup->dwFillAttribute;
    si.dwFlags = startup->dwFlags;
    si.wShowWindow = startup->wShowWindow;
    si.hStdInput = startup->hStdInput;
    si.hStdOutput = startup->hStdOutput;
    si.hStdError = startup->hStdError;
  }
  return ::CreateProcessA(app.get(), line.mut(), pa, ta, inherit, flags, environment, dir.get(),
                          &si, info);
}

DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPWSTR buffer,
                            DWORD size, va_list* args) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", FormatMessageW);
    return w_FormatMessageW ? w_FormatMessageW(flags, source, id, language, buffer, size, args) : 0;
  }
  if (!(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) || !(flags & FORMAT_MESSAGE_FROM_SYSTEM)) return 0;
  char* text = nullptr;
  DWORD n = ::FormatMessageA(flags, source, id, language, reinterpret_cast<LPSTR>(&text), 0, args);
  if (n == 0 || !text) return 0;
  std::wstring w = FromAnsi(text, static_cast<int>(n));
  ::LocalFree(text);
  auto* out = static_cast<wchar_t*>(::LocalAlloc(LMEM_FIXED, (w.size() + 1) * sizeof(wchar_t)));
  if (!out) return 0;
  std::memcpy(out, w.c_str(), (w.size() + 1) * sizeof(wchar_t));
  *reinterpret_cast<LPWSTR*>(buffer) = out;
  return static_cast<DWORD>(w.size());
}

namespace {
// A folder of the system asked for on the A side: its name converted, or the
// size it needs as the W call answers.
UINT FolderFromAnsi(UINT(WINAPI* ansi)(LPSTR, UINT), LPWSTR buffer, UINT size) {
  char a[MAX_PATH * 2 + 2] = {};
  UINT n = ansi(a, sizeof a);
  if (n == 0 || n >= sizeof a) return 0;
  std::wstring w = FromAnsi(a, static_cast<int>(n));
  if (w.size() >= size) return static_cast<UINT>(w.size() + 1);
  return static_cast<UINT>(CopyOut(w, buffer, static_cast<int>(size)));
}
}  // namespace

UINT WINAPI GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", GetWindowsDirectoryW);
    return w_GetWindowsDirectoryW ? w_GetWindowsDirectoryW(buffer, size) : 0;
  }
  return FolderFromAnsi(&::GetWindowsDirectoryA, buffer, size);
}

UINT WINAPI GetSystemDirectoryW(LPWSTR buffer, UINT size) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", GetSystemDirectoryW);
    return w_GetSystemDirectoryW ? w_GetSystemDirectoryW(buffer, size) : 0;
  }
  return FolderFromAnsi(&::GetSystemDirectoryA, buffer, size);
}

int WINAPI CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int na, LPCWSTR b, int nb) {
  // The texts may be passwords. Where the system compares Unicode (NT,
  // Wine), the W call takes them as they are: CompareStringA there converts
  // them into a buffer of the thread that nobody wipes. The 95 family's
  // stub answers 0, and the A call compares.
  KIVO_W("kernel32.dll", CompareStringW);
  if (w_CompareStringW) {
    int r = w_CompareStringW(locale, flags, a, na, b, nb);
    if (r != 0 || !Ansi()) return r;
  } else if (!Ansi()) {
    return 0;
  }
  Arg x(nullptr), y(nullptr);
  x.null = y.null = false;
  x.text = ToAnsi(a, na, &x.lost);
  y.text = ToAnsi(b, nb, &y.lost);
  if (x.lost || y.lost) {
    // Two texts that differ only where the code page has no character would
    // compare equal: compare the UTF-16 code units instead.
    std::wstring wa(a, static_cast<size_t>(na < 0 ? std::wcslen(a) : na));
    std::wstring wb(b, static_cast<size_t>(nb < 0 ? std::wcslen(b) : nb));
    int r = wa == wb ? CSTR_EQUAL : (wa < wb ? CSTR_LESS_THAN : CSTR_GREATER_THAN);
    for (std::wstring* s : {&wa, &wb}) {
      volatile wchar_t* p = s->empty() ? nullptr : &(*s)[0];
      for (size_t i = 0; i < s->size(); ++i) p[i] = 0;
    }
    return r;
  }
  return ::CompareStringA(locale, flags, x.text.c_str(), static_cast<int>(x.text.size()),
                          y.text.c_str(), static_cast<int>(y.text.size()));
}

HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                          DWORD disposition, DWORD attributes, HANDLE tmpl) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", CreateFileW);
    return w_CreateFileW ? w_CreateFileW(name, access, share, sa, disposition, attributes, tmpl)
                         : INVALID_HANDLE_VALUE;
  }
  Arg a(name);
  if (a.lost) {
    // The code page cannot name the file: another file would be meant.
    KIVO_W("kernel32.dll", CreateFileW);
    if (w_CreateFileW) {
      HANDLE h = w_CreateFileW(name, access, share, sa, disposition, attributes, tmpl);
      if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return h;
    }
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileA(a.get(), access, share, sa, disposition, attributes, tmpl);
}

namespace {
// A file name the code page cannot hold: the W function where it works.
template <class Fn, class... A>
bool WideForLostName(Fn* w, BOOL& result, A... args) {
  if (w) {
    result = w(args...);
    if (result || ::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return true;
  }
  ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  result = FALSE;
  return false;
}
}  // namespace

BOOL WINAPI DeleteFileW(LPCWSTR name) {
  KIVO_W("kernel32.dll", DeleteFileW);
  if (!Ansi()) return w_DeleteFileW ? w_DeleteFileW(name) : FALSE;
  Arg a(name);
  BOOL r = FALSE;
  if (a.lost) {
    WideForLostName(w_DeleteFileW, r, name);
    return r;
  }
  return ::DeleteFileA(a.get());
}

BOOL WINAPI MoveFileW(LPCWSTR from, LPCWSTR to) {
  KIVO_W("kernel32.dll", MoveFileW);
  if (!Ansi()) return w_MoveFileW ? w_MoveFileW(from, to) : FALSE;
  Arg f(from), t(to);
  BOOL r = FALSE;
  if (f.lost || t.lost) {
    WideForLostName(w_MoveFileW, r, from, to);
    return r;
  }
  return ::MoveFileA(f.get(), t.get());
}

BOOL WINAPI MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  KIVO_W("kernel32.dll", MoveFileExW);
  if (!Ansi()) {
    if (w_MoveFileExW) return w_MoveFileExW(from, to, flags);
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  Arg f(from), t(to);
  BOOL r = FALSE;
  if (f.lost || t.lost) {
    WideForLostName(w_MoveFileExW, r, from, to, flags);
    return r;
  }
  return ::MoveFileExA(f.get(), t.get(), flags);
}

UINT WINAPI GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR out) {
  KIVO_W("kernel32.dll", GetTempFileNameW);
  if (!Ansi()) return w_GetTempFileNameW ? w_GetTempFileNameW(folder, prefix, unique, out) : 0;
  Arg f(folder), p(prefix);
  if (f.lost || p.lost) {
    if (w_GetTempFileNameW) {
      UINT n = w_GetTempFileNameW(folder, prefix, unique, out);
      if (n != 0 || ::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return n;
    }
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  char a[MAX_PATH * 2 + 2] = {};
  UINT n = ::GetTempFileNameA(f.get(), p.get(), unique, a);
  if (n == 0) return 0;
  // The name is made of the folder's: it converts back whole.
  CopyOut(FromAnsi(a), out, MAX_PATH);
  return n;
}

namespace {
// GetLongPathName and GetShortPathName, which share their signature.
DWORD PathNameCall(const char* name, LPCWSTR path, LPWSTR out, DWORD size) {
  if (!Ansi()) {
    using Fn = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
    auto w = reinterpret_cast<Fn>(reinterpret_cast<void*>(Lookup("kernel32.dll", (std::string(name) + "W").c_str())));
    if (w) return w(path, out, size);
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  using Fa = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
  auto a = reinterpret_cast<Fa>(reinterpret_cast<void*>(Lookup("kernel32.dll", (std::string(name) + "A").c_str())));
  if (!a) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  Arg p(path);
  if (p.lost) {
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  char buffer[MAX_PATH * 2 + 2] = {};
  DWORD n = a(p.get(), buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return n == 0 ? 0 : static_cast<DWORD>(MAX_PATH * 2 + 2);
  const std::wstring w = FromAnsi(buffer);
  if (w.size() >= size) return static_cast<DWORD>(w.size() + 1);
  return static_cast<DWORD>(CopyOut(w, out, static_cast<int>(size)));
}
}  // namespace

DWORD WINAPI GetLongPathNameW(LPCWSTR path, LPWSTR out, DWORD size) {
  return PathNameCall("GetLongPathName", path, out, size);
}

DWORD WINAPI GetShortPathNameW(LPCWSTR path, LPWSTR out, DWORD size) {
  return PathNameCall("GetShortPathName", path, out, size);
}

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR def, LPWSTR out,
                                      DWORD size, LPCWSTR file) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", GetPrivateProfileStringW);
    return w_GetPrivateProfileStringW
               ? w_GetPrivateProfileStringW(section, key, def, out, size, file)
               : 0;
  }
  Arg s(section), k(key), d(def), f(file);
  if (f.lost) {  // another file would be read
    CopyOut(d.null ? std::wstring() : std::wstring(def), out, static_cast<int>(size));
    return static_cast<DWORD>(std::min<size_t>(d.null ? 0 : std::wcslen(def), size ? size - 1 : 0));
  }
  std::vector<char> a(static_cast<size_t>(size) * 2 + 2, '\0');
  DWORD n = ::GetPrivateProfileStringA(s.get(), k.get(), d.get(), a.data(),
                                       static_cast<DWORD>(a.size()), f.get());
  std::wstring w = FromAnsi(a.data(), static_cast<int>(n));
  // A result that fills the buffer tells the caller to try a larger one.
  if (n + 1 >= a.size() && w.size() + 1 < size) return size - 1;
  return static_cast<DWORD>(CopyOut(w, out, static_cast<int>(size)));
}

BOOL WINAPI WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value,
                                       LPCWSTR file) {
  if (!Ansi()) {
    KIVO_W("kernel32.dll", WritePrivateProfileStringW);
    return w_WritePrivateProfileStringW && w_WritePrivateProfileStringW(section, key, value, file);
  }
  Arg s(section), k(key), v(value), f(file);
  if (f.lost) {  // another file would be written
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return FALSE;
  }
  return ::WritePrivateProfileStringA(s.get(), k.get(), v.get(), f.get());
}

// ------------------------------------------------------------- advapi32
BOOL WINAPI LookupPrivilegeValueW(LPCWSTR system, LPCWSTR name, PLUID luid) {
  if (!Ansi()) {
    KIVO_W("advapi32.dll", LookupPrivilegeValueW);
    return w_LookupPrivilegeValueW && w_LookupPrivilegeValueW(system, name, luid);
  }
  Arg s(system), n(name);
  return ::LookupPrivilegeValueA(s.get(), n.get(), luid);
}

LONG WINAPI RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD reserved, LPWSTR cls, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY key,
                            LPDWORD disposition) {
  if (!Ansi()) {
    KIVO_W("advapi32.dll", RegCreateKeyExW);
    return w_RegCreateKeyExW ? w_RegCreateKeyExW(parent, subKey, reserved, cls, options, access,
                                                 sa, key, disposition)
                             : ERROR_CALL_NOT_IMPLEMENTED;
  }
  Arg s(subKey), c(cls);
  return ::RegCreateKeyExA(parent, s.get(), reserved, c.mut(), options, access, sa, key,
                           disposition);
}

LONG WINAPI RegOpenKeyExW(HKEY parent, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY key) {
  if (!Ansi()) {
    KIVO_W("advapi32.dll", RegOpenKeyExW);
    return w_RegOpenKeyExW ? w_RegOpenKeyExW(parent, subKey, options, access, key)
                           : ERROR_CALL_NOT_IMPLEMENTED;
  }
  Arg s(subKey);
  return ::RegOpenKeyExA(parent, s.get(), options, access, key);
}

LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size) {
  KIVO_W("advapi32.dll", RegQueryValueExW);
  if (!Ansi())
    return w_RegQueryValueExW ? w_RegQueryValueExW(key, name, reserved, type, data, size)
                              : ERROR_CALL_NOT_IMPLEMENTED;
  Arg n(name);
  DWORD t = 0, bytes = 0;
  LONG r = ::RegQueryValueExA(key, n.get(), reserved, &t, nullptr, &bytes);
  if (r != ERROR_SUCCESS) return r;
  if (type) *type = t;
  if (t != REG_SZ && t != REG_EXPAND_SZ) {
    if (!data) {
      if (size) *size = bytes;
      return ERROR_SUCCESS;
    }
    return ::RegQueryValueExA(key, n.get(), reserved, &t, data, size);
  }
  std::vector<char> a(bytes + 1, '\0');
  DWORD got = bytes;
  r = ::RegQueryValueExA(key, n.get(), reserved, &t, reinterpret_cast<BYTE*>(a.data()), &got);
  if (r != ERROR_SUCCESS) return r;
  size_t len = std::min<size_t>(got, bytes);
  while (len > 0 && a[len - 1] == '\0') --len;
  std::wstring w = FromAnsi(a.data(), static_cast<int>(len));
  if (w.find(L'?') != std::wstring::npos && w_RegQueryValueExW) {
    // Perhaps a text the code page could not hold, written as Unicode
    // where the system has the W calls: read it so.
    DWORD wt = 0, wbytes = 0;
    if (w_RegQueryValueExW(key, name, nullptr, &wt, nullptr, &wbytes) == ERROR_SUCCESS &&
        (wt == REG_SZ || wt == REG_EXPAND_SZ))
      return w_RegQueryValueExW(key, name, reserved, type, data, size);
  }
  DWORD need = static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t));
  if (!data) {
    if (size) *size = need;
    return ERROR_SUCCESS;
  }
  if (!size || *size < need) {
    if (size) *size = need;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, w.c_str(), need);
  *size = need;
  return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
  KIVO_W("advapi32.dll", RegSetValueExW);
  if (!Ansi())
    return w_RegSetValueExW ? w_RegSetValueExW(key, name, reserved, type, data, size)
                            : ERROR_CALL_NOT_IMPLEMENTED;
  Arg n(name);
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    return ::RegSetValueExA(key, n.get(), reserved, type, data, size);
  const auto* w = reinterpret_cast<const wchar_t*>(data);
  size_t chars = size / sizeof(wchar_t);
  while (chars > 0 && w[chars - 1] == L'\0') --chars;
  bool lost = false;
  std::string a = ToAnsi(w, static_cast<int>(chars), &lost);
  if (lost && w_RegSetValueExW) {
    // Kept whole where the system takes Unicode values; the 95 family
    // refuses the call and gets the code page's form below.
    LONG r = w_RegSetValueExW(key, name, reserved, type, data, size);
    if (r != ERROR_CALL_NOT_IMPLEMENTED) return r;
  }
  return ::RegSetValueExA(key, n.get(), reserved, type, reinterpret_cast<const BYTE*>(a.c_str()),
                          static_cast<DWORD>(a.size() + 1));
}

LONG WINAPI RegDeleteValueW(HKEY key, LPCWSTR name) {
  if (!Ansi()) {
    KIVO_W("advapi32.dll", RegDeleteValueW);
    return w_RegDeleteValueW ? w_RegDeleteValueW(key, name) : ERROR_CALL_NOT_IMPLEMENTED;
  }
  Arg n(name);
  return ::RegDeleteValueA(key, n.get());
}

// ------------------------------------------------------------- shell32, winmm
HINSTANCE WINAPI ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                               LPCWSTR directory, INT show) {
  if (!Ansi()) {
    KIVO_W("shell32.dll", ShellExecuteW);
    return w_ShellExecuteW ? w_ShellExecuteW(owner, verb, file, parameters, directory, show)
                           : reinterpret_cast<HINSTANCE>(SE_ERR_DLLNOTFOUND);
  }
  Arg v(verb), f(file), p(parameters), d(directory);
  if (SendsLost(f) || SendsLost(d)) return reinterpret_cast<HINSTANCE>(ERROR_FILE_NOT_FOUND);
  return ::ShellExecuteA(owner, v.get(), f.get(), p.get(), d.get(), show);
}

UINT WINAPI DragQueryFileW(HDROP drop, UINT index, LPWSTR out, UINT size) {
  KIVO_W("shell32.dll", DragQueryFileW);
  if (!Ansi()) return w_DragQueryFileW ? w_DragQueryFileW(drop, index, out, size) : 0;
  if (index == 0xFFFFFFFFu) return ::DragQueryFileA(drop, index, nullptr, 0);
  char a[MAX_PATH * 2 + 2] = {};
  UINT n = ::DragQueryFileA(drop, index, a, sizeof a);
  if (n == 0) return 0;
  std::wstring w = FromAnsi(a, static_cast<int>(n));
  if (w.find(L'?') != std::wstring::npos && w_DragQueryFileW) {
    // '?' is no character of a file name: the code page lost one. The
    // Unicode name, where the system gives it.
    UINT wn = w_DragQueryFileW(drop, index, out, size);
    if (wn > 0) return wn;
  }
  if (!out) return static_cast<UINT>(w.size());
  return static_cast<UINT>(CopyOut(w, out, static_cast<int>(size)));
}

BOOL WINAPI Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data) {
  if (!Ansi()) {
    KIVO_W("shell32.dll", Shell_NotifyIconW);
    return w_Shell_NotifyIconW && w_Shell_NotifyIconW(message, data);
  }
  NOTIFYICONDATAA a;
  std::memset(&a, 0, sizeof a);
  a.cbSize = NOTIFYICONDATAA_V1_SIZE;
  a.hWnd = data->hWnd;
  a.uID = data->uID;
  a.uFlags = data->uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP);
  a.uCallbackMessage = data->uCallbackMessage;
  a.hIcon = data->hIcon;
  // 63 bytes at most, never half a double-byte character.
  std::string tip;
  for (const wchar_t* p = data->szTip; *p && p < data->szTip + 64; ++p) {
    std::string ch = ToAnsi(p, 1);
    if (tip.size() + ch.size() > 63) break;
    tip += ch;
  }
  std::memcpy(a.szTip, tip.c_str(), tip.size() + 1);
  return ::Shell_NotifyIconA(message, &a);
}

void SHAddToRecentDocsPathW(LPCWSTR path) {
  if (!Ansi()) {
    ::SHAddToRecentDocs(SHARD_PATHW, path);
    return;
  }
  Arg a(path);
  if (a.lost) return;  // another document would be named
  ::SHAddToRecentDocs(SHARD_PATHA, a.get());
}

MCIERROR WINAPI mciSendCommandW(MCIDEVICEID device, UINT command, DWORD_PTR flags,
                                DWORD_PTR params) {
  // winmm is loaded when the CD tray is first used, not at start-up.
  using Send = MCIERROR(WINAPI*)(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR);
  if (!Ansi()) {
    static auto send = reinterpret_cast<Send>(reinterpret_cast<void*>(Lookup("winmm.dll", "mciSendCommandW")));
    return send ? send(device, command, flags, params) : MCIERR_DEVICE_NOT_INSTALLED;
  }
  static auto send = reinterpret_cast<Send>(reinterpret_cast<void*>(Lookup("winmm.dll", "mciSendCommandA")));
  if (!send) return MCIERR_DEVICE_NOT_INSTALLED;
  if (command != MCI_OPEN || !params) return send(device, command, flags, params);
  auto* w = reinterpret_cast<MCI_OPEN_PARMSW*>(params);
  MCI_OPEN_PARMSA a;
  std::memset(&a, 0, sizeof a);
  a.dwCallback = w->dwCallback;
  std::string type, element, alias;
  if ((flags & MCI_OPEN_TYPE) && !(flags & MCI_OPEN_TYPE_ID)) {
    type = ToAnsi(w->lpstrDeviceType);
    a.lpstrDeviceType = type.c_str();
  } else {
    a.lpstrDeviceType = reinterpret_cast<LPCSTR>(w->lpstrDeviceType);
  }
  if ((flags & MCI_OPEN_ELEMENT) && !(flags & MCI_OPEN_ELEMENT_ID)) {
    element = ToAnsi(w->lpstrElementName);
    a.lpstrElementName = element.c_str();
  }
  if (flags & MCI_OPEN_ALIAS) {
    alias = ToAnsi(w->lpstrAlias);
    a.lpstrAlias = alias.c_str();
  }
  MCIERROR r = send(device, command, flags, reinterpret_cast<DWORD_PTR>(&a));
  w->wDeviceID = a.wDeviceID;
  return r;
}

}  // namespace winapi
