// Every window over whatever the registry holds: the main window, then each
// window it opens (with the windows those open) is made, shown, used a
// little and closed, on a chosen Windows version. Stored values are text
// that anyone can edit: bad ones may raise the store's errors (shown in the
// error box) but never more.
#include "app/main_window.h"
#include "browser/browser_window.h"
#include "browser/internet_options.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/machine.h"
#include "lock/lock_screen.h"
#include "lock/lock_setup.h"
#include "netconsole/console.h"
#include "settings/keys.h"
#include "timers/runner.h"
#include "timers/stopwatch.h"
#include "viewer/image_viewer.h"

namespace {

// As SimPlatform::UseRelease names them.
const char* const kReleases[] = {"98SE", "XP", "NT4", "Me", "Vista", "7", "10", "11"};

// A click whose errors go where the toolkit sends them: the error box.
void Press(tk::Control* c) {
  if (!c) return;
  try {
    c->Click();
  } catch (...) {
    tk::Application::Instance().HandleException();
  }
}

void Open(tk::MenuItem* item) {
  item->SetEnabled(true);
  item->Click();  // a menu item's errors go to the error box already
}

void Close(tk::Form* f) {
  if (f && !f->Releasing()) f->Close();
}

}  // namespace

// Input: one byte for the Windows version (bits 0, 1 and 4; bit 2, a machine
// with the resource meter's library; bit 3, the session really ends; bit 5,
// a machine that can neither sleep nor hibernate), then stored values, one a
// line ("F1\X=12", see fuzz::StoreValues).
KIVO_FUZZ_TARGET(stored_windows) {
  fuzz::Reader in(data, size);
  const std::uint8_t how = in.Byte();
  fuzz::Machine machine(fuzz::Machine::Toolkit::Headless);
  platform::SimPlatform& sim = *machine.sim;
  sim.UseRelease(kReleases[(how & 3) | ((how >> 2) & 4)]);
  if (how & 32) sim.powerCapabilities = platform::PowerCapabilities{};
  if (how & 4) sim.files.insert("C:\\WINDOWS\\SYSTEM\\RSRC32.DLL");
  sim.nowStep = 0.5 / 86400;  // the clock moves: the logo ends
  sim.profileFiles["win.ini"] = "[windows]\r\nrun=\r\n";
  fuzz::StoreValues(in.Rest());
  auto& app = tk::Application::Instance();
  auto* main = app.CreateForm<TForm1>();
  main->Show();
  app.Started();  // the hotkeys from the stored values
  for (int i = 0; i < 2; ++i) machine.ui->TickTimers();

  // The screen lock goes all the way: set-up, lock window, unlock prompt.
  machine.ui->onModal = [](tk::Form& f) {
    if (auto* setup = dynamic_cast<TForm9*>(&f)) {
      setup->Edit1->SetText("pw");
      setup->Edit2->SetText("pw");
      Press(setup->Button1);
    } else if (auto* lockWindow = dynamic_cast<lock::LockWindow*>(&f)) {
      lockWindow->PeerClicked();
    } else if (auto* prompt = dynamic_cast<TForm8*>(&f)) {
      prompt->Edit2->SetText("pw");
      Press(prompt->Button1);
    } else if (auto* overlay = dynamic_cast<TForm29*>(&f)) {
      tk::Message down{tk::wmLButtonDown, 0, tk::MouseParam(3, 4), 0};
      tk::Message up{tk::wmLButtonUp, 0, tk::MouseParam(60, -9), 0};
      overlay->PeerMessage(down);
      overlay->PeerMessage(up);
    }
  };

  // The modal windows: made, shown and dismissed.
  for (tk::MenuItem* item : {main->N2, main->N5, main->About1, main->FIX1, main->N3})
    Open(item);
  main->Show();

  // The modeless ones stay open together.
  for (tk::MenuItem* item : {main->V1, main->CommandSender1, main->KivoExplorerVer101})
    Open(item);
  for (tk::Button* b : {main->Button17, main->Button18, main->Button20}) {
    b->SetEnabled(true);
    b->SetVisible(true);
    Press(b);
  }
  if (Form15) Press(Form15->Button9);  // console options
  if (Form18) Open(Form18->N2);        // internet options
  if (Form11) {
    // A program started with a countdown from the stored times and choices
    // (before the timer setting, whose close stores its own).
    sim.programs.insert("notepad.exe");
    Form11->Edit1->SetText("notepad.exe");
    Form11->CheckBox1->SetChecked(true);
    Press(Form11->Button1);
    Press(Form11->Button4);  // timer setting
  }
  if (Form4) Press(Form4->Button1);
  // The captures: the last region, then a region dragged on the overlay,
  // each after the stored delay (the timers below run them).
  sim.screen = platform::Bitmap{40, 30, std::vector<std::uint8_t>(40 * 30 * 3, 0x7F)};
  sim.virtualScreen = {-10, 0, 30, 30};
  Open(main->L1);
  Open(main->R1);
  for (int i = 0; i < 12; ++i) machine.ui->TickTimers();

  // Windows ends: the main window's answer reads its stored choices.
  tk::Message query{tk::wmQueryEndSession, 0, 0, 0};
  main->PeerMessage(query);
  if (how & 8) {
    tk::Message ended{tk::wmEndSession, 1, 0, 0};  // ending
    main->PeerMessage(ended);
  }

  // Closing saves each window's settings; the main window's close ends it.
  for (tk::FormSlotBase* slot : tk::FormSlotBase::All())
    if (slot->Held() != main) Close(slot->Held());
  Close(main);
}
