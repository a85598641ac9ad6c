// The command line: parsing, the record handed to a running copy, and what
// the program does with each command, its own or another copy's.
#include "app/command_line.h"

#include <functional>

#include "app/about_boxes.h"
#include "app/startup.h"
#include "lock/lock_screen.h"
#include "lock/lock_setup.h"
#include "main_window_fixture.h"
#include "timers/end_warning.h"
#include "timers/runner.h"

namespace {

using cmdline::Command;
using cmdline::Verb;
using cmdline::When;

Command Make(Verb v, When w = When::Now, std::uint32_t minutes = 0, int hour = 0, int minute = 0,
             bool silent = false) {
  Command c;
  c.verb = v;
  c.when = w;
  c.minutes = minutes;
  c.hour = static_cast<std::uint8_t>(hour);
  c.minute = static_cast<std::uint8_t>(minute);
  c.silent = silent;
  return c;
}

TEST(CommandLineParse, EveryCommandAndOption) {
  struct Row {
    std::vector<std::string> args;
    Command expected;
  } rows[] = {
      {{}, Make(Verb::None)},
      {{"/logoff"}, Make(Verb::LogOff)},
      {{"-REBOOT"}, Make(Verb::Reboot)},
      {{"/Shutdown"}, Make(Verb::Shutdown)},
      {{"/poweroff", "/in", "600"}, Make(Verb::PowerOff, When::In, 600)},
      {{"/in", "1", "/standby"}, Make(Verb::Standby, When::In, 1)},
      {{"/hibernate", "-at", "7:05"}, Make(Verb::Hibernate, When::At, 0, 7, 5)},
      {{"/poweroff", "/at", "23:59", "/silent"}, Make(Verb::PowerOff, When::At, 0, 23, 59, true)},
      {{"/poweroff", "/in", "599940"}, Make(Verb::PowerOff, When::In, 599940)},
      {{"/cancel"}, Make(Verb::Cancel)},
      {{"/capture", "Desktop"}, Make(Verb::CaptureDesktop)},
      {{"-capture", "WINDOW"}, Make(Verb::CaptureWindow)},
      {{"/capture", "Region"}, Make(Verb::CaptureRegion)},
      {{"/silent", "/capture", "last"}, Make(Verb::CaptureLastRegion, When::Now, 0, 0, 0, true)},
      {{"/show"}, Make(Verb::Show)},
      {{"/hide"}, Make(Verb::Hide)},
      {{"/silent", "/exit"}, Make(Verb::Exit, When::Now, 0, 0, 0, true)},
      {{"/?"}, Make(Verb::Help)},
      {{"-help"}, Make(Verb::Help)},
      {{"/LOCK"}, Make(Verb::Lock)},
      {{"-lock", "/silent"}, Make(Verb::Lock, When::Now, 0, 0, 0, true)},
  };
  for (const Row& r : rows) {
    cmdline::ParseResult p = cmdline::Parse(r.args);
    std::string line;
    for (const auto& a : r.args) line += a + " ";
    EXPECT_TRUE(p.ok()) << line << ": " << p.error;
    EXPECT_TRUE(p.command == r.expected) << line;
  }
}

TEST(CommandLineParse, BadFormsNameTheirPart) {
  struct Row {
    std::vector<std::string> args;
    const char* part;  // what the message quotes
    bool silent;
  } rows[] = {
      {{"poweroff"}, "'poweroff'", false},
      {{"/"}, "'/'", false},
      {{"/powerof"}, "'/powerof'", false},
      {{"/poweroff", "/reboot"}, "'/reboot'", false},
      {{"/poweroff", "/in"}, "'/in'", false},
      {{"/poweroff", "/in", "0"}, "'0'", false},
      {{"/poweroff", "/in", "-5"}, "'-5'", false},
      {{"/poweroff", "/in", "599941"}, "'599941'", false},
      {{"/poweroff", "/in", "99999999999"}, "'99999999999'", false},
      {{"/poweroff", "/in", "1.5"}, "'1.5'", false},
      {{"/poweroff", "/at", "24:00"}, "'24:00'", false},
      {{"/poweroff", "/at", "7:5"}, "'7:5'", false},
      {{"/poweroff", "/at", "07:60"}, "'07:60'", false},
      {{"/poweroff", "/at", "123:00"}, "'123:00'", false},
      {{"/poweroff", "/in", "5", "/at", "10:00"}, "'/at'", false},
      {{"/show", "/in", "5"}, "'/in'", false},
      {{"/in", "5"}, "'/in'", false},
      {{"/capture"}, "'/capture'", false},
      {{"/capture", "screen"}, "'/capture'", false},
      {{"/exit", "/silent", "extra"}, "'extra'", true},
      {{"/lock", "/in", "5"}, "'/in'", false},
      {{"/lock", "/exit"}, "'/exit'", false},
      {{"/locks"}, "'/locks'", false},
      {{"/bogus", "/silent"}, "'/bogus'", true},
  };
  for (const Row& r : rows) {
    cmdline::ParseResult p = cmdline::Parse(r.args);
    EXPECT_FALSE(p.ok()) << r.part;
    EXPECT_EQ(p.error.rfind(r.part, 0), 0u) << p.error;
    EXPECT_EQ(p.command.silent, r.silent) << r.part;
  }
}

TEST(CommandLineSplit, FollowsTheRuntimesRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(cmdline::SplitCommandLine(""), V{});
  EXPECT_EQ(cmdline::SplitCommandLine("\"C:\\Program Files\\k.exe\" /poweroff  /in\t5"),
            (V{"C:\\Program Files\\k.exe", "/poweroff", "/in", "5"}));
  // The program's path keeps its backslashes, even before a quote.
  EXPECT_EQ(cmdline::SplitCommandLine("C:\\k\\\"x /a"), (V{"C:\\k\\\"x", "/a"}));
  EXPECT_EQ(cmdline::SplitCommandLine("k \"a b\" c\\\\\"d e\" f\\\"g h\\i"),
            (V{"k", "a b", "c\\d e", "f\"g", "h\\i"}));
  EXPECT_EQ(cmdline::SplitCommandLine("k \"say \"\"hi\"\"\" \"\" x"), (V{"k", "say \"hi\"", "", "x"}));
  EXPECT_EQ(cmdline::SplitCommandLine("k \"unclosed arg"), (V{"k", "unclosed arg"}));
}

TEST(CommandLineRecord, RoundTripsAndRefusesWhatItDoesNotKnow) {
  for (const Command& c : {Make(Verb::PowerOff, When::In, 599940, 0, 0, true),
                           Make(Verb::Reboot, When::At, 0, 23, 59), Make(Verb::Exit),
                           Make(Verb::Lock, When::Now, 0, 0, 0, true), Make(Verb::CaptureRegion),
                           Make(Verb::CaptureLastRegion, When::Now, 0, 0, 0, true)}) {
    std::string bytes = cmdline::EncodeRecord(c);
    ASSERT_EQ(bytes.size(), cmdline::kRecordSize);
    auto back = cmdline::DecodeRecord(bytes);
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == c);
  }
  const std::string good = cmdline::EncodeRecord(Make(Verb::PowerOff, When::In, 5));
  auto with = [&](size_t at, char value) {
    std::string b = good;
    b[at] = value;
    return b;
  };
  struct Row {
    std::string bytes;
    const char* why;
  } rows[] = {
      {good.substr(0, 15), "wrong size"},
      {good + "x", "wrong size"},
      {"", "wrong size"},
      {with(0, 'X'), "not a command record"},
      {with(4, 4), "unknown version"},
      {with(4, 3), "a ticket for a command that waits for nothing"},
      {with(4, 2), "wrong size"},  // a version 2 record is longer
      {with(6, 0), "unknown command"},
      {with(6, static_cast<char>(Verb::Help)), "unknown command"},
      {with(6, 99), "unknown command"},
      {with(6, static_cast<char>(cmdline::kLastVerb + 1)), "unknown command"},
      {with(6, static_cast<char>(Verb::Lock)), "a time for a command that takes none"},
      {with(7, 3), "unknown time"},
      {with(6, static_cast<char>(Verb::Show)), "a time for a command that takes none"},
      {with(8, 0), "minutes out of range"},
      {with(11, 1), "minutes out of range"},
      {with(12, 1), "time of day out of range"},
      {with(14, 2), "unknown flags"},
      {with(15, 1), "unknown flags"},
  };
  for (const Row& r : rows) {
    std::string why;
    EXPECT_FALSE(cmdline::DecodeRecord(r.bytes, &why)) << r.why;
    EXPECT_EQ(why, r.why);
  }
  std::string at = cmdline::EncodeRecord(Make(Verb::Reboot, When::At, 0, 1, 2));
  at[12] = 24;
  EXPECT_FALSE(cmdline::DecodeRecord(at));
}

