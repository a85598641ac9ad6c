// The main window's icon in the shell's tray: added at the start, asked for
// again every second while the shell refuses it (a logon where the tray
// comes up late), added anew when the shell starts again ("TaskbarCreated"),
// its tip following what is pending, taken away at the end. The mouse on the
// icon comes back as the window's callback message, decoded here into what
// the window is asked to do.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "toolkit/toolkit.h"

constexpr unsigned kTrayCallbackMessage = 1025;  // WM_USER + 1
constexpr unsigned kTrayIconId = 100;
constexpr const char* kTrayTip = "Kivo_Config For Windows";

// Owned by the window it belongs to (a component of it, like its timers);
// the window's handle must exist when the icon is added.
class TrayIcon : public tk::Component {
 public:
  explicit TrayIcon(tk::Form* window);

  // What a mouse message on the icon asks of the window: the popup menu
  // (right button down) or the window shown (left double click); nothing
  // for every other message (single clicks, button ups, moves).
  enum class Request { None, Menu, Restore };
  static Request Decode(std::intptr_t mouse);
  std::function<void(Request)> OnRequest;

  // At the start: the shell's "TaskbarCreated" message looked up and the
  // icon added.
  void Add();
  // A message of the window: the shell's "TaskbarCreated" (the icon added
  // anew) or the icon's callback message (OnRequest, for what it asks);
  // false for every other message.
  bool Take(const tk::Message& msg);
  // The tip: what is pending, "" for the usual one; the shell is told only
  // when the text changes. An icon added anew gets the tip of the moment.
  void SetTip(const std::string& tip);
  // At the end: no more asking, the icon taken away.
  void Remove();

  static constexpr unsigned kRetries = 120;  // one a second

 private:
  // The icon's record: whole for NIM_ADD, or only what names it.
  platform::NotifyIconData Record(bool whole) const;
  void TryAdd();
  tk::Form* window_;
  tk::Timer* retryTimer_;  // asks the shell again for a refused icon
  unsigned taskbarCreated_ = 0;
  unsigned retries_ = 0;
  std::string tip_;
};
