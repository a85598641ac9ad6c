#include "app/phases.h"

#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace phases {
namespace {

struct Clock {
  bool on = false;
  bool written = false;
  std::string file;
  std::vector<std::pair<std::string, std::uint64_t>> marks;  // name, microseconds
};

Clock& TheClock() {
  static Clock clock;
  return clock;
}

}  // namespace

void Start() {
  Clock& c = TheClock();
  c = Clock();
  std::optional<std::string> file = platform::Get().GetEnvironmentVariable("KIVO_PHASES");
  if (!file || file->empty()) return;
  c.on = true;
  c.file = *file;
  Mark("entry");
}

void Mark(const char* name) {
  Clock& c = TheClock();
  if (!c.on || c.written) return;
  c.marks.emplace_back(name, platform::Get().ProcessAgeMicroseconds());
}

std::string Text() {
  std::string out;
  for (const auto& m : TheClock().marks) {
    char ms[32];
    std::snprintf(ms, sizeof ms, " %.1f\r\n", static_cast<double>(m.second) / 1000.0);
    out += m.first + ms;
  }
  return out;
}

void Finish() {
  Clock& c = TheClock();
  if (!c.on || c.written) return;
  Mark("ready");
  c.written = true;
  platform::Get().WriteFile(c.file, Text());
}

void Reset() { TheClock() = Clock(); }

}  // namespace phases
