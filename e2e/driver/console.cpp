// kivo_driver: A console window's input line.
#include "e2e/driver/driver.h"

namespace driver {

// Prints the line of a console window's screen buffer that holds its cursor
// (the input line), read by attaching to the console of the window's process.
int cmdConsoleLine(const Args& a) {
  HWND top = waitTop(a);
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  using Attach = BOOL(WINAPI*)(DWORD);
  auto attach = reinterpret_cast<Attach>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AttachConsole")));
  // Attaching may point the standard handles at that console: keep ours.
  HANDLE stdOut = GetStdHandle(STD_OUTPUT_HANDLE), stdErr = GetStdHandle(STD_ERROR_HANDLE);
  struct Restore {
    HANDLE o, e;
    ~Restore() {
      SetStdHandle(STD_OUTPUT_HANDLE, o);
      SetStdHandle(STD_ERROR_HANDLE, e);
    }
  } restore{stdOut, stdErr};
  FreeConsole();
  // The window may belong to the console host: try its process, its parent
  // (the interpreter that made the console) and its children.
  std::vector<DWORD> candidates{pid};
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W pe;
  pe.dwSize = sizeof pe;
  if (snap != INVALID_HANDLE_VALUE && Process32FirstW(snap, &pe)) {
    do {
      if (pe.th32ProcessID == pid) candidates.push_back(pe.th32ParentProcessID);
      if (pe.th32ParentProcessID == pid) candidates.push_back(pe.th32ProcessID);
    } while (Process32NextW(snap, &pe));
  }
  if (snap != INVALID_HANDLE_VALUE) CloseHandle(snap);
  bool attached = false;
  for (DWORD c : candidates)
    if (attach && attach(c)) {
      attached = true;
      break;
    }
  if (!attached) {
    SetStdHandle(STD_ERROR_HANDLE, stdErr);
    err(L"cannot attach to the console of process " + num(pid));
    return 1;
  }
  HANDLE buffer = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (buffer == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(buffer, &info)) {
    SetStdHandle(STD_ERROR_HANDLE, stdErr);
    err(L"cannot read the console's screen buffer");
    return 1;
  }
  std::vector<wchar_t> line(static_cast<size_t>(info.dwSize.X) + 1, 0);
  DWORD read = 0;
  COORD start = {0, info.dwCursorPosition.Y};
  ReadConsoleOutputCharacterW(buffer, line.data(), static_cast<DWORD>(info.dwSize.X), start, &read);
  std::wstring text(line.data(), read);
  while (!text.empty() && text.back() == L' ') text.pop_back();
  CloseHandle(buffer);
  FreeConsole();
  SetStdHandle(STD_OUTPUT_HANDLE, stdOut);
  out(escape(text));
  return 0;
}

}  // namespace driver
