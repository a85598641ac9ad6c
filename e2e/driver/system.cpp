// kivo_driver: The clipboard, a hotkey held as another program would, the
// registry, the end of the session and the shell's tray.
#include "e2e/driver/driver.h"

namespace driver {

// Holds a global hotkey (RegisterHotKey for this thread) for --ms
// milliseconds, as another program would; prints "held" once it has it.
int cmdHoldHotKey(const Args& a) {
  auto mods = static_cast<UINT>(a.integer(L"mods", 0));
  auto vk = static_cast<UINT>(a.integer(L"vk", 0));
  if (!RegisterHotKey(nullptr, 1, mods, vk)) {
    err(L"the hotkey is taken");
    return 1;
  }
  out(L"held");
  DWORD end = GetTickCount() + static_cast<DWORD>(a.integer(L"ms", 10000));
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }
  UnregisterHotKey(nullptr, 1);
  return 0;
}

// Prints the size of the bitmap on the clipboard ("<width>x<height>"); exit
// code 2 when there is none.
int cmdClipboardSize(const Args&) {
  if (!OpenClipboard(nullptr)) {
    err(L"cannot open the clipboard");
    return 1;
  }
  int rc = 2;
  if (HANDLE mem = GetClipboardData(CF_DIB)) {
    if (auto* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(mem))) {
      out(num(h->biWidth) + L"x" + num(h->biHeight < 0 ? -h->biHeight : h->biHeight));
      GlobalUnlock(mem);
      rc = 0;
    }
  }
  CloseClipboard();
  return rc;
}

// Prints the clipboard's sequence number (GetClipboardSequenceNumber): it
// changes with every change of the clipboard, so a test sees that nothing
// was put there.
int cmdClipboardSequence(const Args&) {
  out(num(static_cast<long long>(GetClipboardSequenceNumber())));
  return 0;
}

// Writes the clipboard's data of a format to a file, as it is: --format
// (a registered name such as PNG, or "DIB") and --file.
int cmdClipboardSave(const Args& a) {
  const std::wstring name = a.str(L"format");
  const UINT format = name == L"DIB" ? CF_DIB : RegisterClipboardFormatW(name.c_str());
  if (!OpenClipboard(nullptr)) {
    err(L"cannot open the clipboard");
    return 1;
  }
  int rc = 2;
  if (HANDLE mem = GetClipboardData(format)) {
    if (const void* p = GlobalLock(mem)) {
      HANDLE f = CreateFileW(a.str(L"file").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      DWORD written = 0;
      if (f != INVALID_HANDLE_VALUE &&
          WriteFile(f, p, static_cast<DWORD>(GlobalSize(mem)), &written, nullptr))
        rc = 0;
      if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
      GlobalUnlock(mem);
    }
  } else {
    err(L"the clipboard has no " + name);
  }
  CloseClipboard();
  return rc;
}

// Puts a file's bytes on the clipboard as they are, as CF_DIB (or CF_DIBV5
// with --v5): whatever another program may put there, lies included.
int cmdClipboardSetDib(const Args& a) {
  std::wstring path = a.str(L"file");
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    err(L"cannot open " + path);
    return 1;
  }
  DWORD size = GetFileSize(f, nullptr);
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
  DWORD got = 0;
  bool ok = mem != nullptr;
  if (ok) {
    void* p = GlobalLock(mem);
    ok = p && ReadFile(f, p, size, &got, nullptr) && got == size;
    GlobalUnlock(mem);
  }
  CloseHandle(f);
  if (!ok) {
    err(L"cannot read " + path);
    return 1;
  }
  // An owner window: a clipboard opened without one cannot take data.
  HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!pollUntil(5000, [&] { return OpenClipboard(owner) != FALSE; })) {
    err(L"cannot open the clipboard");
    return 1;
  }
  EmptyClipboard();
  ok = SetClipboardData(a.has(L"v5") ? CF_DIBV5 : CF_DIB, mem) != nullptr;
  CloseClipboard();
  if (owner) DestroyWindow(owner);
  if (!ok) {
    err(L"SetClipboardData failed");
    return 1;
  }
  return 0;
}

// Keys are given relative to HKEY_CURRENT_USER, e.g. Software\Kivo_Project.
int cmdRegGet(const Args& a) {
  if (a.positional.size() != 2) {
    err(L"usage: reg-get <key> <value>");
    return 1;
  }
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, a.positional[0].c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    err(L"no key HKCU\\" + a.positional[0]);
    return 2;
  }
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExW(key, a.positional[1].c_str(), nullptr, &type, nullptr, &size);
  if (r != ERROR_SUCCESS) {
    RegCloseKey(key);
    err(L"no value \"" + a.positional[1] + L"\" under HKCU\\" + a.positional[0]);
    return 2;
  }
  std::vector<BYTE> data(size + 4, 0);
  RegQueryValueExW(key, a.positional[1].c_str(), nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    out(escape(reinterpret_cast<wchar_t*>(data.data())));
  } else if (type == REG_DWORD) {
    out(L"dword:" + num(*reinterpret_cast<DWORD*>(data.data())));
  } else {
    out(L"type:" + num(type) + L" bytes:" + num(size));
  }
  return 0;
}

