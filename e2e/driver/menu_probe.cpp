// kivo_menu_probe.dll: loaded by kivo_driver into the process that shows a
// popup menu. Wine keeps menus in the memory of the process that created
// them, so their items can only be read from inside that process.
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
}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ReadMenuItems(LPVOID param) {
  auto* probe = static_cast<MenuProbe*>(param);
  if (!probe->menu) probe->menu = probe->bar ? GetMenu(probe->window) : GetSystemMenu(probe->window, FALSE);
  if (GetMenuItemCount(probe->menu) < 0) return 1;
  probe->count = 0;
  Collect(probe, probe->menu, probe->bar != 0);
  return 0;
}

extern "C" __declspec(dllexport) DWORD WINAPI DropFiles(LPVOID param) {
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

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
