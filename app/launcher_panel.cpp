#include "app/launcher_panel.h"

#include <vector>

LauncherPanel::LauncherPanel(tk::Form* window) : tk::Component(window), window_(window) {
  Name = "LauncherPanel";
  launcherTimer_ = new tk::Timer(this, "LauncherTimer", 10);
  launcherTimer_->SetEnabled(false);
  launcherTimer_->OnTimer = [this](tk::Component* s) { LauncherTimerTimer(s); };
}

void LauncherPanel::SetButtons(const ButtonTable& buttons) {
  buttons_ = buttons;
  using Handler = void (LauncherPanel::*)(tk::Component*);
  auto handler = [](int number) -> Handler {
    switch (number) {
      case 6: return &LauncherPanel::Button6Click;
      case 7: return &LauncherPanel::Button7Click;
      case 8: return &LauncherPanel::Button8Click;
      case 9: return &LauncherPanel::Button9Click;
      case 10: return &LauncherPanel::Button10Click;
      case 11: return &LauncherPanel::Button11Click;
      case 12: return &LauncherPanel::Button12Click;
      case 13: return &LauncherPanel::Button13Click;
      case 14: return &LauncherPanel::Button14Click;
      case 15: return &LauncherPanel::Button15Click;
      case 19: return &LauncherPanel::Button19Click;
      default: return nullptr;
    }
  };
  for (const auto& [number, button] : buttons_) {
    const Handler h = handler(number);
    if (button && h) button->OnClick = [this, h](tk::Component* s) { (this->*h)(s); };
  }
}

// From Vista on a launcher whose program this system lacks is switched off,
// its reason its hint. Looked for once the window is up, one launcher a
// tick of LauncherTimer (a timer's message comes only when no other waits),
// so that neither the first paint nor any message waits for the searches
// Wine makes for missing files (a few milliseconds each); a thread would
// cost more memory than the looks themselves.
void LauncherPanel::CheckLaunchers() {
  if (!checkLaunchers_) return;
  std::vector<int> numbers;
  for (const auto& [number, button] : buttons_)
    if (button && button->Enabled()) numbers.push_back(number);
  launcherSearch_ = std::make_unique<tools::LauncherSearch>(numbers);
  launcherTimer_->SetEnabled(true);
}

void LauncherPanel::LauncherTimerTimer(tk::Component*) {
  int number = 0;
  std::string reason;
  if (!launcherSearch_ || !launcherSearch_->Next(number, reason)) {
    launcherTimer_->SetEnabled(false);
    launcherSearch_.reset();
    return;
  }
  if (reason.empty()) return;
  for (const auto& [n, button] : buttons_) {
    if (n != number || !button || !button->Enabled()) continue;
    button->Hint = reason;
    button->SetEnabled(false);
  }
}

std::string LauncherPanel::Reason(const tk::Control* c) const {
  if (!c || c->Enabled()) return "";
  for (const auto& launcher : buttons_)
    if (launcher.second == c) return c->Hint;
  return "";
}

// ---------------------------------------------------------------- starting them
void LauncherPanel::Launch(int button) {
  tools::Launch(button, window_->Handle(), [this](const std::string& t) {
    if (OnStatus) OnStatus(t);
  });
}
void LauncherPanel::Button6Click(tk::Component*) { Launch(6); }
void LauncherPanel::Button7Click(tk::Component*) { Launch(7); }
void LauncherPanel::Button8Click(tk::Component*) { Launch(8); }
void LauncherPanel::Button9Click(tk::Component*) { Launch(9); }
void LauncherPanel::Button10Click(tk::Component*) { Launch(10); }
void LauncherPanel::Button11Click(tk::Component*) { Launch(11); }
void LauncherPanel::Button12Click(tk::Component*) { Launch(12); }
void LauncherPanel::Button13Click(tk::Component*) { Launch(13); }
void LauncherPanel::Button14Click(tk::Component*) { Launch(14); }
void LauncherPanel::Button15Click(tk::Component*) { Launch(15); }
void LauncherPanel::Button19Click(tk::Component*) { Launch(19); }