Command Conditional(Verb v, std::uint8_t cpu, std::uint32_t cpuMinutes, std::uint32_t net, std::uint32_t netMinutes,
                    std::uint32_t idleMinutes) {
  Command c = Make(v);
  c.conditions = {cpu, cpuMinutes, net, netMinutes, idleMinutes};
  return c;
}

TEST(CommandLineConditions, ParsedAfterAnEndCommandAndCombined) {
  auto parse = [](std::vector<std::string> args) { return cmdline::Parse(args); };
  cmdline::ParseResult p = parse({"/poweroff", "/cpu", "10:15", "/net", "50:10", "/silent"});
  ASSERT_TRUE(p.ok()) << p.error;
  Command want = Conditional(Verb::PowerOff, 10, 15, 50, 10, 0);
  want.silent = true;
  EXPECT_TRUE(p.command == want);
  p = parse({"-IDLE", "30", "-shutdown"});
  ASSERT_TRUE(p.ok()) << p.error;
  EXPECT_TRUE(p.command == Conditional(Verb::Shutdown, 0, 0, 0, 0, 30));
  p = parse({"/reboot", "/cpu", "100:599940", "/net", "1000000:1", "/idle", "1"});
  EXPECT_TRUE(p.ok()) << p.error;

  struct Row {
    std::vector<std::string> args;
    const char* error;
  } rows[] = {
      {{"/poweroff", "/cpu", "101:5"}, "'101:5': /cpu は"},
      {{"/poweroff", "/cpu", "10"}, "'10': /cpu は"},
      {{"/poweroff", "/cpu", ":5"}, "':5': /cpu は"},
      {{"/poweroff", "/cpu", "10:0"}, "'10:0': /cpu は"},
      {{"/poweroff", "/net", "0:5"}, "'0:5': /net は"},
      {{"/poweroff", "/net", "1000001:5"}, "'1000001:5': /net は"},
      {{"/poweroff", "/idle", "0"}, "'0': 分数は"},
      {{"/poweroff", "/idle"}, "'/idle': 分数がありません"},
      {{"/poweroff", "/cpu"}, "'/cpu': 値がありません"},
      {{"/poweroff", "/idle", "5", "/idle", "6"}, "'/idle': 同じ条件は一度だけ"},
      {{"/show", "/idle", "5"}, "'/idle': /cpu /net /idle は"},
      {{"/idle", "5"}, "'/idle': /cpu /net /idle は"},
      {{"/poweroff", "/in", "5", "/net", "5:5"}, "'/in': /in と /at は /cpu /net /idle と"},
  };
  for (const Row& r : rows) {
    p = parse(r.args);
    EXPECT_EQ(p.error.compare(0, std::string(r.error).size(), r.error), 0) << p.error;
  }
}

