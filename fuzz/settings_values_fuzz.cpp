// The settings store's value parsers over any stored text: integers with
// their stored-text rules, bools, colours, window positions and sizes, read
// through the store from a registry value of any type.
#include <algorithm>

#include "browser/browser_window.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/machine.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "timers/schedule.h"

namespace {
using settings::ParseInteger;
using settings::StoreError;

std::string UpToNul(const std::string& s) { return s.substr(0, s.find('\0')); }
}  // namespace

// Input: one byte choosing how the text is stored (its type, a terminating
// NUL or not, the readers' default), then the text.
KIVO_FUZZ_TARGET(settings_values) {
  fuzz::Reader in(data, size);
  const std::uint8_t how = in.Byte();
  const std::string text = in.Rest();

  // The parsers on their own.
  std::int32_t v = 0;
  const bool isInteger = ParseInteger(text, v);
  if (isInteger) {
    std::int32_t again = 0;
    fuzz::Check(ParseInteger(std::to_string(v), again) && again == v,
                "an integer reads back from its decimal text");
    fuzz::Check(settings::StrToInt(text) == v, "StrToInt agrees with the parser");
  } else {
    try {
      settings::StrToInt(text);
      fuzz::Fail("StrToInt accepts what the parser refuses");
    } catch (const StoreError& e) {
      // (the message is a C string: it ends at a NUL of the text)
      fuzz::Check(e.what() == UpToNul("'" + text + "' は整数ではありません"),
                  "the conversion error's text");
    }
  }
  try {
    const std::int32_t color = settings::StringToColor(text);
    fuzz::Check(!isInteger || color == v, "a colour given as a number is that number");
    fuzz::Check(settings::StringToColor(settings::ColorToString(color)) == color,
                "a colour reads back from its stored text");
  } catch (const StoreError&) {
    fuzz::Check(!isInteger, "a number is always a colour");
  }

  // The browser engine an Internet Explorer version string names.
  const std::uint32_t mode = browser::EmulationMode(text);
  fuzz::Check(mode == 0 || mode == 8888 || mode == 9999 || mode == 10001 || mode == 11001,
              "an engine mode the control knows");

  // The repeated end's days, time and end: what reads writes back the same.
  bool days[timers::kWeekDays] = {};
  if (timers::ParseDays(text, days)) fuzz::Check(timers::FormatDays(days) == text, "days read back");
  int hour = -1, minute = -1;
  if (timers::ParseAt(text, hour, minute)) {
    fuzz::Check(hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59, "a time a clock shows");
    int h2 = -1, m2 = -1;
    fuzz::Check(timers::ParseAt(timers::FormatAt(hour, minute), h2, m2) && h2 == hour && m2 == minute,
                "a time reads back");
  }
  session::EndAction action = session::EndAction::PowerOff;
  if (timers::ParseActionName(text, action)) {
    session::EndAction again = session::EndAction::PowerOff;
    fuzz::Check(timers::ParseActionName(timers::ActionCommandName(action), again) && again == action,
                "an end's name reads back");
  }

  // Through the store, as a value of "F1" of any type.
  fuzz::Machine machine;
  const std::string section = std::string(settings::kApplicationKey) + "\\F1";
  platform::RegValue stored;
  switch (how & 3) {
    case 0: stored = {platform::kRegSz, text + std::string(1, '\0')}; break;
    case 1: stored = {platform::kRegSz, text}; break;  // written without its NUL
    case 2: stored = {platform::kRegExpandSz, text + std::string(1, '\0')}; break;
    default: stored = {static_cast<std::uint32_t>((how >> 2) & 7), text}; break;
  }
  const bool isString = stored.type == platform::kRegSz || stored.type == platform::kRegExpandSz;
  for (const char* ident : {settings::key::X, settings::key::WS, settings::key::H})
    machine.sim->SetValue(section, ident, stored);
  const std::int32_t def = (how & 0x80) ? -7 : 200;
  settings::SettingsStore store;
  try {
    const std::string read = store.ReadString("F1", settings::key::X, "?");
    fuzz::Check(isString, "only string values read");
    fuzz::Check(read == UpToNul(text), "a string reads up to its first NUL");
    std::int32_t expected = def;
    if (!ParseInteger(read, expected)) expected = def;
    fuzz::Check(store.ReadInteger("F1", settings::key::X, def) == expected,
                "an integer reads as the parser reads its text, or the default");
    fuzz::Check(store.ReadBool("F1", settings::key::X, def != 200) ==
                    (store.ReadInteger("F1", settings::key::X, def != 200 ? 1 : 0) != 0),
                "a bool reads as an integer that is not 0");
    int left = 0, top = 0;
    settings::ReadPosition(store, "F1", left, top, def, 100, 50);
    // The machine's one screen is 1024x768 and has no taskbar.
    fuzz::Check(left == std::clamp(expected, 0, 1024 - 100) && top == std::clamp(def, 0, 768 - 50),
                "a position reads X, and Y's default, moved onto the screen");
    int width = 640, height = 480;
    const bool maximised = settings::ReadSize(store, "F1", width, height);
    std::int32_t h = 480;
    if (!ParseInteger(read, h)) h = 480;
    fuzz::Check(height == h && width == 640, "a size reads H, and W's default");
    std::int32_t ws = 0;
    if (!ParseInteger(read, ws)) ws = 0;
    fuzz::Check(maximised == (ws != 0), "the maximised flag reads as a bool");
  } catch (const StoreError& e) {
    fuzz::Check(!isString, std::string("a string value raised ") + e.what());
  }
  store.Close();
  fuzz::Check(machine.sim->OpenKeyCount() == 0, "every key handle is closed again");
}
