// TForm4, the stopwatch: whole seconds from a start click, and a bar that
// sweeps every ten seconds as a sign of life.
#pragma once

#include <cstdint>

#include "toolkit/toolkit.h"

namespace timers {
// What the stopwatch counts: the whole seconds shown, the moment (tick count)
// and seconds the count last started from, and the bar's sweep.
struct Stopwatch {
  int seconds = 0;
  int progress = 0;  // the bar, in steps of 10 up to its end
  std::uint32_t startTick = 0;
  int startSeconds = 0;
};
}  // namespace timers

class TForm4 : public tk::Form {
 public:
  // lockButton and stopwatchButton: the main window's Button16 and Button20,
  // off while the stopwatch is open. carriedProgress: the bar's sweep as the
  // last stopwatch left it, kept by the opener for the program's run: a new
  // window's bar goes on from it (its seconds start from nothing).
  TForm4(tk::Component* owner, tk::Button* lockButton, tk::Button* stopwatchButton, int& carriedProgress);
  ~TForm4() override;

  tk::Label* Label3;
  tk::ProgressBar* ProgressBar1;
  tk::Button* Button2;  // start
  tk::Button* Button3;  // stop
  tk::Button* Button4;  // reset
  tk::Label* Label1;    // the seconds
  tk::Label* Label2;
  tk::CheckBox* CheckBox1;  // hide the main window
  tk::Button* Button1;      // close
  tk::Timer* Timer1;        // the bar
  tk::Timer* Timer2;        // the seconds

  void FormCreate(tk::Component* sender);
  void FormShow(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void Button3Click(tk::Component* sender);
  void Button4Click(tk::Component* sender);
  void CheckBox1Click(tk::Component* sender);
  void Timer1Timer(tk::Component* sender);
  void Timer2Timer(tk::Component* sender);

  // What the window counts; every window's seconds count from nothing.
  const timers::Stopwatch& Count() const { return count_; }

 private:
  // The count (re)starts from its seconds now.
  void RestartClock();
  // The seconds the system's clock gives since the count (re)started.
  int ClockSeconds(bool rounded) const;
  void ShowSeconds();
  void SetProgress(int progress) { count_.progress = carried_ = progress; }
  timers::Stopwatch count_;
  int& carried_;
  tk::Button* lockButton_;
  tk::Button* stopwatchButton_;
  bool lockWasEnabled_ = true;
};

extern tk::FormSlot<TForm4> Form4;
