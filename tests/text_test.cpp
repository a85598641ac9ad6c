// The one UTF-8 <-> UTF-16 converter: what bad input becomes.
#include <gtest/gtest.h>

#include <string>

#include "text/utf.h"

namespace {

// UTF-16 code units as the system's wide text holds them (the native
// build's wchar_t is 32 bits wide: characters past U+FFFF are one unit there).
std::u16string Units(const std::wstring& w) {
  std::u16string out;
  for (wchar_t c : w) {
    unsigned cp = static_cast<unsigned>(c);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

TEST(Utf, BadBytesBecomeOneReplacementEachAndGoodTextIsKept) {
  struct Row {
    const char* what;
    std::string utf8;
    std::u16string utf16;
  } rows[] = {
      {"ASCII and Japanese", "a写真", u"a写真"},
      {"an emoji", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"a stray continuation byte", "a\x80z", u"a\uFFFDz"},
      {"a sequence cut short at the end", "ab\xE5\x86", u"ab\uFFFD\uFFFD"},
      {"a sequence cut short by ASCII", "\xE5" "a", u"\uFFFDa"},
      {"an overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"an encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"a byte no sequence starts with", "\xFF", u"\uFFFD"},
      {"a NUL inside", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::wstring wide = text::ToUtf16(r.utf8);
    EXPECT_EQ(Units(wide), r.utf16);
    // What comes back is well-formed: the same text where it was.
    EXPECT_EQ(text::ToUtf16(text::ToUtf8(wide)), wide);
  }
  EXPECT_EQ(text::ToUtf8(text::ToUtf16("a写真\xF0\x9F\x98\x80")), "a写真\xF0\x9F\x98\x80");
}

TEST(Utf, LoneSurrogatesFromTheSystemBecomeReplacements) {
  // A file name on NTFS may hold a lone surrogate: it never turns into bytes
  // that are no UTF-8.
  const wchar_t high[] = {L'a', static_cast<wchar_t>(0xD83D), L'b'};
  const wchar_t low[] = {static_cast<wchar_t>(0xDE00)};
  EXPECT_EQ(text::ToUtf8(high, 3), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(text::ToUtf8(low, 1), "\xEF\xBF\xBD");
  if (sizeof(wchar_t) == 2) {
    const wchar_t pair[] = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(text::ToUtf8(pair, 2), "\xF0\x9F\x98\x80");
  }
}

}  // namespace
