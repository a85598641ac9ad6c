// kivo_driver: Starting and timing programs: runs, start-up measurement, timed
// openings, clicks and drops.
#include "e2e/driver/driver.h"

namespace driver {

// Times a window's opening: clicks a button (--text) or chooses a menu-bar
// item (--menu) of the window --title, then waits (polling every
// millisecond) for a visible window titled --window and its first paint;
// prints "ms=<time>" and closes the new window again.
int cmdTimeOpen(const Args& a) {
  HWND top = waitTop(a);
  TopQuery q;
  q.title = a.str(L"window");
  q.useTitle = true;
  q.visibleOnly = true;
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  if (a.has(L"menu")) {
    Args m = a;
    m.opt[L"text"] = a.str(L"menu");
    if (int rc = cmdMenuCommand(m)) return rc;
  } else {
    PostMessageW(waitChild(a, top), BM_CLICK, 0, 0);
  }
  HWND found = nullptr;
  DWORD start = GetTickCount();
  while (!(found = findTop(q))) {
    if (GetTickCount() - start >= a.timeout()) {
      err(L"timed out waiting for " + describeQuery(q));
      return 2;
    }
    Sleep(1);
  }
  DWORD_PTR dummy = 0;
  SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &dummy);
  QueryPerformanceCounter(&t1);
  out(L"ms=" + num(static_cast<long long>(1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart)));
  PostMessageW(found, WM_CLOSE, 0, 0);
  pollUntil(5000, [&] { return !IsWindow(found) || !IsWindowVisible(found); });
  return 0;
}

std::wstring quoteArg(const std::wstring& s) {
  if (!s.empty() && s.find_first_of(L" \t\"") == std::wstring::npos) return s;
  std::wstring r = L"\"";
  int slashes = 0;
  for (wchar_t c : s) {
    if (c == L'\\') { ++slashes; continue; }
    if (c == L'"') r.append(slashes * 2 + 1, L'\\');
    else r.append(slashes, L'\\');
    slashes = 0;
    r += c;
  }
  r.append(slashes * 2, L'\\');
  r += L'"';
  return r;
}

bool startProcess(const Args& a, PROCESS_INFORMATION& pi) {
  if (a.positional.empty()) {
    err(L"no program given (kivo_driver " + a.command + L" [options] -- program.exe [args])");
    return false;
  }
  std::wstring cmd;
  for (const auto& p : a.positional) {
    if (!cmd.empty()) cmd += L' ';
    cmd += quoteArg(p);
  }
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  std::vector<wchar_t> buf(cmd.begin(), cmd.end());
  buf.push_back(0);
  if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    err(L"cannot start " + cmd + L": error " + num(GetLastError()));
    return false;
  }
  return true;
}

// Prints the target of a shortcut (.lnk) file.
int cmdShortcutTarget(const Args& a) {
  if (a.positional.empty()) {
    err(L"no shortcut given");
    return 1;
  }
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  int rc = 1;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      wchar_t target[MAX_PATH] = {};
      if (SUCCEEDED(file->Load(a.positional[0].c_str(), STGM_READ)) &&
          SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0))) {
        out(target);
        rc = 0;
      } else {
        err(L"cannot read the shortcut " + a.positional[0]);
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return rc;
}

