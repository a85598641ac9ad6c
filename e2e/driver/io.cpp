// kivo_driver: Text output and the command line's options.
#include "e2e/driver/driver.h"

namespace driver {

std::string toUtf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                      nullptr);
  return s;
}

void writeRaw(HANDLE h, const std::string& s) {
  DWORD done = 0;
  const char* p = s.data();
  size_t left = s.size();
  while (left > 0) {
    if (!WriteFile(h, p, static_cast<DWORD>(left), &done, nullptr) || done == 0) return;
    p += done;
    left -= done;
  }
}

void out(const std::wstring& line) { writeRaw(GetStdHandle(STD_OUTPUT_HANDLE), toUtf8(line) + "\n"); }

void err(const std::wstring& line) {
  writeRaw(GetStdHandle(STD_ERROR_HANDLE), "kivo_driver: " + toUtf8(line) + "\n");
}

// Control characters in window texts would break the one-record-per-line
// output; they are written as C escapes.
std::wstring escape(const std::wstring& s) {
  std::wstring r;
  for (wchar_t c : s) {
    switch (c) {
      case L'\n': r += L"\\n"; break;
      case L'\r': r += L"\\r"; break;
      case L'\t': r += L"\\t"; break;
      case L'\\': r += L"\\\\"; break;
      default: r += c;
    }
  }
  return r;
}

std::wstring hex(uintptr_t v) {
  wchar_t buf[32];
  swprintf(buf, 32, L"0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

std::wstring num(long long v) { return std::to_wstring(v); }

// Options that take no value.
bool isFlag(const std::wstring& name) {
  return name == L"visible" || name == L"hidden" || name == L"send" || name == L"system" ||
         name == L"terminate" || name == L"v5" || name == L"delete" || name == L"trace";
}

Args parseArgs() {
  Args a;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return a;
  int i = 1;
  if (i < argc) a.command = argv[i++];
  for (; i < argc; ++i) {
    std::wstring s = argv[i];
    if (s.size() > 2 && s.compare(0, 2, L"--") == 0) {
      std::wstring name = s.substr(2);
      if (isFlag(name)) {
        a.opt[name] = L"1";
      } else if (i + 1 < argc) {
        a.opt[name] = argv[++i];
      } else {
        err(L"option " + s + L" needs a value");
        ExitProcess(1);
      }
    } else if (s == L"--") {
      for (++i; i < argc; ++i) a.positional.push_back(argv[i]);
    } else {
      a.positional.push_back(s);
    }
  }
  LocalFree(argv);
  return a;
}

}  // namespace driver
