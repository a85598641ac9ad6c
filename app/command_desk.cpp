#include "app/command_desk.h"

#include <memory>

#include "session/session.h"
#include "toolkit/toolkit.h"

int CommandDesk::exitCode_ = 0;

// The refusals are the replies a second copy already understands.
static_assert(static_cast<std::intptr_t>(session::Refusal::None) == cmdline::kReplyTaken);
static_assert(static_cast<std::intptr_t>(session::Refusal::ExitBan) == cmdline::kReplyExitBan);
static_assert(static_cast<std::intptr_t>(session::Refusal::Locked) == cmdline::kReplyLocked);
static_assert(static_cast<std::intptr_t>(session::Refusal::NothingToCancel) == cmdline::kReplyNothingToCancel);
static_assert(static_cast<std::intptr_t>(session::Refusal::Busy) == cmdline::kReplyBusy);
static_assert(static_cast<std::intptr_t>(session::Refusal::ConditionsNotOffered) ==
              cmdline::kReplyConditionsNotOffered);
static_assert(static_cast<std::intptr_t>(session::Refusal::NoLock) == cmdline::kReplyNoLock);

std::intptr_t ReplyOf(session::Refusal refusal) { return static_cast<std::intptr_t>(refusal); }

std::intptr_t ReplyOf(viewer::RegionOutcome outcome) {
  switch (outcome) {
    case viewer::RegionOutcome::Taken: return cmdline::kReplyTaken;
    case viewer::RegionOutcome::Cancelled: return cmdline::kReplyCancelled;
    case viewer::RegionOutcome::NoLastRegion: return cmdline::kReplyNoLastRegion;
    case viewer::RegionOutcome::OffScreen: return cmdline::kReplyRegionOffScreen;
    case viewer::RegionOutcome::Failed: return cmdline::kReplyCaptureFailed;
  }
  return cmdline::kReplyCaptureFailed;
}

session::EndRequest EndRequestOf(const cmdline::Command& c) {
  using cmdline::Verb;
  using session::EndAction;
  session::EndRequest r;
  r.source = session::EndSource::CommandLine;
  switch (c.verb) {
    case Verb::LogOff: r.action = EndAction::LogOff; break;
    case Verb::Reboot: r.action = EndAction::Restart; break;
    case Verb::Shutdown: r.action = EndAction::ShutDown; break;
    case Verb::Standby: r.action = EndAction::Standby; break;
    case Verb::Hibernate: r.action = EndAction::Hibernate; break;
    default: r.action = EndAction::PowerOff; break;
  }
  // A script asks nothing, and its standby is a standby whatever the
  // hibernation switch says.
  r.ask = false;
  switch (c.when) {
    case cmdline::When::In:
      r.when = session::EndTime::In;
      r.minutes = c.minutes;
      break;
    case cmdline::When::At:
      r.when = session::EndTime::At;
      r.hour = c.hour;
      r.minute = c.minute;
      break;
    case cmdline::When::Now:
      if (c.conditions.Any()) r.when = session::EndTime::WhenConditionsHold;
      break;
  }
  const cmdline::EndConditions& e = c.conditions;
  r.conditions.cpuPercent = e.cpuPercent;
  r.conditions.cpuMinutes = static_cast<std::int32_t>(e.cpuMinutes);
  r.conditions.netKBps = static_cast<std::int32_t>(e.netKBps);
  r.conditions.netMinutes = static_cast<std::int32_t>(e.netMinutes);
  r.conditions.idleMinutes = static_cast<std::int32_t>(e.idleMinutes);
  return r;
}

CommandDesk::CommandDesk(CommandWindow& window, session::Actions& actions) : window_(window), actions_(actions) {}

std::intptr_t CommandDesk::Refusal(const cmdline::Command& c) const {
  using cmdline::Verb;
  const bool windowCommand =
      c.verb == Verb::Show || c.verb == Verb::Hide || c.verb == Verb::Exit || cmdline::Captures(c.verb);
  // A lock takes no commands that would show, hide or end the program.
  if (windowCommand && actions_.LockUp()) return cmdline::kReplyLocked;
  if (cmdline::EndsSession(c.verb)) return ReplyOf(actions_.Check(EndRequestOf(c)));
  if (c.verb == Verb::Cancel) return ReplyOf(actions_.CheckCancel());
  if (c.verb == Verb::CaptureLastRegion) {
    const viewer::RegionOutcome last = viewer::CheckLastRegion();
    if (last == viewer::RegionOutcome::NoLastRegion) return cmdline::kReplyNoLastRegion;
    if (last == viewer::RegionOutcome::OffScreen) return cmdline::kReplyRegionOffScreen;
  }
  // What the lock button does, where and when the main window offers it.
  if (c.verb == Verb::Lock) return ReplyOf(actions_.CheckLock());
  return cmdline::kReplyTaken;
}

