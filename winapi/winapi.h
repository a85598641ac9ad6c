// The text calls of the Win32 API for both families of Windows.
//
// The NT family (2000, XP, Wine by default) has the Unicode (W) API; the
// 95/98/Me family implements only a handful of W functions and answers the
// rest with stubs that fail. Every function here has the signature of the W
// function it is named after: on the NT family it calls that W function
// (looked up when first used, so that the program imports none that the 95
// family lacks); on the 95 family it calls the A function with the texts
// converted to and from the system's ANSI code page (CP_ACP: 932 on a
// Japanese system). Window classes registered here are A classes there and
// get A messages; the message calls, SendMessageW among them, follow.
//
// KIVO_ANSI=1 in the environment forces the A side on any system (tests).
//
// Only toolkit/win32 and platform/win32 include this.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <string>

namespace winapi {

// True on the 95/98/Me family (GetVersion's high bit) or with KIVO_ANSI=1.
bool Ansi();
// True where the W calls work: the NT family, and Wine whatever version it
// shows (not the 95 family, whose W functions are stubs).
bool UnicodeSystem();

// Text in the system's ANSI code page and back. lost (when given) becomes
// true when a character has no form in the code page and was replaced.
std::string ToAnsi(const wchar_t* text, int length = -1, bool* lost = nullptr);
std::wstring FromAnsi(const char* text, int length = -1);

// An entry point of a system library, or null; the library is loaded when
// it is not yet.
FARPROC Lookup(const char* dll, const char* name);

// ------------------------------------------------------------- kernel32
HMODULE WINAPI GetModuleHandleW(LPCWSTR name);
HMODULE WINAPI LoadLibraryW(LPCWSTR name);
DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES sa, BOOL owner, LPCWSTR name);
HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES sa, LONG initial, LONG maximum, LPCWSTR name);
BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info);
HANDLE WINAPI FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL WINAPI GetVolumeInformationW(LPCWSTR root, LPWSTR name, DWORD nameSize, LPDWORD serial,
                                  LPDWORD maxComponent, LPDWORD flags, LPWSTR fsName,
                                  DWORD fsNameSize);
int WINAPI GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format,
                          LPWSTR out, int size);
int WINAPI GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format,
                          LPWSTR out, int size);
VOID WINAPI GetStartupInfoW(LPSTARTUPINFOW info);
BOOL WINAPI CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES pa,
                           LPSECURITY_ATTRIBUTES ta, BOOL inherit, DWORD flags, LPVOID environment,
                           LPCWSTR directory, LPSTARTUPINFOW startup,
                           LPPROCESS_INFORMATION info);
// Only with FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER on
// the A side; the buffer goes back with LocalFree.
DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPWSTR buffer,
                            DWORD size, va_list* args);
UINT WINAPI GetWindowsDirectoryW(LPWSTR buffer, UINT size);
UINT WINAPI GetSystemDirectoryW(LPWSTR buffer, UINT size);
int WINAPI CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int na, LPCWSTR b, int nb);
HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                          DWORD disposition, DWORD attributes, HANDLE tmpl);
// Names the code page cannot hold go to the W function where the system
// has one; otherwise the call fails with ERROR_NO_UNICODE_TRANSLATION
// rather than reach another file. MoveFileEx is a stub on the 95 family
// (ERROR_CALL_NOT_IMPLEMENTED), and so it stays here.
BOOL WINAPI DeleteFileW(LPCWSTR name);
BOOL WINAPI MoveFileW(LPCWSTR from, LPCWSTR to);
BOOL WINAPI MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
UINT WINAPI GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR out);
// Both looked up at run time: GetLongPathName is missing on 95 and NT 4
// (0 with ERROR_CALL_NOT_IMPLEMENTED there).
DWORD WINAPI GetLongPathNameW(LPCWSTR path, LPWSTR out, DWORD size);
DWORD WINAPI GetShortPathNameW(LPCWSTR path, LPWSTR out, DWORD size);
DWORD WINAPI GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR def, LPWSTR out,
                                      DWORD size, LPCWSTR file);
BOOL WINAPI WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value,
                                       LPCWSTR file);

// ------------------------------------------------------------- advapi32
BOOL WINAPI LookupPrivilegeValueW(LPCWSTR system, LPCWSTR name, PLUID luid);
LONG WINAPI RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD reserved, LPWSTR cls, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY key, LPDWORD disposition);
LONG WINAPI RegOpenKeyExW(HKEY parent, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY key);
// Text values (REG_SZ, REG_EXPAND_SZ) come and go as UTF-16 on both sides; a
// text the code page cannot hold is kept whole where the system can.
LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size);
LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size);
LONG WINAPI RegDeleteValueW(HKEY key, LPCWSTR name);

