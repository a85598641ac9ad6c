// kivo_driver: a small console tool that drives Win32 programs from the
// outside for the end-to-end tests and the start-up benchmark.
//
// Usage: kivo_driver <command> [--option value]...
// Every wait polls with a timeout (--timeout <ms>, default 10000).
// Output is UTF-8, one record per line. Exit codes: 0 success, 1 usage or
// Win32 error, 2 timeout / not found.
//
// Window selection (top-level):  --title <exact caption> [--class <class>]
//                                [--pid <process id>] [--hwnd <0x...>]
// Child selection:               --text <exact text> | --id <n> | --ctl-class <class>
//                                (combine them; --index n picks the n-th match)

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

namespace {

// ---------------------------------------------------------------- text I/O

std::string toUtf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                      nullptr);
  return s;
}

void writeRaw(HANDLE h, const std::string& s) {
  DWORD done = 0;
  const char* p = s.data();
  size_t left = s.size();
  while (left > 0) {
    if (!WriteFile(h, p, static_cast<DWORD>(left), &done, nullptr) || done == 0) return;
    p += done;
    left -= done;
  }
}

void out(const std::wstring& line) { writeRaw(GetStdHandle(STD_OUTPUT_HANDLE), toUtf8(line) + "\n"); }
void err(const std::wstring& line) {
  writeRaw(GetStdHandle(STD_ERROR_HANDLE), "kivo_driver: " + toUtf8(line) + "\n");
}

// Control characters in window texts would break the one-record-per-line
// output; they are written as C escapes.
std::wstring escape(const std::wstring& s) {
  std::wstring r;
  for (wchar_t c : s) {
    switch (c) {
      case L'\n': r += L"\\n"; break;
      case L'\r': r += L"\\r"; break;
      case L'\t': r += L"\\t"; break;
      case L'\\': r += L"\\\\"; break;
      default: r += c;
    }
  }
  return r;
}

std::wstring hex(uintptr_t v) {
  wchar_t buf[32];
  swprintf(buf, 32, L"0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

std::wstring num(long long v) { return std::to_wstring(v); }

// ---------------------------------------------------------------- options

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

// Options that take no value.
bool isFlag(const std::wstring& name) {
  return name == L"visible" || name == L"hidden" || name == L"send" || name == L"system" ||
         name == L"terminate" || name == L"v5";
}

Args parseArgs() {
  Args a;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return a;
  int i = 1;
  if (i < argc) a.command = argv[i++];
  for (; i < argc; ++i) {
    std::wstring s = argv[i];
    if (s.size() > 2 && s.compare(0, 2, L"--") == 0) {
      std::wstring name = s.substr(2);
      if (isFlag(name)) {
        a.opt[name] = L"1";
      } else if (i + 1 < argc) {
        a.opt[name] = argv[++i];
      } else {
        err(L"option " + s + L" needs a value");
        ExitProcess(1);
      }
    } else if (s == L"--") {
      for (++i; i < argc; ++i) a.positional.push_back(argv[i]);
    } else {
      a.positional.push_back(s);
    }
  }
  LocalFree(argv);
  return a;
}

// ---------------------------------------------------------------- windows

std::wstring windowText(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) return L"";
  std::vector<wchar_t> buf(len + 2, 0);
  DWORD_PTR got = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                      SMTO_ABORTIFHUNG, 2000, &got);
  return std::wstring(buf.data());
}

std::wstring className(HWND h) {
  wchar_t buf[256] = {0};
  GetClassNameW(h, buf, 256);
  return buf;
}

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

TopQuery topQuery(const Args& a) {
  TopQuery q;
  if (a.has(L"title")) { q.useTitle = true; q.title = a.str(L"title"); }
  if (a.has(L"class")) { q.useClass = true; q.cls = a.str(L"class"); }
  q.pid = static_cast<DWORD>(a.integer(L"pid", 0));
  q.hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(a.integer(L"hwnd", 0)));
  q.visibleOnly = a.has(L"visible");
  q.hiddenOnly = a.has(L"hidden");
  return q;
}

bool matches(HWND h, const TopQuery& q) {
  if (q.hwnd && h != q.hwnd) return false;
  if (q.visibleOnly && !IsWindowVisible(h)) return false;
  if (q.hiddenOnly && IsWindowVisible(h)) return false;
  if (q.pid) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != q.pid) return false;
  }
  // Exact, case-sensitive comparison (FindWindow ignores case).
  if (q.useClass && className(h) != q.cls) return false;
  if (q.useTitle && windowText(h) != q.title) return false;
  return true;
}

BOOL CALLBACK collectWindow(HWND h, LPARAM p) {
  reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
  return TRUE;
}

std::vector<HWND> topLevelWindows() {
  std::vector<HWND> v;
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&v));
  return v;
}

HWND findTop(const TopQuery& q) {
  if (q.hwnd) return IsWindow(q.hwnd) && matches(q.hwnd, q) ? q.hwnd : nullptr;
  for (HWND h : topLevelWindows())
    if (matches(h, q)) return h;
  return nullptr;
}

std::wstring describeQuery(const TopQuery& q) {
  std::wstring d = L"window";
  if (q.useTitle) d += L" titled \"" + q.title + L"\"";
  if (q.useClass) d += L" of class \"" + q.cls + L"\"";
  if (q.pid) d += L" of process " + num(q.pid);
  if (q.hwnd) d += L" " + hex(reinterpret_cast<uintptr_t>(q.hwnd));
  if (q.visibleOnly) d += L" (visible)";
  if (q.hiddenOnly) d += L" (hidden)";
  return d;
}

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

