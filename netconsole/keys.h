// Synthesised keystrokes for the prompt windows: key sequences as data, and
// their playing through keybd_event with 100 ms pauses that keep the window
// answering. Characters are typed with the key and shift state that the
// current keyboard layout gives them, so they come out right on any layout.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace netconsole {

struct KeyStep {
  // A key by its virtual key (Enter, Backspace), a character by the key the
  // layout gives it when it is played, or a pause.
  enum class Kind { Key, Char, Pause };
  Kind kind;
  std::uint8_t vk = 0;  // Key
  char ch = 0;          // Char
};

class KeySequence {
 public:
  // Printable ASCII characters, "\r" (Enter) and "\b" (Backspace).
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
// One character with the key and shift state that the current layout gives
// it (Shift, Ctrl and Alt held around the key as that state asks; Ctrl+Alt
// is AltGr). The period's key goes down as an extended key. A character that
// no key of the layout gives is left out; false then.
bool SendChar(char ch);
// 100 ms in which the window goes on handling its messages.
void PausePumping();

// Plays a sequence; stops early (false) when stop() says so after a pause.
bool Play(const KeySequence& keys, const std::function<bool()>& stop);

constexpr std::uint8_t kVkReturn = 0x0D;
constexpr std::uint8_t kVkBack = 0x08;
constexpr std::uint8_t kVkShift = 0x10;
constexpr std::uint8_t kVkControl = 0x11;
constexpr std::uint8_t kVkMenu = 0x12;  // Alt
constexpr std::uint8_t kVkCapital = 0x14;
constexpr unsigned kPauseMs = 100;

}  // namespace netconsole