TEST(CommandLineConditions, RecordCarriesThemAsItsSecondVersion) {
  const Command c = Conditional(Verb::Hibernate, 5, 2, 1000000, 599940, 7);
  const std::string bytes = cmdline::EncodeRecord(c);
  ASSERT_EQ(bytes.size(), cmdline::kConditionsRecordSize);
  EXPECT_EQ(bytes[4], 2) << "version 2";
  auto back = cmdline::DecodeRecord(bytes);
  ASSERT_TRUE(back);
  EXPECT_TRUE(*back == c);
  EXPECT_EQ(cmdline::EncodeRecord(Make(Verb::PowerOff)).size(), cmdline::kRecordSize)
      << "without conditions a copy of before them understands it";
  auto with = [&](size_t at, char value) {
    std::string b = bytes;
    b[at] = value;
    return b;
  };
  const std::string none = cmdline::EncodeRecord(Make(Verb::PowerOff)).substr(0, 4) + std::string("\x02\0", 2) +
                           cmdline::EncodeRecord(Make(Verb::PowerOff)).substr(6) + std::string(20, '\0');
  struct Row {
    std::string bytes;
    const char* why;
  } rows[] = {
      {bytes.substr(0, 16), "wrong size"},
      {with(4, 1), "wrong size"},
      {with(16, 0), "condition out of range"},
      {with(16, 101), "condition out of range"},
      {with(17, 1), "unknown flags"},
      {with(23, 1), "condition out of range"},
      {with(24, 0).replace(25, 3, std::string(3, '\0')), "condition out of range"},
      {with(6, static_cast<char>(Verb::Show)), "conditions for a command that takes none"},
      {none, "conditions without a condition"},
  };
  for (const Row& r : rows) {
    std::string why;
    EXPECT_FALSE(cmdline::DecodeRecord(r.bytes, &why)) << r.why;
    EXPECT_EQ(why, r.why);
  }
  EXPECT_NE(cmdline::Usage().find("/cpu 使用率:分"), std::string::npos);
  EXPECT_NE(cmdline::Usage().find("/idle 分"), std::string::npos);
}

// Numbers past 32 bits would wrap into range (4294967297 is 1 in 32 bits):
// refused on the command line; in a record, a field beyond its range (the
// minutes whose seconds would wrap, a condition's minutes as a negative
// 32-bit number) is refused as well.
TEST(CommandLineParse, NumbersThatWouldWrapAreRefused) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"/poweroff", "/in", "4294967297"}, {"/poweroff", "/in", "4294967296"},
        {"/poweroff", "/in", "18446744073709551617"}, {"/poweroff", "/idle", "4294967297"},
        {"/poweroff", "/cpu", "10:4294967297"}, {"/poweroff", "/cpu", "4294967306:5"},
        {"/poweroff", "/net", "4294967297:5"}, {"/poweroff", "/net", "10:4294967297"},
        {"/poweroff", "/in", "599941"}, {"/poweroff", "/idle", "599941"}}) {
    SCOPED_TRACE(args[1] + " " + args[2]);
    const cmdline::ParseResult p = cmdline::Parse(args);
    EXPECT_FALSE(p.ok());
    EXPECT_EQ(p.error.find("'" + args[2] + "'"), 0u) << p.error;
  }
  EXPECT_TRUE(cmdline::Parse({"/poweroff", "/idle", "599940"}).ok()) << "the longest wait";

  const std::string timed = cmdline::EncodeRecord(Make(Verb::PowerOff, When::In, 1));
  auto minutes = [&](std::string bytes, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
    return bytes;
  };
  const std::string idle = cmdline::EncodeRecord(Conditional(Verb::PowerOff, 0, 0, 0, 0, 1));
  const std::string cpu = cmdline::EncodeRecord(Conditional(Verb::PowerOff, 10, 1, 0, 0, 0));
  const std::string net = cmdline::EncodeRecord(Conditional(Verb::PowerOff, 0, 0, 10, 1, 0));
  struct Row {
    std::string bytes;
    const char* why;
  } rows[] = {
      {minutes(timed, 8, 71582789), "minutes out of range"},  // 60 times that is 44 in 32 bits
      {minutes(timed, 8, 0xFFFFFFFFu), "minutes out of range"},
      {minutes(idle, 32, 0xFFFFFFFFu), "condition out of range"},  // -1 as a signed number
      {minutes(idle, 32, 0x80000001u), "condition out of range"},
      {minutes(cpu, 20, 0xFFFFFFFFu), "condition out of range"},
      {minutes(net, 24, 0xFFFFFFFFu), "condition out of range"},
      {minutes(net, 28, 0x80000000u), "condition out of range"},
  };
  for (const Row& r : rows) {
    std::string why;
    EXPECT_FALSE(cmdline::DecodeRecord(r.bytes, &why)) << r.why;
    EXPECT_EQ(why, r.why);
  }
  EXPECT_TRUE(cmdline::DecodeRecord(minutes(idle, 32, cmdline::kMaxMinutes)));
}

