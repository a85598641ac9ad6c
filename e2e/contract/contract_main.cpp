// kivo_contract.exe: the platform's contract rows (platform/contract/) on the
// real Win32 platform. One line a row, "ok <row>" or "FAIL <row>: what",
// and the number of failing rows as the exit code. Each row gets a folder of
// its own below the temporary folder and a key of its own below
// HKCU\Software\Kivo_Project, both removed afterwards.
//
// With any argument it is the stand-in program the CreateProcess row starts
// (a copy of itself), which ends at once.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/contract/contract_rows.h"
#include "platform/win32/win32_platform.h"

namespace {

// The helpers here use the A calls with ASCII names, which every Windows has.
std::string Utf8FromAnsi(const char* text) {
  int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring w(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, &w[0], n);
  int m = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(m), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], m, nullptr, nullptr);
  out.resize(static_cast<size_t>(m - 1));
  return out;
}

void RemoveFolder(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name != "." && name != "..") ::DeleteFileA((folder + "\\" + name).c_str());
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryA(folder.c_str());
}

// RegDeleteKey removes a key without subkeys on NT: the subkeys go first.
void RemoveKey(HKEY parent, const std::string& path) {
  HKEY key;
  if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    char name[256];
    while (::RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS) RemoveKey(key, name);
    ::RegCloseKey(key);
  }
  ::RegDeleteKeyA(parent, path.c_str());
}

const char* WineVersion() {
  using Version = const char*(CDECL*)();
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  auto f = ntdll ? reinterpret_cast<Version>(
                       reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")))
                 : nullptr;
  return f ? f() : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  (void)argv;
  if (argc > 1) return 0;
  const char* wine = WineVersion();
  platform::Install(platform::CreateWin32Platform());
  platform::Platform& p = platform::Get();
  const platform::OsVersion v = p.GetVersionEx();
  std::printf("# Windows %u.%u.%u, platform %u, code page %u%s%s\n", v.major, v.minor, v.build,
              v.platformId, ::GetACP(), wine ? ", Wine " : "", wine ? wine : "");
  // The version the system really is, which GetVersionEx hides from a
  // program without a manifest from 8.1 on.
  if (const auto real = p.RtlGetVersion())
    std::printf("# RtlGetVersion: %u.%u.%u\n", real->major, real->minor, real->build);

  char temp[MAX_PATH + 1] = {};
  ::GetTempPathA(MAX_PATH, temp);
  std::string base = temp;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  const std::string id = std::to_string(::GetCurrentProcessId());
  base += "\\kivo_contract-" + id;
  ::CreateDirectoryA(base.c_str(), nullptr);
  const std::string keyBase = "Software\\Kivo_Project\\Contract-" + id;
  char self[MAX_PATH + 1] = {};
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);

  int failed = 0;
  const auto& rows = platform::contract::Rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string folder = base + "\\" + std::to_string(i);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    platform::contract::Scratch scratch;
    scratch.folder = Utf8FromAnsi(folder.c_str());
    scratch.key = keyBase + "\\" + std::to_string(i);
    scratch.tag = id + "." + std::to_string(i);
    scratch.wine = wine != nullptr;
    scratch.makeProgram = [&self](const std::string& path) {
      // The rows' names are ASCII: the same bytes in every code page.
      return ::CopyFileA(self, path.c_str(), FALSE) != FALSE;
    };
    const auto result = platform::contract::RunRow(rows[i], p, scratch);
    const auto& failures = result.failures;
    if (failures.empty()) {
      std::printf("ok %s\n", rows[i].name);
      for (const auto& d : result.wineDifferences) std::printf("#   Wine: %s\n", d.c_str());
    } else {
      ++failed;
      std::string text;
      for (const auto& f : failures) text += (text.empty() ? "" : "; ") + f;
      std::printf("FAIL %s: %s\n", rows[i].name, text.c_str());
    }
    std::fflush(stdout);
    RemoveFolder(folder);
    RemoveKey(HKEY_CURRENT_USER, scratch.key);
  }
  RemoveFolder(base);
  RemoveKey(HKEY_CURRENT_USER, keyBase);
  std::printf("# %d of %u rows failed\n", failed, static_cast<unsigned>(rows.size()));
  return failed;
}
