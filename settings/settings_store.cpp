#include "settings/settings_store.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "settings/keys.h"

namespace settings {

using platform::Get;
using platform::RegKey;
using platform::RegValue;

namespace {
std::string Quoted(const std::string& s) { return "'" + s + "'"; }

struct ColorName {
  const char* name;
  std::int32_t value;
};

// The toolkit's colour names: the 16 standard colours and the 25 system colours.
constexpr ColorName kColorNames[] = {
    {"clBlack", 0x000000}, {"clMaroon", 0x000080}, {"clGreen", 0x008000},
    {"clOlive", 0x008080}, {"clNavy", 0x800000}, {"clPurple", 0x800080},
    {"clTeal", 0x808000}, {"clGray", 0x808080}, {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF}, {"clLime", 0x00FF00}, {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000}, {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clScrollBar", static_cast<std::int32_t>(0x80000000)},
    {"clBackground", static_cast<std::int32_t>(0x80000001)},
    {"clActiveCaption", static_cast<std::int32_t>(0x80000002)},
    {"clInactiveCaption", static_cast<std::int32_t>(0x80000003)},
    {"clMenu", static_cast<std::int32_t>(0x80000004)},
    {"clWindow", static_cast<std::int32_t>(0x80000005)},
    {"clWindowFrame", static_cast<std::int32_t>(0x80000006)},
    {"clMenuText", static_cast<std::int32_t>(0x80000007)},
    {"clWindowText", static_cast<std::int32_t>(0x80000008)},
    {"clCaptionText", static_cast<std::int32_t>(0x80000009)},
    {"clActiveBorder", static_cast<std::int32_t>(0x8000000A)},
    {"clInactiveBorder", static_cast<std::int32_t>(0x8000000B)},
    {"clAppWorkSpace", static_cast<std::int32_t>(0x8000000C)},
    {"clHighlight", static_cast<std::int32_t>(0x8000000D)},
    {"clHighlightText", static_cast<std::int32_t>(0x8000000E)},
    {"clBtnFace", static_cast<std::int32_t>(0x8000000F)},
    {"clBtnShadow", static_cast<std::int32_t>(0x80000010)},
    {"clGrayText", static_cast<std::int32_t>(0x80000011)},
    {"clBtnText", static_cast<std::int32_t>(0x80000012)},
    {"clInactiveCaptionText", static_cast<std::int32_t>(0x80000013)},
    {"clBtnHighlight", static_cast<std::int32_t>(0x80000014)},
    {"cl3DDkShadow", static_cast<std::int32_t>(0x80000015)},
    {"cl3DLight", static_cast<std::int32_t>(0x80000016)},
    {"clInfoText", static_cast<std::int32_t>(0x80000017)},
    {"clInfoBk", static_cast<std::int32_t>(0x80000018)},
};

bool SameText(const std::string& a, const char* b) {
  size_t n = 0;
  for (; b[n]; ++n) {
    if (n >= a.size()) return false;
    if (std::tolower(static_cast<unsigned char>(a[n])) !=
        std::tolower(static_cast<unsigned char>(b[n])))
      return false;
  }
  return n == a.size();
}
}  // namespace

bool ParseInteger(const std::string& text, std::int32_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  std::uint64_t acc = 0;
  for (; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    unsigned digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    acc = acc * (hex ? 16 : 10) + digit;
    if (acc > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    // Hexadecimal text covers the whole 32-bit pattern ("$FFFFFFFF" is -1).
    std::uint32_t bits = static_cast<std::uint32_t>(acc);
    if (negative) bits = 0u - bits;
    value = static_cast<std::int32_t>(bits);
    return true;
  }
  if (negative) {
    if (acc > 0x80000000ull) return false;
    value = static_cast<std::int32_t>(-static_cast<std::int64_t>(acc));
  } else {
    if (acc > 0x7FFFFFFFull) return false;
    value = static_cast<std::int32_t>(acc);
  }
  return true;
}

std::int32_t StrToInt(const std::string& text) {
  std::int32_t v;
  if (!ParseInteger(text, v)) throw StoreError(Quoted(text) + " は整数ではありません");
  return v;
}

std::string ColorToString(std::int32_t color) {
  for (const auto& c : kColorNames)
    if (c.value == color) return c.name;
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(color));
  return buf;
}

std::int32_t StringToColor(const std::string& text) {
  for (const auto& c : kColorNames)
    if (SameText(text, c.name)) return c.value;
  return StrToInt(text);
}

// ---------------------------------------------------------------- store
SettingsStore::SettingsStore() : SettingsStore(kApplicationKey) {}

SettingsStore::SettingsStore(const std::string& keyPath) {
  platform::Handle h = 0;
  if (Get().RegCreateKeyEx(platform::kHkeyCurrentUser, keyPath, platform::kKeyAllAccess, h) == 0)
    key_ = RegKey(h);
}

SettingsStore::~SettingsStore() = default;

void SettingsStore::Close() { key_.Reset(); }

bool SettingsStore::ReadText(const std::string& section, const std::string& ident,
                             std::string& text) {
  if (!key_) return false;
  RegKey sec;
  if (Get().RegOpenKeyEx(key_.get(), section, platform::kKeyAllAccess, *sec.put()) != 0)
    return false;
  RegValue v;
  long rc = Get().RegQueryValueEx(sec.get(), ident, v);
  if (rc == static_cast<long>(platform::kErrorFileNotFound)) return false;
  if (rc != 0) throw StoreError(Quoted(ident) + " の取得に失敗しました");
  if (v.type != platform::kRegSz && v.type != platform::kRegExpandSz)
    throw StoreError(Quoted(ident) + " のデータ型が不正です");
  size_t nul = v.data.find('\0');
  text = nul == std::string::npos ? v.data : v.data.substr(0, nul);
  return true;
}

std::string SettingsStore::ReadString(const std::string& section, const std::string& ident,
                                      const std::string& def) {
  std::string text;
  return ReadText(section, ident, text) ? text : def;
}

std::int32_t SettingsStore::ReadInteger(const std::string& section, const std::string& ident,
                                        std::int32_t def) {
  std::string text;
  if (!ReadText(section, ident, text)) return def;
  std::int32_t v;
  return ParseInteger(text, v) ? v : def;
}

bool SettingsStore::ReadBool(const std::string& section, const std::string& ident, bool def) {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void SettingsStore::WriteString(const std::string& section, const std::string& ident,
                                const std::string& value) {
  if (!key_) return;  // an unopenable application key is silent
  RegKey sec;
  if (Get().RegCreateKeyEx(key_.get(), section, platform::kKeyAllAccess, *sec.put()) != 0)
    throw StoreError("キー " + section + " の作成に失敗しました");
  RegValue v{platform::kRegSz, value + std::string(1, '\0')};
  if (Get().RegSetValueEx(sec.get(), ident, v) != 0)
    throw StoreError(Quoted(ident) + " の設定に失敗しました");
}

void SettingsStore::WriteInteger(const std::string& section, const std::string& ident,
                                 std::int32_t value) {
  WriteString(section, ident, std::to_string(value));
}

void SettingsStore::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void ReadPosition(SettingsStore& store, const std::string& section, int& left, int& top, int def,
                  int width, int height) {
  left = store.ReadInteger(section, key::X, def);
  top = store.ReadInteger(section, key::Y, def);
  KeepOnWorkArea(left, top, width, height);
}

void KeepOnWorkArea(int& left, int& top, int width, int height) {
  const long long right = static_cast<long long>(left) + width, bottom = static_cast<long long>(top) + height;
  // Windows are placed in units of 96 DPI, the monitors measured in pixels.
  auto& p = platform::Get();
  const long long dpi = std::max(1, p.ScreenDpi());
  auto pixels = [&](long long v) {
    return static_cast<int>(std::max<long long>(INT32_MIN, std::min<long long>(INT32_MAX, v * dpi / 96)));
  };
  auto units = [&](int v) { return static_cast<int>(static_cast<long long>(v) * 96 / dpi); };
  std::array<int, 4> work = p.WorkAreaNear({pixels(left), pixels(top), pixels(right), pixels(bottom)});
  for (int& edge : work) edge = units(edge);
  if (right > work[2]) left = static_cast<int>(std::max<long long>(static_cast<long long>(work[2]) - width, INT32_MIN));
  if (bottom > work[3]) top = static_cast<int>(std::max<long long>(static_cast<long long>(work[3]) - height, INT32_MIN));
  left = std::max(left, work[0]);
  top = std::max(top, work[1]);
}

void WritePosition(SettingsStore& store, const std::string& section, int left, int top) {
  store.WriteInteger(section, key::X, left);
  store.WriteInteger(section, key::Y, top);
}

bool ReadSize(SettingsStore& store, const std::string& section, int& width, int& height) {
  bool maximised = store.ReadBool(section, key::WS, false);
  height = store.ReadInteger(section, key::H, height);
  width = store.ReadInteger(section, key::W, width);
  return maximised;
}

void WritePlacement(SettingsStore& store, const std::string& section, int left, int top,
                    bool maximised, int width, int height) {
  WritePosition(store, section, left, top);
  store.WriteBool(section, key::WS, maximised);
  if (maximised) return;
  store.WriteInteger(section, key::H, height);
  store.WriteInteger(section, key::W, width);
}

}  // namespace settings
