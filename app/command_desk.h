// The command line's commands, this copy's own or another copy's handed
// over: judged, queued, run and answered, without a window. The main window
// owns the desk and does for it what only a window can (post the message
// that runs the queue, show, hide, lock, capture, pump messages); the ends
// go to session::Actions.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "session/actions.h"
#include "viewer/capture_region.h"

// The command line's maker of an end request (EndsSession verbs).
session::EndRequest EndRequestOf(const cmdline::Command& command);
// A refusal as the second copy hears it.
std::intptr_t ReplyOf(session::Refusal refusal);

// What the desk needs of the window that owns it.
class CommandWindow {
 public:
  virtual ~CommandWindow() = default;
  // Posts the message whose handler calls CommandDesk::RunQueued.
  virtual void PostQueuedCommands() = 0;
  // Show, hide, exit, the lock and the captures; a capture tells done how
  // it went, exactly once.
  virtual void RunOnWindow(const cmdline::Command& command, std::function<void(viewer::RegionOutcome)> done) = 0;
  // Keeps the window alive while it runs start, then handles the messages
  // until done() holds or the application ends.
  virtual void RunAndPump(const std::function<void()>& start, const std::function<bool()>& done) = 0;
};

class CommandDesk {
 public:
  CommandDesk(CommandWindow& window, session::Actions& actions);
  CommandDesk(const CommandDesk&) = delete;
  CommandDesk& operator=(const CommandDesk&) = delete;

  // The window exists and the settings were read as far as they could be
  // read (a value of the wrong type ends the reading early): from now on
  // commands are judged when they arrive.
  void SetReady() { ready_ = true; }
  // cmdline::kReplyTaken when the command is queued to run (it runs once
  // the handler that took it has returned), else why it is refused.
  std::intptr_t Take(const cmdline::Command& command);
  // The bytes another copy sent to the application window (WM_COPYDATA).
  std::intptr_t Receive(std::uint32_t tag, const std::string& bytes);
  // Runs what was queued, each command on its own: one that fails says so
  // (unless silent) and the others, whose senders were told "taken", still run.
  void RunQueued();
  // Why the command may not run now (kReplyTaken: it may).
  std::intptr_t Refusal(const cmdline::Command& command) const;

  // The exit code of the program's run: kExitRefused after a region command
  // of this copy's command line that took no picture, else 0.
  static int ExitCode() { return exitCode_; }
  static void ResetExitCode() { exitCode_ = 0; }

 private:
  // A queued command; a forwarded one whose sender asks again for its
  // outcome has its ticket (else 0).
  struct Queued {
    cmdline::Command command;
    std::uint32_t ticket = 0;
  };
  void Run(const cmdline::Command& command, std::uint32_t ticket);
  // A command whose sender waits for its outcome: run here, the messages
  // pumped until it is over; the reply tells how it went (a sender of
  // before record version 3).
  std::intptr_t RunAndWait(const cmdline::Command& command);
  // The same for a sender that asks again: queued under a new ticket, which
  // the reply gives it; the outcome waits in outcomes_ (nullopt while the
  // command runs) until the sender asks for it (AnswerTicket).
  std::intptr_t TakeWithTicket(const cmdline::Command& command);
  std::intptr_t AnswerTicket(const std::string& bytes);
  void SetOutcome(std::uint32_t ticket, std::intptr_t reply);

  CommandWindow& window_;
  session::Actions& actions_;
  bool ready_ = false;
  std::vector<Queued> queue_;
  std::map<std::uint32_t, std::optional<std::intptr_t>> outcomes_;
  std::uint32_t lastTicket_ = 0;
  static int exitCode_;
};

// How a capture went, as the second copy hears it.
std::intptr_t ReplyOf(viewer::RegionOutcome outcome);
