// The global hotkeys: one per action, stored in the section "HotKey",
// registered on the application window, and the window that sets them
// (TForm27, "ホットキーの設定").
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hotkeys/hotkey_text.h"
#include "platform/platform.h"
#include "toolkit/toolkit.h"

namespace hotkeys {

// The actions, in the window's order; a hotkey's id is its index + 1.
enum Action {
  kShowHide = 0, kCaptureDesktop, kCaptureWindow, kViewer, kStopwatch, kLock, kTimer, kCancel,
  kCaptureRegion, kCaptureLastRegion,
};
constexpr int kActionCount = 10;
// Its ident in "HotKey" and its name as the window and the messages give it.
const char* ActionIdent(int action);
const char* ActionName(int action);
constexpr int HotKeyId(int action) { return action + 1; }
constexpr int ActionOf(int id) { return id - 1; }

// "TimerMinutes": the timer hotkey's minutes, 30 unless stored.
constexpr int kDefaultTimerMinutes = 30;

struct Stored {
  HotKey keys[kActionCount];
  int timerMinutes = kDefaultTimerMinutes;
  // One line for each value that cannot be read (its hotkey stays unset).
  std::vector<std::string> problems;
};
// Reads every hotkey from the store.
Stored ReadHotKeys();

// Registers the stored hotkeys on the window (after taking back those it
// registered before); the lock's only where the lock is offered. Returns a
// message for each value that cannot be read, each key that is taken and
// each that would take a key away from typing (not registered); the others
// are registered all the same.
std::vector<std::string> RegisterHotKeys(platform::Handle window, bool lockOffered);
// Takes back every hotkey registered on the window.
void UnregisterHotKeys(platform::Handle window);

}  // namespace hotkeys

class TForm27 : public tk::Form {
 public:
  // lockOffered: the lock's row can be set; applied runs after OK has stored
  // the keys (the main window registers them again).
  TForm27(tk::Component* owner, bool lockOffered, std::function<void()> applied);
  ~TForm27() override;

  tk::Label* Labels[hotkeys::kActionCount];
  tk::HotKeyBox* HotKeys[hotkeys::kActionCount];
  tk::Edit* Edit1;    // the timer's minutes
  tk::Label* Label9;  // "分"
  tk::Button* Button1;  // OK
  tk::Button* Button2;  // キャンセル

  void FormCreate(tk::Component* sender);
  // A key pressed in a box that would take a key away from typing gets
  // Ctrl+Alt (F-keys, PrintScreen and Pause stay alone).
  void HotKeyChange(tk::Component* sender);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);

 private:
  std::function<void()> applied_;
  // The stored texts at opening, kept for rows the user leaves alone (the
  // box cannot show a Win key).
  std::string storedTexts_[hotkeys::kActionCount];
  std::uint16_t openedValues_[hotkeys::kActionCount] = {};
  // Values the store could not read: shown empty, and kept by OK unless the
  // user sets them.
  bool unreadable_[hotkeys::kActionCount] = {};
  bool minutesUnreadable_ = false;
  bool loading_ = true;  // until FormCreate has shown the stored keys
};

extern tk::FormSlot<TForm27> Form27;
