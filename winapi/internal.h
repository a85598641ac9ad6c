// What the sources of winapi/ share. Not part of its interface.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "winapi/winapi.h"

namespace winapi {
namespace detail {

// The W function of that name, looked up once (null where the system has
// none).
#define KIVO_W(dll, name)                                           \
  static const auto w_##name = reinterpret_cast<decltype(&::name)>( \
      reinterpret_cast<void*>(::winapi::Lookup(dll, #name)))

// An optional text argument on the A side: null stays null.
struct Arg {
  explicit Arg(LPCWSTR w) : null(w == nullptr) {
    if (w) text = ToAnsi(w, -1, &lost);
  }
  ~Arg() { Wipe(); }
  Arg(const Arg&) = delete;
  Arg& operator=(const Arg&) = delete;
  const char* get() const { return null ? nullptr : text.c_str(); }
  char* mut() { return null ? nullptr : &text[0]; }
  // Texts may be passwords: the copy does not outlive the call.
  void Wipe() {
    volatile char* p = text.empty() ? nullptr : &text[0];
    for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  }
  bool null;
  bool lost = false;
  std::string text;
};

inline bool SendsLost(const Arg& a) { return !a.null && a.lost; }

// Copies an A result into a W buffer of size characters with its NUL;
// returns the characters copied without the NUL.
inline int CopyOut(const std::wstring& w, LPWSTR out, int size) {
  if (!out || size <= 0) return 0;
  int n = std::min<int>(static_cast<int>(w.size()), size - 1);
  if (n > 0) std::memcpy(out, w.data(), static_cast<size_t>(n) * sizeof(wchar_t));
  out[n] = L'\0';
  return n;
}

// Overwrites a buffer that may have held a secret.
inline void WipeBytes(void* p, size_t n) {
  volatile unsigned char* b = static_cast<unsigned char*>(p);
  for (size_t i = 0; i < n; ++i) b[i] = 0;
}

}  // namespace detail
}  // namespace winapi