class CommandLineTest : public MainWindowFixture {
 protected:
  // What a second copy's forwarded record gets as its answer.
  std::intptr_t Forward(const Command& c, std::uint32_t tag = cmdline::kCopyDataTag) {
    return tk::Application::Instance().PeerCopyData(tag, cmdline::EncodeRecord(c));
  }
  void Run() { tk::Application::Instance().ProcessMessages(); }
  // Locks with the main window's button (password "pw") and runs during the
  // lock what the test gives, then ends the lock from outside.
  void DuringALock(TForm1* main, const std::function<void(lock::LockWindow&)>& during) {
    ui->onModal = [&](tk::Form& f) {
      if (auto* s = dynamic_cast<TForm9*>(&f)) {
        s->Edit1->SetText("pw");
        s->Edit2->SetText("pw");
        s->Button1->Click();
      } else if (auto* l = dynamic_cast<lock::LockWindow*>(&f)) {
        during(*l);
        l->PeerCloseRequested();
      }
    };
    main->Button16->Click();
  }
};

TEST_F(CommandLineTest, ASecondCopyHandsItsCommandOverAndReportsTheAnswer) {
  sim->mutexes.insert("double_boot");
  sim->commandLine = "\"C:\\k\\kivo_config.exe\" /POWEROFF /in 10";
  sim->otherProcessWindows["KivoApplication"] = 0x777;
  std::string received;
  sim->copyDataAnswer = [&](platform::Handle h, std::uint32_t tag, const std::string& bytes) {
    EXPECT_EQ(h, 0x777u);
    EXPECT_EQ(tag, cmdline::kCopyDataTag);
    received = bytes;
    return static_cast<std::intptr_t>(cmdline::kReplyTaken);
  };
  EXPECT_EQ(RunKivoConfig(), 0);
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_TRUE(cmdline::DecodeRecord(received) == Make(Verb::PowerOff, When::In, 10));

  // Refused: exit code 3 and the reason, unless silent.
  sim->copyDataAnswer = [](platform::Handle, std::uint32_t, const std::string&) {
    return static_cast<std::intptr_t>(cmdline::kReplyExitBan);
  };
  EXPECT_EQ(RunKivoConfig(), 3);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, cmdline::ReplyText(cmdline::kReplyExitBan));
  sim->commandLine += " /silent";
  EXPECT_EQ(RunKivoConfig(), 3);
  // A running copy that does not answer, or none to be found.
  sim->copyDataAnswer = nullptr;
  EXPECT_EQ(RunKivoConfig(), 3);
  sim->otherProcessWindows.clear();
  EXPECT_EQ(RunKivoConfig(), 3);
  EXPECT_EQ(ui->boxes.size(), 1u) << "silent copies show nothing";
  // A copy still starting asks to be asked again: the command is sent again
  // until it is taken, or given up after a while with the reason.
  sim->otherProcessWindows["KivoApplication"] = 0x777;
  int asked = 0;
  sim->copyDataAnswer = [&](platform::Handle, std::uint32_t, const std::string&) {
    return static_cast<std::intptr_t>(++asked < 4 ? cmdline::kReplyStarting : cmdline::kReplyTaken);
  };
  sim->commandLine = "kivo_config.exe /poweroff /in 10";
  EXPECT_EQ(RunKivoConfig(), 0);
  EXPECT_EQ(asked, 4);
  sim->copyDataAnswer = [&](platform::Handle, std::uint32_t, const std::string&) {
    ++asked;
    return static_cast<std::intptr_t>(cmdline::kReplyStarting);
  };
  const size_t shown = ui->boxes.size();
  EXPECT_EQ(RunKivoConfig(), 3);
  ASSERT_EQ(ui->boxes.size(), shown + 1);
  EXPECT_EQ(ui->boxes.back().text, cmdline::ReplyText(cmdline::kReplyStarting));
  // Without a command the second copy keeps its old message.
  sim->commandLine = "kivo_config.exe";
  EXPECT_EQ(RunKivoConfig(), -1);
  EXPECT_EQ(ui->boxes.back().text, "すでに同じプログラムが起動しています。");
}

TEST_F(CommandLineTest, ASecondCopyHandsOverNoNumberThatWouldWrap) {
  sim->mutexes.insert("double_boot");
  sim->otherProcessWindows["KivoApplication"] = 0x777;
  int sent = 0;
  sim->copyDataAnswer = [&](platform::Handle, std::uint32_t, const std::string&) {
    ++sent;
    return static_cast<std::intptr_t>(cmdline::kReplyTaken);
  };
  for (const char* line : {"kivo_config.exe /poweroff /in 4294967297 /silent",
                           "kivo_config.exe /poweroff /idle 4294967297 /silent"}) {
    sim->commandLine = line;
    EXPECT_EQ(RunKivoConfig(), cmdline::kExitBadArguments) << line;
  }
  EXPECT_EQ(sent, 0) << "a wrapped number reached the running copy";
}

TEST_F(CommandLineTest, BadArgumentsAndHelpNeverStartTheProgram) {
  sim->commandLine = "kivo_config.exe /poweroff /in soon";
  EXPECT_EQ(RunKivoConfig(), 2);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find("'soon'"), std::string::npos);
  EXPECT_NE(ui->boxes[0].text.find("使い方"), std::string::npos) << "the usage follows";
  sim->commandLine = "kivo_config.exe /bogus /silent";
  EXPECT_EQ(RunKivoConfig(), 2);
  sim->commandLine = "kivo_config.exe /?";
  EXPECT_EQ(RunKivoConfig(), 0);
  EXPECT_EQ(ui->boxes.size(), 2u);
  EXPECT_EQ(ui->boxes[1].text, cmdline::Usage());
  EXPECT_TRUE(sim->Calls("CreateMutex").empty());
  EXPECT_TRUE(sim->trayIcons.empty());
}

