// Hotkeys as the settings store keeps them: the modifiers and the key joined
// by "+", modifiers first in the order Ctrl, Alt, Shift, Win ("Ctrl+Alt+S").
// Text only, so that the unit tests and the fuzzers reach every rule.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hotkeys {

// RegisterHotKey's modifier flags.
constexpr std::uint32_t kModAlt = 0x1, kModControl = 0x2, kModShift = 0x4, kModWin = 0x8;

struct HotKey {
  std::uint32_t modifiers = 0;
  std::uint32_t vk = 0;  // 0: no hotkey
  bool None() const { return vk == 0; }
  bool operator==(const HotKey& o) const { return modifiers == o.modifiers && vk == o.vk; }
};

// The hotkey a stored text names; "" (or blanks) is none; nullopt when the
// text is no hotkey: an unknown part, a modifier twice, no key or two keys.
std::optional<HotKey> ParseHotKey(const std::string& text);
// The stored text of a hotkey; "" for none, and for a key that has no name
// here (KeyName says which keys have one).
std::string FormatHotKey(const HotKey& key);
// The name of a virtual key ("S", "7", "F12", "PrintScreen" …), "" for none.
std::string KeyName(std::uint32_t vk);

// Whether a hotkey would take a key away from typing in every program: a key
// with neither Ctrl, Alt nor Win (Shift alone still types capitals and
// symbols), other than F1–F24, PrintScreen and Pause, which type no text.
// Such a hotkey is neither registered nor stored by the window.
bool TakesAwayTyping(const HotKey& key);

// The hotkey box's value (the key in the low byte; Shift 0x100, Ctrl 0x200,
// Alt 0x400 above it) and back. The box knows no Win key: it is dropped.
HotKey FromBoxValue(std::uint16_t value);
std::uint16_t ToBoxValue(const HotKey& key);

}  // namespace hotkeys
