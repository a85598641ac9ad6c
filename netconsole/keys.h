// Synthesised keystrokes for the prompt windows: key sequences as data, and
// their playing through keybd_event with 100 ms pauses that keep the window
// answering. The punctuation keys are those of the Japanese keyboard layout.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace netconsole {

struct KeyStep {
  enum class Kind { Plain, Shifted, Period, Pause };
  Kind kind;
  std::uint8_t vk = 0;
};

class KeySequence {
 public:
  // The characters of the key table: a-z, 0-9, blank, "\r" (Enter), "\b"
  // (Backspace), ":", "\", "/", "[", ".", "$" and "|".
  KeySequence& Type(const std::string& text);
  KeySequence& Key(std::uint8_t vk);
  KeySequence& Pause();
  // One digit 0-9; a value outside that range types nothing (it would be no
  // digit key).
  KeySequence& Digit(int value);
  // An address octet: the hundreds digit only when it is not 0, then the
  // tens and the units, so 0,0,7 types "07".
  KeySequence& Octet(int hundreds, int tens, int units);
  const std::vector<KeyStep>& Steps() const { return steps_; }

 private:
  std::vector<KeyStep> steps_;
};

// Key down and up with the key's scan code.
void SendKey(std::uint8_t vk);
// Shift down, the key down and up, Shift up.
void SendShiftedKey(std::uint8_t vk);
// The period: key down as an extended key, then key up.
void SendPeriod();
// 100 ms in which the window goes on handling its messages.
void PausePumping();

// Plays a sequence; stops early (false) when stop() says so after a pause.
bool Play(const KeySequence& keys, const std::function<bool()>& stop);

constexpr std::uint8_t kVkReturn = 0x0D;
constexpr std::uint8_t kVkBack = 0x08;
constexpr std::uint8_t kVkShift = 0x10;
constexpr std::uint8_t kVkCapital = 0x14;
constexpr unsigned kPauseMs = 100;

}  // namespace netconsole
