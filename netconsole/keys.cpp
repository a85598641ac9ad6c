#include "netconsole/keys.h"

#include <stdexcept>

#include "platform/platform.h"
#include "toolkit/toolkit.h"

namespace netconsole {

namespace {
constexpr std::uint8_t kPeriod = '.';

std::uint8_t Scan(std::uint8_t vk) {
  return static_cast<std::uint8_t>(platform::Get().MapVirtualKey(vk, 0));
}

void Press(std::uint8_t vk, std::uint32_t flags = 0) { platform::Get().KeybdEvent(vk, Scan(vk), flags); }
void Lift(std::uint8_t vk) { platform::Get().KeybdEvent(vk, Scan(vk), platform::kKeyEventKeyUp); }
}  // namespace

KeySequence& KeySequence::Type(const std::string& text) {
  for (char c : text) {
    if (c == '\r') Key(kVkReturn);
    else if (c == '\b') Key(kVkBack);
    else if (c >= 0x20 && c < 0x7F) steps_.push_back({KeyStep::Kind::Char, 0, c});
    else throw std::logic_error(std::string("no key for '") + c + "'");
  }
  return *this;
}

KeySequence& KeySequence::Key(std::uint8_t vk) {
  steps_.push_back({KeyStep::Kind::Key, vk});
  return *this;
}

KeySequence& KeySequence::Pause() {
  steps_.push_back({KeyStep::Kind::Pause, 0});
  return *this;
}

KeySequence& KeySequence::Digit(int value) {
  if (value >= 0 && value <= 9) steps_.push_back({KeyStep::Kind::Char, 0, static_cast<char>('0' + value)});
  return *this;
}

KeySequence& KeySequence::Octet(int hundreds, int tens, int units) {
  if (hundreds != 0) Digit(hundreds);
  return Digit(tens).Digit(units);
}

void SendKey(std::uint8_t vk) {
  Press(vk);
  Lift(vk);
}

bool SendChar(char ch) {
  // VkKeyScan's answer: the key in the low byte, the shift state in the high
  // one; -1 in both when no key gives the character. States beyond Shift,
  // Ctrl and Alt (Hankaku, the layout's own) cannot be typed with them.
  const std::uint16_t code = platform::Get().VkKeyScan(static_cast<unsigned char>(ch));
  const std::uint8_t vk = code & 0xFF;
  const unsigned state = code >> 8;
  if (vk == 0xFF || (state & ~7u) != 0) return false;
  const bool shift = state & 1, ctrl = state & 2, alt = state & 4;
  if (shift) Press(kVkShift);
  if (ctrl) Press(kVkControl);
  if (alt) Press(kVkMenu);
  Press(vk, ch == kPeriod ? platform::kKeyEventExtendedKey : 0);
  Lift(vk);
  if (alt) Lift(kVkMenu);
  if (ctrl) Lift(kVkControl);
  if (shift) Lift(kVkShift);
  return true;
}

void PausePumping() {
  auto& p = platform::Get();
  auto& app = tk::Application::Instance();
  const std::uint32_t start = p.GetTickCount();
  for (;;) {
    std::uint32_t elapsed = p.GetTickCount() - start;
    if (elapsed >= kPauseMs || app.Terminated()) return;
    if (p.MsgWaitForObject(0, kPauseMs - elapsed) == platform::kWaitMessage) app.ProcessMessages();
  }
}

bool Play(const KeySequence& keys, const std::function<bool()>& stop) {
  for (const KeyStep& s : keys.Steps()) {
    switch (s.kind) {
      case KeyStep::Kind::Key: SendKey(s.vk); break;
      case KeyStep::Kind::Char: SendChar(s.ch); break;
      case KeyStep::Kind::Pause:
        PausePumping();
        if (stop()) return false;
        break;
    }
  }
  return true;
}

}  // namespace netconsole