HWND waitTop(const Args& a) {
  TopQuery q = topQuery(a);
  HWND found = nullptr;
  if (!pollUntil(a.timeout(), [&] { return (found = findTop(q)) != nullptr; })) {
    err(L"timed out after " + num(a.timeout()) + L" ms waiting for " + describeQuery(q));
    ExitProcess(2);
  }
  return found;
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

ChildQuery childQuery(const Args& a) {
  ChildQuery q;
  if (a.has(L"text")) { q.useText = true; q.text = a.str(L"text"); }
  if (a.has(L"id")) { q.useId = true; q.id = static_cast<int>(a.integer(L"id", 0)); }
  if (a.has(L"ctl-class")) { q.useClass = true; q.cls = a.str(L"ctl-class"); }
  q.index = static_cast<int>(a.integer(L"index", 0));
  return q;
}

std::vector<HWND> childWindows(HWND parent) {
  std::vector<HWND> v;
  EnumChildWindows(parent, collectWindow, reinterpret_cast<LPARAM>(&v));
  return v;
}

HWND findChild(HWND parent, const ChildQuery& q) {
  int seen = 0;
  for (HWND h : childWindows(parent)) {
    if (q.useId && GetDlgCtrlID(h) != q.id) continue;
    if (q.useClass && className(h) != q.cls) continue;
    if (q.useText && windowText(h) != q.text) continue;
    if (seen++ == q.index) return h;
  }
  return nullptr;
}

HWND waitChild(const Args& a, HWND parent) {
  ChildQuery q = childQuery(a);
  HWND found = nullptr;
  if (!pollUntil(a.timeout(), [&] { return (found = findChild(parent, q)) != nullptr; })) {
    std::wstring d = L"control";
    if (q.useText) d += L" with text \"" + q.text + L"\"";
    if (q.useId) d += L" with id " + num(q.id);
    if (q.useClass) d += L" of class \"" + q.cls + L"\"";
    err(L"timed out after " + num(a.timeout()) + L" ms waiting for " + d);
    ExitProcess(2);
  }
  return found;
}

std::wstring rectText(const RECT& r) {
  return num(r.left) + L" " + num(r.top) + L" " + num(r.right) + L" " + num(r.bottom);
}

std::wstring describeWindow(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  RECT r{};
  GetWindowRect(h, &r);
  return hex(reinterpret_cast<uintptr_t>(h)) + L"\t" + className(h) + L"\tpid=" + num(pid) +
         L"\tvisible=" + num(IsWindowVisible(h) ? 1 : 0) + L"\trect=" + rectText(r) + L"\t" +
         escape(windowText(h));
}

// Status bars keep their text in parts; WM_GETTEXT only returns part 0.
std::wstring controlText(HWND h, int part) {
  // A progress bar's text is its position.
  if (className(h) == PROGRESS_CLASSW) {
    DWORD_PTR pos = 0;
    SendMessageTimeoutW(h, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &pos);
    return num(static_cast<long long>(pos));
  }
  if (className(h) == STATUSCLASSNAMEW) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, SB_GETTEXTLENGTHW, part, 0, SMTO_ABORTIFHUNG, 2000, &len))
      return L"";
    // The text has to come back through memory of the other process.
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    size_t chars = LOWORD(len) + 1;
    if (pid == GetCurrentProcessId()) {
      std::vector<wchar_t> buf(chars, 0);
      SendMessageW(h, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buf.data()));
      return buf.data();
    }
    HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!proc) return L"";
    void* remote = VirtualAllocEx(proc, nullptr, chars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE);
    std::wstring result;
    if (remote) {
      DWORD_PTR dummy = 0;
      SendMessageTimeoutW(h, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                          2000, &dummy);
      std::vector<wchar_t> buf(chars, 0);
      SIZE_T read = 0;
      ReadProcessMemory(proc, remote, buf.data(), chars * sizeof(wchar_t), &read);
      buf.back() = 0;
      result = buf.data();
      VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
    }
    CloseHandle(proc);
    return result;
  }
  return windowText(h);
}

// ---------------------------------------------------------------- commands

int cmdList(const Args& a) {
  TopQuery q = topQuery(a);
  for (HWND h : topLevelWindows())
    if (matches(h, q)) out(describeWindow(h));
  return 0;
}

int cmdWait(const Args& a) {
  HWND h = waitTop(a);
  out(describeWindow(h));
  return 0;
}

int cmdWaitGone(const Args& a) {
  TopQuery q = topQuery(a);
  if (!pollUntil(a.timeout(), [&] { return findTop(q) == nullptr; })) {
    err(L"timed out after " + num(a.timeout()) + L" ms: still present: " + describeQuery(q));
    return 2;
  }
  return 0;
}

int cmdRect(const Args& a) {
  HWND h = waitTop(a);
  RECT r{};
  GetWindowRect(h, &r);
  out(rectText(r));
  return 0;
}

// The client area in screen coordinates (child rects are relative to it).
int cmdClientRect(const Args& a) {
  HWND h = waitTop(a);
  RECT r{};
  GetClientRect(h, &r);
  MapWindowPoints(h, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  out(rectText(r));
  return 0;
}

// Whether a window's procedure takes Unicode messages (its class was
// registered with a W function): 1 or 0.
int cmdUnicode(const Args& a) {
  HWND h = waitTop(a);
  out(IsWindowUnicode(h) ? L"1" : L"0");
  return 0;
}

int cmdScreen(const Args&) {
  out(num(GetSystemMetrics(SM_CXSCREEN)) + L" " + num(GetSystemMetrics(SM_CYSCREEN)));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  out(rectText(work));
  return 0;
}

int cmdChildren(const Args& a) {
  HWND top = waitTop(a);
  for (HWND h : childWindows(top)) {
    LONG style = GetWindowLongW(h, GWL_STYLE);
    std::wstring cls = className(h);
    int checked = -1;
    if (cls == L"Button") {
      LONG type = style & BS_TYPEMASK;
      if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
          type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
        DWORD_PTR r = 0;
        SendMessageTimeoutW(h, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &r);
        checked = static_cast<int>(r);
      }
    }
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
    out(hex(reinterpret_cast<uintptr_t>(h)) + L"\t" + cls + L"\tid=" + num(GetDlgCtrlID(h)) +
        L"\tenabled=" + num(IsWindowEnabled(h) ? 1 : 0) + L"\tvisible=" +
        num(IsWindowVisible(h) ? 1 : 0) + L"\tchecked=" + num(checked) + L"\trect=" +
        rectText(r) + L"\t" + escape(controlText(h, 0)));
  }
  return 0;
}

int cmdText(const Args& a) {
  HWND top = waitTop(a);
  HWND h = (a.has(L"text") || a.has(L"id") || a.has(L"ctl-class")) ? waitChild(a, top) : top;
  out(escape(controlText(h, static_cast<int>(a.integer(L"part", 0)))));
  return 0;
}

// Clicks a button. Posted by default, so a modal loop the click opens does not
// block the driver; --send waits for the click handler instead.
int cmdClick(const Args& a) {
  HWND top = waitTop(a);
  HWND h = waitChild(a, top);
  if (!IsWindowEnabled(h)) {
    err(L"control \"" + windowText(h) + L"\" is disabled");
    return 3;
  }
  if (a.has(L"send")) {
    DWORD_PTR r = 0;
    SendMessageTimeoutW(h, BM_CLICK, 0, 0, SMTO_NORMAL, a.timeout(), &r);
  } else {
    PostMessageW(h, BM_CLICK, 0, 0);
  }
  return 0;
}

