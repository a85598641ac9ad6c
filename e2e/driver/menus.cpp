// kivo_driver: Popup, system and menu-bar menus read inside their process
// (kivo_menu_probe.dll), and files dropped from inside the target's process.
#include "e2e/driver/driver.h"

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

// Runs fn(param) on a new thread of the other process; returns its exit code.
bool remoteCall(HANDLE proc, LPTHREAD_START_ROUTINE fn, void* param, DWORD& result) {
  HANDLE t = CreateRemoteThread(proc, nullptr, 0, fn, param, 0, nullptr);
  if (!t) return false;
  bool done = WaitForSingleObject(t, 10000) == WAIT_OBJECT_0;
  if (done) GetExitCodeThread(t, &result);
  CloseHandle(t);
  return done;
}

// Runs an export of kivo_menu_probe.dll (next to this program) inside
// another process on a block of data copied there and back; kernel32 is
// mapped at the same address in every process. Wine keeps menus in the
// memory of the process that created them, so they are read there.
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
                    std::wstring& error, bool menuBar) {
  auto* probe = new MenuProbe();
  probe->menu = menu;
  probe->window = window;
  probe->bar = menuBar ? 1 : 0;
  probe->count = -1;
  bool ok = callProbe(pid, "ReadMenuItems", probe, sizeof(MenuProbe), error);
  if (ok && probe->count < 0) {
    error = L"reading the menu inside process " + num(pid) + L" failed";
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
  if (pid != GetCurrentProcessId()) return readRemoteMenu(pid, menu, nullptr, items, error);
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i)
    items.push_back({GetMenuItemID(menu, i), GetMenuState(menu, i, MF_BYPOSITION), menuItemText(menu, i)});
  return count >= 0;
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

}  // namespace driver
