#include "hotkeys/hotkey_text.h"

#include <cctype>
#include <vector>

namespace hotkeys {

namespace {

struct Named {
  const char* name;
  std::uint32_t vk;
};
constexpr Named kNamedKeys[] = {
    {"PrintScreen", 0x2C}, {"Pause", 0x13},    {"Space", 0x20},    {"Home", 0x24},
    {"End", 0x23},         {"Insert", 0x2D},   {"Delete", 0x2E},   {"PageUp", 0x21},
    {"PageDown", 0x22},
};
struct Modifier {
  const char* name;
  std::uint32_t flag;
};
// In the order they are written.
constexpr Modifier kModifiers[] = {
    {"Ctrl", kModControl}, {"Alt", kModAlt}, {"Shift", kModShift}, {"Win", kModWin}};

constexpr std::uint16_t kBoxShift = 0x100, kBoxControl = 0x200, kBoxAlt = 0x400;

bool SameIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

std::string Trim(const std::string& s) {
  size_t from = s.find_first_not_of(" \t");
  if (from == std::string::npos) return {};
  size_t to = s.find_last_not_of(" \t");
  return s.substr(from, to - from + 1);
}

// The virtual key of a key's name, 0 when it is none.
std::uint32_t KeyOf(const std::string& name) {
  if (name.size() == 1) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<std::uint32_t>(c);
    return 0;
  }
  if ((name[0] == 'F' || name[0] == 'f') && name.size() <= 3) {
    int n = 0;
    for (size_t i = 1; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return 0;
      n = n * 10 + (name[i] - '0');
    }
    if (name[1] != '0' && n >= 1 && n <= 24) return 0x70u + static_cast<std::uint32_t>(n - 1);
    return 0;
  }
  for (const Named& k : kNamedKeys)
    if (SameIgnoringCase(name, k.name)) return k.vk;
  return 0;
}

}  // namespace

std::string KeyName(std::uint32_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
  if (vk >= 0x70 && vk <= 0x87) return "F" + std::to_string(vk - 0x70 + 1);
  for (const Named& k : kNamedKeys)
    if (k.vk == vk) return k.name;
  return {};
}

std::optional<HotKey> ParseHotKey(const std::string& text) {
  HotKey key;
  if (Trim(text).empty()) return key;
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t plus = text.find('+', start);
    parts.push_back(Trim(text.substr(start, plus == std::string::npos ? std::string::npos : plus - start)));
    if (plus == std::string::npos) break;
    start = plus + 1;
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.empty()) return std::nullopt;
    const bool last = i + 1 == parts.size();
    if (last) {
      key.vk = KeyOf(part);
      if (key.vk == 0) return std::nullopt;
      break;
    }
    bool known = false;
    for (const Modifier& m : kModifiers) {
      if (!SameIgnoringCase(part, m.name)) continue;
      if (key.modifiers & m.flag) return std::nullopt;  // twice
      key.modifiers |= m.flag;
      known = true;
    }
    if (!known) return std::nullopt;
  }
  return key;
}

std::string FormatHotKey(const HotKey& key) {
  std::string name = KeyName(key.vk);
  if (name.empty()) return {};
  std::string out;
  for (const Modifier& m : kModifiers)
    if (key.modifiers & m.flag) out += std::string(m.name) + "+";
  return out + name;
}

bool TakesAwayTyping(const HotKey& key) {
  if (key.None() || (key.modifiers & (kModControl | kModAlt | kModWin))) return false;
  constexpr std::uint32_t kF1 = 0x70, kF24 = 0x87, kPrintScreen = 0x2C, kPause = 0x13;
  const bool typesNothing = (key.vk >= kF1 && key.vk <= kF24) || key.vk == kPrintScreen || key.vk == kPause;
  return !typesNothing;
}

HotKey FromBoxValue(std::uint16_t value) {
  HotKey key;
  key.vk = value & 0xFFu;
  if (value & kBoxShift) key.modifiers |= kModShift;
  if (value & kBoxControl) key.modifiers |= kModControl;
  if (value & kBoxAlt) key.modifiers |= kModAlt;
  return key;
}

std::uint16_t ToBoxValue(const HotKey& key) {
  std::uint16_t value = static_cast<std::uint16_t>(key.vk & 0xFFu);
  if (key.modifiers & kModShift) value |= kBoxShift;
  if (key.modifiers & kModControl) value |= kBoxControl;
  if (key.modifiers & kModAlt) value |= kBoxAlt;
  return value;
}

}  // namespace hotkeys
