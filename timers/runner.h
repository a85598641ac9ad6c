// TForm11, the program runner: starts a command line, then waits for the
// program to end (wait mode) or counts down the time set in TForm12 and
// powers Windows off at zero (countdown mode).
#pragma once

#include <string>

#include "platform/platform.h"
#include "session/session.h"
#include "toolkit/toolkit.h"

// The countdown in seconds; it goes down by exactly 1 a tick.
extern double RemainingSeconds;

class TForm11 : public tk::Form {
 public:
  // openButton: the main window's Button18, off while a runner exists.
  TForm11(tk::Component* owner, session::MainWindowAccess& main, tk::Button* openButton);
  ~TForm11() override;

  tk::Image* Image1;
  tk::Label* Label1;
  tk::Label* Label2;
  tk::Edit* Edit1;
  tk::CheckBox* CheckBox1;  // countdown mode
  tk::CheckBox* CheckBox2;  // multitask mode
  tk::Label* Label3;        // remaining seconds
  tk::Label* Label4;
  tk::Button* Button1;  // OK
  tk::Button* Button2;  // CANCEL
  tk::Button* Button3;  // browse
  tk::Button* Button4;  // Timer Set
  tk::OpenDialog* OpenDialog1;
  tk::Timer* Timer1;

  void FormCreate(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void Button3Click(tk::Component* sender);
  void Button4Click(tk::Component* sender);
  void CheckBox1Click(tk::Component* sender);
  void Timer1Timer(tk::Component* sender);

  // True while the OK handler waits for the launched program.
  bool Waiting() const { return waiting_; }

 private:
  // Pumps messages until the process ends, the runner closes or the program
  // ends; returns false when the wait was given up.
  bool WaitForProgram(platform::Handle process);
  void ShowRemaining();
  session::MainWindowAccess& main_;
  tk::Button* openButton_;
  bool waiting_ = false;
  bool closed_ = false;
};

class TForm12 : public tk::Form {
 public:
  explicit TForm12(tk::Component* owner);
  ~TForm12() override;

  tk::Label* Label1;
  tk::ComboBox* ComboBox1;  // hours
  tk::Label* Label2;
  tk::ComboBox* ComboBox2;  // minutes
  tk::Label* Label3;
  tk::ComboBox* ComboBox3;  // seconds
  tk::Label* Label4;
  tk::Button* Button1;

  void FormCreate(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void Button1Click(tk::Component* sender);
};

extern TForm11* Form11;
extern TForm12* Form12;
