// TForm9, the lock set-up: the password typed twice and the kind of lock
// window. After OK it stays alive, hidden, while the lock lasts: the unlock
// prompt reads the password from it through Form9.
#pragma once

#include <string>

#include "toolkit/toolkit.h"

class TForm9 : public tk::Form {
 public:
  explicit TForm9(tk::Component* owner);
  ~TForm9() override;

  tk::Label* Label1;
  tk::Label* Label2;
  tk::Label* Label3;
  tk::Edit* Edit1;
  tk::Edit* Edit2;
  tk::Button* Button1;  // OK
  tk::Button* Button2;  // CANSEL
  tk::CheckBox* CheckBox1;

  // The entries at the last OK; the prompt compares with PasswordVerify. Held
  // only in memory, and wiped when the lock ends or the window goes.
  std::string PasswordEntry;
  std::string PasswordVerify;

  void FormCreate(tk::Component* sender);
  void FormShow(tk::Component* sender);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void FormClose(tk::Component* sender, tk::CloseAction& action);
  bool WndProc(tk::Message& msg) override;

 private:
  void WipePasswords();
  std::string messageTitle_;
};

extern tk::FormSlot<TForm9> Form9;

namespace lock {
constexpr int kPasswordLength = 12;
constexpr std::intptr_t kHtCaption = 2;
constexpr std::intptr_t kHtBorder = 18;
// WM_NCHITTEST of a window that must not be dragged by its caption.
bool KeepInPlace(tk::Form& form, tk::Message& msg);
}  // namespace lock
