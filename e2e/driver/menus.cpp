// kivo_driver: Popup, system and menu-bar menus read inside their process
// (kivo_menu_probe.dll), and files dropped from inside the target's process,
// both on the thread of the target window.
#include "e2e/driver/driver.h"

#include <sstream>

namespace driver {

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

// The steps of a call into another process, each with its start time and a
// limit: a watchdog thread ends the driver when a step overstays, naming the
// step and telling whether the target window still answers a message then
// (some of Wine's calls on another process wait for it without a limit).
// The trace is printed when the call fails, and always with --trace.
CallSteps::CallSteps(const std::wstring& what, HWND window, bool trace)
    : what_(what), window_(window), trace_(trace), start_(GetTickCount()) {
  InitializeCriticalSection(&lock_);
  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  watchdog_ = CreateThread(nullptr, 0, &CallSteps::Watch, this, 0, nullptr);
}

CallSteps::~CallSteps() {
  SetEvent(stop_);
  if (watchdog_) {
    WaitForSingleObject(watchdog_, INFINITE);
    CloseHandle(watchdog_);
  }
  CloseHandle(stop_);
  if (trace_) err(Trace());
  DeleteCriticalSection(&lock_);
}

void CallSteps::Begin(const std::wstring& step, DWORD limitMs) {
  EnterCriticalSection(&lock_);
  step_ = step;
  stepStart_ = GetTickCount();
  limit_ = limitMs;
  log_ += L"\n  +" + num(static_cast<long long>(stepStart_ - start_)) + L" ms " + step;
  LeaveCriticalSection(&lock_);
}

void CallSteps::End(const std::wstring& outcome) {
  EnterCriticalSection(&lock_);
  log_ += L": " + outcome + L" after " + num(static_cast<long long>(GetTickCount() - stepStart_)) + L" ms";
  step_.clear();
  LeaveCriticalSection(&lock_);
}

std::wstring CallSteps::Trace() {
  EnterCriticalSection(&lock_);
  std::wstring t = what_ + L", steps:" + log_;
  LeaveCriticalSection(&lock_);
  return t;
}

std::wstring CallSteps::WindowAnswers(HWND window) {
  if (!window) return L"";
  DWORD_PTR ignored = 0;
  const DWORD t0 = GetTickCount();
  bool answers = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &ignored) != 0;
  return L"window " + hex(reinterpret_cast<uintptr_t>(window)) +
         (answers ? L" answered WM_NULL in " + num(static_cast<long long>(GetTickCount() - t0)) + L" ms"
                  : L" did not answer WM_NULL within " + num(static_cast<long long>(kAnswerMs)) + L" ms");
}

DWORD WINAPI CallSteps::Watch(void* p) {
  auto* self = static_cast<CallSteps*>(p);
  while (WaitForSingleObject(self->stop_, 20) == WAIT_TIMEOUT) {
    EnterCriticalSection(&self->lock_);
    std::wstring step = self->step_;
    bool over = !step.empty() && GetTickCount() - self->stepStart_ > self->limit_;
    DWORD limit = self->limit_;
    LeaveCriticalSection(&self->lock_);
    if (!over) continue;
    std::wstring answers = WindowAnswers(self->window_);
    err(self->Trace() + L"\n  " + step + L" did not finish within " + num(static_cast<long long>(limit)) +
        L" ms; " + answers);
    ExitProcess(4);
  }
  return 0;
}

