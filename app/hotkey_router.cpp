#include "app/hotkey_router.h"

#include <string>
#include <vector>

#include "app/main_window.h"
#include "hotkeys/hotkeys.h"
#include "lock/lock_screen.h"

void HotKeyRouter::Apply() {
  auto& app = tk::Application::Instance();
  std::vector<std::string> problems =
      hotkeys::RegisterHotKeys(app.GetBackend().ApplicationHandle(), window_.lockRoute != TForm1::LockRoute::None);
  if (problems.empty()) return;
  std::string text;
  for (const std::string& line : problems) text += (text.empty() ? "" : "\r\n") + line;
  app.MessageBox(text, session::kCaption, tk::mbOk | tk::mbIconExclamation);
}

void HotKeyRouter::Pressed(int id) {
  if (!ready_) return;
  // While locked a hotkey does what the tray does then: the unlock prompt.
  if (lock::RedirectToUnlock()) return;
  TForm1& w = window_;
  auto tell = [](session::Refusal refusal) {
    if (refusal != session::Refusal::None)
      tk::Application::Instance().MessageBox(cmdline::ReplyText(ReplyOf(refusal)), session::kCaption,
                                             tk::mbOk | tk::mbIconExclamation);
  };
  switch (hotkeys::ActionOf(id)) {
    case hotkeys::kShowHide:
      if (w.Visible()) {
        w.Hide();
      } else {
        w.Show();
        w.BringToFront();
      }
      break;
    case hotkeys::kCaptureDesktop: w.C1Click(&w); break;
    case hotkeys::kCaptureWindow: w.captures.Start(CaptureKind::ActiveWindow, false); break;
    case hotkeys::kCaptureRegion: w.R1Click(&w); break;
    case hotkeys::kCaptureLastRegion: w.L1Click(&w); break;
    // Opened, or the one open brought to the front.
    case hotkeys::kViewer: w.V1Click(&w); break;
    case hotkeys::kStopwatch: w.Button20Click(&w); break;
    case hotkeys::kLock:
      // The set-up, never a lock without a password; not where or while
      // the main window offers none (the stopwatch open), as /lock.
      if (w.actions.CheckLock() == session::Refusal::None) w.Button16Click(&w);
      break;
    case hotkeys::kTimer: {
      std::int32_t minutes = hotkeys::ReadHotKeys().timerMinutes;
      if (minutes > 0) tell(w.actions.Submit(session::FromTimerHotKey(static_cast<std::uint32_t>(minutes))));
      break;
    }
    case hotkeys::kCancel: tell(w.actions.Cancel()); break;
    default: break;
  }
}
