// UTF-8 inside the program, UTF-16 at the system's boundary: the one
// converter both Win32 layers (and the headless toolkit) use, with one rule
// for bad input. Portable, no dependencies.
#pragma once

#include <cstddef>
#include <string>

namespace text {

// Each byte that does not start a well-formed UTF-8 sequence (a stray
// continuation byte, a sequence cut short, an overlong form, a surrogate or
// a code point past U+10FFFF) becomes U+FFFD; everything else is kept.
// With a 16-bit wchar_t, characters past U+FFFF become surrogate pairs.
std::wstring ToUtf16(const std::string& utf8);

// A lone surrogate becomes U+FFFD. The result is made in one allocation, so
// that a secret converted here leaves no grown-out copies behind.
std::string ToUtf8(const wchar_t* wide, std::size_t length);
inline std::string ToUtf8(const std::wstring& wide) { return ToUtf8(wide.data(), wide.size()); }

}  // namespace text
