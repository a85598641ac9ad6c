// The main window's launchers: eleven buttons that start control-panel
// applets, consoles and games for the running Windows version
// (tools::Launch), and from Vista on are looked over once the window is up:
// a launcher whose program this system lacks is switched off, its reason its
// hint, which the window shows in its status bar while the mouse is on it
// (Reason).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "tools/tools.h"
#include "toolkit/toolkit.h"

// Owned by the window the buttons are on (a component of it, like its
// timers); the window makes the buttons, places them and hands them over.
class LauncherPanel : public tk::Component {
 public:
  // The buttons by their number in the launcher table (tools::Launch).
  using ButtonTable = std::array<std::pair<int, tk::Button*>, 11>;

  explicit LauncherPanel(tk::Form* window);

  // The buttons, once the window has made them; their clicks come to the
  // handlers below.
  void SetButtons(const ButtonTable& buttons);
  const ButtonTable& Buttons() const { return buttons_; }
  // What a launcher has to tell the status line ("実行ファイルが見つかりません").
  std::function<void(const std::string&)> OnStatus;

  // The clicks: each starts its button's program.
  void Button6Click(tk::Component* sender);
  void Button7Click(tk::Component* sender);
  void Button8Click(tk::Component* sender);
  void Button9Click(tk::Component* sender);
  void Button10Click(tk::Component* sender);
  void Button11Click(tk::Component* sender);
  void Button12Click(tk::Component* sender);
  void Button13Click(tk::Component* sender);
  void Button14Click(tk::Component* sender);
  void Button15Click(tk::Component* sender);
  void Button19Click(tk::Component* sender);

  // This system may lack some of the programs (Vista and later): the next
  // CheckLaunchers looks for them.
  void OfferSearch() { checkLaunchers_ = true; }
  // Once the window is up: where offered, the launchers still on are looked
  // over, one a tick of LauncherTimer; each whose program is missing goes
  // off with its reason as its hint. Launchers already off stay as they are.
  void CheckLaunchers();
  void LauncherTimerTimer(tk::Component* sender);
  // Why a control is off, when it is a launcher switched off for a missing
  // program; "" for any other control, nullptr included.
  std::string Reason(const tk::Control* control) const;

 private:
  void Launch(int button);
  tk::Form* window_;
  tk::Timer* launcherTimer_;  // "LauncherTimer": looks for one launcher's program a tick
  ButtonTable buttons_{};
  bool checkLaunchers_ = false;
  std::unique_ptr<tools::LauncherSearch> launcherSearch_;
};
