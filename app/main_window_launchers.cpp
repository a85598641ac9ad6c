// The main window's status bar under the mouse: a launcher's reason while
// the mouse is on it (LauncherPanel::Reason), its own line elsewhere.
#include <string>

#include "app/main_window.h"

// The mouse is on a control (nullptr: on the window itself). On a launcher
// switched off for a missing program the status bar gives the reason; off
// it again, the status bar's own line comes back.
void TForm1::PointedAt(tk::Control* c) {
  const std::string reason = launchers->Reason(c);
  if (!reason.empty()) {
    if (StatusBar1->SimpleText() != reason) StatusBar1->SetSimpleText(reason);
    reasonShown_ = true;
  } else if (reasonShown_) {
    StatusBar1->SetSimpleText(statusText_);
    reasonShown_ = false;
  }
}
