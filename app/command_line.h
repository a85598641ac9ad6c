// The program's command line: what a script or the task scheduler asks of
// kivo_config, and the record a second copy hands to the running one.
// Everything here works on text and bytes only, so that the unit tests and
// the fuzzers reach every rule.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cmdline {

enum class Verb : std::uint8_t {
  None = 0,  // a plain start
  LogOff,
  Reboot,
  Shutdown,
  PowerOff,
  Standby,
  Hibernate,
  Cancel,
  CaptureDesktop,
  CaptureWindow,
  Show,
  Hide,
  Exit,
  Help,
  Lock,  // the 画面ロック button's lock (later than the record's first verbs)
  CaptureRegion,  // the region overlay; later than the lock, so a copy of before them refuses them
  CaptureLastRegion,
};
constexpr std::uint8_t kLastVerb = static_cast<std::uint8_t>(Verb::CaptureLastRegion);

// Whether a verb takes a picture of the screen.
bool Captures(Verb verb);
// Whether the copy that gave the command waits for how it went (the
// region's two: taken, or cancelled and refused), rather than only until
// the running copy has taken it.
bool WaitsForOutcome(Verb verb);

// When a session verb acts: at once, after some minutes, or at a time of day.
enum class When : std::uint8_t { Now = 0, In, At };

// The longest wait the runner's countdown can hold: 9999 hours.
constexpr std::uint32_t kMaxMinutes = 9999u * 60u;

// An end that waits for the machine to be done (/cpu P:M, /net K:M,
// /idle M): each condition with minutes 0 is not asked for.
constexpr std::uint32_t kMaxKBps = 1000000;
struct EndConditions {
  std::uint8_t cpuPercent = 0;  // 1 … 100 with cpuMinutes
  std::uint32_t cpuMinutes = 0;
  std::uint32_t netKBps = 0;  // 1 … kMaxKBps with netMinutes
  std::uint32_t netMinutes = 0;
  std::uint32_t idleMinutes = 0;
  bool Any() const { return cpuMinutes || netMinutes || idleMinutes; }
  bool operator==(const EndConditions& o) const {
    return cpuPercent == o.cpuPercent && cpuMinutes == o.cpuMinutes && netKBps == o.netKBps &&
           netMinutes == o.netMinutes && idleMinutes == o.idleMinutes;
  }
};

struct Command {
  Verb verb = Verb::None;
  When when = When::Now;
  std::uint32_t minutes = 0;        // When::In
  std::uint8_t hour = 0, minute = 0;  // When::At
  bool silent = false;               // no message boxes, only the exit code
  EndConditions conditions;          // When::Now only: the end waits for them
  // The copy that forwards a command that waits for its outcome asks for
  // the outcome again later under a ticket, instead of staying inside its
  // one message until the running copy knows it (record version 3).
  bool asksAgain = false;
  bool operator==(const Command& o) const {
    return verb == o.verb && when == o.when && minutes == o.minutes && hour == o.hour &&
           minute == o.minute && silent == o.silent && conditions == o.conditions && asksAgain == o.asksAgain;
  }
};

// Whether a verb ends the session (and so may be timed).
bool EndsSession(Verb verb);

struct ParseResult {
  Command command;
  // Empty when the arguments are good; else the part that is wrong, as the
  // user typed it, with what is wrong about it (Japanese).
  std::string error;
  bool ok() const { return error.empty(); }
};

// Splits a Windows command line into arguments by the rules of the C
// runtime (blanks separate, quotes group, backslashes escape only before a
// quote). The first argument (the program's own path) follows the simpler
// rule Windows uses for it: up to the closing quote or the first blank.
std::vector<std::string> SplitCommandLine(const std::string& line);

// The arguments after the program's path.
ParseResult Parse(const std::vector<std::string>& args);

// The text of the /? box, and what a bad command line adds after its error.
std::string Usage();

// Exit codes of a copy that was given a command.
constexpr int kExitTaken = 0;
constexpr int kExitBadArguments = 2;
constexpr int kExitRefused = 3;

// ---------------------------------------------------------------- forwarding
// WM_COPYDATA's dwData for a command record ("KIVC").
constexpr std::uint32_t kCopyDataTag = 0x4B495643u;
// Version 1: 16 bytes. Version 2 adds the end conditions (20 bytes more);
// a command without conditions is still written as version 1, so that a
// running copy of before them takes it.
constexpr std::uint16_t kRecordVersion = 1;
constexpr size_t kRecordSize = 16;
constexpr std::uint16_t kConditionsRecordVersion = 2;
constexpr size_t kConditionsRecordSize = 36;
// Version 3: version 1's bytes for a command that waits for its outcome
// (WaitsForOutcome) whose sender asks again (Command::asksAgain). A running
// copy of before it refuses it as a bad record; the sender then sends
// version 1 and waits inside that message, as before.
constexpr std::uint16_t kAskAgainRecordVersion = 3;
// WM_COPYDATA's dwData for the question "what became of the command under
// this ticket" ("KIVQ"); its bytes are the ticket, 4 bytes little-endian.
constexpr std::uint32_t kOutcomeQueryTag = 0x4B495651u;
std::string EncodeTicket(std::uint32_t ticket);
std::optional<std::uint32_t> DecodeTicket(const std::string& bytes);

std::string EncodeRecord(const Command& command);
// The command a record holds, or nullopt (with the reason in *why) when its
// size, mark, version or any field is not what this version writes.
std::optional<Command> DecodeRecord(const std::string& bytes, std::string* why = nullptr);

// The running copy's answer to a record (the result of WM_COPYDATA). Zero is
// what a window answers that does not know the message.
enum Reply : std::intptr_t {
  kReplyNotUnderstood = 0,
  kReplyTaken = 1,
  kReplyBadRecord = 2,
  kReplyExitBan = 3,
  kReplyLocked = 4,
  kReplyNothingToCancel = 5,
  kReplyBusy = 6,
  kReplyStarting = 7,  // the running copy has not restored its settings yet: ask again
  kReplyConditionsNotOffered = 8,  // none of the end's conditions works on that system
  kReplyNoLock = 9,    // the running Windows has no lock the program offers (NT 4, 2000, XP)
  kReplyNoLastRegion = 10,     // /capture last before any region was taken
  kReplyRegionOffScreen = 11,  // the last region lies on no monitor now
  // How a capture the other copy waited for went (WaitsForOutcome): the user
  // cancelled the region, or the running copy has said why it took none.
  kReplyCancelled = 12,
  kReplyCaptureFailed = 13,
  // To a ticket's question: the outcome is not known yet, ask again.
  kReplyStillWaiting = 14,
  // To a version-3 record the running copy took: kReplyTicket + the ticket
  // (1 or more) under which to ask for its outcome.
  kReplyTicket = 0x10000,
};
constexpr std::uint32_t kMaxTicket = 0x7FFF0000u - 1u;
// Whether the running copy has already told the user what the reply says
// (or the user did it): the other copy adds no message of its own.
bool ReplyAlreadyTold(std::intptr_t reply);
// Why a reply refused, as the second copy says it (Japanese); empty for kReplyTaken.
std::string ReplyText(std::intptr_t reply);

}  // namespace cmdline
