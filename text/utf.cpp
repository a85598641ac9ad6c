#include "text/utf.h"

namespace text {

namespace {
constexpr unsigned kReplacement = 0xFFFD;

void PutUtf16(std::wstring& out, unsigned cp) {
  if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(cp));
  }
}
}  // namespace

std::wstring ToUtf16(const std::string& s) {
  std::wstring out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(static_cast<wchar_t>(c));
      ++i;
      continue;
    }
    int length;
    unsigned cp, least;
    if ((c >> 5) == 6) { length = 2; cp = c & 0x1F; least = 0x80; }
    else if ((c >> 4) == 14) { length = 3; cp = c & 0x0F; least = 0x800; }
    else if ((c >> 3) == 30) { length = 4; cp = c & 0x07; least = 0x10000; }
    else { length = 0; cp = 0; least = 0; }
    bool ok = length > 0 && i + static_cast<std::size_t>(length) <= s.size();
    for (int k = 1; ok && k < length; ++k) {
      const unsigned char cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((cc >> 6) != 2) ok = false;
      else cp = (cp << 6) | (cc & 0x3F);
    }
    ok = ok && cp >= least && cp <= 0x10FFFF && !(cp >= 0xD800 && cp < 0xE000);
    if (!ok) {
      out.push_back(static_cast<wchar_t>(kReplacement));
      ++i;  // the next byte may start a good sequence
      continue;
    }
    PutUtf16(out, cp);
    i += static_cast<std::size_t>(length);
  }
  return out;
}

std::string ToUtf8(const wchar_t* w, std::size_t length) {
  std::string out;
  out.reserve(length * 3);
  for (std::size_t i = 0; i < length; ++i) {
    unsigned cp = static_cast<unsigned>(w[i]);
    if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp < 0xE000) {
      const bool high = cp < 0xDC00;
      const unsigned low = high && i + 1 < length ? static_cast<unsigned>(w[i + 1]) : 0;
      if (high && low >= 0xDC00 && low < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        cp = kReplacement;
      }
    } else if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace text