TEST_F(CommandLineTest, AFirstCopyStartsInTheTrayAndCarriesTheCommandOut) {
  Store("F6", "C2", "1");
  auto boxes = ui->boxLog = std::make_shared<std::vector<tk::HeadlessBackend::Box>>();
  sim->commandLine = "kivo_config.exe /poweroff";
  EXPECT_EQ(RunKivoConfig(), 0);
  EXPECT_TRUE(sim->Calls("ShowWindow(0x10000, 0)").empty()) << "the main window was shown";
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
  EXPECT_TRUE(boxes->empty()) << "no question";

  // A command it refuses: the reason, exit code 3, and no copy left running.
  for (const char* line : {"kivo_config.exe /cancel", "kivo_config.exe /cancel /silent"}) {
    SCOPED_TRACE(line);
    TearDown();
    SetUp();
    Store("F6", "C2", "1");
    boxes = ui->boxLog = std::make_shared<std::vector<tk::HeadlessBackend::Box>>();
    sim->commandLine = line;
    EXPECT_EQ(RunKivoConfig(), cmdline::kExitRefused);
    const bool silent = std::string(line).find("/silent") != std::string::npos;
    ASSERT_EQ(boxes->size(), silent ? 0u : 1u);
    if (!silent) {
      EXPECT_EQ(boxes->front().text, cmdline::ReplyText(cmdline::kReplyNothingToCancel));
    }
  }
}

// The region's commands tell how they went in the exit code: the second
// copy waits for the running one's answer (long enough for the user to
// choose) and adds no message to a cancel; the first copy says it at the end
// of its run, and refuses /capture last without a last region at once.
TEST_F(CommandLineTest, RegionCommandsEndWithTheOutcomeInTheExitCode) {
  sim->mutexes.insert("double_boot");
  sim->otherProcessWindows["KivoApplication"] = 0x777;
  // A running copy of before tickets: the ticketed record is a bad one to
  // it, and the older record follows, answered inside its one message.
  std::intptr_t answer = cmdline::kReplyCancelled;
  sim->copyDataAnswer = [&](platform::Handle, std::uint32_t, const std::string& bytes) -> std::intptr_t {
    auto c = cmdline::DecodeRecord(bytes);
    if (!c || c->asksAgain) return cmdline::kReplyBadRecord;
    return answer;
  };
  sim->commandLine = "kivo_config.exe /capture region";
  EXPECT_EQ(RunKivoConfig(), cmdline::kExitRefused);
  EXPECT_TRUE(ui->boxes.empty()) << "the user cancelled it: nothing to say";
  EXPECT_EQ(sim->Calls("SendCopyData"),
            (std::vector<std::string>{"SendCopyData(0x777, 0x4b495643, 16 bytes, 10000)",
                                      "SendCopyData(0x777, 0x4b495643, 16 bytes, 1800000)"}));
  answer = cmdline::kReplyTaken;
  EXPECT_EQ(RunKivoConfig(), cmdline::kExitTaken);

  // A running copy of now gives a ticket and is asked under it until it
  // knows; one that forgets the ticket (it was started again) did not answer.
  for (std::intptr_t outcome : {cmdline::kReplyTaken, cmdline::kReplyCancelled, cmdline::kReplyNotUnderstood}) {
    SCOPED_TRACE(outcome);
    int questions = 0;
    sim->copyDataAnswer = [&](platform::Handle, std::uint32_t tag, const std::string& bytes) -> std::intptr_t {
      if (tag == cmdline::kOutcomeQueryTag) {
        EXPECT_EQ(cmdline::DecodeTicket(bytes), std::optional<std::uint32_t>(77));
        return ++questions < 3 ? cmdline::kReplyStillWaiting : outcome;
      }
      auto c = cmdline::DecodeRecord(bytes);
      EXPECT_TRUE(c && c->asksAgain);
      return cmdline::kReplyTicket + 77;
    };
    sim->ClearJournal();
    ui->boxes.clear();
    EXPECT_EQ(RunKivoConfig(), outcome == cmdline::kReplyTaken ? cmdline::kExitTaken : cmdline::kExitRefused);
    EXPECT_EQ(questions, 3);
    EXPECT_EQ(sim->Calls("SendCopyData").size(), 4u);
    EXPECT_EQ(ui->boxes.size(), outcome == cmdline::kReplyNotUnderstood ? 1u : 0u);
  }
  sim->copyDataAnswer = [&](platform::Handle, std::uint32_t, const std::string& bytes) -> std::intptr_t {
    auto c = cmdline::DecodeRecord(bytes);
    if (!c || c->asksAgain) return cmdline::kReplyBadRecord;
    return answer;
  };
  ui->boxes.clear();
  answer = cmdline::kReplyNoLastRegion;
  sim->commandLine = "kivo_config.exe /capture last";
  EXPECT_EQ(RunKivoConfig(), cmdline::kExitRefused);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, cmdline::ReplyText(cmdline::kReplyNoLastRegion));

  for (const char* line : {"kivo_config.exe /capture last", "kivo_config.exe /capture region"}) {
    SCOPED_TRACE(line);
    TearDown();
    SetUp();
    Store("F6", "C2", "1");
    auto boxes = ui->boxLog = std::make_shared<std::vector<tk::HeadlessBackend::Box>>();
    sim->screen = platform::Bitmap{64, 48, std::vector<std::uint8_t>(64 * 48 * 3, 0x80)};
    int overlays = 0;
    ui->onModal = [&](tk::Form& f) {
      if (auto* o = dynamic_cast<TForm29*>(&f)) {
        ++overlays;
        o->PeerKeyDown(tk::vkEscape);
      }
    };
    sim->commandLine = line;
    EXPECT_EQ(RunKivoConfig(), cmdline::kExitRefused);
    const bool last = std::string(line).find("last") != std::string::npos;
    EXPECT_EQ(overlays, last ? 0 : 1);
    ASSERT_EQ(boxes->size(), last ? 1u : 0u);
    if (last) {
      EXPECT_EQ(boxes->front().text, cmdline::ReplyText(cmdline::kReplyNoLastRegion));
    }
  }

  // A capture that fails by an error (a picture past the size limit) is
  // never reported as taken, silent or not.
  for (const char* line : {"kivo_config.exe /capture last /silent", "kivo_config.exe /capture last"}) {
    SCOPED_TRACE(line);
    TearDown();
    SetUp();
    Store("F6", "C2", "1");
    auto boxes = ui->boxLog = std::make_shared<std::vector<tk::HeadlessBackend::Box>>();
    sim->monitors = {{0, 0, 30001, 2}};
    sim->virtualScreen = {0, 0, 30001, 2};
    sim->screen = platform::Bitmap{30001, 2, std::vector<std::uint8_t>(30001 * 2 * 3, 0x80)};
    Store("Capture", "Region", "0,0,30001,2");
    sim->commandLine = line;
    EXPECT_EQ(RunKivoConfig(), cmdline::kExitRefused);
    const bool silent = std::string(line).find("silent") != std::string::npos;
    EXPECT_EQ(boxes->size(), silent ? 0u : 1u);
  }
}