// ------------------------------------------------------------- shell32, winmm
HINSTANCE WINAPI ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                               LPCWSTR directory, INT show);
// A name that the code page cannot hold is read as Unicode where the system
// can; otherwise it comes back with '?' in place of what was lost.
UINT WINAPI DragQueryFileW(HDROP drop, UINT index, LPWSTR out, UINT size);
BOOL WINAPI Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data);  // version 1 fields only
void SHAddToRecentDocsPathW(LPCWSTR path);
MCIERROR WINAPI mciSendCommandW(MCIDEVICEID device, UINT command, DWORD_PTR flags,
                                DWORD_PTR params);  // text only in MCI_OPEN_PARMSW

// ------------------------------------------------------------- user32, gdi32
ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc);
// A text the code page cannot hold is kept whole in a window that takes
// Unicode where the system can (as SetWindowTextW keeps it).
HWND WINAPI CreateWindowExW(DWORD ex, LPCWSTR cls, LPCWSTR text, DWORD style, int x, int y, int w,
                            int h, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
LRESULT WINAPI DefWindowProcW(HWND h, UINT msg, WPARAM wp, LPARAM lp);
LRESULT WINAPI SendMessageW(HWND h, UINT msg, WPARAM wp, LPARAM lp);
BOOL WINAPI PostMessageW(HWND h, UINT msg, WPARAM wp, LPARAM lp);
// The message loop takes the W calls wherever they work, the A calls on
// the 95 family: the system's own controls are Unicode windows on NT and
// Wine, and a double-byte WM_CHAR taken with GetMessageA would reach them
// as two bytes converted one by one. A windows get their messages
// converted by the system (a double-byte WM_CHAR as two bytes).
BOOL WINAPI GetMessageW(LPMSG msg, HWND h, UINT first, UINT last);
BOOL WINAPI PeekMessageW(LPMSG msg, HWND h, UINT first, UINT last, UINT remove);
LRESULT WINAPI DispatchMessageW(const MSG* msg);
BOOL WINAPI IsDialogMessageW(HWND dialog, LPMSG msg);
// WM_CHAR on the A side carries a byte of the code page; a double-byte
// character comes as two. Returns false for a lead byte (wait for the next);
// otherwise puts the UTF-16 character into wp.
bool CharToWide(UINT msg, WPARAM& wp);
LONG WINAPI GetWindowLongW(HWND h, int index);
LONG WINAPI SetWindowLongW(HWND h, int index, LONG value);
BOOL WINAPI SetWindowTextW(HWND h, LPCWSTR text);
int WINAPI GetWindowTextW(HWND h, LPWSTR out, int size);
int WINAPI GetWindowTextLengthW(HWND h);
int WINAPI GetClassNameW(HWND h, LPWSTR out, int size);
HWND WINAPI FindWindowW(LPCWSTR cls, LPCWSTR title);
UINT WINAPI RegisterWindowMessageW(LPCWSTR name);
UINT WINAPI RegisterClipboardFormatW(LPCWSTR name);
HWND WINAPI GetAncestor(HWND h, UINT flags);  // 98 and later; emulated on 95
BOOL WINAPI AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name);
HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name);
HANDLE WINAPI LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);
UINT WINAPI MapVirtualKeyW(UINT code, UINT type);
BOOL WINAPI SystemParametersInfoW(UINT action, UINT param, PVOID value, UINT winIni);
HFONT WINAPI CreateFontW(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charset,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitch,
                         LPCWSTR face);
int WINAPI GetObjectW(HANDLE object, int size, LPVOID out);  // no LOGFONT on the A side

// ------------------------------------------------------------- comdlg32
// comdlg32 is loaded when a dialog is first shown.
BOOL WINAPI ChooseColorW(LPCHOOSECOLORW cc);
BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW ofn);
BOOL WINAPI GetSaveFileNameW(LPOPENFILENAMEW ofn);


// ------------------------------------------------------------- added for the command line, hotkeys and captures
// Messages without text (WM_COPYDATA …): the A function on the 95 family.
LRESULT WINAPI SendMessageTimeoutW(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT flags, UINT timeout,
                                   PDWORD_PTR result);
// The key and shift state of a character on the current layout; 0xFFFF for
// a character the code page (and so the keyboard) does not have.
SHORT WINAPI VkKeyScanW(WCHAR ch);
// SHGetFolderPath from shell32 (2000, Me and later) or shfolder.dll (the
// others, with it installed); E_FAIL where neither has it.
HRESULT WINAPI SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);
// The shell's folder browser: the chosen folder's path, or "" when none was
// chosen (or the system has no browser).
std::wstring BrowseForFolder(HWND owner, const std::wstring& title);

}  // namespace winapi
