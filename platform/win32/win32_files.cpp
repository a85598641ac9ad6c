#include "platform/win32/win32_files.h"

#include <algorithm>

#include "text/utf.h"
#include "winapi/winapi.h"

namespace platform {
namespace win32 {

namespace {
std::wstring ToWide(const std::string& s) { return text::ToUtf16(s); }
std::string ToUtf8(const std::wstring& w) { return text::ToUtf8(w); }
}  // namespace

bool ReadWholeFile(const std::string& path, std::string& data, std::uint64_t maxBytes) {
  std::wstring w = ToWide(path);
  HANDLE f = winapi::CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  const OwnedHandle owned(reinterpret_cast<Handle>(f));
  LARGE_INTEGER size;
  // GetFileSizeEx is 2000 and later.
  DWORD high = 0;
  ::SetLastError(NO_ERROR);
  DWORD low = ::GetFileSize(f, &high);
  bool ok = !(low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR);
  size.LowPart = low;
  size.HighPart = static_cast<LONG>(high);
  if (ok && static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  if (ok) {
    data.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (ok && done < data.size()) {
      DWORD got = 0;
      DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 24));
      ok = ::ReadFile(f, &data[done], want, &got, nullptr) != FALSE && got > 0;
      done += got;
    }
  }
  return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
  std::wstring w = ToWide(path);
  HANDLE f = winapi::CreateFileW(w.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < data.size()) {
    DWORD put = 0;
    DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 24));
    ok = ::WriteFile(f, data.data() + done, want, &put, nullptr) != FALSE && put > 0;
    done += put;
  }
  // On the disk before it counts as written: a network drive may report
  // a failed write only here or at the close.
  ok = ok && ::FlushFileBuffers(f) != FALSE;
  DWORD err = ok ? NO_ERROR : ::GetLastError();
  if (!::CloseHandle(f) && ok) {
    ok = false;
    err = ::GetLastError();
  }
  if (!ok) ::SetLastError(err);
  return ok;
}
std::string TempFileName(const std::string& folder, const std::string& prefix) {
  std::wstring d = ToWide(folder), p = ToWide(prefix);
  wchar_t name[MAX_PATH + 1] = {};
  if (winapi::GetTempFileNameW(d.c_str(), p.c_str(), 0, name) == 0) return {};
  return ToUtf8(std::wstring(name));
}
bool RemoveFile(const std::string& path) {
  std::wstring w = ToWide(path);
  return winapi::DeleteFileW(w.c_str()) != FALSE;
}

// MoveFile, which refuses an existing name, or MoveFileEx with its flags.
bool RenameFile(const std::string& from, const std::string& to, bool ex, std::uint32_t flags) {
  std::wstring f = ToWide(from), t = ToWide(to);
  return (ex ? winapi::MoveFileExW(f.c_str(), t.c_str(), flags) : winapi::MoveFileW(f.c_str(), t.c_str())) !=
         FALSE;
}

}  // namespace win32
}  // namespace platform
