// The network command console's key sequences built from stored data: the
// address digits ("CBI1" … "CBI12"), the ipconfig switches and the options
// window's stored item indexes, typed into a prompt window on the simulated
// machine. Whatever is stored, the address buttons type digit keys and
// periods only, at most three digits an octet.
#include <cstdio>

#include "app/main_window.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/machine.h"
#include "netconsole/console.h"
#include "settings/keys.h"

namespace {

constexpr unsigned kVkPeriod = 0xBE;

// The keys typed since the journal was cleared (key-down events).
std::vector<unsigned> Typed(const platform::SimPlatform& sim) {
  std::vector<unsigned> keys;
  for (const std::string& e : sim.journal) {
    unsigned vk = 0, scan = 0, flags = 0;
    if (std::sscanf(e.c_str(), "keybd_event(0x%x, %u, %u, 0)", &vk, &scan, &flags) == 3 &&
        !(flags & 2))
      keys.push_back(vk);
  }
  return keys;
}

void CheckAddress(const platform::SimPlatform& sim, size_t periods) {
  size_t digits = 0, seen = 0;
  for (unsigned vk : Typed(sim)) {
    if (vk == kVkPeriod) {
      ++seen;
      digits = 0;
      continue;
    }
    fuzz::Check(vk >= 0x30 && vk <= 0x39, "an address button types digit keys only");
    fuzz::Check(++digits <= 3, "an octet has at most three digits");
  }
  fuzz::Check(seen == periods, "an address button types its periods");
}

}  // namespace

// Input: stored values, one a line ("F17\CBI1=192", see fuzz::StoreValues).
KIVO_FUZZ_TARGET(key_sequence) {
  fuzz::Machine machine(fuzz::Machine::Toolkit::Headless);
  platform::SimPlatform& sim = *machine.sim;
  sim.version = platform::OsVersion{4, 10, 2222, platform::kPlatformWindows};
  sim.topWindows = {{0x501, netconsole::kPromptTitle}};
  fuzz::StoreValues(std::string(reinterpret_cast<const char*>(data), size));
  sim.SetString(std::string(settings::kApplicationKey) + "\\F6", settings::key::C2, "1");
  auto* main = tk::Application::Instance().CreateForm<TForm1>();
  tk::Application::Instance().Started();
  main->CommandSender1->SetEnabled(true);
  main->CommandSender1->Click();
  TForm15* console = Form15;
  if (!console) return;
  auto press = [&](tk::Button* b) {
    sim.ClearJournal();
    try {
      b->Click();
    } catch (const std::exception&) {
      // shown as the error box; the console goes on
    }
  };
  for (int round = 0; round < 2; ++round) {
    press(console->Button3);
    CheckAddress(sim, 2);
    press(console->Button4);
    CheckAddress(sim, 1);
    press(console->Button10);
    press(console->Button9);  // the options window, dismissed
    press(console->Button16);  // reload what is stored
  }
  console->Close();
  main->Close();
}
