// The simulated machine's keyboard layouts: which key gives which character
// (VkKeyScan, and the other way round for what a window receives) and the
// keys' scan codes (MapVirtualKey).
//
// Each layout is a table in the order the system's layout tables list their
// keys: VkKeyScan answers the first key, and the first shift state of that
// key, that gives the character. So a character that two keys give comes from
// the one listed first (the Japanese "\" from the yen key, not the "ro" key;
// "." and "/" from the main block, not the number pad), and Ctrl-characters
// come from the Ctrl column ("\n" is Ctrl+Enter).
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_text.h"


namespace platform {

namespace {

constexpr char16_t kNone = 0xFFFF;

struct KeyRow {
  std::uint8_t vk;
  std::uint8_t scan;
  // The character with no modifier, Shift, Ctrl, and the layout's fourth
  // state (Ctrl+Shift, or AltGr where the layout has it); kNone where the
  // key gives nothing.
  char16_t chars[4];
};

struct Layout {
  // The modifiers of the fourth column: 3 (Ctrl+Shift) or 6 (Ctrl+Alt).
  unsigned fourth;
  std::vector<KeyRow> rows;
};

// Letters, with the scan codes of the US and Japanese keyboards.
void AddLetters(std::vector<KeyRow>& rows, bool qwertz) {
  static const std::uint8_t kScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                         0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                         0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  for (int i = 0; i < 26; ++i) {
    std::uint8_t scan = kScan[i];
    // Y and Z change places on a German keyboard.
    if (qwertz && i == 'Y' - 'A') scan = 0x2C;
    if (qwertz && i == 'Z' - 'A') scan = 0x15;
    rows.push_back({static_cast<std::uint8_t>('A' + i), scan,
                    {static_cast<char16_t>('a' + i), static_cast<char16_t>('A' + i), kNone, kNone}});
  }
}

// Keys that every layout shares, listed before the number pad.
void AddCommon(std::vector<KeyRow>& rows) {
  rows.push_back({0x09, 0x0F, {u'\t', u'\t', kNone, kNone}});        // Tab
  rows.push_back({0x08, 0x0E, {u'\b', u'\b', 0x7F, kNone}});         // Backspace
  rows.push_back({0x1B, 0x01, {0x1B, 0x1B, 0x1B, kNone}});           // Escape
  rows.push_back({0x0D, 0x1C, {u'\r', u'\r', u'\n', kNone}});        // Enter
  rows.push_back({0x20, 0x39, {u' ', u' ', u' ', kNone}});           // Space
}

void AddNumberPad(std::vector<KeyRow>& rows) {
  static const std::uint8_t kScan[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  rows.push_back({0x6A, 0x37, {u'*', u'*', kNone, kNone}});
  rows.push_back({0x6B, 0x4E, {u'+', u'+', kNone, kNone}});
  rows.push_back({0x6D, 0x4A, {u'-', u'-', kNone, kNone}});
  rows.push_back({0x6F, 0x35, {u'/', u'/', kNone, kNone}});
  for (int i = 0; i < 10; ++i)
    rows.push_back({static_cast<std::uint8_t>(0x60 + i), kScan[i], {static_cast<char16_t>('0' + i), kNone, kNone, kNone}});
  rows.push_back({0x6E, 0x53, {u'.', kNone, kNone, kNone}});
}

// Digit keys: the character of each, with Shift, and with AltGr.
void AddDigits(std::vector<KeyRow>& rows, const char16_t* shifted, const char16_t* altGr) {
  for (int i = 0; i < 10; ++i) {
    const int digit = (i + 1) % 10;  // the row runs 1 … 9, 0
    rows.push_back({static_cast<std::uint8_t>('0' + digit), static_cast<std::uint8_t>(0x02 + i),
                    {static_cast<char16_t>('0' + digit), shifted[i], kNone, altGr ? altGr[i] : kNone}});
  }
}

// Modifier keys and Caps Lock (scan codes only).
void AddModifiers(std::vector<KeyRow>& rows) {
  rows.push_back({0x10, 0x2A, {kNone, kNone, kNone, kNone}});  // Shift
  rows.push_back({0x11, 0x1D, {kNone, kNone, kNone, kNone}});  // Ctrl
  rows.push_back({0x12, 0x38, {kNone, kNone, kNone, kNone}});  // Alt
  rows.push_back({0x14, 0x3A, {kNone, kNone, kNone, kNone}});  // Caps Lock
}

// US 101/102-key keyboard.
Layout UsLayout() {
  Layout l{3, {}};
  AddLetters(l.rows, false);
  const char16_t none[10] = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
  AddDigits(l.rows, u"!@#$%^&*()", none);
  l.rows.push_back({0xBA, 0x27, {u';', u':', kNone, kNone}});
  l.rows.push_back({0xBB, 0x0D, {u'=', u'+', kNone, kNone}});
  l.rows.push_back({0xBC, 0x33, {u',', u'<', kNone, kNone}});
  l.rows.push_back({0xBD, 0x0C, {u'-', u'_', kNone, 0x1F}});
  l.rows.push_back({0xBE, 0x34, {u'.', u'>', kNone, kNone}});
  l.rows.push_back({0xBF, 0x35, {u'/', u'?', kNone, kNone}});
  l.rows.push_back({0xC0, 0x29, {u'`', u'~', kNone, kNone}});
  l.rows.push_back({0xDB, 0x1A, {u'[', u'{', 0x1B, kNone}});
  l.rows.push_back({0xDC, 0x2B, {u'\\', u'|', 0x1C, kNone}});
  l.rows.push_back({0xDD, 0x1B, {u']', u'}', 0x1D, kNone}});
  l.rows.push_back({0xDE, 0x28, {u'\'', u'"', kNone, kNone}});
  l.rows.push_back({0xE2, 0x56, {u'\\', u'|', 0x1C, kNone}});  // the 102nd key
  AddCommon(l.rows);
  AddNumberPad(l.rows);
  AddModifiers(l.rows);
  return l;
}

// Japanese 106/109-key keyboard.
Layout JapaneseLayout() {
  Layout l{3, {}};
  AddLetters(l.rows, false);
  const char16_t none[10] = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
  // Shift+0 gives nothing.
  const char16_t shifted[10] = {u'!', u'"', u'#', u'$', u'%', u'&', u'\'', u'(', u')', kNone};
  AddDigits(l.rows, shifted, none);
  l.rows.push_back({0xBD, 0x0C, {u'-', u'=', kNone, 0x1F}});
  l.rows.push_back({0xDE, 0x0D, {u'^', u'~', kNone, 0x1E}});
  l.rows.push_back({0xDC, 0x7D, {u'\\', u'|', 0x1C, kNone}});  // the yen key
  l.rows.push_back({0xC0, 0x1A, {u'@', u'`', kNone, kNone}});
  l.rows.push_back({0xDB, 0x1B, {u'[', u'{', 0x1B, kNone}});
  l.rows.push_back({0xBB, 0x27, {u';', u'+', kNone, kNone}});
  l.rows.push_back({0xBA, 0x28, {u':', u'*', kNone, kNone}});
  l.rows.push_back({0xDD, 0x2B, {u']', u'}', 0x1D, kNone}});
  l.rows.push_back({0xBC, 0x33, {u',', u'<', kNone, kNone}});
  l.rows.push_back({0xBE, 0x34, {u'.', u'>', kNone, kNone}});
  l.rows.push_back({0xBF, 0x35, {u'/', u'?', kNone, kNone}});
  l.rows.push_back({0xE2, 0x73, {u'\\', u'_', 0x1C, kNone}});  // the "ro" key
  AddCommon(l.rows);
  AddNumberPad(l.rows);
  AddModifiers(l.rows);
  return l;
}

// German keyboard: "\", "|", "[" and the like need AltGr (Ctrl+Alt).
Layout GermanLayout() {
  Layout l{6, {}};
  AddLetters(l.rows, true);
  for (KeyRow& r : l.rows) {
    if (r.vk == 'Q') r.chars[3] = u'@';
    if (r.vk == 'E') r.chars[3] = 0x20AC;  // euro sign
    if (r.vk == 'M') r.chars[3] = 0x00B5;  // micro sign
  }
  const char16_t altGr[10] = {kNone, 0x00B2, 0x00B3, kNone, kNone, kNone, u'{', u'[', u']', u'}'};
  AddDigits(l.rows, u"!\"\u00A7$%&/()=", altGr);
  l.rows.push_back({0xDB, 0x0C, {0x00DF, u'?', kNone, u'\\'}});  // sharp s
  l.rows.push_back({0xBA, 0x1A, {0x00FC, 0x00DC, kNone, kNone}});  // u umlaut
  l.rows.push_back({0xBB, 0x1B, {u'+', u'*', kNone, u'~'}});
  l.rows.push_back({0xC0, 0x27, {0x00F6, 0x00D6, kNone, kNone}});  // o umlaut
  l.rows.push_back({0xDE, 0x28, {0x00E4, 0x00C4, kNone, kNone}});  // a umlaut
  l.rows.push_back({0xBF, 0x2B, {u'#', u'\'', kNone, kNone}});
  l.rows.push_back({0xBC, 0x33, {u',', u';', kNone, kNone}});
  l.rows.push_back({0xBE, 0x34, {u'.', u':', kNone, kNone}});
  l.rows.push_back({0xBD, 0x35, {u'-', u'_', kNone, kNone}});
  l.rows.push_back({0xE2, 0x56, {u'<', u'>', kNone, u'|'}});
  AddCommon(l.rows);
  AddNumberPad(l.rows);
  AddModifiers(l.rows);
  return l;
}

const Layout& LayoutOf(SimPlatform::KeyboardLayout which) {
  static const Layout us = UsLayout(), japanese = JapaneseLayout(), german = GermanLayout();
  switch (which) {
    case SimPlatform::KeyboardLayout::US: return us;
    case SimPlatform::KeyboardLayout::German: return german;
    default: return japanese;
  }
}

unsigned ColumnModifiers(const Layout& l, int column) {
  static const unsigned kFirst[3] = {0, 1, 2};
  return column < 3 ? kFirst[column] : l.fourth;
}
}  // namespace

std::uint16_t SimPlatform::VkKeyScan(char16_t ch) {
  Log(sim::Call("VkKeyScan", {sim::Hex(ch)}));
  const Layout& l = LayoutOf(keyboardLayout);
  for (const KeyRow& r : l.rows)
    for (int column = 0; column < 4; ++column)
      if (r.chars[column] != kNone && r.chars[column] == ch)
        return static_cast<std::uint16_t>(ColumnModifiers(l, column) << 8 | r.vk);
  return 0xFFFF;
}

char16_t SimPlatform::KeyChar(std::uint8_t vk, unsigned modifiers) const {
  const Layout& l = LayoutOf(keyboardLayout);
  for (const KeyRow& r : l.rows) {
    if (r.vk != vk) continue;
    for (int column = 0; column < 4; ++column)
      if (ColumnModifiers(l, column) == modifiers) return r.chars[column] == kNone ? 0 : r.chars[column];
    return 0;
  }
  return 0;
}

std::uint32_t SimPlatform::MapVirtualKey(std::uint32_t code, std::uint32_t mapType) {
  if (mapType != 0) return 0;
  for (const KeyRow& r : LayoutOf(keyboardLayout).rows)
    if (r.vk == code) return r.scan;
  return 0;
}

}  // namespace platform
