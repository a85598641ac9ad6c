// The global hotkeys of the main window: registered on the application
// window (again after each change in the hotkey window), and each press
// turned into what the main window or the actions do for it.
#pragma once

class TForm1;

class HotKeyRouter {
 public:
  explicit HotKeyRouter(TForm1& window) : window_(window) {}
  // Registers the stored hotkeys; what cannot be registered is said.
  void Apply();
  // A press of the hotkey of that id (nothing before the window is ready).
  void Pressed(int id);
  void SetReady(bool ready) { ready_ = ready; }

 private:
  TForm1& window_;
  bool ready_ = true;  // not while the main window is being created
};
