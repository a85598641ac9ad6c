// The block kivo_driver fills in the other process's memory and
// kivo_menu_probe.dll's ReadMenuItems completes there.
#pragma once
#include <windows.h>

constexpr int kMenuProbeMaxItems = 64;
constexpr int kMenuProbeTextChars = 128;

struct MenuProbeItem {
  UINT id;
  UINT state;
  wchar_t text[kMenuProbeTextChars];
};

struct MenuProbe {
  HMENU menu;   // in: the menu handle (from MN_GETHMENU), or null for ...
  HWND window;  // in: ... the system menu of this window
  int count;   // out: number of items, -1 until read
  MenuProbeItem items[kMenuProbeMaxItems];
};