// A stored value of the wrong type ends the reading of the settings early
// (with its message); the copy still judges commands from then on, as the
// one that receives them and as the first copy that carries its own out.
TEST_F(CommandLineTest, AWrongTypedStoredValueLeavesTheCopyJudgingCommands) {
  const platform::RegValue dword{platform::kRegDword, std::string("\x05\0\0\0", 4)};
  sim->SetValue(Section("F1"), "X", dword);
  CreateMain();
  EXPECT_EQ(Forward(Make(Verb::Cancel)), cmdline::kReplyNothingToCancel) << "still \"starting\"";
  EXPECT_EQ(Forward(Make(Verb::Hide)), cmdline::kReplyTaken);
  Store("F6", "C4", "1");
  EXPECT_EQ(Forward(Make(Verb::Reboot)), cmdline::kReplyExitBan);
  // An exit ban that cannot be read refuses nothing, as at the start.
  sim->SetValue(Section("F6"), "C4", dword);
  EXPECT_EQ(Forward(Make(Verb::Reboot, When::In, 5)), cmdline::kReplyTaken);

  TearDown();
  SetUp();
  Store("F6", "C2", "1");
  sim->SetValue(Section("F1"), "X", dword);
  sim->commandLine = "kivo_config.exe /cancel /silent";
  EXPECT_EQ(RunKivoConfig(), cmdline::kExitRefused) << "the refused copy stayed in the tray";
}

// Commands taken together run each on its own: one that fails says why
// (unless silent) and the rest still run.
TEST_F(CommandLineTest, ACommandThatFailsLeavesTheRestOfItsBatchRunning) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);
  TForm1* main = CreateQuiet();
  main->Show();
  // The drive check before a restart on this family reads a value it cannot read.
  sim->SetValue(Section("F6"), "C3", {platform::kRegDword, std::string("\x01\0\0\0", 4)});
  for (bool silent : {false, true}) {
    SCOPED_TRACE(silent);
    ui->boxes.clear();
    main->Show();
    EXPECT_EQ(Forward(Make(Verb::Reboot, When::Now, 0, 0, 0, silent)), cmdline::kReplyTaken);
    EXPECT_EQ(Forward(Make(Verb::Hide)), cmdline::kReplyTaken);
    Run();
    EXPECT_FALSE(main->Visible()) << "the command after the failed one did not run";
    ASSERT_EQ(ui->boxes.size(), silent ? 0u : 1u);
    if (!silent) {
      EXPECT_EQ(ui->boxes[0].text, "'C3' のデータ型が不正です");
    }
  }
}

// The running copy is found by what a renamed exe does not change.
TEST_F(CommandLineTest, ARenamedCopyReachesTheRunningOne) {
  sim->mutexes.insert("double_boot");
  sim->commandLine = "\"C:\\tools\\kivo.exe\" /hide";
  sim->otherProcessWindows["KivoApplication"] = 0x777;
  sim->copyDataAnswer = [](platform::Handle, std::uint32_t, const std::string&) {
    return static_cast<std::intptr_t>(cmdline::kReplyTaken);
  };
  EXPECT_EQ(RunKivoConfig(), cmdline::kExitTaken);
}

