// TForm11, the program runner: starts a command line, then waits for the
// program to end (wait mode) or, in countdown mode, ends the session with
// the action chosen in TForm12 (power-off by default): when the launched
// program ends, or with the multitask box as TForm12 sets it: after a time,
// at a time of day, when the launched program ends or when the conditions
// hold. A last warning (TForm26) comes 60 seconds before.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "timers/conditions.h"
#include "timers/countdown.h"
#include "session/session.h"
#include "toolkit/toolkit.h"

namespace timers {
// When the countdown ends ("F12"/"MODE") and what it does ("F12"/"ACT").
// With kWhenProgramEnds the conditions chosen are waited for once the
// program has ended; kWhenConditionsHold waits for them alone.
enum EndMode { kAfterTime = 0, kAtTimeOfDay = 1, kWhenProgramEnds = 2, kWhenConditionsHold = 3 };
constexpr int kEndModes = 4;
// A browsed file as a command line: quoted when it holds a blank, so that the
// system does not take the text before the blank for the program.
std::string CommandLineOf(const std::string& path);
// The stored mode and action; values out of range read as the defaults.
int StoredEndMode();
session::EndAction StoredEndAction();
// A runner window placed from its section's stored position.
void PlaceFromStore(tk::Form& form, const char* section);
}  // namespace timers

class TForm11 : public tk::Form {
 public:
  // actions: where its end goes, and what it tells of its state;
  // openButton: the main window's Button18, off while a runner exists.
  TForm11(tk::Component* owner, session::Actions& actions, tk::Button* openButton);
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
  tk::Button* Button5;  // pause / resume while counting
  tk::Label* Label5;    // h:mm:ss beside the seconds, above an hour
  tk::Label* Label6;    // the conditions' figures, below the buttons while watched
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
  void Button5Click(tk::Component* sender);

  // True while the OK handler waits for the launched program.
  bool Waiting() const { return waiting_; }
  bool Counting() const { return countdown_.Counting(); }
  bool Paused() const { return countdown_.Paused(); }
  // The countdown's end has come (the runner stays until it is closed).
  bool Acted() const { return countdown_.Acted(); }
  // The countdown this window shows and drives.
  const timers::CountdownModel& Countdown() const { return countdown_; }
  // A timed end asked for from outside the window (the command line): the
  // countdown with its last warning to the action, without a program, after
  // some minutes or at the next such time of day. Replaces a running count.
  void StartTimedEnd(session::EndAction action, std::uint32_t minutes);
  void StartTimedEndAt(session::EndAction action, int hour, int minute);
  // The same at a given local date-time in days (a repeated end's firing).
  void StartTimedEndAtDay(session::EndAction action, double deadlineDay);
  // An end when the conditions hold, asked for from outside the window;
  // false (nothing changed) when none of them is offered on this system.
  bool StartConditionalEnd(session::EndAction action, const timers::Conditions& conditions);
  // What is pending, for the tray's tip: "電源切断まで 1:23:45",
  // "電源切断: CPU 4分/15分", "23:00 に電源切断"; "" when nothing is.
  std::string PendingText() const;
  // True while an end will come by itself: the machine is kept from sleeping.
  bool EndPending() const;
  // The last warning's commands. A stopped count shows as stopped.
  void StopCountdown();
  void AddTenMinutes();
  void ActNow();
  // Out of sight while the screen lock is up, back when it has ended.
  void FollowLock();

 private:
  // The clocks the countdown follows, read now.
  static timers::Clocks ReadClocks();
  // The count stopped, the window left as it is (a new count follows).
  void Halt();
  void Act();
  void UpdateWarning();
  void CloseWarning();
  // Pumps messages until the process ends, the runner closes or the program
  // ends; returns false when the wait was given up.
  bool WaitForProgram(platform::Handle process);
  void ShowRemaining();
  // A count just started: the window and the machine follow it.
  void StartCounting();
  // The watch of the conditions when any is offered here, else null.
  static std::unique_ptr<timers::ConditionWatch> WatchOf(const timers::Conditions& conditions);
  void ShowConditions();
  // The machine kept awake exactly while an end is pending.
  void FollowPending();
  session::Actions& actions_;
  tk::Button* openButton_;
  bool waiting_ = false;
  bool closed_ = false;
  bool hiddenForLock_ = false;  // out of sight while the screen lock is up
  bool fromOutside_ = false;    // the count was started by StartTimedEnd(At)
  timers::CountdownModel countdown_;
  platform::OwnedHandle watched_;  // the program the countdown waits for, until it ends
  bool keptAwake_ = false;
};

extern tk::FormSlot<TForm11> Form11;
