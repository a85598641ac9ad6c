// bench_twin.exe: kivo_config's main window written straight on Win32,
// without the toolkit, as the reference of the start-up benchmark. It does
// what kivo_config's start-up does and nothing more: the single-instance
// mutex, the same settings reads, the version, power and memory queries,
// the application window, the main window with its 35 controls (same
// classes, captions, fonts and places, and on each version of Windows the
// same captions, disabled and hidden controls as kivo_config's first paint
// shows there, each control made that way), the status bar, the main menu,
// the tray icon,
// the two one-second timers, the input method switched off, the resource
// library looked for, then the window shown. The popup menu is built when it
// opens, in both programs.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

const wchar_t kKey[] = L"Software\\Kivo_Project\\Ve_Dizo\\Kivo_Shutdown";

// One settings read as kivo_config's store makes it: open the section, read
// the value, close.
std::wstring Read(const wchar_t* section, const wchar_t* ident, const wchar_t* def) {
  std::wstring path = std::wstring(kKey) + L"\\" + section;
  HKEY app = nullptr, key = nullptr;
  std::wstring value = def;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &app, nullptr) != 0)
    return value;
  if (RegOpenKeyExW(app, section, 0, KEY_ALL_ACCESS, &key) == 0) {
    wchar_t buf[512];
    DWORD size = sizeof buf, type = 0;
    if (RegQueryValueExW(key, ident, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == 0 &&
        type == REG_SZ)
      value.assign(buf, size / sizeof(wchar_t) ? size / sizeof(wchar_t) - 1 : 0);
    RegCloseKey(key);
  }
  RegCloseKey(app);
  return value;
}

// The start-up's phase clock, as kivo_config keeps it (app/phases.h): with
// KIVO_PHASES naming a file, "name milliseconds" lines, milliseconds since
// the process was created, written once the window is up.
std::string g_phases;
void Phase(const char* name) {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
  GetSystemTimeAsFileTime(&now);
  auto value = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  char line[64];
  snprintf(line, sizeof line, "%s %.1f\r\n", name, static_cast<double>(value(now) - value(created)) / 10000.0);
  g_phases += line;
}
void WritePhases() {
  wchar_t file[MAX_PATH];
  if (!GetEnvironmentVariableW(L"KIVO_PHASES", file, MAX_PATH)) return;
  HANDLE f = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD put = 0;
  WriteFile(f, g_phases.data(), static_cast<DWORD>(g_phases.size()), &put, nullptr);
  CloseHandle(f);
}

HFONT g_font, g_status;

struct Ctl {
  const wchar_t* cls;
  DWORD style;
  int x, y, w, h;
  const wchar_t* text;
  bool statusFont;
};

// The controls' indices, for the version's changes.
enum {
  kControlPanel = 1, kVersion = 7, kStandby = 8, kShutDown = 11, kMouse = 13, kPassword, kPrograms,
  kPower, kMultimedia, kNetwork, kDevices, kJoystick, kModem, kDateTime, kDisplay, kResources, kLock,
  kHibernate = 30, kNoForcedEnd = 33, kControlCount
};

