// A simulated machine and the headless toolkit, fresh for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_platform.h"
#include "settings/keys.h"
#include "toolkit/headless/headless_backend.h"
#include "toolkit/toolkit.h"

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto p = std::make_unique<platform::SimPlatform>();
    sim = p.get();
    platform::Install(std::move(p));
    auto b = std::make_unique<tk::HeadlessBackend>();
    ui = b.get();
    auto& app = tk::Application::Instance();
    app.Title = "kivo_config";
    app.Initialize(std::move(b));
  }
  // From now on the machine's clocks (tick count, local time) move with the
  // message loop's, as on a real machine; without it a test sets them itself.
  void LinkClocks() {
    ui->onClockAdvanced = [this](std::uint64_t ms) {
      sim->tickCount += static_cast<std::uint32_t>(ms);
      sim->now += static_cast<double>(ms) / 86400000.0;
    };
  }
  void TearDown() override {
    tk::Application::Instance().Shutdown();
    platform::Uninstall();
  }

  // Full key path of a section of the application key.
  static std::string Section(const std::string& s) {
    return std::string(settings::kApplicationKey) + "\\" + s;
  }
  void Store(const std::string& section, const std::string& ident, const std::string& text) {
    sim->SetString(Section(section), ident, text);
  }
  std::optional<std::string> Stored(const std::string& section, const std::string& ident) {
    return sim->GetString(Section(section), ident);
  }
  void UseVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                  std::uint32_t build = 0) {
    sim->version = platform::OsVersion{major, minor, build, platformId};
  }

  platform::SimPlatform* sim = nullptr;
  tk::HeadlessBackend* ui = nullptr;
};
