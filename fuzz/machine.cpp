#include "fuzz/machine.h"

#include <memory>

namespace fuzz {

Machine::Machine(Toolkit toolkit) {
  auto p = std::make_unique<platform::SimPlatform>();
  sim = p.get();
  platform::Install(std::move(p));
  if (toolkit == Toolkit::Headless) {
    auto b = std::make_unique<tk::HeadlessBackend>();
    ui = b.get();
    auto& app = tk::Application::Instance();
    app.Title = "kivo_config";
    app.Initialize(std::move(b));
  }
}

Machine::~Machine() {
  if (ui) tk::Application::Instance().Shutdown();
  platform::Uninstall();
}

}  // namespace fuzz