const Ctl kControls[kControlCount] = {
    {L"STATIC", SS_ETCHEDFRAME, 96, 24, 337, 153, L"", false},
    {L"STATIC", SS_LEFT, 96, 8, 140, 12, L"ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ", false},
    {L"STATIC", SS_ETCHEDFRAME, 264, 192, 257, 89, L"", false},
    // The clock, the time since the system started and the memory, as wide
    // as kivo_config's labels grow for their texts.
    {L"STATIC", SS_RIGHT, 270, 200, 243, 13, L"Please Wait !!", true},
    {L"STATIC", SS_RIGHT, 270, 220, 243, 13, L"Please Wait !!", true},
    {L"STATIC", SS_RIGHT, 270, 240, 243, 12, L"Please Wait  !!", false},
    {L"STATIC", SS_LEFT, 270, 261, 100, 12, L"起動しているOS:", false},
    {L"STATIC", SS_RIGHT, 380, 260, 133, 13, L"", true},
    {L"BUTTON", BS_PUSHBUTTON, 8, 8, 81, 25, L"スタンバイ", false},
    {L"BUTTON", BS_PUSHBUTTON, 8, 42, 81, 25, L"ログオフ", false},
    {L"BUTTON", BS_PUSHBUTTON, 8, 76, 81, 25, L"再起動", false},
    {L"BUTTON", BS_PUSHBUTTON, 8, 110, 81, 25, L"シャットダウン", false},
    {L"BUTTON", BS_PUSHBUTTON, 8, 144, 81, 25, L"電源切断", false},
    {L"BUTTON", BS_PUSHBUTTON, 104, 32, 97, 25, L"マウス", false},
    {L"BUTTON", BS_PUSHBUTTON, 216, 32, 97, 25, L"パスワード", false},
    {L"BUTTON", BS_PUSHBUTTON, 328, 32, 97, 25, L"アプリ追加・削除", false},
    {L"BUTTON", BS_PUSHBUTTON, 104, 69, 97, 25, L"電源管理", false},
    {L"BUTTON", BS_PUSHBUTTON, 216, 69, 97, 25, L"マルチメディア", false},
    {L"BUTTON", BS_PUSHBUTTON, 328, 69, 97, 25, L"ネットワーク", false},
    {L"BUTTON", BS_PUSHBUTTON, 104, 107, 97, 25, L"ﾃﾞﾊﾞｲｽﾏﾈｰｼﾞｬ", false},
    {L"BUTTON", BS_PUSHBUTTON, 216, 107, 97, 25, L"ジョイスティック", false},
    {L"BUTTON", BS_PUSHBUTTON, 328, 107, 97, 25, L"モデム", false},
    {L"BUTTON", BS_PUSHBUTTON, 104, 144, 97, 25, L"日付と時刻", false},
    {L"BUTTON", BS_PUSHBUTTON, 216, 144, 97, 25, L"画面設定", false},
    {L"BUTTON", BS_PUSHBUTTON, 328, 144, 97, 25, L"リソース", false},
    {L"BUTTON", BS_PUSHBUTTON, 448, 32, 65, 25, L"画面ロック", false},
    {L"BUTTON", BS_PUSHBUTTON, 448, 68, 65, 25, L"ｽﾄｯﾌﾟｳｫｯﾁ", false},
    {L"BUTTON", BS_PUSHBUTTON, 448, 107, 65, 25, L"Open APL", false},
    {L"BUTTON", BS_PUSHBUTTON, 448, 144, 65, 25, L"閉じる", false},
    {L"BUTTON", BS_CHECKBOX, 8, 184, 121, 17, L"スタートアップ登録", false},
    {L"BUTTON", BS_CHECKBOX, 8, 204, 153, 12, L"休止状態をサポートする", false},
    {L"BUTTON", BS_CHECKBOX, 8, 224, 129, 12, L"タスクバーを非表示", false},
    {L"BUTTON", BS_CHECKBOX, 8, 244, 153, 12, L"ステータスバーを非表示", false},
    {L"BUTTON", BS_CHECKBOX, 8, 264, 169, 12, L"強制終了を無効にする", false},
};

// What kivo_config's main window shows on the running version, decided
// before the window is made: each control is made with its caption and its
// state, as the best program would. kivo_config's own first paint shows the
// same captions, disabled controls and hidden ones.
struct Look {
  std::wstring text[kControlCount];
  bool disabled[kControlCount] = {};
  bool hidden[kControlCount] = {};
  int controlPanelWidth = 140;
};