// Runs an operation of kivo_menu_probe.dll (next to this program) on the
// thread of `window`, which may belong to another process, on a block of
// data shared with it and read back (menu_probe.h tells how). Wine keeps
// menus in the memory of the process that created them, and a drop handle
// must be memory of the receiving process, so both are made there. The
// thread takes the call when it next gets a message, as it would a drop
// from the shell: a window whose thread does not answer gets no call.
bool callProbe(HWND window, ProbeOp op, void* data, size_t size, DWORD timeoutMs, std::wstring& error,
               bool trace) {
  static DWORD calls = 0;
  DWORD pid = 0;
  const DWORD tid = GetWindowThreadProcessId(window, &pid);
  const std::wstring what = std::wstring(op == kProbeDropFiles ? L"the drop" : L"reading the menu") +
                            L" on window " + hex(reinterpret_cast<uintptr_t>(window)) + L" (process " + num(pid) +
                            L", thread " + num(tid) + L")";
  CallSteps steps(what, window, trace);
  auto fail = [&](const std::wstring& why) {
    steps.End(L"failed");
    error = why + L"\n" + steps.Trace();
    return false;
  };
  if (!tid) {
    error = L"no window " + hex(reinterpret_cast<uintptr_t>(window));
    return false;
  }
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dll = self;
  dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"kivo_menu_probe.dll";
  steps.Begin(L"loading the probe here", CallSteps::kStepMs);
  HMODULE probe = LoadLibraryW(dll.c_str());
  auto hook = probe ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeHook@12")))
                    : nullptr;
  if (!hook) return fail(L"cannot load " + dll);
  steps.End(L"done");

  steps.Begin(L"sharing the call's memory", CallSteps::kStepMs);
  const DWORD call = ++calls;
  wchar_t blockName[64], doneName[64];
  ProbeCallNames(GetCurrentProcessId(), call, blockName, doneName);
  const DWORD bytes = static_cast<DWORD>(sizeof(ProbeCall) + size);
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes, blockName);
  auto* header = mapping ? static_cast<ProbeCall*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, doneName);
  bool ok = false;
  HHOOK hooked = nullptr;
  if (!header || !done) {
    fail(L"cannot share memory for the call (error " + num(static_cast<long long>(GetLastError())) + L")");
  } else {
    header->op = op;
    header->taken = 0;
    header->result = -1;
    header->size = static_cast<DWORD>(size);
    memcpy(header + 1, data, size);
    steps.End(L"done");

    steps.Begin(L"hooking the window's thread", CallSteps::kStepMs);
    hooked = SetWindowsHookExW(WH_GETMESSAGE, hook, probe, tid);
    if (!hooked) {
      fail(L"cannot hook thread " + num(tid) + L" (error " + num(static_cast<long long>(GetLastError())) + L")");
    } else {
      steps.End(L"done");
      steps.Begin(L"posting the call", CallSteps::kStepMs);
      if (!PostMessageW(window, RegisterWindowMessageW(kProbeCallMessage), GetCurrentProcessId(), call)) {
        fail(L"cannot post to window " + hex(reinterpret_cast<uintptr_t>(window)));
      } else {
        steps.End(L"done");
        steps.Begin(L"the call on the window's thread", timeoutMs + 5000);
        if (WaitForSingleObject(done, timeoutMs) != WAIT_OBJECT_0) {
          std::wstring state = header->taken ? L"it took the call and has not finished it"
                                             : L"it has not taken the call from its queue";
          fail(L"the window's thread did not finish the call within " + num(static_cast<long long>(timeoutMs)) +
               L" ms: " + state + L"; " + CallSteps::WindowAnswers(window));
        } else if (header->result != 0) {
          fail(L"the call failed inside process " + num(pid) + L" (" + num(header->result) + L")");
        } else {
          memcpy(data, header + 1, size);
          steps.End(L"done");
          ok = true;
        }
      }
      steps.Begin(L"unhooking", CallSteps::kStepMs);
      bool unhooked = UnhookWindowsHookEx(hooked) != 0;
      steps.End(unhooked ? L"done" : L"failed");
    }
  }
  if (header) UnmapViewOfFile(header);
  if (mapping) CloseHandle(mapping);
  if (done) CloseHandle(done);
  FreeLibrary(probe);
  return ok;
}

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
  DropProbe* probe = makeDropProbe(top, a.positional);
  std::wstring error;
  bool ok = callProbe(top, kProbeDropFiles, probe, sizeof(DropProbe), a.timeout(), error, a.has(L"trace"));
  delete probe;
  if (!ok) err(error);
  return ok ? 0 : 1;
}

// Every child of a window with its text's extent in its own font, measured
// in the window's process: "hwnd<TAB>style=0x…<TAB>text=W H<TAB>client=W H".
int cmdTextExtents(const Args& a) {
  HWND top = waitTop(a);
  auto* probe = new TextProbe();
  probe->window = top;
  probe->count = -1;
  std::wstring error;
  bool ok = callProbe(top, kProbeMeasureTexts, probe, sizeof(TextProbe), a.timeout(), error);
  if (ok)
    for (int i = 0; i < probe->count; ++i) {
      const TextProbeItem& it = probe->items[i];
      out(hex(reinterpret_cast<uintptr_t>(it.window)) + L"\tstyle=" + hex(static_cast<DWORD>(it.style)) +
          L"\ttext=" + num(it.textWidth) + L" " + num(it.textHeight) + L"\tclient=" + num(it.clientWidth) +
          L" " + num(it.clientHeight));
    }
  else
    err(error);
  delete probe;
  return ok ? 0 : 1;
}

// Tells a window it came to a monitor of another DPI: --title, --dpi N and
// the suggested rectangle --rect "left top right bottom".
int cmdDpiChanged(const Args& a) {
  HWND top = waitTop(a);
  DpiChange change{};
  change.window = top;
  change.dpi = static_cast<int>(a.integer(L"dpi", 96));
  std::wistringstream in(a.str(L"rect"));
  in >> change.suggested.left >> change.suggested.top >> change.suggested.right >> change.suggested.bottom;
  std::wstring error;
  bool ok = callProbe(top, kProbeDpiChanged, &change, sizeof change, a.timeout(), error);
  if (!ok) err(error);
  return ok ? 0 : 1;
}

// Reads a menu on the thread of `window`: `menu`, or without one the
// window's menu bar (menuBar) or system menu.
bool readRemoteMenu(HWND window, HMENU menu, bool menuBar, std::vector<MenuItem>& items, std::wstring& error) {
  auto* probe = new MenuProbe();
  probe->menu = menu;
  probe->window = window;
  probe->bar = menuBar ? 1 : 0;
  probe->count = -1;
  bool ok = callProbe(window, kProbeReadMenu, probe, sizeof(MenuProbe), CallSteps::kStepMs, error);
  if (ok && probe->count < 0) {
    error = L"reading the menu of window " + hex(reinterpret_cast<uintptr_t>(window)) + L" failed";
    ok = false;
  }
  if (ok)
    for (int i = 0; i < probe->count; ++i)
      items.push_back({probe->items[i].id, probe->items[i].state, probe->items[i].text});
  delete probe;
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
  if (pid != GetCurrentProcessId()) return readRemoteMenu(menuWnd, menu, false, items, error);
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i)
    items.push_back({GetMenuItemID(menu, i), GetMenuState(menu, i, MF_BYPOSITION), menuItemText(menu, i)});
  return count >= 0;
}

int cmdMenuCommand(const Args& a) {
  HWND top = waitTop(a);
  std::vector<MenuItem> items;
  std::wstring error;
  if (!readRemoteMenu(top, nullptr, true, items, error)) {
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
    bool ok = pid == GetCurrentProcessId() ? false : readRemoteMenu(top, nullptr, false, items, error);
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

}  // namespace driver
