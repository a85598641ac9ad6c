// Tests of the main window: a fresh machine, and the main window made the way
// the program makes it (the logo is off unless a test wants it).
#pragma once

#include "app/main_window.h"
#include "fixture.h"

class MainWindowFixture : public SimTest {
 protected:
  // Made, then started as the program starts it once the window is up
  // (hotkeys registered).
  TForm1* CreateMain(bool logo = false) {
    if (!logo) Store("F6", "C2", "1");
    auto& app = tk::Application::Instance();
    TForm1* f = app.CreateForm<TForm1>();
    app.Started();
    return f;
  }
  // Windows of a class that the main window still owns (released ones are gone).
  template <class T>
  static size_t Owned(const TForm1* f) {
    size_t n = 0;
    for (tk::Component* c : f->Components()) n += dynamic_cast<T*>(c) != nullptr;
    return n;
  }
  // The main window, with what its creation did cleared from the records.
  TForm1* CreateQuiet() {
    TForm1* f = CreateMain();
    sim->ClearJournal();
    ui->boxes.clear();
    return f;
  }
};