Look LookFor(const OSVERSIONINFOW& v, bool powerKnown, bool canSleep, bool canHibernate) {
  Look look;
  for (int i = 0; i < kControlCount; ++i) look.text[i] = kControls[i].text;
  if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    look.text[kVersion] = v.dwMinorVersion == 0                ? L"MicroSoft Windows 95"
                          : v.dwMinorVersion == 90             ? L"Windows Millennium Edition"
                          : v.dwBuildNumber == 0x040A07CE      ? L"Microsoft Windows 98"
                                                               : L"Windows 98 Second Edition";
    look.hidden[kHibernate] = v.dwMinorVersion == 10;
    look.disabled[kShutDown] = true;
    return look;
  }
  look.text[kMouse] = L"ｺﾝﾋﾟｭｰﾀ管理";
  look.text[kPassword] = L"ﾊﾟﾌｫｰﾏﾝｽ";
  look.text[kPower] = L"ｼｽﾃﾑ情報";
  look.text[kDateTime] = L"ﾃﾞｨｽｸ管理";
  look.text[kMultimedia] = L"ｿﾙﾃｨｱ";
  look.text[kJoystick] = L"ﾌﾘｰｾﾙ";
  for (int i : {kDisplay, kPrograms, kLock, kResources, kNetwork, kModem, kNoForcedEnd}) look.disabled[i] = true;
  if (v.dwMajorVersion == 5) {
    look.text[kVersion] = v.dwMinorVersion == 0 ? L"Microsoft Windows 2000" : L"Microsoft Windows XP";
    look.text[kControlPanel] = v.dwMinorVersion == 0 ? L"Windows 2000管理ツール" : L"Windows XP管理ツール";
  } else {
    static const wchar_t* const kNt6[] = {L"Windows Vista", L"Windows 7", L"Windows 8", L"Windows 8.1"};
    const wchar_t* name = v.dwMajorVersion == 10 && v.dwMinorVersion == 0
                              ? (v.dwBuildNumber >= 22000 ? L"Windows 11" : L"Windows 10")
                          : v.dwMajorVersion == 6 && v.dwMinorVersion <= 3 ? kNt6[v.dwMinorVersion]
                                                                           : nullptr;
    wchar_t number[32];
    swprintf(number, 32, L"WindowsNT %lu.%lu", v.dwMajorVersion, v.dwMinorVersion);
    look.text[kVersion] = name ? name : number;
    look.text[kControlPanel] = std::wstring(name ? name : L"Windows NT") + L"ｺﾝﾄﾛｰﾙﾊﾟﾈﾙ";
    look.text[kDevices] = L"ｼｽﾃﾑのﾌﾟﾛﾊﾟﾃｨ";
    look.text[kMouse] = L"ﾈｯﾄﾜｰｸ";
    look.text[kDateTime] = L"日付と時刻";
    look.disabled[kHibernate] = true;
    look.hidden[kStandby] = true;
    if (v.dwMajorVersion >= 6) {
      look.controlPanelWidth = kControls[0].w;
      look.disabled[kLock] = false;
    }
  }
  if (v.dwMajorVersion >= 5 && (powerKnown || v.dwMajorVersion >= 6)) {
    look.hidden[kStandby] = !(canSleep || canHibernate);
    look.disabled[kHibernate] = !canHibernate;
  }
  return look;
}

LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER: {
      // Timer 1: the clock; timer 2: the time since the system started.
      wchar_t text[128];
      if (wp == 1) {
        SYSTEMTIME t;
        GetLocalTime(&t);
        wchar_t date[64], time[64];
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, 64);
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, time, 64);
        swprintf(text, 128, L"現在時刻 %ls %ls", date, time);
      } else {
        DWORD ms = GetTickCount();
        swprintf(text, 128, L"OS起動から %u日 %02u時間 %02u分 %02u秒 経過", ms / 86400000u,
                 (ms / 3600000u) % 24, (ms / 60000u) % 60, (ms / 1000u) % 60);
      }
      SetWindowTextW(GetDlgItem(h, wp == 1 ? 3 : 4), text);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // The version in blue, as kivo_config draws it.
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lp)) == kVersion) SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 255));
      SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_CLOSE: {
      NOTIFYICONDATAW nid;
      std::memset(&nid, 0, sizeof nid);
      nid.cbSize = NOTIFYICONDATAW_V1_SIZE;
      nid.hWnd = h;
      nid.uID = 100;
      Shell_NotifyIconW(NIM_DELETE, &nid);
      DestroyWindow(h);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(h, msg, wp, lp);
  }
}

