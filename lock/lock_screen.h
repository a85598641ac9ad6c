// The lock windows and the unlock prompt. TForm7 (transparent: it never
// paints, so the screen stays as it was) and TForm25 (solid, in the desktop's
// colour) cover the screen; a click or a typed character opens TForm8, which
// asks for the password chosen in the set-up window.
#pragma once

#include <functional>
#include <string>

#include "toolkit/toolkit.h"

namespace lock {
// Lock kinds, kept in the main window's Tag while a lock runs.
constexpr int kTransparent = 0;
constexpr int kSolid = 1;

// Releases Alt at once, so that Alt+F4 and menu shortcuts cannot be completed.
void AltKeyGuard(tk::Component* sender, unsigned& key);

class LockWindow;
// The lock that is up, if any.
LockWindow* ActiveLock();
// Told each time a lock comes up or ends (nullptr: no one).
void SetLockListener(std::function<void(bool up)> listener);
// While a lock is up, input meant for the program's other windows (the tray
// icon) only opens its unlock prompt, or brings an open one to the front.
// True when a lock took the input.
bool RedirectToUnlock();
// The system's own lock (LockWorkStation, Vista and later): Windows asks for
// the user's password, and no program gets past it; the program's lock
// windows are not used. When the system refuses, that is said (unless
// silent) under the caption given, and nothing else happens.
void LockWithTheSystem(bool silent, const std::string& caption);

// What the two lock windows share.
class LockWindow : public tk::Form {
 public:
  LockWindow(tk::Component* owner, int kind, const std::string& caption);
  ~LockWindow() override;

  // The password this lock opens with (the set-up window's, which outlives
  // the lock). A lock without one opens with nothing.
  void SetPassword(const std::string* password) { password_ = password; }
  bool Matches(const std::string& entered) const;
  // Opens the unlock prompt, or brings the open one to the front.
  void OpenPrompt();

  void FormCreate(tk::Component* sender);
  void FormClick(tk::Component* sender);
  void FormKeyPress(tk::Component* sender, unsigned& key);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  bool WndProc(tk::Message& msg) override;

  // The system keys (Ctrl+Alt+Del, Alt+Tab, Ctrl+Esc) are off while true.
  bool SystemKeysOff() const { return systemKeysOff_; }

 private:
  void SetSystemKeysOff(bool off);
  const int kind_;
  bool systemKeysOff_ = false;
  const std::string* password_ = nullptr;
};
}  // namespace lock

class TForm7 : public lock::LockWindow {
 public:
  explicit TForm7(tk::Component* owner);
  ~TForm7() override;
  void FormShow(tk::Component* sender);
  bool WndProc(tk::Message& msg) override;
  void WMEraseBkgnd(tk::Message& msg);
};

class TForm25 : public lock::LockWindow {
 public:
  explicit TForm25(tk::Component* owner);
  ~TForm25() override;
};

class TForm8 : public tk::Form {
 public:
  explicit TForm8(tk::Component* owner);
  ~TForm8() override;

  tk::Label* Label1;  // who locked the computer
  tk::Label* Label2;
  tk::Label* Label4;  // the comment
  tk::Edit* Edit2;
  tk::Button* Button1;

  void FormCreate(tk::Component* sender);
  void FormShow(tk::Component* sender);
  void Button1Click(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  bool WndProc(tk::Message& msg) override;

 private:
  std::string messageTitle_;
};

extern tk::FormSlot<TForm7> Form7;
extern tk::FormSlot<TForm25> Form25;
extern tk::FormSlot<TForm8> Form8;