std::intptr_t CommandDesk::Receive(std::uint32_t tag, const std::string& bytes) {
  if (tag == cmdline::kOutcomeQueryTag) return AnswerTicket(bytes);
  if (tag != cmdline::kCopyDataTag) return cmdline::kReplyNotUnderstood;
  std::optional<cmdline::Command> command = cmdline::DecodeRecord(bytes);
  if (!command) return cmdline::kReplyBadRecord;
  // Nothing can be judged before the settings are read (the logo is up):
  // the other copy asks again rather than being told "taken" for a command
  // that may be refused once it runs.
  if (!ready_) return cmdline::kReplyStarting;
  if (cmdline::WaitsForOutcome(command->verb)) {
    std::intptr_t refusal = Refusal(*command);
    if (refusal != cmdline::kReplyTaken) return refusal;
    return command->asksAgain ? TakeWithTicket(*command) : RunAndWait(*command);
  }
  return Take(*command);
}

std::intptr_t CommandDesk::TakeWithTicket(const cmdline::Command& command) {
  lastTicket_ = lastTicket_ >= cmdline::kMaxTicket ? 1 : lastTicket_ + 1;
  const std::uint32_t ticket = lastTicket_;
  outcomes_[ticket] = std::nullopt;
  // It runs once this message has been answered: the sender is not kept
  // inside it while the user drags the region.
  queue_.push_back({command, ticket});
  window_.PostQueuedCommands();
  return cmdline::kReplyTicket + static_cast<std::intptr_t>(ticket);
}

void CommandDesk::SetOutcome(std::uint32_t ticket, std::intptr_t reply) {
  auto it = outcomes_.find(ticket);
  if (it != outcomes_.end() && !it->second) it->second = reply;
}

std::intptr_t CommandDesk::AnswerTicket(const std::string& bytes) {
  const std::optional<std::uint32_t> ticket = cmdline::DecodeTicket(bytes);
  if (!ticket) return cmdline::kReplyBadRecord;
  auto it = outcomes_.find(*ticket);
  // A ticket this copy never gave, or whose outcome it gave already.
  if (it == outcomes_.end()) return cmdline::kReplyNotUnderstood;
  if (!it->second) return cmdline::kReplyStillWaiting;
  const std::intptr_t reply = *it->second;
  outcomes_.erase(it);
  return reply;
}

std::intptr_t CommandDesk::RunAndWait(const cmdline::Command& command) {
  // Outlives this call should the application end first.
  auto outcome = std::make_shared<std::optional<viewer::RegionOutcome>>();
  // The delay's countdown runs meanwhile; the sender waits for the answer.
  window_.RunAndPump([&] { window_.RunOnWindow(command, [outcome](viewer::RegionOutcome o) { *outcome = o; }); },
                     [outcome] { return outcome->has_value(); });
  return *outcome ? ReplyOf(**outcome) : cmdline::kReplyCaptureFailed;
}

std::intptr_t CommandDesk::Take(const cmdline::Command& command) {
  // Before the settings are read nothing can be judged: the command waits
  // and is judged when it runs.
  if (ready_) {
    std::intptr_t refusal = Refusal(command);
    if (refusal != cmdline::kReplyTaken) return refusal;
  }
  queue_.push_back({command, 0});
  window_.PostQueuedCommands();
  return cmdline::kReplyTaken;
}

void CommandDesk::RunQueued() {
  std::vector<Queued> queued;
  queued.swap(queue_);
  for (const Queued& q : queued) {
    try {
      Run(q.command, q.ticket);
    } catch (...) {
      if (!q.command.silent) tk::Application::Instance().HandleException();
      if (q.ticket) SetOutcome(q.ticket, cmdline::kReplyCaptureFailed);
    }
  }
}

void CommandDesk::Run(const cmdline::Command& c, std::uint32_t ticket) {
  using cmdline::Verb;
  std::intptr_t refusal = Refusal(c);  // things may have changed since it was taken
  if (refusal != cmdline::kReplyTaken) {
    if (ticket) {
      // The sender says why.
      SetOutcome(ticket, refusal);
      return;
    }
    if (cmdline::WaitsForOutcome(c.verb)) exitCode_ = cmdline::kExitRefused;
    if (!c.silent)
      tk::Application::Instance().MessageBox(cmdline::ReplyText(refusal), session::kCaption,
                                             tk::mbOk | tk::mbIconExclamation);
    return;
  }
  if (cmdline::EndsSession(c.verb)) {
    actions_.Run(EndRequestOf(c));
    return;
  }
  switch (c.verb) {
    case Verb::Cancel: actions_.Cancel(); break;
    case Verb::CaptureRegion:
    case Verb::CaptureLastRegion:
      if (ticket) {
        // Another copy's, which asks for the outcome under its ticket.
        window_.RunOnWindow(c, [this, ticket](viewer::RegionOutcome o) { SetOutcome(ticket, ReplyOf(o)); });
        break;
      }
      // This copy's own command line: the exit code at the end says how it
      // went; nothing taken until the picture is.
      exitCode_ = cmdline::kExitRefused;
      window_.RunOnWindow(c, [](viewer::RegionOutcome o) {
        exitCode_ = o == viewer::RegionOutcome::Taken ? cmdline::kExitTaken : cmdline::kExitRefused;
      });
      break;
    default: window_.RunOnWindow(c, nullptr); break;
  }
}