// Types --keys into a control (or the window itself) as posted WM_CHAR
// messages, the way a keyboard would: an edit keeps to its own length limit.
int cmdType(const Args& a) {
  HWND top = waitTop(a);
  HWND h = (a.has(L"text") || a.has(L"id") || a.has(L"ctl-class")) ? waitChild(a, top) : top;
  if (IsWindowUnicode(h)) {
    for (wchar_t c : a.str(L"keys")) PostMessageW(h, WM_CHAR, c, 1);
    return 0;
  }
  // An ANSI window (the 95 family): the code page's bytes as WM_CHAR, a
  // double-byte character as two, as the system gives them there.
  const std::wstring keys = a.str(L"keys");
  for (wchar_t c : keys) {
    char bytes[4] = {};
    int n = WideCharToMultiByte(CP_ACP, 0, &c, 1, bytes, sizeof bytes, nullptr, nullptr);
    for (int i = 0; i < n; ++i) PostMessageA(h, WM_CHAR, static_cast<unsigned char>(bytes[i]), 1);
  }
  return 0;
}

// Prints the line of a console window's screen buffer that holds its cursor
// (the input line), read by attaching to the console of the window's process.
int cmdConsoleLine(const Args& a) {
  HWND top = waitTop(a);
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  using Attach = BOOL(WINAPI*)(DWORD);
  auto attach = reinterpret_cast<Attach>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AttachConsole")));
  // Attaching may point the standard handles at that console: keep ours.
  HANDLE stdOut = GetStdHandle(STD_OUTPUT_HANDLE), stdErr = GetStdHandle(STD_ERROR_HANDLE);
  struct Restore {
    HANDLE o, e;
    ~Restore() {
      SetStdHandle(STD_OUTPUT_HANDLE, o);
      SetStdHandle(STD_ERROR_HANDLE, e);
    }
  } restore{stdOut, stdErr};
  FreeConsole();
  // The window may belong to the console host: try its process, its parent
  // (the interpreter that made the console) and its children.
  std::vector<DWORD> candidates{pid};
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W pe;
  pe.dwSize = sizeof pe;
  if (snap != INVALID_HANDLE_VALUE && Process32FirstW(snap, &pe)) {
    do {
      if (pe.th32ProcessID == pid) candidates.push_back(pe.th32ParentProcessID);
      if (pe.th32ParentProcessID == pid) candidates.push_back(pe.th32ProcessID);
    } while (Process32NextW(snap, &pe));
  }
  if (snap != INVALID_HANDLE_VALUE) CloseHandle(snap);
  bool attached = false;
  for (DWORD c : candidates)
    if (attach && attach(c)) {
      attached = true;
      break;
    }
  if (!attached) {
    SetStdHandle(STD_ERROR_HANDLE, stdErr);
    err(L"cannot attach to the console of process " + num(pid));
    return 1;
  }
  HANDLE buffer = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (buffer == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(buffer, &info)) {
    SetStdHandle(STD_ERROR_HANDLE, stdErr);
    err(L"cannot read the console's screen buffer");
    return 1;
  }
  std::vector<wchar_t> line(static_cast<size_t>(info.dwSize.X) + 1, 0);
  DWORD read = 0;
  COORD start = {0, info.dwCursorPosition.Y};
  ReadConsoleOutputCharacterW(buffer, line.data(), static_cast<DWORD>(info.dwSize.X), start, &read);
  std::wstring text(line.data(), read);
  while (!text.empty() && text.back() == L' ') text.pop_back();
  CloseHandle(buffer);
  FreeConsole();
  SetStdHandle(STD_OUTPUT_HANDLE, stdOut);
  out(escape(text));
  return 0;
}

int cmdPost(const Args& a) {
  HWND h = waitTop(a);
  UINT msg = static_cast<UINT>(a.integer(L"msg", 0));
  WPARAM wp = static_cast<WPARAM>(a.integer(L"wparam", 0));
  LPARAM lp = static_cast<LPARAM>(a.integer(L"lparam", 0));
  if (a.has(L"send")) {
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_NORMAL, a.timeout(), &r)) {
      err(L"SendMessage timed out or failed");
      return 2;
    }
    out(num(static_cast<long long>(r)));
    return 0;
  }
  if (!PostMessageW(h, msg, wp, lp)) {
    err(L"PostMessage failed, error " + num(GetLastError()));
    return 1;
  }
  return 0;
}

