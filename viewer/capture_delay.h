// Captures after a delay: the stored "Delay" (section "Capture") counted
// down second by second before any capture, one capture waiting at a time:
// a request while one waits replaces it.
#pragma once

#include <functional>
#include <string>

#include "toolkit/toolkit.h"

namespace viewer {

// Runs capture after the stored delay, at once when there is none. A
// capture still waiting is replaced: its dropped runs instead. The waiting
// belongs to the application's main window (the form asking where there is
// none), and ends with it.
void RequestCapture(tk::Form& asking, std::function<void()> capture, std::function<void()> dropped = {});
// Seconds until the waiting capture, 0 when none waits.
int CaptureSecondsLeft();
// What the tray's tip says meanwhile ("キャプチャまで 3秒"); "" when none waits.
std::string CaptureCountdownText();
// Runs each time the countdown's text changes (the main window follows it
// in its tray tip); one listener for the program, none with an empty one.
void SetCountdownListener(std::function<void()> listener);

}  // namespace viewer