HMENU MainMenu() {
  HMENU bar = CreateMenu();
  HMENU menu = CreatePopupMenu();
  for (const wchar_t* s : {L"設定(&S)", L"ユーザー設定", L"画像ビューア(&V)", L"Raru Derura(&P)", L"Kivo-WebExplorer Ver1.0"})
    AppendMenuW(menu, MF_STRING, 100, s);
  AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu), L"メニュー(&M)");
  HMENU cd = CreatePopupMenu();
  AppendMenuW(cd, MF_STRING, 101, L"開く(&O)");
  AppendMenuW(cd, MF_STRING, 102, L"閉じる(&C)");
  AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(cd), L"CD-DRIVE(&D)");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, 103, L"バージョン情報(&V)");
  AppendMenuW(help, MF_STRING, 104, L"FIX情報(&F)");
  AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(help), L"ヘルプ(&H)");
  return bar;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
  Phase("entry");
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"double_boot");
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) return -1;
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                              ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc;
  std::memset(&wc, 0, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = inst;
  wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(1));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"TwinForm";
  RegisterClassExW(&wc);
  wc.lpszClassName = L"TwinApplication";
  RegisterClassExW(&wc);
  HWND app = CreateWindowExW(0, L"TwinApplication", L"bench_twin", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             inst, nullptr);
  Phase("toolkit");
  OSVERSIONINFOW v;
  std::memset(&v, 0, sizeof v);
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExW(&v);
  // On NT the real version (GetVersionEx hides the newest from a manifest
  // that does not name them) and, from 2000 on, whether the machine can
  // sleep or hibernate: kivo_config asks both before its window shows.
  bool powerKnown = false, canSleep = false, canHibernate = false;
  if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    if (auto get = reinterpret_cast<RtlGetVersionFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"))))
      get(&v);
    if (v.dwMajorVersion >= 5)
      if (HMODULE power = LoadLibraryW(L"powrprof.dll")) {
        using Capabilities = BOOLEAN(WINAPI*)(SYSTEM_POWER_CAPABILITIES*);
        SYSTEM_POWER_CAPABILITIES caps;
        if (auto get = reinterpret_cast<Capabilities>(
                reinterpret_cast<void*>(GetProcAddress(power, "GetPwrCapabilities"))))
          if (get(&caps)) {
            powerKnown = true;
            canSleep = caps.SystemS1 || caps.SystemS2 || caps.SystemS3;
            canHibernate = caps.SystemS4 && caps.HiberFilePresent;
          }
      }
  }
  // Laid out at 96 DPI and scaled to the display's, as kivo_config does
  // (its manifest declares it aware of the DPI, as this one's).
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  auto S = [dpi](int v) { return MulDiv(v, dpi, 96); };
  g_font = CreateFontW(-S(12), 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, L"ＭＳ Ｐゴシック");
  g_status = CreateFontW(-S(13), 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, L"ＭＳ Ｐゴシック");
  RECT rc = {0, 0, S(523), S(314)};
  AdjustWindowRectEx(&rc, WS_CAPTION | WS_SYSMENU, TRUE, 0);
  HWND h = CreateWindowExW(0, L"TwinForm", L"Kivo-Config For Windows", WS_CAPTION | WS_SYSMENU | WS_BORDER,
                           CW_USEDEFAULT, CW_USEDEFAULT, rc.right - rc.left, rc.bottom - rc.top, app,
                           MainMenu(), inst, nullptr);
  const Look look = LookFor(v, powerKnown, canSleep, canHibernate);
  HWND statics[kControlCount];
  int nStatics = 0;
  for (int id = 0; id < kControlCount; ++id) {
    const Ctl& c = kControls[id];
    const int width = id == kControlPanel ? look.controlPanelWidth : c.w;
    const DWORD state = (look.hidden[id] ? 0 : WS_VISIBLE) | (look.disabled[id] ? WS_DISABLED : 0);
    HWND w = CreateWindowExW(WS_EX_NOPARENTNOTIFY, c.cls, look.text[id].c_str(), WS_CHILD | WS_CLIPSIBLINGS | state | c.style,
                             S(c.x), S(c.y), S(c.x + width) - S(c.x), S(c.y + c.h) - S(c.y), h,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(c.statusFont ? g_status : g_font), FALSE);
    if (std::wcscmp(c.cls, L"STATIC") == 0) statics[nStatics++] = w;
  }
  // Frames and labels behind the buttons placed on them, the later ones
  // above the earlier ones (each control clips its siblings above it, and a
  // child made later lies below those made before).
  for (int i = nStatics - 1; i >= 0; --i)
    SetWindowPos(statics[i], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  HWND status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE,
                                0, S(288), S(523), S(314) - S(288), h, nullptr, inst, nullptr);
  SendMessageW(status, SB_SIMPLE, TRUE, 0);
  SetTimer(h, 1, 1000, nullptr);
  SetTimer(h, 2, 1000, nullptr);
  Phase("controls");
  EnableMenuItem(GetSystemMenu(h, FALSE), SC_CLOSE, MF_DISABLED);
  NOTIFYICONDATAW nid;
  std::memset(&nid, 0, sizeof nid);
  nid.cbSize = NOTIFYICONDATAW_V1_SIZE;
  nid.hWnd = h;
  nid.uID = 100;
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = WM_USER + 1;
  nid.hIcon = wc.hIcon;
  wcscpy(nid.szTip, L"Kivo_Config For Windows");
  Shell_NotifyIconW(NIM_ADD, &nid);
  Phase("tray");
  // The settings the start-up reads.
  Read(L"F6", L"C2", L"0");
  for (const wchar_t* ident : {L"X", L"Y", L"TITLE_TAG", L"KYUSI", L"TASK", L"TITLE", L"STATUS", L"STARTUP"})
    Read(L"F1", ident, L"0");
  Read(L"F6", L"C4", L"0");
  Read(L"F6", L"CL", L"clBtnFace");
  std::wstring caption = Read(L"F8", L"Form1C", L"KIVO-CONFIG FOR Windows");
  SetWindowTextW(h, caption.c_str());
  Read(L"F6", L"C5", L"0");
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  SetWindowPos(h, nullptr, (sw - (rc.right - rc.left)) / 2, (sh - (rc.bottom - rc.top)) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  MEMORYSTATUSEX ms;
  ms.dwLength = sizeof ms;
  GlobalMemoryStatusEx(&ms);
  wchar_t memory[64];
  swprintf(memory, 64, L"Total Physical Memory: %lluMB",
           static_cast<unsigned long long>(static_cast<double>(ms.ullTotalPhys) / 1048576.0 + 0.5));
  SetWindowTextW(GetDlgItem(h, 5), memory);
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(L"c:\\windows\\system\\rsrc32.dll", &fd);
  if (f != INVALID_HANDLE_VALUE) FindClose(f);
  if (HMODULE imm = LoadLibraryW(L"imm32.dll")) {
    using Associate = HANDLE(WINAPI*)(HWND, HANDLE);
    if (auto a = reinterpret_cast<Associate>(reinterpret_cast<void*>(GetProcAddress(imm, "ImmAssociateContext"))))
      a(h, nullptr);
  }
  Phase("settings");
  ShowWindow(app, SW_HIDE);
  ShowWindow(h, SW_SHOW);
  Phase("shown");
  UpdateWindow(h);
  Phase("updated");
  SetForegroundWindow(h);
  Phase("painted");
  Phase("ready");
  WritePhases();
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(h, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  ReleaseMutex(mutex);
  return 0;
}
