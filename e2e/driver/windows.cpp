// kivo_driver: Finding windows and controls, and the commands on them.
#include "e2e/driver/driver.h"

namespace driver {

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

HWND waitTop(const Args& a) {
  TopQuery q = topQuery(a);
  HWND found = nullptr;
  if (!pollUntil(a.timeout(), [&] { return (found = findTop(q)) != nullptr; })) {
    err(L"timed out after " + num(a.timeout()) + L" ms waiting for " + describeQuery(q));
    ExitProcess(2);
  }
  return found;
}

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

BOOL CALLBACK printMonitor(HMONITOR m, HDC, RECT*, LPARAM) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(m, &info))
    out(rectText(info.rcMonitor) + L"\tprimary=" + num((info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0));
  return TRUE;
}

// The monitors as the system reports them: "<SM_CMONITORS> <virtual screen>",
// then one line per monitor (EnumDisplayMonitors' order): its rect and
// primary=0|1.
int cmdMonitors(const Args&) {
  RECT v{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
  v.right = v.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  v.bottom = v.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  out(num(GetSystemMetrics(SM_CMONITORS)) + L" " + rectText(v));
  EnumDisplayMonitors(nullptr, nullptr, printMonitor, 0);
  return 0;
}

// Where the system has the mouse: "x y".
int cmdCursor(const Args&) {
  POINT p{};
  if (!GetCursorPos(&p)) {
    err(L"GetCursorPos failed, error " + num(GetLastError()));
    return 1;
  }
  out(num(p.x) + L" " + num(p.y));
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

int cmdPost(const Args& a) {
  HWND h = waitTop(a);
  if (a.has(L"text") || a.has(L"id") || a.has(L"ctl-class")) h = waitChild(a, h);
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

// Moves a window the way a user does: the move loop of the title bar is
// entered with WM_SYSCOMMAND/SC_MOVE only by mouse, so the window is placed
// with SetWindowPos, which sends the same WM_WINDOWPOSCHANGING/CHANGED.
int cmdMove(const Args& a) {
  HWND h = waitTop(a);
  int x = static_cast<int>(a.integer(L"x", 0));
  int y = static_cast<int>(a.integer(L"y", 0));
  // With --width and --height the window is given that size too.
  const bool size = a.has(L"width");
  int w = static_cast<int>(a.integer(L"width", 0));
  int hgt = static_cast<int>(a.integer(L"height", 0));
  if (!SetWindowPos(h, nullptr, x, y, w, hgt, (size ? 0 : SWP_NOSIZE) | SWP_NOZORDER | SWP_NOACTIVATE)) {
    err(L"SetWindowPos failed, error " + num(GetLastError()));
    return 1;
  }
  RECT r{};
  if (!pollUntil(a.timeout(), [&] {
        GetWindowRect(h, &r);
        return r.left == x && r.top == y && (!size || (r.right - r.left == w && r.bottom - r.top == hgt));
      })) {
    err(L"the window stayed at " + rectText(r));
    return 2;
  }
  out(rectText(r));
  return 0;
}

// Puts the mouse on the middle of a control, disabled ones too, the way a
// user points at it: a mouse move as a mouse sends it (SendInput, absolute
// coordinates over the primary screen), which the system routes to the
// window under it, and waits until the pointer is there. Under Wine a move
// made from another process may be followed by one at the pointer's former
// place (the X pointer catching up a few milliseconds later): a test that
// waits for what pointing shows points again while it waits (e2e's Hover).
int cmdHover(const Args& a) {
  HWND top = waitTop(a);
  HWND h = waitChild(a, top);
  RECT r{};
  GetWindowRect(h, &r);
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  auto moveTo = [&](int px, int py) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((px * 65536LL + cx / 2) / cx);
    in.mi.dy = static_cast<LONG>((py * 65536LL + cy / 2) / cy);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (SendInput(1, &in, sizeof in) != 1) {
      err(L"SendInput failed, error " + num(GetLastError()));
      return 1;
    }
    POINT at{};
    if (!pollUntil(a.timeout(), [&] { return GetCursorPos(&at) && at.x == px && at.y == py; })) {
      err(L"the mouse went to " + num(at.x) + L" " + num(at.y) + L", not " + num(px) + L" " + num(py));
      return 2;
    }
    return 0;
  };
  if (int e = moveTo(x, y)) return e;
  out(num(x) + L" " + num(y));
  return 0;
}

}  // namespace driver
