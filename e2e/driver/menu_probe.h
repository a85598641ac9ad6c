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

// DropFiles: the files a shell drop would deliver, posted to a window as
// WM_DROPFILES with a drop handle made in the window's own process.
constexpr int kDropProbeChars = 4096;
struct DropProbe {
  HWND window;
  wchar_t files[kDropProbeChars];  // each name ends with a zero, the list with a second one
};

struct MenuProbe {
  HMENU menu;   // in: the menu handle (from MN_GETHMENU), or null for ...
  HWND window;  // in: ... the system menu of this window, or its menu bar
  int bar;      // in: nonzero: the menu bar, its drop-down items included
  int count;   // out: number of items, -1 until read
  MenuProbeItem items[kMenuProbeMaxItems];
};
