#include "platform/platform.h"

#include <stdexcept>

namespace platform {

namespace {
std::unique_ptr<Platform>& Slot() {
  static std::unique_ptr<Platform> p;
  return p;
}
}  // namespace

Platform& Get() {
  if (!Slot()) throw std::logic_error("no platform installed");
  return *Slot();
}

void Install(std::unique_ptr<Platform> p) { Slot() = std::move(p); }

std::unique_ptr<Platform> Uninstall() { return std::move(Slot()); }

}  // namespace platform
