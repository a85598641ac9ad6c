#include "app/tray_icon.h"

TrayIcon::TrayIcon(tk::Form* window) : tk::Component(window), window_(window) {
  Name = "TrayIcon";
  retryTimer_ = new tk::Timer(this, "TrayRetryTimer", 1000);
  retryTimer_->SetEnabled(false);
  retryTimer_->OnTimer = [this](tk::Component*) { TryAdd(); };
}

TrayIcon::Request TrayIcon::Decode(std::intptr_t mouse) {
  switch (mouse) {
    case tk::wmRButtonDown: return Request::Menu;
    case tk::wmLButtonDblClk: return Request::Restore;
    default: return Request::None;
  }
}

platform::NotifyIconData TrayIcon::Record(bool whole) const {
  platform::NotifyIconData icon;
  icon.window = window_->Handle();
  icon.id = kTrayIconId;
  if (!whole) {
    icon.flags = 0;  // the window and id name it
    return icon;
  }
  icon.flags = 7;  // NIF_MESSAGE | NIF_ICON | NIF_TIP
  icon.callbackMessage = kTrayCallbackMessage;
  icon.applicationIcon = true;
  icon.tip = tip_.empty() ? kTrayTip : tip_;
  return icon;
}

void TrayIcon::Add() {
  taskbarCreated_ = platform::Get().RegisterWindowMessage("TaskbarCreated");
  TryAdd();
}

// An icon the shell refused (no tray yet at a logon, the shell restarting)
// is asked for again every second for a while.
void TrayIcon::TryAdd() {
  if (platform::Get().ShellNotifyIcon(platform::kNimAdd, Record(true))) {
    retries_ = 0;
    retryTimer_->SetEnabled(false);
    return;
  }
  if (retries_ >= kRetries) {
    retryTimer_->SetEnabled(false);
    return;
  }
  ++retries_;
  retryTimer_->SetEnabled(true);
}

bool TrayIcon::Take(const tk::Message& msg) {
  if (taskbarCreated_ != 0 && msg.msg == taskbarCreated_) {
    // The new shell knows no icon of ours; one still there (the message also
    // comes when only the screen changed) is replaced.
    platform::Get().ShellNotifyIcon(platform::kNimDelete, Record(false));
    retries_ = 0;
    TryAdd();
    return true;
  }
  if (msg.msg != kTrayCallbackMessage) return false;
  const Request request = Decode(msg.lParam);
  if (request != Request::None && OnRequest) OnRequest(request);
  return true;
}

void TrayIcon::SetTip(const std::string& tip) {
  if (tip == tip_) return;
  tip_ = tip;
  platform::NotifyIconData icon = Record(false);
  icon.flags = platform::kNifTip;
  icon.tip = tip.empty() ? kTrayTip : tip;
  platform::Get().ShellNotifyIcon(platform::kNimModify, icon);
}

void TrayIcon::Remove() {
  retryTimer_->SetEnabled(false);
  platform::Get().ShellNotifyIcon(platform::kNimDelete, Record(false));
}
