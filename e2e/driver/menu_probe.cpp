// kivo_menu_probe.dll: runs kivo_driver's calls inside another process, on
// the thread of one of its windows (menu_probe.h). Wine keeps menus in the
// memory of the process that created them, so their items can only be read
// from inside that process; a drop handle, too, is memory of the process
// that receives it.
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "e2e/driver/menu_probe.h"

namespace {
// Appends the items of a menu, and with drop-downs those of their submenus
// right after them.
void Collect(MenuProbe* probe, HMENU menu, bool deep) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count && probe->count < kMenuProbeMaxItems; ++i) {
    MenuProbeItem& item = probe->items[probe->count++];
    item.id = GetMenuItemID(menu, i);
    item.state = GetMenuState(menu, i, MF_BYPOSITION);
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_STRING | MIIM_FTYPE;
    mi.dwTypeData = item.text;
    mi.cch = kMenuProbeTextChars - 1;
    item.text[0] = 0;
    if (GetMenuItemInfoW(menu, i, TRUE, &mi) && (mi.fType & MFT_SEPARATOR)) item.text[0] = 0;
    item.text[kMenuProbeTextChars - 1] = 0;
    if (deep)
      if (HMENU sub = GetSubMenu(menu, i)) Collect(probe, sub, true);
  }
}

// Reads a menu (MenuProbe): the given one, or the window's menu bar or
// system menu.
DWORD ReadMenuItems(void* param) {
  auto* probe = static_cast<MenuProbe*>(param);
  if (!probe->menu) probe->menu = probe->bar ? GetMenu(probe->window) : GetSystemMenu(probe->window, FALSE);
  if (GetMenuItemCount(probe->menu) < 0) return 1;
  probe->count = 0;
  Collect(probe, probe->menu, probe->bar != 0);
  return 0;
}

// Posts the window a drop of the files (DropProbe), with the drop handle
// the shell would make: a DROPFILES block in this process's memory.
DWORD DropFiles(void* param) {
  auto* probe = static_cast<DropProbe*>(param);
  size_t chars = 0;
  while (chars + 1 < kDropProbeChars && (probe->files[chars] || probe->files[chars + 1])) ++chars;
  chars += 2;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  if (!mem) return 1;
  auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), probe->files, chars * sizeof(wchar_t));
  GlobalUnlock(mem);
  return PostMessageW(probe->window, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0) ? 0 : 2;
}

BOOL CALLBACK MeasureChild(HWND child, LPARAM param) {
  auto* probe = reinterpret_cast<TextProbe*>(param);
  if (probe->count >= kTextProbeMaxItems) return FALSE;
  TextProbeItem& item = probe->items[probe->count++];
  item.window = child;
  item.style = static_cast<LONG>(GetWindowLongW(child, GWL_STYLE));
  RECT client{};
  GetClientRect(child, &client);
  item.clientWidth = client.right;
  item.clientHeight = client.bottom;
  wchar_t text[512] = {};
  GetWindowTextW(child, text, 512);
  HDC dc = GetDC(child);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(child, WM_GETFONT, 0, 0)));
  RECT extent{};
  wchar_t cls[32] = {};
  GetClassNameW(child, cls, 32);
  // Static controls with SS_NOPREFIX show "&" as it is.
  UINT flags = DT_CALCRECT | DT_SINGLELINE;
  if (lstrcmpiW(cls, L"Static") == 0 && (item.style & SS_NOPREFIX)) flags |= DT_NOPREFIX;
  DrawTextW(dc, text, -1, &extent, flags);
  SelectObject(dc, old);
  ReleaseDC(child, dc);
  item.textWidth = extent.right - extent.left;
  item.textHeight = extent.bottom - extent.top;
  return TRUE;
}

// Measures the texts of every child of the window (TextProbe).
DWORD MeasureTexts(void* param) {
  auto* probe = static_cast<TextProbe*>(param);
  probe->count = 0;
  EnumChildWindows(probe->window, MeasureChild, reinterpret_cast<LPARAM>(probe));
  return 0;
}

DWORD SendDpiChanged(void* param) {
  auto* change = static_cast<DpiChange*>(param);
  constexpr UINT kWmDpiChanged = 0x02E0;
  SendMessageW(change->window, kWmDpiChanged, MAKEWPARAM(change->dpi, change->dpi),
               reinterpret_cast<LPARAM>(&change->suggested));
  return 0;
}

// Runs the call the driver's process `pid` shared under the number `call`;
// a call whose block is gone (the driver gave up) is left alone.
void RunCall(DWORD pid, DWORD call) {
  wchar_t blockName[64], doneName[64];
  ProbeCallNames(pid, call, blockName, doneName);
  HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, blockName);
  if (!mapping) return;
  auto* header = static_cast<ProbeCall*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (header && InterlockedExchange(&header->taken, 1) == 0) {
    void* block = header + 1;
    if (header->op == kProbeReadMenu && header->size == sizeof(MenuProbe))
      header->result = static_cast<LONG>(ReadMenuItems(block));
    else if (header->op == kProbeDropFiles && header->size == sizeof(DropProbe))
      header->result = static_cast<LONG>(DropFiles(block));
    else if (header->op == kProbeMeasureTexts && header->size == sizeof(TextProbe))
      header->result = static_cast<LONG>(MeasureTexts(block));
    else if (header->op == kProbeDpiChanged && header->size == sizeof(DpiChange))
      header->result = static_cast<LONG>(SendDpiChanged(block));
    else
      header->result = -1;
    if (HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, doneName)) {
      SetEvent(done);
      CloseHandle(done);
    }
  }
  if (header) UnmapViewOfFile(header);
  CloseHandle(mapping);
}
}  // namespace

// WH_GETMESSAGE: the driver's call as the window's thread takes it from
// its queue; every other message passes untouched.
extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM removed, LPARAM lparam) {
  auto* msg = reinterpret_cast<MSG*>(lparam);
  if (code == HC_ACTION && removed == PM_REMOVE && msg->message == RegisterWindowMessageW(kProbeCallMessage)) {
    RunCall(static_cast<DWORD>(msg->wParam), static_cast<DWORD>(msg->lParam));
    msg->message = WM_NULL;
    msg->wParam = 0;
    msg->lParam = 0;
  }
  return CallNextHookEx(nullptr, code, removed, lparam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
