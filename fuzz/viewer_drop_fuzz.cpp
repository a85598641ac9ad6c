// The image viewer over files dropped on it: the shell hands over any list
// of names, and the files hold any bytes. Each drop is loaded and paged
// through (back and forth), then saved again.
#include "app/main_window.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/machine.h"
#include "settings/keys.h"
#include "viewer/image_viewer.h"
#include "viewer/picture.h"

// Input: up to three drops; each is a byte (the file count, up to 6), then
// per file its name (a line) and its contents (two bytes of length, little
// end first, then the bytes; a name without contents is a missing file, a
// length of 0xFFFF a file that cannot be opened).
KIVO_FUZZ_TARGET(viewer_drop) {
  fuzz::Reader in(data, size);
  fuzz::Machine machine(fuzz::Machine::Toolkit::Headless);
  platform::SimPlatform& sim = *machine.sim;
  sim.SetString(std::string(settings::kApplicationKey) + "\\F6", settings::key::C2, "1");
  auto* main = tk::Application::Instance().CreateForm<TForm1>();
  tk::Application::Instance().Started();
  main->V1->Click();
  TForm13* viewer = Form13;
  if (!viewer) return;
  platform::Handle drop = 0x7000;
  for (int d = 0; d < 3 && !in.AtEnd(); ++d) {
    std::vector<std::string> names;
    const int files = in.Byte() % 7;
    for (int i = 0; i < files; ++i) {
      std::string name = in.Line();
      const size_t length = in.Byte() | static_cast<size_t>(in.Byte()) << 8;
      if (length == 0xFFFF) {
        sim.lockedFiles.insert(name);
      } else if (length != 0) {
        std::string bytes;
        for (size_t k = 0; k < length && !in.AtEnd(); ++k) bytes += static_cast<char>(in.Byte());
        sim.fileContents[name] = bytes;
      }
      names.push_back(name);
    }
    sim.drops[++drop] = names;
    tk::Message m{tk::wmDropFiles, drop, 0, 0};
    viewer->PeerMessage(m);
    fuzz::Check(sim.drops.count(drop) == 0, "every drop is finished");
    for (int step = 0; step < 8; ++step) {
      tk::Button* b = step < 5 ? viewer->Button1 : viewer->Button2;
      try {
        b->Click();
      } catch (const std::exception&) {
        // shown in the error box; the viewer goes on
      }
    }
  }
  viewer->Close();
  main->Close();
}