TEST_F(CommandLineTest, DuringTheLogoAnotherCopyIsAskedToComeBack) {
  Store("F6", "C4", "1");  // the exit ban: a power-off would be refused
  sim->nowStep = 0.25 / 86400.0;
  std::vector<std::intptr_t> replies;
  ui->onProcessMessages = [&] {
    if (Form5 && replies.empty()) replies.push_back(Forward(Make(Verb::PowerOff, When::Now, 0, 0, 0, true)));
  };
  CreateMain(true);
  EXPECT_EQ(replies, (std::vector<std::intptr_t>{cmdline::kReplyStarting}));
  EXPECT_EQ(Forward(Make(Verb::PowerOff, When::Now, 0, 0, 0, true)), cmdline::kReplyExitBan);
}

TEST_F(CommandLineTest, ForwardedCommandsRunOnceTheHandlerHasAnswered) {
  TForm1* main = CreateQuiet();
  main->Show();
  EXPECT_EQ(Forward(Make(Verb::Hide)), cmdline::kReplyTaken);
  EXPECT_TRUE(main->Visible()) << "nothing runs inside the sender's call";
  Run();
  EXPECT_FALSE(main->Visible());
  EXPECT_EQ(Forward(Make(Verb::Show)), cmdline::kReplyTaken);
  Run();
  EXPECT_TRUE(main->Visible());
  EXPECT_EQ(Forward(Make(Verb::Reboot)), cmdline::kReplyTaken);
  Run();
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_EQ(Forward(Make(Verb::Hibernate)), cmdline::kReplyTaken);
  Run();
  EXPECT_EQ(sim->Calls("SetSystemPowerState(0").size(), 1u) << "hibernation, whatever the check box says";
  // Bytes that are no record of ours are refused, and nothing runs.
  EXPECT_EQ(tk::Application::Instance().PeerCopyData(cmdline::kCopyDataTag, "KIVC"),
            cmdline::kReplyBadRecord);
  EXPECT_EQ(Forward(Make(Verb::Exit), 0x1234), cmdline::kReplyNotUnderstood);
  Run();
  EXPECT_TRUE(main->Visible());
  EXPECT_EQ(Forward(Make(Verb::Cancel)), cmdline::kReplyNothingToCancel);
  // The exit ban refuses every end of the session, timed or not.
  Store("F6", "C4", "1");
  EXPECT_EQ(Forward(Make(Verb::LogOff)), cmdline::kReplyExitBan);
  EXPECT_EQ(Forward(Make(Verb::PowerOff, When::In, 3)), cmdline::kReplyExitBan);
  EXPECT_EQ(Forward(Make(Verb::Show)), cmdline::kReplyTaken);
  Run();
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
}

TEST_F(CommandLineTest, ATimedEndCountsWithItsWarningAndCancelStopsIt) {
  LinkClocks();
  TForm1* main = CreateQuiet();
  EXPECT_EQ(Forward(Make(Verb::PowerOff, When::In, 2)), cmdline::kReplyTaken);
  Run();
  ASSERT_NE(Form11, nullptr);
  EXPECT_TRUE(Form11->Counting());
  EXPECT_EQ(Form11->Label3->Caption(), "120");
  EXPECT_FALSE(main->Button18->Enabled()) << "the runner is the one of the main window";
  ui->AdvanceClock(60000);
  EXPECT_EQ(Form11->Label3->Caption(), "60");
  EXPECT_TRUE(main->actions.PowerOffQuestionSkipped());
  EXPECT_EQ(Forward(Make(Verb::Cancel, When::Now, 0, 0, 0, true)), cmdline::kReplyTaken);
  Run();
  EXPECT_FALSE(Form11->Counting());
  EXPECT_FALSE(main->actions.PowerOffQuestionSkipped()) << "the tray's end of Windows would come without its question";
  ui->AdvanceClock(120000);
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());

  // Counted to its end: the power-off comes without a question.
  EXPECT_EQ(Forward(Make(Verb::PowerOff, When::In, 1)), cmdline::kReplyTaken);
  Run();
  ui->AdvanceClock(59000);
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());
  ui->AdvanceClock(1000);
  EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
  EXPECT_TRUE(ui->boxes.empty());
}

// /lock does what 画面ロック does: the program's own lock on 95 to Me (its
// set-up first), the system's from Vista on; NT 4 to XP offer none. A lock
// already up, or the button switched off by the stopwatch, refuses it.
TEST_F(CommandLineTest, TheLockCommandTakesTheButtonsWay) {
  struct Case {
    const char* release;
    std::intptr_t reply;
    int systemLocks;
    bool setUp;
  } cases[] = {
      {"98SE", cmdline::kReplyTaken, 0, true},   {"Me", cmdline::kReplyTaken, 0, true},
      {"NT4", cmdline::kReplyNoLock, 0, false},  {"2000", cmdline::kReplyNoLock, 0, false},
      {"XP", cmdline::kReplyNoLock, 0, false},   {"Vista", cmdline::kReplyTaken, 1, false},
      {"10", cmdline::kReplyTaken, 1, false},    {"11", cmdline::kReplyTaken, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.release);
    TearDown();
    SetUp();
    sim->UseRelease(c.release);
    CreateQuiet();
    bool setUp = false;
    ui->onModal = [&](tk::Form& f) {
      if (auto* s = dynamic_cast<TForm9*>(&f)) {
        setUp = true;
        s->Button2->Click();  // cancel
      }
    };
    EXPECT_EQ(Forward(Make(Verb::Lock)), c.reply);
    Run();
    EXPECT_EQ(sim->workstationLocks, c.systemLocks);
    EXPECT_EQ(setUp, c.setUp);
    EXPECT_TRUE(ui->boxes.empty());
  }
  EXPECT_EQ(cmdline::ReplyText(cmdline::kReplyNoLock), "このWindowsでは画面ロックを使えません。");
}