int cmdRegSet(const Args& a, bool dword) {
  if (a.positional.size() != 3) {
    err(L"usage: reg-set[-dword] <key> <value> <data>");
    return 1;
  }
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, a.positional[0].c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    err(L"cannot create HKCU\\" + a.positional[0]);
    return 1;
  }
  LONG r;
  if (dword) {
    DWORD v = static_cast<DWORD>(wcstoul(a.positional[2].c_str(), nullptr, 0));
    r = RegSetValueExW(key, a.positional[1].c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), sizeof(v));
  } else {
    const std::wstring& s = a.positional[2];
    r = RegSetValueExW(key, a.positional[1].c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(s.c_str()),
                       static_cast<DWORD>((s.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
  if (r != ERROR_SUCCESS) {
    err(L"cannot write \"" + a.positional[1] + L"\": error " + num(r));
    return 1;
  }
  return 0;
}

LONG deleteTree(HKEY root, const std::wstring& path) {
  HKEY key;
  LONG r = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key);
  if (r != ERROR_SUCCESS) return r;
  for (;;) {
    wchar_t name[256];
    DWORD len = 256;
    if (RegEnumKeyExW(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if ((r = deleteTree(key, name)) != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  return RegDeleteKeyW(root, path.c_str());
}

// reg-delete <key> deletes the key with its subkeys; reg-delete <key> <value>
// deletes one value. A missing key or value is not an error.
int cmdRegDelete(const Args& a) {
  if (a.positional.empty() || a.positional.size() > 2) {
    err(L"usage: reg-delete <key> [value]");
    return 1;
  }
  if (a.positional.size() == 1) {
    LONG r = deleteTree(HKEY_CURRENT_USER, a.positional[0]);
    if (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND) return 0;
    err(L"cannot delete HKCU\\" + a.positional[0] + L": error " + num(r));
    return 1;
  }
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, a.positional[0].c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS)
    return 0;
  RegDeleteValueW(key, a.positional[1].c_str());
  RegCloseKey(key);
  return 0;
}

// Lists the values of a key: name<TAB>data, REG_SZ values only in full.
int cmdRegList(const Args& a) {
  if (a.positional.size() != 1) {
    err(L"usage: reg-list <key>");
    return 1;
  }
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, a.positional[0].c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    err(L"no key HKCU\\" + a.positional[0]);
    return 2;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLen = 256, type = 0;
    BYTE data[4096];
    DWORD size = sizeof(data) - 2;
    if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    data[size] = data[size + 1] = 0;
    std::wstring value = (type == REG_SZ) ? escape(reinterpret_cast<wchar_t*>(data))
                         : (type == REG_DWORD) ? L"dword:" + num(*reinterpret_cast<DWORD*>(data))
                                               : L"type:" + num(type);
    out(std::wstring(name) + L"\t" + value);
  }
  RegCloseKey(key);
  return 0;
}

int cmdExitWindows(const Args& a) {
  UINT flags = static_cast<UINT>(a.integer(L"flags", EWX_LOGOFF));
  if (!ExitWindowsEx(flags, 0)) {
    err(L"ExitWindowsEx failed, error " + num(GetLastError()));
    return 1;
  }
  return 0;
}

// Whether a window's tray icon is there (the shell modifies only an icon it
// has), or with --delete takes it away, as a shell that ends loses it.
int cmdTrayIcon(const Args& a) {
  HWND h = waitTop(a);
  NOTIFYICONDATAW d{};
  d.cbSize = sizeof d;
  d.hWnd = h;
  d.uID = static_cast<UINT>(a.integer(L"id", 100));
  BOOL ok = Shell_NotifyIconW(a.has(L"delete") ? NIM_DELETE : NIM_MODIFY, &d);
  out(ok ? L"1" : L"0");
  return 0;
}

// A registered message sent to every top-level window without waiting, as
// the shell announces itself with "TaskbarCreated".
int cmdBroadcast(const Args& a) {
  UINT msg = RegisterWindowMessageW(a.str(L"registered").c_str());
  if (!msg || !SendNotifyMessageW(HWND_BROADCAST, msg, 0, 0)) {
    err(L"broadcast failed, error " + num(GetLastError()));
    return 1;
  }
  return 0;
}

}  // namespace driver
