// A fresh simulated machine (and, for the windows, the headless toolkit) for
// one fuzz input; everything is taken down again when it goes out of scope,
// also when the input ends with an exception.
#pragma once

#include "platform/sim/sim_platform.h"
#include "toolkit/headless/headless_backend.h"

namespace fuzz {

class Machine {
 public:
  enum class Toolkit { None, Headless };
  explicit Machine(Toolkit toolkit = Toolkit::None);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  platform::SimPlatform* sim = nullptr;
  tk::HeadlessBackend* ui = nullptr;  // null without the toolkit
};

}  // namespace fuzz