// Waits for a message box (dialog class #32770) with the caption given in
// --title, prints its text (the static with id 0xFFFF) and, with --answer,
// presses the button with that id (IDOK=1, IDCANCEL=2, IDYES=6, IDNO=7).
int cmdMsgbox(const Args& a) {
  Args b = a;
  b.opt[L"class"] = L"#32770";
  b.opt[L"visible"] = L"1";
  TopQuery q = topQuery(b);
  std::wstring wantText = a.str(L"text");
  bool useText = a.has(L"text");
  HWND dlg = nullptr;
  std::wstring text;
  auto probe = [&] {
    for (HWND h : topLevelWindows()) {
      if (!matches(h, q)) continue;
      HWND st = GetDlgItem(h, 0xFFFF);
      std::wstring t = st ? windowText(st) : L"";
      if (useText && t != wantText) continue;
      dlg = h;
      text = t;
      return true;
    }
    return false;
  };
  if (!pollUntil(a.timeout(), probe)) {
    err(L"timed out after " + num(a.timeout()) + L" ms waiting for a message box " +
        describeQuery(q) + (useText ? L" with text \"" + wantText + L"\"" : L""));
    return 2;
  }
  out(escape(text));
  if (a.has(L"answer")) {
    int id = static_cast<int>(a.integer(L"answer", IDOK));
    HWND button = GetDlgItem(dlg, id);
    if (button) {
      PostMessageW(button, BM_CLICK, 0, 0);
    } else {
      PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
    if (!pollUntil(a.timeout(), [&] { return !IsWindow(dlg) || !IsWindowVisible(dlg); })) {
      err(L"the message box did not close after pressing button " + num(id));
      return 2;
    }
  }
  return 0;
}

std::wstring menuItemText(HMENU menu, int pos) {
  wchar_t buf[512] = {0};
  MENUITEMINFOW mi{};
  mi.cbSize = sizeof(mi);
  mi.fMask = MIIM_STRING | MIIM_FTYPE;
  mi.dwTypeData = buf;
  mi.cch = 511;
  if (!GetMenuItemInfoW(menu, pos, TRUE, &mi)) return L"";
  if (mi.fType & MFT_SEPARATOR) return L"";
  return buf;
}

HWND findPopupMenuWindow() {
  TopQuery q;
  q.useClass = true;
  q.cls = L"#32768";
  q.visibleOnly = true;
  return findTop(q);
}

void postKey(HWND menuWnd, UINT vk) {
  UINT scan = MapVirtualKeyW(vk, 0);
  PostMessageW(menuWnd, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageW(menuWnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

struct MenuItem {
  UINT id;
  UINT state;
  std::wstring text;
};

// Runs fn(param) on a new thread of the other process; returns its exit code.
bool remoteCall(HANDLE proc, LPTHREAD_START_ROUTINE fn, void* param, DWORD& result) {
  HANDLE t = CreateRemoteThread(proc, nullptr, 0, fn, param, 0, nullptr);
  if (!t) return false;
  bool done = WaitForSingleObject(t, 10000) == WAIT_OBJECT_0;
  if (done) GetExitCodeThread(t, &result);
  CloseHandle(t);
  return done;
}

// Reads the items of a menu that belongs to another process by loading
// kivo_menu_probe.dll (next to this program) into that process. Wine keeps
// menus in the memory of the process that created them.
// Runs an export of kivo_menu_probe.dll inside another process on a block
// of data copied there and back.
bool callProbe(DWORD pid, const char* exportName, void* data, size_t size, std::wstring& error) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dll = self;
  dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"kivo_menu_probe.dll";
  HMODULE local = LoadLibraryW(dll.c_str());
  if (!local) {
    error = L"cannot load " + dll;
    return false;
  }
  std::string decorated = std::string(exportName) + "@4";
  auto localFn = reinterpret_cast<BYTE*>(GetProcAddress(local, decorated.c_str()));
  if (!localFn) localFn = reinterpret_cast<BYTE*>(GetProcAddress(local, exportName));
  HANDLE proc = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!localFn || !proc) {
    error = L"cannot open process " + num(pid);
    if (proc) CloseHandle(proc);
    FreeLibrary(local);
    return false;
  }
  bool ok = false;
  size_t pathBytes = (dll.size() + 1) * sizeof(wchar_t);
  void* remotePath = VirtualAllocEx(proc, nullptr, pathBytes, MEM_COMMIT, PAGE_READWRITE);
  void* remoteData = VirtualAllocEx(proc, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  auto freeLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "FreeLibrary")));
  DWORD remoteBase = 0;
  if (remotePath && remoteData && WriteProcessMemory(proc, remotePath, dll.c_str(), pathBytes, nullptr) &&
      remoteCall(proc, loadLibrary, remotePath, remoteBase) && remoteBase != 0) {
    auto remoteFn = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
        static_cast<uintptr_t>(remoteBase) + (localFn - reinterpret_cast<BYTE*>(local))));
    DWORD rc = 1;
    ok = WriteProcessMemory(proc, remoteData, data, size, nullptr) && remoteCall(proc, remoteFn, remoteData, rc) &&
         rc == 0 && ReadProcessMemory(proc, remoteData, data, size, nullptr);
    if (!ok) error = L"the probe's " + std::wstring(exportName, exportName + strlen(exportName)) +
                     L" failed inside process " + num(pid);
    DWORD ignored = 0;
    remoteCall(proc, freeLibrary, reinterpret_cast<void*>(static_cast<uintptr_t>(remoteBase)), ignored);
  } else {
    error = L"cannot load " + dll + L" into process " + num(pid);
  }
  if (remotePath) VirtualFreeEx(proc, remotePath, 0, MEM_RELEASE);
  if (remoteData) VirtualFreeEx(proc, remoteData, 0, MEM_RELEASE);
  CloseHandle(proc);
  FreeLibrary(local);
  return ok;
}

// Chooses an item of a window's menu bar by its text: WM_COMMAND with its id.
int cmdMenuCommand(const Args& a);

// The block of a drop on a window: the file names, each ending with a zero.
DropProbe* makeDropProbe(HWND window, const std::vector<std::wstring>& files) {
  auto* probe = new DropProbe();
  probe->window = window;
  size_t at = 0;
  for (const std::wstring& f : files) {
    if (at + f.size() + 2 >= kDropProbeChars) break;
    std::copy(f.begin(), f.end(), probe->files + at);
    at += f.size() + 1;
  }
  return probe;
}

// Drops files on a window, as the shell would: --title and the file paths.
int cmdDrop(const Args& a) {
  HWND top = waitTop(a);
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  DropProbe* probe = makeDropProbe(top, a.positional);
  std::wstring error;
  bool ok = callProbe(pid, "DropFiles", probe, sizeof(DropProbe), error);
  delete probe;
  if (!ok) err(error);
  return ok ? 0 : 1;
}

bool readRemoteMenu(DWORD pid, HMENU menu, HWND window, std::vector<MenuItem>& items,
                    std::wstring& error, bool menuBar = false) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dll = self;
  dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"kivo_menu_probe.dll";
  HMODULE local = LoadLibraryW(dll.c_str());
  if (!local) {
    error = L"cannot load " + dll;
    return false;
  }
  auto localFn = reinterpret_cast<BYTE*>(GetProcAddress(local, "ReadMenuItems@4"));
  if (!localFn) localFn = reinterpret_cast<BYTE*>(GetProcAddress(local, "ReadMenuItems"));
  HANDLE proc = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!localFn || !proc) {
    error = L"cannot open process " + num(pid);
    if (proc) CloseHandle(proc);
    return false;
  }
  bool ok = false;
  size_t pathBytes = (dll.size() + 1) * sizeof(wchar_t);
  void* remotePath = VirtualAllocEx(proc, nullptr, pathBytes, MEM_COMMIT, PAGE_READWRITE);
  void* remoteProbe = VirtualAllocEx(proc, nullptr, sizeof(MenuProbe), MEM_COMMIT, PAGE_READWRITE);
  // kernel32 is mapped at the same address in every process.
  auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  auto freeLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "FreeLibrary")));
  DWORD remoteBase = 0;
  if (remotePath && remoteProbe &&
      WriteProcessMemory(proc, remotePath, dll.c_str(), pathBytes, nullptr) &&
      remoteCall(proc, loadLibrary, remotePath, remoteBase) && remoteBase != 0) {
    auto* probe = new MenuProbe();
    probe->menu = menu;
    probe->window = window;
    probe->bar = menuBar ? 1 : 0;
    probe->count = -1;
    auto remoteFn = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(static_cast<uintptr_t>(remoteBase) +
                                (localFn - reinterpret_cast<BYTE*>(local))));
    DWORD rc = 1;
    if (WriteProcessMemory(proc, remoteProbe, probe, sizeof(MenuProbe), nullptr) &&
        remoteCall(proc, remoteFn, remoteProbe, rc) && rc == 0 &&
        ReadProcessMemory(proc, remoteProbe, probe, sizeof(MenuProbe), nullptr) && probe->count >= 0) {
      for (int i = 0; i < probe->count; ++i)
        items.push_back({probe->items[i].id, probe->items[i].state, probe->items[i].text});
      ok = true;
    } else {
      error = L"reading the menu inside process " + num(pid) + L" failed";
    }
    delete probe;
    DWORD ignored = 0;
    remoteCall(proc, freeLibrary, reinterpret_cast<void*>(static_cast<uintptr_t>(remoteBase)), ignored);
  } else {
    error = L"cannot load " + dll + L" into process " + num(pid);
  }
  if (remotePath) VirtualFreeEx(proc, remotePath, 0, MEM_RELEASE);
  if (remoteProbe) VirtualFreeEx(proc, remoteProbe, 0, MEM_RELEASE);
  CloseHandle(proc);
  FreeLibrary(local);
  return ok;
}

