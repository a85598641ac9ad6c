#include "app/startup.h"

#include "app/main_window.h"
#include "app/phases.h"
#include "platform/platform.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "toolkit/toolkit.h"

std::string ApplicationTitle(const std::string& exePath) {
  size_t slash = exePath.find_last_of("\\/");
  std::string name = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

namespace {

// Sends a record to the running copy, asking again for a while as long as
// it is still starting: its reply.
std::intptr_t SendRecord(platform::Handle running, const std::string& record, unsigned timeout) {
  auto& p = platform::Get();
  std::intptr_t reply = cmdline::kReplyNotUnderstood;
  for (unsigned waited = 0;; waited += kForwardRetryMs) {
    if (!running || !p.SendCopyData(running, cmdline::kCopyDataTag, record, timeout, reply))
      reply = cmdline::kReplyNotUnderstood;
    if (reply != cmdline::kReplyStarting || waited >= kForwardStartingMs) return reply;
    p.MsgWaitForObject(0, kForwardRetryMs);
  }
}

// The outcome of a command the running copy took under a ticket, asked for
// every kForwardRetryMs until it is known, the running copy is gone or
// kForwardOutcomeTimeoutMs have passed.
std::intptr_t AskForOutcome(platform::Handle running, std::uint32_t ticket) {
  auto& p = platform::Get();
  const std::string question = cmdline::EncodeTicket(ticket);
  const std::uint32_t start = p.GetTickCount();
  for (;;) {
    std::intptr_t reply = cmdline::kReplyNotUnderstood;
    if (!p.SendCopyData(running, cmdline::kOutcomeQueryTag, question, kForwardTimeoutMs, reply))
      return cmdline::kReplyNotUnderstood;
    if (reply != cmdline::kReplyStillWaiting) return reply;
    if (p.GetTickCount() - start >= kForwardOutcomeTimeoutMs) return cmdline::kReplyNotUnderstood;
    p.MsgWaitForObject(0, kForwardRetryMs);
  }
}

// A second copy hands its command to the running one: the exit code.
int ForwardCommand(const cmdline::Command& command) {
  auto& p = platform::Get();
  // By the application window's class, which no rename of the exe changes
  // (its title is the exe's name).
  platform::Handle running = p.FindOtherProcessWindow(tk::kApplicationClassName);
  std::intptr_t reply;
  if (cmdline::WaitsForOutcome(command.verb)) {
    // A region capture answers once the user has chosen, or cancelled: the
    // running copy gives a ticket to ask with. One of before tickets reads
    // the record as bad: it gets the older record and answers inside that
    // one message.
    cmdline::Command asking = command;
    asking.asksAgain = true;
    reply = SendRecord(running, cmdline::EncodeRecord(asking), kForwardTimeoutMs);
    if (reply == cmdline::kReplyBadRecord)
      reply = SendRecord(running, cmdline::EncodeRecord(command), kForwardOutcomeTimeoutMs);
    else if (reply >= cmdline::kReplyTicket)
      reply = AskForOutcome(running, static_cast<std::uint32_t>(reply - cmdline::kReplyTicket));
  } else {
    reply = SendRecord(running, cmdline::EncodeRecord(command), kForwardTimeoutMs);
  }
  if (reply == cmdline::kReplyTaken) return cmdline::kExitTaken;
  if (!command.silent && !cmdline::ReplyAlreadyTold(reply))
    tk::Application::Instance().MessageBox(cmdline::ReplyText(reply), session::kCaption,
                                           tk::mbOk | tk::mbIconExclamation);
  return cmdline::kExitRefused;
}

}  // namespace

int RunKivoConfig() {
  auto& p = platform::Get();
  auto& app = tk::Application::Instance();
  std::vector<std::string> args = cmdline::SplitCommandLine(p.CommandLine());
  if (!args.empty()) args.erase(args.begin());  // the program's own path
  const cmdline::ParseResult parsed = cmdline::Parse(args);
  const cmdline::Command& command = parsed.command;
  if (!parsed.ok()) {
    if (!command.silent)
      app.MessageBox("コマンドラインが正しくありません。\r\n" + parsed.error + "\r\n\r\n" +
                         cmdline::Usage(),
                     session::kCaption, tk::mbOk | tk::mbIconStop);
    return cmdline::kExitBadArguments;
  }
  if (command.verb == cmdline::Verb::Help) {
    if (!command.silent)
      app.MessageBox(cmdline::Usage(), session::kCaption, tk::mbOk | tk::mbIconInformation);
    return 0;
  }
  platform::Handle mutex = p.CreateMutex(kInstanceMutexName);
  std::uint32_t error = p.GetLastError();
  if (!mutex) return -1;
  if (error == platform::kErrorAlreadyExists) {
    p.ReleaseMutex(mutex);
    if (command.verb != cmdline::Verb::None) return ForwardCommand(command);
    if (!command.silent)
      app.MessageBox("すでに同じプログラムが起動しています。", session::kCaption,
                     tk::mbOk | tk::mbIconStop);
    return -1;
  }
  // This is the running copy: its application window, by which other
  // copies find it, is there from now on (a copy that only hands its
  // command over makes none, so that no other copy takes it for the
  // running one).
  app.GetBackend().ApplicationHandle();
  int exitCode = 0;
  try {
    Form1 = app.CreateForm<TForm1>();
    {
      settings::SettingsStore store;
      // With a command the program starts in the tray and carries it out.
      app.ShowMainForm = !store.ReadBool(settings::key::F6, settings::key::C5, false) &&
                         command.verb == cmdline::Verb::None;
    }
    if (command.verb != cmdline::Verb::None) {
      std::intptr_t reply = Form1->commands.Take(command);
      if (reply != cmdline::kReplyTaken) {
        if (!command.silent)
          app.MessageBox(cmdline::ReplyText(reply), session::kCaption, tk::mbOk | tk::mbIconExclamation);
        // A refused command leaves nothing to do: the script gets its exit
        // code and no copy stays behind in the tray.
        exitCode = cmdline::kExitRefused;
      }
    }
    // The main window's additions after its first paint, timed apart.
    app.OnStarted = [additions = std::move(app.OnStarted)] {
      phases::Mark("painted");
      if (additions) additions();
      phases::Finish();
    };
    if (exitCode == 0) {
      app.Run();
      // A region command that took no picture tells the script so at the end.
      exitCode = CommandDesk::ExitCode();
    }
  } catch (...) {
    app.HandleException();
  }
  app.Shutdown();
  p.ReleaseMutex(mutex);
  return exitCode;
}
