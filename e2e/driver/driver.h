// What the driver's parts share: text output, the options, finding windows
// and controls, and every command (one file a concept: windows.cpp,
// console.cpp, menus.cpp, processes.cpp, system.cpp; main in driver.cpp).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <objbase.h>
#include <tlhelp32.h>
#include "e2e/driver/menu_probe.h"
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace driver {

struct Args;
struct TopQuery;
struct ChildQuery;
struct MenuItem;


// io.cpp: text output (UTF-8, one record a line) and the options.
std::string toUtf8(const std::wstring& w);
void writeRaw(HANDLE h, const std::string& s);
void out(const std::wstring& line);
void err(const std::wstring& line);
std::wstring escape(const std::wstring& s);
std::wstring hex(uintptr_t v);
std::wstring num(long long v);
bool isFlag(const std::wstring& name);
Args parseArgs();

// windows.cpp: finding top-level windows and child controls.
std::wstring windowText(HWND h);
std::wstring className(HWND h);
TopQuery topQuery(const Args& a);
bool matches(HWND h, const TopQuery& q);
BOOL CALLBACK collectWindow(HWND h, LPARAM p);
std::vector<HWND> topLevelWindows();
HWND findTop(const TopQuery& q);
std::wstring describeQuery(const TopQuery& q);
HWND waitTop(const Args& a);
ChildQuery childQuery(const Args& a);
std::vector<HWND> childWindows(HWND parent);
HWND findChild(HWND parent, const ChildQuery& q);
HWND waitChild(const Args& a, HWND parent);
std::wstring rectText(const RECT& r);
std::wstring describeWindow(HWND h);
std::wstring controlText(HWND h, int part);

// windows.cpp: the commands on windows and controls.
int cmdList(const Args& a);
int cmdWait(const Args& a);
int cmdWaitGone(const Args& a);
int cmdRect(const Args& a);
int cmdClientRect(const Args& a);
BOOL CALLBACK printMonitor(HMONITOR m, HDC, RECT*, LPARAM);
int cmdMonitors(const Args&);
int cmdCursor(const Args&);
int cmdUnicode(const Args& a);
int cmdScreen(const Args&);
int cmdChildren(const Args& a);
int cmdText(const Args& a);
int cmdClick(const Args& a);
int cmdType(const Args& a);
int cmdHover(const Args& a);

// console.cpp
int cmdConsoleLine(const Args& a);

// windows.cpp
int cmdPost(const Args& a);
int cmdMsgbox(const Args& a);

// menus.cpp: menus read, and files dropped, on the target window's thread.
std::wstring menuItemText(HMENU menu, int pos);
HWND findPopupMenuWindow();
void postKey(HWND menuWnd, UINT vk);
bool callProbe(HWND window, ProbeOp op, void* data, size_t size, DWORD timeoutMs, std::wstring& error,
               bool trace = false);
DropProbe* makeDropProbe(HWND window, const std::vector<std::wstring>& files);
int cmdDrop(const Args& a);
int cmdTextExtents(const Args& a);
int cmdClipboardSave(const Args& a);
int cmdDpiChanged(const Args& a);
bool readRemoteMenu(HWND window, HMENU menu, bool menuBar, std::vector<MenuItem>& items, std::wstring& error);
bool readMenu(HWND menuWnd, std::vector<MenuItem>& items, std::wstring& error);

// processes.cpp: starting, measuring and timing programs.
int cmdTimeOpen(const Args& a);

// system.cpp: a hotkey held as another program would, the clipboard.
int cmdHoldHotKey(const Args& a);
int cmdClipboardSize(const Args&);
int cmdClipboardSequence(const Args&);
int cmdClipboardSetDib(const Args& a);

// menus.cpp
int cmdMenuCommand(const Args& a);
int cmdMenu(const Args& a, bool select);

// processes.cpp
std::wstring quoteArg(const std::wstring& s);
bool startProcess(const Args& a, PROCESS_INFORMATION& pi);
int cmdShortcutTarget(const Args& a);
int cmdTimeRun(const Args& a);
int cmdTimeDrop(const Args& a);
int cmdTimeClick(const Args& a);
int cmdRun(const Args& a);
int cmdMeasure(const Args& a);

// system.cpp: the registry and the end of the session.
int cmdRegGet(const Args& a);
int cmdRegSet(const Args& a, bool dword);
LONG deleteTree(HKEY root, const std::wstring& path);
int cmdRegDelete(const Args& a);
int cmdRegList(const Args& a);
int cmdExitWindows(const Args& a);
int cmdTrayIcon(const Args& a);
int cmdBroadcast(const Args& a);
int cmdMove(const Args& a);

// menus.cpp: the timed steps of a call into another process (see there).
class CallSteps {
 public:
  static constexpr DWORD kStepMs = 10000;   // a step's limit
  static constexpr DWORD kAnswerMs = 2000;  // how long the window gets to answer WM_NULL
  CallSteps(const std::wstring& what, HWND window, bool trace);
  ~CallSteps();
  CallSteps(const CallSteps&) = delete;
  CallSteps& operator=(const CallSteps&) = delete;
  void Begin(const std::wstring& step, DWORD limitMs);
  void End(const std::wstring& outcome);
  std::wstring Trace();
  HWND Window() const { return window_; }
  static std::wstring WindowAnswers(HWND window);

 private:
  static DWORD WINAPI Watch(void* self);
  std::wstring what_, step_, log_;
  HWND window_;
  bool trace_;
  DWORD start_, stepStart_ = 0, limit_ = 0;
  CRITICAL_SECTION lock_;
  HANDLE stop_ = nullptr, watchdog_ = nullptr;
};

struct Args {
  std::wstring command;
  std::map<std::wstring, std::wstring> opt;
  std::vector<std::wstring> positional;

  bool has(const wchar_t* k) const { return opt.count(k) != 0; }
  std::wstring str(const wchar_t* k, const std::wstring& def = L"") const {
    auto it = opt.find(k);
    return it == opt.end() ? def : it->second;
  }
  long long integer(const wchar_t* k, long long def) const {
    auto it = opt.find(k);
    if (it == opt.end()) return def;
    wchar_t* end = nullptr;
    long long v = static_cast<long long>(wcstoull(it->second.c_str(), &end, 0));
    if (!it->second.empty() && it->second[0] == L'-') v = wcstoll(it->second.c_str(), &end, 0);
    if (end == nullptr || *end != 0) {
      err(L"option --" + std::wstring(k) + L" needs a number, got \"" + it->second + L"\"");
      ExitProcess(1);
    }
    return v;
  }
  DWORD timeout() const { return static_cast<DWORD>(integer(L"timeout", 10000)); }
};


struct TopQuery {
  bool useTitle = false;
  std::wstring title;
  bool useClass = false;
  std::wstring cls;
  DWORD pid = 0;
  HWND hwnd = nullptr;
  bool visibleOnly = false;
  bool hiddenOnly = false;
};


// Polls until pred() returns true or the timeout elapses.
template <class Pred>
bool pollUntil(DWORD timeoutMs, Pred pred) {
  DWORD start = GetTickCount();
  for (;;) {
    if (pred()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}


struct ChildQuery {
  bool useText = false;
  std::wstring text;
  bool useId = false;
  int id = 0;
  bool useClass = false;
  std::wstring cls;
  int index = 0;
};


struct MenuItem {
  UINT id;
  UINT state;
  std::wstring text;
};


struct PidWindow {
  DWORD pid;
  HWND found;
  std::wstring title;
  bool useTitle;
};

}  // namespace driver
