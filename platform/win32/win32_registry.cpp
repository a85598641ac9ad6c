#include "platform/win32/win32_registry.h"

#include <vector>

#include "text/utf.h"
#include "winapi/winapi.h"

namespace platform {
namespace win32 {

namespace {
HKEY Key(Handle h) { return reinterpret_cast<HKEY>(h); }
std::wstring ToWide(const std::string& s) { return text::ToUtf16(s); }
std::string ToUtf8(const wchar_t* w, size_t len) { return text::ToUtf8(w, len); }
}  // namespace

long CreateKey(Handle parent, const std::string& subKey, std::uint32_t access, Handle& key) {
  std::wstring w = ToWide(subKey);
  HKEY k = nullptr;
  LONG r = winapi::RegCreateKeyExW(Key(parent), w.c_str(), 0, nullptr, 0, access, nullptr, &k,
                             nullptr);
  key = r == ERROR_SUCCESS ? reinterpret_cast<Handle>(k) : 0;
  return r;
}

long OpenKey(Handle parent, const std::string& subKey, std::uint32_t access, Handle& key) {
  std::wstring w = ToWide(subKey);
  HKEY k = nullptr;
  LONG r = winapi::RegOpenKeyExW(Key(parent), w.c_str(), 0, access, &k);
  key = r == ERROR_SUCCESS ? reinterpret_cast<Handle>(k) : 0;
  return r;
}

long QueryValue(Handle key, const std::string& name, RegValue& value) {
  std::wstring w = ToWide(name);
  DWORD type = 0, size = 0;
  LONG r = winapi::RegQueryValueExW(Key(key), w.c_str(), nullptr, &type, nullptr, &size);
  if (r != ERROR_SUCCESS) return r;
  std::vector<BYTE> buf(size + sizeof(wchar_t));
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD got = static_cast<DWORD>(buf.size());
    r = winapi::RegQueryValueExW(Key(key), w.c_str(), nullptr, &type, buf.data(), &got);
    if (r == ERROR_MORE_DATA) {
      buf.resize(got + sizeof(wchar_t));
      continue;
    }
    if (r != ERROR_SUCCESS) return r;
    size = got;
    break;
  }
  if (r != ERROR_SUCCESS) return r;
  value.type = type;
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    size_t chars = size / sizeof(wchar_t);
    const wchar_t* text = reinterpret_cast<const wchar_t*>(buf.data());
    // The stored terminating NUL(s) are dropped before converting and one
    // NUL byte is put back, as the data of a narrow string value has.
    while (chars > 0 && text[chars - 1] == L'\0') --chars;
    value.data = ToUtf8(text, chars);
    value.data.push_back('\0');
  } else {
    value.data.assign(reinterpret_cast<const char*>(buf.data()), size);
  }
  return ERROR_SUCCESS;
}

long SetValue(Handle key, const std::string& name, const RegValue& value) {
  std::wstring w = ToWide(name);
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
    std::string text = value.data;
    while (!text.empty() && text.back() == '\0') text.pop_back();
    std::wstring wide = ToWide(text);
    DWORD bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    return winapi::RegSetValueExW(Key(key), w.c_str(), 0, value.type,
                            reinterpret_cast<const BYTE*>(wide.c_str()), bytes);
  }
  return winapi::RegSetValueExW(Key(key), w.c_str(), 0, value.type,
                          reinterpret_cast<const BYTE*>(value.data.data()),
                          static_cast<DWORD>(value.data.size()));
}

long DeleteValue(Handle key, const std::string& name) {
  return winapi::RegDeleteValueW(Key(key), ToWide(name).c_str());
}
long CloseKey(Handle key) { return ::RegCloseKey(Key(key)); }

}  // namespace win32
}  // namespace platform