bool readMenu(HWND menuWnd, std::vector<MenuItem>& items, std::wstring& error) {
  HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWnd, MN_GETHMENU, 0, 0));
  if (!menu) {
    error = L"the popup menu window has no menu";
    return false;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(menuWnd, &pid);
  if (pid != GetCurrentProcessId()) return readRemoteMenu(pid, menu, nullptr, items, error);
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i)
    items.push_back({GetMenuItemID(menu, i), GetMenuState(menu, i, MF_BYPOSITION), menuItemText(menu, i)});
  return count >= 0;
}

// Times a window's opening: clicks a button (--text) or chooses a menu-bar
// item (--menu) of the window --title, then waits (polling every
// millisecond) for a visible window titled --window and its first paint;
// prints "ms=<time>" and closes the new window again.
int cmdTimeOpen(const Args& a) {
  HWND top = waitTop(a);
  TopQuery q;
  q.title = a.str(L"window");
  q.useTitle = true;
  q.visibleOnly = true;
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  if (a.has(L"menu")) {
    Args m = a;
    m.opt[L"text"] = a.str(L"menu");
    if (int rc = cmdMenuCommand(m)) return rc;
  } else {
    PostMessageW(waitChild(a, top), BM_CLICK, 0, 0);
  }
  HWND found = nullptr;
  DWORD start = GetTickCount();
  while (!(found = findTop(q))) {
    if (GetTickCount() - start >= a.timeout()) {
      err(L"timed out waiting for " + describeQuery(q));
      return 2;
    }
    Sleep(1);
  }
  DWORD_PTR dummy = 0;
  SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &dummy);
  QueryPerformanceCounter(&t1);
  out(L"ms=" + num(static_cast<long long>(1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart)));
  PostMessageW(found, WM_CLOSE, 0, 0);
  pollUntil(5000, [&] { return !IsWindow(found) || !IsWindowVisible(found); });
  return 0;
}

// Holds a global hotkey (RegisterHotKey for this thread) for --ms
// milliseconds, as another program would; prints "held" once it has it.
int cmdHoldHotKey(const Args& a) {
  auto mods = static_cast<UINT>(a.integer(L"mods", 0));
  auto vk = static_cast<UINT>(a.integer(L"vk", 0));
  if (!RegisterHotKey(nullptr, 1, mods, vk)) {
    err(L"the hotkey is taken");
    return 1;
  }
  out(L"held");
  DWORD end = GetTickCount() + static_cast<DWORD>(a.integer(L"ms", 10000));
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }
  UnregisterHotKey(nullptr, 1);
  return 0;
}

// Prints the size of the bitmap on the clipboard ("<width>x<height>"); exit
// code 2 when there is none.
int cmdClipboardSize(const Args&) {
  if (!OpenClipboard(nullptr)) {
    err(L"cannot open the clipboard");
    return 1;
  }
  int rc = 2;
  if (HANDLE mem = GetClipboardData(CF_DIB)) {
    if (auto* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(mem))) {
      out(num(h->biWidth) + L"x" + num(h->biHeight < 0 ? -h->biHeight : h->biHeight));
      GlobalUnlock(mem);
      rc = 0;
    }
  }
  CloseClipboard();
  return rc;
}

// Puts a file's bytes on the clipboard as they are, as CF_DIB (or CF_DIBV5
// with --v5): whatever another program may put there, lies included.
int cmdClipboardSetDib(const Args& a) {
  std::wstring path = a.str(L"file");
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    err(L"cannot open " + path);
    return 1;
  }
  DWORD size = GetFileSize(f, nullptr);
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
  DWORD got = 0;
  bool ok = mem != nullptr;
  if (ok) {
    void* p = GlobalLock(mem);
    ok = p && ReadFile(f, p, size, &got, nullptr) && got == size;
    GlobalUnlock(mem);
  }
  CloseHandle(f);
  if (!ok) {
    err(L"cannot read " + path);
    return 1;
  }
  // An owner window: a clipboard opened without one cannot take data.
  HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!pollUntil(5000, [&] { return OpenClipboard(owner) != FALSE; })) {
    err(L"cannot open the clipboard");
    return 1;
  }
  EmptyClipboard();
  ok = SetClipboardData(a.has(L"v5") ? CF_DIBV5 : CF_DIB, mem) != nullptr;
  CloseClipboard();
  if (owner) DestroyWindow(owner);
  if (!ok) {
    err(L"SetClipboardData failed");
    return 1;
  }
  return 0;
}

int cmdMenuCommand(const Args& a) {
  HWND top = waitTop(a);
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  std::vector<MenuItem> items;
  std::wstring error;
  if (!readRemoteMenu(pid, nullptr, top, items, error, true)) {
    err(error);
    return 1;
  }
  for (const MenuItem& item : items)
    if (item.text == a.str(L"text")) {
      PostMessageW(top, WM_COMMAND, MAKEWPARAM(item.id, 0), 0);
      return 0;
    }
  err(L"no menu item \"" + a.str(L"text") + L"\"");
  return 2;
}

