// The registry-backed settings store. Sections are subkeys of the
// application key below HKEY_CURRENT_USER, idents are string values in them;
// every value is stored as text. Open one store per handler, close it at the
// end; nothing is cached.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/platform.h"

namespace settings {

// An error of the store or of a stored value's conversion; its text is the
// one shown to the user.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SettingsStore {
 public:
  // Opens (creating where missing) the application key. Failure is silent:
  // reads then return their defaults and writes do nothing.
  SettingsStore();
  explicit SettingsStore(const std::string& keyPath);
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  bool ReadBool(const std::string& section, const std::string& ident, bool def);
  std::int32_t ReadInteger(const std::string& section, const std::string& ident,
                           std::int32_t def);
  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& def);
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  void WriteInteger(const std::string& section, const std::string& ident, std::int32_t value);
  void WriteString(const std::string& section, const std::string& ident,
                   const std::string& value);
  void Close();
  bool IsOpen() const { return static_cast<bool>(key_); }

 private:
  // The stored text of a value, or false when the section or value is missing.
  bool ReadText(const std::string& section, const std::string& ident, std::string& text);
  platform::RegKey key_;
};

// A window's place in its section: "X" and "Y" (def when missing); for the
// resizable windows also "WS" (maximised) and "H", "W" (the normal size, the
// current one when missing). The size is written only when not maximised, so
// that a maximised close keeps the normal size of before.
// The position is moved onto the screen for a window of that size (below).
void ReadPosition(SettingsStore& store, const std::string& section, int& left, int& top, int def,
                  int width, int height);
void WritePosition(SettingsStore& store, const std::string& section, int left, int top);
bool ReadSize(SettingsStore& store, const std::string& section, int& width, int& height);
// A window placed from stored values is moved onto the work area of the
// nearest monitor (a monitor removed, a lower resolution since): whole where
// it fits, else with its top left corner, where the caption is, on it.
void KeepOnWorkArea(int& left, int& top, int width, int height);
void WritePlacement(SettingsStore& store, const std::string& section, int left, int top,
                    bool maximised, int width, int height);

// The integer parser of the store: leading blanks, one sign, "$", "x" or "0x"
// for hexadecimal; anything else fails. Returns false on failure.
bool ParseInteger(const std::string& text, std::int32_t& value);
// Strict conversion: raises "'<text>' は整数ではありません" on failure.
std::int32_t StrToInt(const std::string& text);

// Colour text: a colour name of the toolkit's table, or "$" and 8 upper-case
// hexadecimal digits; reading also accepts decimal and "$"-hex integers.
std::string ColorToString(std::int32_t color);
std::int32_t StringToColor(const std::string& text);  // raises on bad text

}  // namespace settings