TEST_F(CommandLineTest, TheLockCommandIsRefusedWhileALockIsUpOrTheButtonIsOff) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);
  TForm1* main = CreateQuiet();
  std::intptr_t reply = 0;
  DuringALock(main, [&](lock::LockWindow&) { reply = Forward(Make(Verb::Lock)); });
  EXPECT_EQ(reply, cmdline::kReplyLocked);
  main->Button20Click(main);  // the stopwatch switches the lock off while it is open
  EXPECT_FALSE(main->Button16->Enabled());
  EXPECT_EQ(Forward(Make(Verb::Lock)), cmdline::kReplyBusy);

  // From Vista on a refusal of the system is told, unless silent.
  TearDown();
  SetUp();
  sim->UseRelease("10");
  sim->lockWorkStationRefusal = platform::kErrorCallNotImplemented;
  CreateQuiet();
  EXPECT_EQ(Forward(Make(Verb::Lock, When::Now, 0, 0, 0, true)), cmdline::kReplyTaken);
  Run();
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_EQ(Forward(Make(Verb::Lock)), cmdline::kReplyTaken);
  Run();
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text.rfind("Windowsをロックできませんでした。", 0), 0u);
  EXPECT_EQ(Form9, nullptr);
}

TEST_F(CommandLineTest, ALockTakesNoCommandThatWouldShowHideOrEndTheProgram) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);
  TForm1* main = CreateQuiet();
  std::vector<std::intptr_t> replies;
  DuringALock(main, [&](lock::LockWindow& l) {
    for (Verb v : {Verb::Show, Verb::Hide, Verb::Exit, Verb::CaptureDesktop})
      replies.push_back(Forward(Make(v)));
    Run();
    EXPECT_FALSE(main->Visible());
    EXPECT_TRUE(l.Visible());
  });
  EXPECT_EQ(replies, (std::vector<std::intptr_t>(4, cmdline::kReplyLocked)));
}

// A scheduled end that comes during a lock counts out of sight: nobody at the
// locked machine gets the runner (which starts programs) or the warning's
// 中止; the count goes on, and both come back once the lock has ended.
TEST_F(CommandLineTest, ATimedEndDuringALockCountsOutOfSightUntilTheLockEnds) {
  UseVersion(platform::kPlatformWindows, 4, 10, 2222);
  LinkClocks();
  TForm1* main = CreateQuiet();
  DuringALock(main, [&](lock::LockWindow&) {
    EXPECT_EQ(Forward(Make(Verb::PowerOff, When::In, 2)), cmdline::kReplyTaken);
    Run();
    ASSERT_NE(Form11, nullptr);
    EXPECT_TRUE(Form11->Counting());
    EXPECT_FALSE(Form11->Visible()) << "the runner came up over the lock";
    ui->AdvanceClock(70000);
    EXPECT_EQ(Form11->Label3->Caption(), "50");
    EXPECT_EQ(Form26, nullptr) << "the last warning came up over the lock";
    EXPECT_FALSE(Form11->Visible());
  });
  ASSERT_NE(Form11, nullptr);
  EXPECT_TRUE(Form11->Visible());
  ui->AdvanceClock(1000);
  EXPECT_NE(Form26, nullptr);
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());

  // Counted to its end under a lock: the schedule is kept.
  Form11->StopCountdown();
  DuringALock(main, [&](lock::LockWindow&) {
    EXPECT_EQ(Forward(Make(Verb::PowerOff, When::In, 1)), cmdline::kReplyTaken);
    Run();
    ui->AdvanceClock(61000);
    EXPECT_EQ(sim->Calls("ExitWindowsEx").size(), 1u);
  });
}

}  // namespace

namespace {

TEST_F(CommandLineTest, AConditionalEndWaitsForNoInputAndCancelStopsIt) {
  LinkClocks();
  sim->lastInputTick = sim->tickCount;
  TForm1* main = CreateQuiet();
  EXPECT_EQ(Forward(Conditional(Verb::PowerOff, 0, 0, 0, 0, 1)), cmdline::kReplyTaken);
  Run();
  ASSERT_NE(Form11, nullptr);
  EXPECT_TRUE(Form11->Counting());
  EXPECT_EQ(sim->executionState, platform::kEsSystemRequired) << "kept from sleeping";
  EXPECT_EQ(Form26, nullptr);
  ui->AdvanceClock(61000);
  ASSERT_NE(Form26, nullptr) << "the last warning a minute after the last input";
  EXPECT_TRUE(main->actions.PowerOffQuestionSkipped());
  EXPECT_EQ(Forward(Make(Verb::Cancel, When::Now, 0, 0, 0, true)), cmdline::kReplyTaken);
  Run();
  EXPECT_FALSE(Form11->Counting());
  EXPECT_EQ(Form26, nullptr);
  EXPECT_EQ(sim->executionState, 0u);
  ui->AdvanceClock(120000);
  EXPECT_TRUE(sim->Calls("ExitWindowsEx").empty());

  // Where the system offers none of them: refused, nothing pending.
  UseVersion(platform::kPlatformWindows, 4, 0, 950);
  EXPECT_EQ(Forward(Conditional(Verb::PowerOff, 0, 0, 10, 5, 1)), cmdline::kReplyConditionsNotOffered);
  EXPECT_FALSE(cmdline::ReplyText(cmdline::kReplyConditionsNotOffered).empty());
}

}  // namespace