// Lists the items of the open popup menu, or chooses one by its text: the
// highlight goes to the first item (Home) and down to the wanted one, then
// Enter, all as keyboard messages the menu's modal loop reads from its
// thread's queue.
int cmdMenu(const Args& a, bool select) {
  if (!select && a.has(L"system")) {
    // The system menu of a top-level window.
    HWND top = waitTop(a);
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    std::vector<MenuItem> items;
    std::wstring error;
    bool ok = pid == GetCurrentProcessId() ? false : readRemoteMenu(pid, nullptr, top, items, error);
    if (!ok) {
      err(error.empty() ? L"cannot read the system menu" : error);
      return 1;
    }
    for (size_t i = 0; i < items.size(); ++i)
      out(num(static_cast<long long>(i)) + L"\tid=" + num(static_cast<int>(items[i].id)) +
          L"\tstate=" + hex(items[i].state) + L"\t" + escape(items[i].text));
    return 0;
  }
  HWND menuWnd = nullptr;
  if (!pollUntil(a.timeout(), [&] { return (menuWnd = findPopupMenuWindow()) != nullptr; })) {
    err(L"timed out after " + num(a.timeout()) + L" ms waiting for a popup menu (#32768)");
    return 2;
  }
  std::vector<MenuItem> items;
  std::wstring error;
  if (!readMenu(menuWnd, items, error)) {
    err(error);
    return 1;
  }
  if (!select) {
    for (size_t i = 0; i < items.size(); ++i)
      out(num(static_cast<long long>(i)) + L"\tid=" + num(static_cast<int>(items[i].id)) +
          L"\tstate=" + hex(items[i].state) + L"\t" + escape(items[i].text));
    return 0;
  }
  std::wstring want = a.str(L"text");
  int target = -1;
  int steps = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].state & MF_SEPARATOR) continue;
    if (items[i].text == want) {
      target = static_cast<int>(i);
      break;
    }
    ++steps;
  }
  if (target < 0) {
    err(L"the popup menu has no item \"" + want + L"\"");
    return 2;
  }
  if (items[target].state & (MF_DISABLED | MF_GRAYED)) {
    err(L"menu item \"" + want + L"\" is disabled");
    return 3;
  }
  postKey(menuWnd, VK_HOME);
  for (int i = 0; i < steps; ++i) postKey(menuWnd, VK_DOWN);
  postKey(menuWnd, VK_RETURN);
  if (!pollUntil(a.timeout(), [&] { return !IsWindow(menuWnd) || !IsWindowVisible(menuWnd); })) {
    err(L"the popup menu did not close after choosing \"" + want + L"\"");
    return 2;
  }
  return 0;
}

std::wstring quoteArg(const std::wstring& s) {
  if (!s.empty() && s.find_first_of(L" \t\"") == std::wstring::npos) return s;
  std::wstring r = L"\"";
  int slashes = 0;
  for (wchar_t c : s) {
    if (c == L'\\') { ++slashes; continue; }
    if (c == L'"') r.append(slashes * 2 + 1, L'\\');
    else r.append(slashes, L'\\');
    slashes = 0;
    r += c;
  }
  r.append(slashes * 2, L'\\');
  r += L'"';
  return r;
}

bool startProcess(const Args& a, PROCESS_INFORMATION& pi) {
  if (a.positional.empty()) {
    err(L"no program given (kivo_driver " + a.command + L" [options] -- program.exe [args])");
    return false;
  }
  std::wstring cmd;
  for (const auto& p : a.positional) {
    if (!cmd.empty()) cmd += L' ';
    cmd += quoteArg(p);
  }
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  std::vector<wchar_t> buf(cmd.begin(), cmd.end());
  buf.push_back(0);
  if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    err(L"cannot start " + cmd + L": error " + num(GetLastError()));
    return false;
  }
  return true;
}

// Prints the target of a shortcut (.lnk) file.
int cmdShortcutTarget(const Args& a) {
  if (a.positional.empty()) {
    err(L"no shortcut given");
    return 1;
  }
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  int rc = 1;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      wchar_t target[MAX_PATH] = {};
      if (SUCCEEDED(file->Load(a.positional[0].c_str(), STGM_READ)) &&
          SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0))) {
        out(target);
        rc = 0;
      } else {
        err(L"cannot read the shortcut " + a.positional[0]);
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return rc;
}

// Times a program from its start to its exit: "ms=<time>".
int cmdTimeRun(const Args& a) {
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  PROCESS_INFORMATION pi{};
  QueryPerformanceCounter(&t0);
  if (!startProcess(a, pi)) return 1;
  WaitForSingleObject(pi.hProcess, a.timeout());
  QueryPerformanceCounter(&t1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  out(L"ms=" + num(static_cast<long long>(1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart)));
  return 0;
}

// Drops files on a window and times until a child window of --width and
// --height shows (the picture): "ms=<time> peak_kb=<the process's peak>".
int cmdTimeDrop(const Args& a) {
  HWND top = waitTop(a);
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  const int w = static_cast<int>(a.integer(L"width", 0)), h = static_cast<int>(a.integer(L"height", 0));
  DropProbe* probe = makeDropProbe(top, a.positional);
  struct Find {
    int w, h;
    bool found;
  } find{w, h, false};
  auto shown = [&] {
    find.found = false;
    struct Visit {
      static BOOL CALLBACK Child(HWND c, LPARAM p) {
        auto* f = reinterpret_cast<Find*>(p);
        RECT r;
        if (IsWindowVisible(c) && GetWindowRect(c, &r) && r.right - r.left == f->w &&
            r.bottom - r.top == f->h) {
          f->found = true;
          return FALSE;
        }
        return TRUE;
      }
    };
    EnumChildWindows(top, &Visit::Child, reinterpret_cast<LPARAM>(&find));
    return find.found;
  };
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  std::wstring error;
  bool ok = callProbe(pid, "DropFiles", probe, sizeof(DropProbe), error);
  delete probe;
  if (!ok) {
    err(error);
    return 1;
  }
  // Polled every millisecond: the usual 20 ms steps would add ten to each time.
  const DWORD start = GetTickCount();
  while (!shown()) {
    if (GetTickCount() - start >= a.timeout()) {
      err(L"no picture of that size appeared");
      return 2;
    }
    Sleep(1);
  }
  // The picture's first paint is done when a sent message comes back.
  DWORD_PTR dummy = 0;
  SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &dummy);
  QueryPerformanceCounter(&t1);
  HANDLE proc = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof(pmc);
  if (proc) {
    GetProcessMemoryInfo(proc, &pmc, sizeof(pmc));
    CloseHandle(proc);
  }
  out(L"ms=" + num(static_cast<long long>(1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart)) +
      L" peak_kb=" + num(static_cast<long long>(pmc.PeakWorkingSetSize / 1024)));
  return 0;
}

