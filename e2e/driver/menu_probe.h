// The blocks kivo_driver hands to kivo_menu_probe.dll in another process,
// and how it hands them over.
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

// TextProbe: every child window of a window, with the extent of its text
// in the font it draws with, measured in its own process (fonts do not
// cross processes).
constexpr int kTextProbeMaxItems = 160;
struct TextProbeItem {
  HWND window;
  LONG style;
  LONG textWidth, textHeight;      // DrawText's DT_CALCRECT, one line
  LONG clientWidth, clientHeight;
};
struct TextProbe {
  HWND window;  // in: the top-level window
  int count;    // out: number of children, -1 until read
  TextProbeItem items[kTextProbeMaxItems];
};

// DpiChange: WM_DPICHANGED sent to a window in its own process, as the
// system sends it when the window moves to a monitor of another DPI (the
// suggested rectangle lives in that process's memory).
struct DpiChange {
  HWND window;
  int dpi;
  RECT suggested;
};

// A call made on the thread of a window of another process. The driver
// hooks that thread's message retrieval (WH_GETMESSAGE, ProbeHook: the
// system loads the probe into the process for it), shares the call's block
// as a named file mapping and posts the registered message kProbeCallMessage
// to the window (wParam: the driver's process id, lParam: the call's
// number). The hook, on the window's own thread, runs the operation on the
// block, turns the message into WM_NULL and sets the named event. No thread
// is started in the other process, and nothing there is interrupted.
constexpr wchar_t kProbeCallMessage[] = L"KivoProbeCall";
enum ProbeOp : LONG { kProbeReadMenu = 1, kProbeDropFiles = 2, kProbeMeasureTexts = 3, kProbeDpiChanged = 4 };
struct ProbeCall {
  LONG op;      // a ProbeOp
  LONG taken;   // set by the hook when it takes the call
  LONG result;  // the operation's result, 0: done
  DWORD size;   // bytes of the operation's block, which follows
};
// The names of a call's block and of its event.
inline void ProbeCallNames(DWORD pid, DWORD call, wchar_t (&block)[64], wchar_t (&done)[64]) {
  wsprintfW(block, L"KivoProbeCall-%lu-%lu", pid, call);
  wsprintfW(done, L"KivoProbeCall-%lu-%lu-done", pid, call);
}
