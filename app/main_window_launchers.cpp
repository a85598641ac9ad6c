// The main window's launchers: their buttons, started for the running
// Windows version, and from Vista on switched off where their program is
// missing, with the reason shown while the mouse is on them.
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "tools/tools.h"

std::array<std::pair<int, tk::Button*>, 11> TForm1::Launchers() const {
  return {{{6, Button6},   {7, Button7},   {8, Button8},   {9, Button9},
           {10, Button10}, {11, Button11}, {12, Button12}, {13, Button13},
           {14, Button14}, {15, Button15}, {19, Button19}}};
}

// From Vista on a launcher whose program this system lacks is switched off,
// its reason its hint. Looked for once the window is up, one launcher a
// tick of LauncherTimer (a timer's message comes only when no other waits),
// so that neither the first paint nor any message waits for the searches
// Wine makes for missing files (a few milliseconds each); a thread would
// cost more memory than the looks themselves.
void TForm1::CheckLaunchers() {
  if (!checkLaunchers_) return;
  std::vector<int> numbers;
  for (const auto& [number, button] : Launchers())
    if (button->Enabled()) numbers.push_back(number);
  launcherSearch_ = std::make_unique<tools::LauncherSearch>(numbers);
  LauncherTimer->SetEnabled(true);
}

void TForm1::LauncherTimerTimer(tk::Component*) {
  int number = 0;
  std::string reason;
  if (!launcherSearch_ || !launcherSearch_->Next(number, reason)) {
    LauncherTimer->SetEnabled(false);
    launcherSearch_.reset();
    return;
  }
  if (reason.empty()) return;
  for (const auto& [n, button] : Launchers()) {
    if (n != number || !button->Enabled()) continue;
    button->Hint = reason;
    button->SetEnabled(false);
  }
}

// The mouse is on a control (nullptr: on the window itself). On a launcher
// switched off for a missing program the status bar gives the reason; off
// it again, the status bar's own line comes back.
void TForm1::PointedAt(tk::Control* c) {
  bool launcher = false;
  for (const auto& l : Launchers()) launcher = launcher || l.second == c;
  status.PointAt(launcher && !c->Enabled() ? c->Hint : std::string());
}

// ---------------------------------------------------------------- starting them
void TForm1::Launch(int button) {
  tools::Launch(button, Handle(), [this](const std::string& t) { status.Show(t); });
}
void TForm1::Button6Click(tk::Component*) { Launch(6); }
void TForm1::Button7Click(tk::Component*) { Launch(7); }
void TForm1::Button8Click(tk::Component*) { Launch(8); }
void TForm1::Button9Click(tk::Component*) { Launch(9); }
void TForm1::Button10Click(tk::Component*) { Launch(10); }
void TForm1::Button11Click(tk::Component*) { Launch(11); }
void TForm1::Button12Click(tk::Component*) { Launch(12); }
void TForm1::Button13Click(tk::Component*) { Launch(13); }
void TForm1::Button14Click(tk::Component*) { Launch(14); }
void TForm1::Button15Click(tk::Component*) { Launch(15); }
void TForm1::Button19Click(tk::Component*) { Launch(19); }
