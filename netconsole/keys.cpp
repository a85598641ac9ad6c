#include "netconsole/keys.h"

#include <stdexcept>

#include "platform/platform.h"
#include "toolkit/toolkit.h"

namespace netconsole {

namespace {
constexpr std::uint8_t kVkSpace = 0x20;
constexpr std::uint8_t kVkOem1 = 0xBA;       // ":" on the Japanese keyboard
constexpr std::uint8_t kVkOem2 = 0xBF;       // "/"
constexpr std::uint8_t kVkOem4 = 0xDB;       // "["
constexpr std::uint8_t kVkOem5 = 0xDC;       // "\", with Shift "|"
constexpr std::uint8_t kVkOemPeriod = 0xBE;  // "."
constexpr std::uint8_t kVk4 = 0x34;          // with Shift "$"

std::uint8_t Scan(std::uint8_t vk) {
  return static_cast<std::uint8_t>(platform::Get().MapVirtualKey(vk, 0));
}
}  // namespace

KeySequence& KeySequence::Type(const std::string& text) {
  using K = KeyStep::Kind;
  for (char c : text) {
    if (c >= 'a' && c <= 'z') steps_.push_back({K::Plain, static_cast<std::uint8_t>(0x41 + (c - 'a'))});
    else if (c >= '0' && c <= '9') steps_.push_back({K::Plain, static_cast<std::uint8_t>(c)});
    else if (c == ' ') steps_.push_back({K::Plain, kVkSpace});
    else if (c == '\r') steps_.push_back({K::Plain, kVkReturn});
    else if (c == '\b') steps_.push_back({K::Plain, kVkBack});
    else if (c == ':') steps_.push_back({K::Plain, kVkOem1});
    else if (c == '\\') steps_.push_back({K::Plain, kVkOem5});
    else if (c == '/') steps_.push_back({K::Plain, kVkOem2});
    else if (c == '[') steps_.push_back({K::Plain, kVkOem4});
    else if (c == '.') steps_.push_back({K::Period, kVkOemPeriod});
    else if (c == '$') steps_.push_back({K::Shifted, kVk4});
    else if (c == '|') steps_.push_back({K::Shifted, kVkOem5});
    else throw std::logic_error(std::string("no key for '") + c + "'");
  }
  return *this;
}

KeySequence& KeySequence::Key(std::uint8_t vk) {
  steps_.push_back({KeyStep::Kind::Plain, vk});
  return *this;
}

KeySequence& KeySequence::Pause() {
  steps_.push_back({KeyStep::Kind::Pause, 0});
  return *this;
}

KeySequence& KeySequence::Digit(int value) {
  if (value >= 0 && value <= 9) Key(static_cast<std::uint8_t>(0x30 + value));
  return *this;
}

KeySequence& KeySequence::Octet(int hundreds, int tens, int units) {
  if (hundreds != 0) Digit(hundreds);
  return Digit(tens).Digit(units);
}

void SendKey(std::uint8_t vk) {
  auto& p = platform::Get();
  p.KeybdEvent(vk, Scan(vk), 0);
  p.KeybdEvent(vk, Scan(vk), platform::kKeyEventKeyUp);
}

void SendShiftedKey(std::uint8_t vk) {
  auto& p = platform::Get();
  p.KeybdEvent(kVkShift, Scan(kVkShift), 0);
  p.KeybdEvent(vk, Scan(vk), 0);
  p.KeybdEvent(vk, Scan(vk), platform::kKeyEventKeyUp);
  p.KeybdEvent(kVkShift, Scan(kVkShift), platform::kKeyEventKeyUp);
}

void SendPeriod() {
  auto& p = platform::Get();
  p.KeybdEvent(kVkOemPeriod, Scan(kVkOemPeriod), platform::kKeyEventExtendedKey);
  p.KeybdEvent(kVkOemPeriod, Scan(kVkOemPeriod), platform::kKeyEventKeyUp);
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
      case KeyStep::Kind::Plain: SendKey(s.vk); break;
      case KeyStep::Kind::Shifted: SendShiftedKey(s.vk); break;
      case KeyStep::Kind::Period: SendPeriod(); break;
      case KeyStep::Kind::Pause:
        PausePumping();
        if (stop()) return false;
        break;
    }
  }
  return true;
}

}  // namespace netconsole
