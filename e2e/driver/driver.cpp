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

#include "e2e/driver/driver.h"

using namespace driver;

namespace {

int usage() {
  err(L"usage: kivo_driver <command> [options]\n"
      L"  list [--title T] [--class C] [--pid P] [--visible]   top-level windows\n"
      L"  wait --title T [--class C] [--visible|--hidden] [--timeout ms]\n"
      L"  wait-gone --title T [--class C] [--visible] [--timeout ms]\n"
      L"  rect --title T                                       left top right bottom\n"
      L"  screen                                               screen size, work area\n"
      L"  monitors | cursor                                    monitors, virtual screen; mouse\n"
      L"  unicode --title T                                    1: a Unicode window, 0: ANSI\n"
      L"  children --title T                                   child controls\n"
      L"  text --title T [--text X|--id N|--ctl-class C] [--part N]\n"
      L"  click --title T --text X [--send]\n"
      L"  hover --title T --text X                             the mouse on a control\n"
      L"  post --title T [--ctl-class C] --msg N [--wparam N] [--lparam N] [--send]\n"
      L"  msgbox --title T [--text X] [--answer ID]\n"
      L"  menu-items | menu-select --text X                    open popup menu\n"
      L"  menu-items --system --title T                        a window's system menu\n"
      L"  drop --title T [--trace] -- FILE...                  files dropped on the window\n"
      L"  run [--timeout ms] -- prog.exe [args]                prints exit code\n"
      L"  measure [--title T] [--terminate] -- prog.exe [args] start-up time, peak memory\n"
      L"  clipboard-save --format PNG|DIB --file F   the clipboard's bytes of a format\n"
      L"  text-extents --title T   each child's text extent in its own font, client size\n"
      L"  dpi-changed --title T --dpi N --rect \"l t r b\"   WM_DPICHANGED as the system sends it\n"
      L"  reg-get K V | reg-set K V DATA | reg-set-dword K V N | reg-delete K [V] | reg-list K\n"
      L"  exit-windows [--flags N]\n"
      L"  tray-icon --title T [--id N] [--delete]               1: the window's icon is in the tray\n"
      L"  broadcast --registered NAME                          to every top-level window, as the shell\n"
      L"  clipboard-size | clipboard-set-dib --file F [--v5]      the clipboard's bitmap\n"
      L"  clipboard-sequence                                   the clipboard's sequence number\n"
      L"  hold-hotkey --mods N --vk N [--ms N]                 hold a hotkey as another program\n"
      L"  move --title T --x N --y N [--width N --height N]");
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
  if (c == L"monitors") return cmdMonitors(a);
  if (c == L"cursor") return cmdCursor(a);
  if (c == L"unicode") return cmdUnicode(a);
  if (c == L"children") return cmdChildren(a);
  if (c == L"text") return cmdText(a);
  if (c == L"click") return cmdClick(a);
  if (c == L"hover") return cmdHover(a);
  if (c == L"post") return cmdPost(a);
  if (c == L"type") return cmdType(a);
  if (c == L"drop") return cmdDrop(a);
  if (c == L"time-drop") return cmdTimeDrop(a);
  if (c == L"time-click") return cmdTimeClick(a);
  if (c == L"time-run") return cmdTimeRun(a);
  if (c == L"shortcut-target") return cmdShortcutTarget(a);
  if (c == L"menu-command") return cmdMenuCommand(a);
  if (c == L"clipboard-size") return cmdClipboardSize(a);
  if (c == L"clipboard-sequence") return cmdClipboardSequence(a);
  if (c == L"hold-hotkey") return cmdHoldHotKey(a);
  if (c == L"clipboard-set-dib") return cmdClipboardSetDib(a);
  if (c == L"clipboard-save") return cmdClipboardSave(a);
  if (c == L"time-open") return cmdTimeOpen(a);
  if (c == L"console-line") return cmdConsoleLine(a);
  if (c == L"msgbox") return cmdMsgbox(a);
  if (c == L"menu-items") return cmdMenu(a, false);
  if (c == L"menu-select") return cmdMenu(a, true);
  if (c == L"run") return cmdRun(a);
  if (c == L"measure") return cmdMeasure(a);
  if (c == L"text-extents") return cmdTextExtents(a);
  if (c == L"dpi-changed") return cmdDpiChanged(a);
  if (c == L"reg-get") return cmdRegGet(a);
  if (c == L"reg-set") return cmdRegSet(a, false);
  if (c == L"reg-set-dword") return cmdRegSet(a, true);
  if (c == L"reg-delete") return cmdRegDelete(a);
  if (c == L"reg-list") return cmdRegList(a);
  if (c == L"exit-windows") return cmdExitWindows(a);
  if (c == L"tray-icon") return cmdTrayIcon(a);
  if (c == L"broadcast") return cmdBroadcast(a);
  if (c == L"move") return cmdMove(a);
  return usage();
}