// Clicks a button (posted) and times until a child window of --width and
// --height shows and has been painted: "ms=<time>". Polls every
// millisecond, for times of a few tens of them.
int cmdTimeClick(const Args& a) {
  HWND top = waitTop(a);
  HWND button = waitChild(a, top);
  struct Find {
    int w, h;
    bool found;
  } find{static_cast<int>(a.integer(L"width", 0)), static_cast<int>(a.integer(L"height", 0)), false};
  auto shown = [&] {
    find.found = false;
    struct Visit {
      static BOOL CALLBACK Child(HWND c, LPARAM p) {
        auto* f = reinterpret_cast<Find*>(p);
        RECT r;
        if (IsWindowVisible(c) && GetWindowRect(c, &r) && r.right - r.left == f->w && r.bottom - r.top == f->h) {
          f->found = true;
          return FALSE;
        }
        return TRUE;
      }
    };
    EnumChildWindows(top, &Visit::Child, reinterpret_cast<LPARAM>(&find));
    return find.found;
  };
  if (shown()) {
    err(L"a picture of that size shows already");
    return 1;
  }
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  PostMessageW(button, BM_CLICK, 0, 0);
  const DWORD start = GetTickCount();
  while (!shown()) {
    if (GetTickCount() - start >= a.timeout()) {
      err(L"no picture of that size appeared");
      return 2;
    }
    Sleep(1);
  }
  DWORD_PTR dummy = 0;
  SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &dummy);
  QueryPerformanceCounter(&t1);
  wchar_t buf[64];
  swprintf(buf, 64, L"ms=%.1f", 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
  out(buf);
  return 0;
}

// Starts a program and waits for its exit; prints "exit=<hex> <signed>".
int cmdRun(const Args& a) {
  PROCESS_INFORMATION pi{};
  if (!startProcess(a, pi)) return 1;
  out(L"pid=" + num(pi.dwProcessId));
  DWORD w = WaitForSingleObject(pi.hProcess, a.timeout());
  if (w != WAIT_OBJECT_0) {
    err(L"timed out after " + num(a.timeout()) + L" ms waiting for the program to exit");
    TerminateProcess(pi.hProcess, 1);
    return 2;
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  out(L"exit=" + hex(code) + L" " + num(static_cast<int>(code)));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}

struct PidWindow {
  DWORD pid;
  HWND found;
  std::wstring title;
  bool useTitle;
};

// Start-up measurement for the benchmark: time from CreateProcess until the
// process owns a visible top-level window (optionally with --title), then the
// process's peak working set. The program is terminated afterwards.
int cmdMeasure(const Args& a) {
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  PROCESS_INFORMATION pi{};
  QueryPerformanceCounter(&t0);
  if (!startProcess(a, pi)) return 1;
  PidWindow pw{pi.dwProcessId, nullptr, a.str(L"title"), a.has(L"title")};
  auto probe = [&] {
    pw.found = nullptr;
    for (HWND h : topLevelWindows()) {
      DWORD pid = 0;
      GetWindowThreadProcessId(h, &pid);
      if (pid != pw.pid || !IsWindowVisible(h)) continue;
      if (pw.useTitle && windowText(h) != pw.title) continue;
      pw.found = h;
      return true;
    }
    return false;
  };
  DWORD start = GetTickCount();
  bool ok = false;
  for (;;) {
    if (probe()) { ok = true; break; }
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    if (GetTickCount() - start >= a.timeout()) break;
    Sleep(1);
  }
  QueryPerformanceCounter(&t1);
  double ms = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);
  // Let the first paint finish before reading the memory figures.
  DWORD_PTR dummy = 0;
  if (ok) SendMessageTimeoutW(pw.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &dummy);
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof(pmc);
  GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof(pmc));
  // A program ended with TerminateProcess leaves its tray icon behind, and
  // Wine's tray then slows the next start for about two seconds; so the
  // window is asked to close first (WM_CLOSE), and only a program that
  // ignores that is terminated.
  bool closed = false;
  if (ok && !a.has(L"terminate")) {
    PostMessageW(pw.found, WM_CLOSE, 0, 0);
    closed = WaitForSingleObject(pi.hProcess, 10000) == WAIT_OBJECT_0;
  }
  if (!closed) {
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (!ok) {
    err(L"no visible window from the program within " + num(a.timeout()) + L" ms");
    return 2;
  }
  wchar_t buf[128];
  swprintf(buf, 128, L"ms=%.2f peak_kb=%llu", ms,
           static_cast<unsigned long long>(pmc.PeakWorkingSetSize / 1024));
  out(buf);
  return 0;
}

// ---------------------------------------------------------------- registry

// Keys are given relative to HKEY_CURRENT_USER, e.g. Software\Kivo_Project.
int cmdRegGet(const Args& a) {
  if (a.positional.size() != 2) {
    err(L"usage: reg-get <key> <value>");
    return 1;
  }
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, a.positional[0].c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    err(L"no key HKCU\\" + a.positional[0]);
    return 2;
  }
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExW(key, a.positional[1].c_str(), nullptr, &type, nullptr, &size);
  if (r != ERROR_SUCCESS) {
    RegCloseKey(key);
    err(L"no value \"" + a.positional[1] + L"\" under HKCU\\" + a.positional[0]);
    return 2;
  }
  std::vector<BYTE> data(size + 4, 0);
  RegQueryValueExW(key, a.positional[1].c_str(), nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    out(escape(reinterpret_cast<wchar_t*>(data.data())));
  } else if (type == REG_DWORD) {
    out(L"dword:" + num(*reinterpret_cast<DWORD*>(data.data())));
  } else {
    out(L"type:" + num(type) + L" bytes:" + num(size));
  }
  return 0;
}