// Times a program from its start to its exit: "ms=<time>".
int cmdTimeRun(const Args& a) {
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  PROCESS_INFORMATION pi{};
  QueryPerformanceCounter(&t0);
  if (!startProcess(a, pi)) return 1;
  WaitForSingleObject(pi.hProcess, a.timeout());
  QueryPerformanceCounter(&t1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  out(L"ms=" + num(static_cast<long long>(1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart)));
  return 0;
}

// Whether a visible child window of that size (a picture) is in top.
bool pictureShown(HWND top, int w, int h) {
  struct Find {
    int w, h;
    bool found;
  } find{w, h, false};
  struct Visit {
    static BOOL CALLBACK Child(HWND c, LPARAM p) {
      auto* f = reinterpret_cast<Find*>(p);
      RECT r;
      if (IsWindowVisible(c) && GetWindowRect(c, &r) && r.right - r.left == f->w && r.bottom - r.top == f->h) {
        f->found = true;
        return FALSE;
      }
      return TRUE;
    }
  };
  EnumChildWindows(top, &Visit::Child, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

// Polls every millisecond for such a picture (the usual 20 ms steps would
// add ten to each time), then waits for its first paint: done when a sent
// message comes back. Says why and returns false on a time-out.
bool waitPicturePainted(HWND top, int w, int h, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!pictureShown(top, w, h)) {
    if (GetTickCount() - start >= timeoutMs) {
      err(L"no picture of that size appeared");
      return false;
    }
    Sleep(1);
  }
  DWORD_PTR dummy = 0;
  SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &dummy);
  return true;
}

// Drops files on a window and times until a child window of --width and
// --height shows (the picture): "ms=<time> peak_kb=<the process's peak>".
int cmdTimeDrop(const Args& a) {
  HWND top = waitTop(a);
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  const int w = static_cast<int>(a.integer(L"width", 0)), h = static_cast<int>(a.integer(L"height", 0));
  DropProbe* probe = makeDropProbe(top, a.positional);
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  std::wstring error;
  bool ok = callProbe(top, kProbeDropFiles, probe, sizeof(DropProbe), a.timeout(), error, a.has(L"trace"));
  delete probe;
  if (!ok) {
    err(error);
    return 1;
  }
  if (!waitPicturePainted(top, w, h, a.timeout())) return 2;
  QueryPerformanceCounter(&t1);
  HANDLE proc = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof(pmc);
  if (proc) {
    GetProcessMemoryInfo(proc, &pmc, sizeof(pmc));
    CloseHandle(proc);
  }
  out(L"ms=" + num(static_cast<long long>(1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart)) +
      L" peak_kb=" + num(static_cast<long long>(pmc.PeakWorkingSetSize / 1024)));
  return 0;
}

// Clicks a button (posted) and times until a child window of --width and
// --height shows and has been painted: "ms=<time>", for times of a few tens
// of milliseconds.
int cmdTimeClick(const Args& a) {
  HWND top = waitTop(a);
  HWND button = waitChild(a, top);
  const int w = static_cast<int>(a.integer(L"width", 0)), h = static_cast<int>(a.integer(L"height", 0));
  if (pictureShown(top, w, h)) {
    err(L"a picture of that size shows already");
    return 1;
  }
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  PostMessageW(button, BM_CLICK, 0, 0);
  if (!waitPicturePainted(top, w, h, a.timeout())) return 2;
  QueryPerformanceCounter(&t1);
  wchar_t buf[64];
  swprintf(buf, 64, L"ms=%.1f", 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
  out(buf);
  return 0;
}

// Starts a program and waits for its exit; prints "exit=<hex> <signed>".
int cmdRun(const Args& a) {
  PROCESS_INFORMATION pi{};
  if (!startProcess(a, pi)) return 1;
  out(L"pid=" + num(pi.dwProcessId));
  DWORD w = WaitForSingleObject(pi.hProcess, a.timeout());
  if (w != WAIT_OBJECT_0) {
    err(L"timed out after " + num(a.timeout()) + L" ms waiting for the program to exit");
    TerminateProcess(pi.hProcess, 1);
    return 2;
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  out(L"exit=" + hex(code) + L" " + num(static_cast<int>(code)));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}

// Start-up measurement for the benchmark: time from CreateProcess until the
// process owns a visible top-level window (optionally with --title), then the
// process's peak working set. The program is terminated afterwards.
int cmdMeasure(const Args& a) {
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  PROCESS_INFORMATION pi{};
  QueryPerformanceCounter(&t0);
  if (!startProcess(a, pi)) return 1;
  PidWindow pw{pi.dwProcessId, nullptr, a.str(L"title"), a.has(L"title")};
  auto probe = [&] {
    pw.found = nullptr;
    for (HWND h : topLevelWindows()) {
      DWORD pid = 0;
      GetWindowThreadProcessId(h, &pid);
      if (pid != pw.pid || !IsWindowVisible(h)) continue;
      if (pw.useTitle && windowText(h) != pw.title) continue;
      pw.found = h;
      return true;
    }
    return false;
  };
  DWORD start = GetTickCount();
  bool ok = false;
  for (;;) {
    if (probe()) { ok = true; break; }
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    if (GetTickCount() - start >= a.timeout()) break;
    Sleep(1);
  }
  QueryPerformanceCounter(&t1);
  double ms = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);
  // Let the first paint finish before reading the memory figures.
  DWORD_PTR dummy = 0;
  if (ok) SendMessageTimeoutW(pw.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &dummy);
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof(pmc);
  GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof(pmc));
  // A program ended with TerminateProcess leaves its tray icon behind, and
  // Wine's tray then slows the next start for about two seconds; so the
  // window is asked to close first (WM_CLOSE), and only a program that
  // ignores that is terminated.
  bool closed = false;
  if (ok && !a.has(L"terminate")) {
    PostMessageW(pw.found, WM_CLOSE, 0, 0);
    closed = WaitForSingleObject(pi.hProcess, 10000) == WAIT_OBJECT_0;
  }
  if (!closed) {
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (!ok) {
    err(L"no visible window from the program within " + num(a.timeout()) + L" ms");
    return 2;
  }
  wchar_t buf[128];
  swprintf(buf, 128, L"ms=%.2f peak_kb=%llu", ms,
           static_cast<unsigned long long>(pmc.PeakWorkingSetSize / 1024));
  out(buf);
  return 0;
}

}  // namespace driver
