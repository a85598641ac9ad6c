// kivo_menu_probe.dll: loaded by kivo_driver into the process that shows a
// popup menu. Wine keeps menus in the memory of the process that created
// them, so their items can only be read from inside that process.
#include <windows.h>

#include "e2e/driver/menu_probe.h"

extern "C" __declspec(dllexport) DWORD WINAPI ReadMenuItems(LPVOID param) {
  auto* probe = static_cast<MenuProbe*>(param);
  if (!probe->menu) probe->menu = GetSystemMenu(probe->window, FALSE);
  int count = GetMenuItemCount(probe->menu);
  if (count < 0) return 1;
  if (count > kMenuProbeMaxItems) count = kMenuProbeMaxItems;
  for (int i = 0; i < count; ++i) {
    MenuProbeItem& item = probe->items[i];
    item.id = GetMenuItemID(probe->menu, i);
    item.state = GetMenuState(probe->menu, i, MF_BYPOSITION);
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_STRING | MIIM_FTYPE;
    mi.dwTypeData = item.text;
    mi.cch = kMenuProbeTextChars - 1;
    item.text[0] = 0;
    if (GetMenuItemInfoW(probe->menu, i, TRUE, &mi) && (mi.fType & MFT_SEPARATOR)) item.text[0] = 0;
    item.text[kMenuProbeTextChars - 1] = 0;
  }
  probe->count = count;
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