int cmdRegSet(const Args& a, bool dword) {
  if (a.positional.size() != 3) {
    err(L"usage: reg-set[-dword] <key> <value> <data>");
    return 1;
  }
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, a.positional[0].c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    err(L"cannot create HKCU\\" + a.positional[0]);
    return 1;
  }
  LONG r;
  if (dword) {
    DWORD v = static_cast<DWORD>(wcstoul(a.positional[2].c_str(), nullptr, 0));
    r = RegSetValueExW(key, a.positional[1].c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), sizeof(v));
  } else {
    const std::wstring& s = a.positional[2];
    r = RegSetValueExW(key, a.positional[1].c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(s.c_str()),
                       static_cast<DWORD>((s.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
  if (r != ERROR_SUCCESS) {
    err(L"cannot write \"" + a.positional[1] + L"\": error " + num(r));
    return 1;
  }
  return 0;
}

LONG deleteTree(HKEY root, const std::wstring& path) {
  HKEY key;
  LONG r = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key);
  if (r != ERROR_SUCCESS) return r;
  for (;;) {
    wchar_t name[256];
    DWORD len = 256;
    if (RegEnumKeyExW(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if ((r = deleteTree(key, name)) != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  return RegDeleteKeyW(root, path.c_str());
}

// reg-delete <key> deletes the key with its subkeys; reg-delete <key> <value>
// deletes one value. A missing key or value is not an error.
int cmdRegDelete(const Args& a) {
  if (a.positional.empty() || a.positional.size() > 2) {
    err(L"usage: reg-delete <key> [value]");
    return 1;
  }
  if (a.positional.size() == 1) {
    LONG r = deleteTree(HKEY_CURRENT_USER, a.positional[0]);
    if (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND) return 0;
    err(L"cannot delete HKCU\\" + a.positional[0] + L": error " + num(r));
    return 1;
  }
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, a.positional[0].c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS)
    return 0;
  RegDeleteValueW(key, a.positional[1].c_str());
  RegCloseKey(key);
  return 0;
}

// Lists the values of a key: name<TAB>data, REG_SZ values only in full.
int cmdRegList(const Args& a) {
  if (a.positional.size() != 1) {
    err(L"usage: reg-list <key>");
    return 1;
  }
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, a.positional[0].c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    err(L"no key HKCU\\" + a.positional[0]);
    return 2;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLen = 256, type = 0;
    BYTE data[4096];
    DWORD size = sizeof(data) - 2;
    if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    data[size] = data[size + 1] = 0;
    std::wstring value = (type == REG_SZ) ? escape(reinterpret_cast<wchar_t*>(data))
                         : (type == REG_DWORD) ? L"dword:" + num(*reinterpret_cast<DWORD*>(data))
                                               : L"type:" + num(type);
    out(std::wstring(name) + L"\t" + value);
  }
  RegCloseKey(key);
  return 0;
}

// ---------------------------------------------------------------- session

int cmdExitWindows(const Args& a) {
  UINT flags = static_cast<UINT>(a.integer(L"flags", EWX_LOGOFF));
  if (!ExitWindowsEx(flags, 0)) {
    err(L"ExitWindowsEx failed, error " + num(GetLastError()));
    return 1;
  }
  return 0;
}

// Moves a window the way a user does: the move loop of the title bar is
// entered with WM_SYSCOMMAND/SC_MOVE only by mouse, so the window is placed
// with SetWindowPos, which sends the same WM_WINDOWPOSCHANGING/CHANGED.
int cmdMove(const Args& a) {
  HWND h = waitTop(a);
  int x = static_cast<int>(a.integer(L"x", 0));
  int y = static_cast<int>(a.integer(L"y", 0));
  if (!SetWindowPos(h, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
    err(L"SetWindowPos failed, error " + num(GetLastError()));
    return 1;
  }
  RECT r{};
  if (!pollUntil(a.timeout(), [&] {
        GetWindowRect(h, &r);
        return r.left == x && r.top == y;
      })) {
    err(L"the window stayed at " + rectText(r));
    return 2;
  }
  out(rectText(r));
  return 0;
}

int usage() {
  err(L"usage: kivo_driver <command> [options]\n"
      L"  list [--title T] [--class C] [--pid P] [--visible]   top-level windows\n"
      L"  wait --title T [--class C] [--visible|--hidden] [--timeout ms]\n"
      L"  wait-gone --title T [--class C] [--visible] [--timeout ms]\n"
      L"  rect --title T                                       left top right bottom\n"
      L"  screen                                               screen size, work area\n"
      L"  unicode --title T                                    1: a Unicode window, 0: ANSI\n"
      L"  children --title T                                   child controls\n"
      L"  text --title T [--text X|--id N|--ctl-class C] [--part N]\n"
      L"  click --title T --text X [--send]\n"
      L"  post --title T --msg N [--wparam N] [--lparam N] [--send]\n"
      L"  msgbox --title T [--text X] [--answer ID]\n"
      L"  menu-items | menu-select --text X                    open popup menu\n"
      L"  menu-items --system --title T                        a window's system menu\n"
      L"  run [--timeout ms] -- prog.exe [args]                prints exit code\n"
      L"  measure [--title T] [--terminate] -- prog.exe [args] start-up time, peak memory\n"
      L"  reg-get K V | reg-set K V DATA | reg-set-dword K V N | reg-delete K [V] | reg-list K\n"
      L"  exit-windows [--flags N]\n"
      L"  clipboard-size | clipboard-set-dib --file F [--v5]      the clipboard's bitmap\n"
      L"  hold-hotkey --mods N --vk N [--ms N]                 hold a hotkey as another program\n"
      L"  move --title T --x N --y N");
  return 1;
}

}  // namespace

int main() {
  Args a = parseArgs();
  const std::wstring& c = a.command;
  if (c == L"list") return cmdList(a);
  if (c == L"wait") return cmdWait(a);
  if (c == L"wait-gone") return cmdWaitGone(a);
  if (c == L"rect") return cmdRect(a);
  if (c == L"client-rect") return cmdClientRect(a);
  if (c == L"screen") return cmdScreen(a);
  if (c == L"unicode") return cmdUnicode(a);
  if (c == L"children") return cmdChildren(a);
  if (c == L"text") return cmdText(a);
  if (c == L"click") return cmdClick(a);
  if (c == L"post") return cmdPost(a);
  if (c == L"type") return cmdType(a);
  if (c == L"drop") return cmdDrop(a);
  if (c == L"time-drop") return cmdTimeDrop(a);
  if (c == L"time-click") return cmdTimeClick(a);
  if (c == L"time-run") return cmdTimeRun(a);
  if (c == L"shortcut-target") return cmdShortcutTarget(a);
  if (c == L"menu-command") return cmdMenuCommand(a);
  if (c == L"clipboard-size") return cmdClipboardSize(a);
  if (c == L"hold-hotkey") return cmdHoldHotKey(a);
  if (c == L"clipboard-set-dib") return cmdClipboardSetDib(a);
  if (c == L"time-open") return cmdTimeOpen(a);
  if (c == L"console-line") return cmdConsoleLine(a);
  if (c == L"msgbox") return cmdMsgbox(a);
  if (c == L"menu-items") return cmdMenu(a, false);
  if (c == L"menu-select") return cmdMenu(a, true);
  if (c == L"run") return cmdRun(a);
  if (c == L"measure") return cmdMeasure(a);
  if (c == L"reg-get") return cmdRegGet(a);
  if (c == L"reg-set") return cmdRegSet(a, false);
  if (c == L"reg-set-dword") return cmdRegSet(a, true);
  if (c == L"reg-delete") return cmdRegDelete(a);
  if (c == L"reg-list") return cmdRegList(a);
  if (c == L"exit-windows") return cmdExitWindows(a);
  if (c == L"move") return cmdMove(a);
  return usage();
}
