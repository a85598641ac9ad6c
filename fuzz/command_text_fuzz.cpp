// Text that scripts, other copies of the program and the settings hand over:
// the command line (split and parsed), the record a second copy sends and
// its question for an outcome under a ticket, a
// stored hotkey and a capture's file-name pattern, and all of them as text
// for the system (UTF-8 to UTF-16 and back). None of them may crash, and
// each keeps its promises whatever the bytes.
#include <string>

#include "app/command_line.h"
#include "fuzz/fuzz_target.h"
#include "hotkeys/hotkey_text.h"
#include "text/utf.h"
#include "viewer/capture_file.h"

KIVO_FUZZ_TARGET(command_text) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // As text for the system: what comes back is well-formed and converts to
  // the same wide text again; good UTF-8 comes back as it was.
  const std::wstring wide = text::ToUtf16(text);
  const std::string back = text::ToUtf8(wide);
  fuzz::Check(text::ToUtf16(back) == wide, "converted text converts back to the same");
  fuzz::Check(text::ToUtf8(text::ToUtf16(back)) == back, "converted text is well-formed UTF-8");
  if (wide.find(static_cast<wchar_t>(0xFFFD)) == std::wstring::npos &&
      text.find("\xEF\xBF\xBD") == std::string::npos)
    fuzz::Check(back == text, "good UTF-8 is kept");

  // The command line: whatever it parses to round-trips through the record.
  std::vector<std::string> args = cmdline::SplitCommandLine(text);
  if (!args.empty()) args.erase(args.begin());
  cmdline::ParseResult parsed = cmdline::Parse(args);
  if (parsed.ok() && parsed.command.verb != cmdline::Verb::None &&
      parsed.command.verb != cmdline::Verb::Help) {
    auto back = cmdline::DecodeRecord(cmdline::EncodeRecord(parsed.command));
    fuzz::Check(back && *back == parsed.command, "a parsed command survives the record");
  }
  // End conditions only after an end command, never with a time, each in its range.
  if (parsed.ok() && parsed.command.conditions.Any()) {
    const cmdline::EndConditions& e = parsed.command.conditions;
    fuzz::Check(cmdline::EndsSession(parsed.command.verb) && parsed.command.when == cmdline::When::Now,
                "conditions belong to an end without a time");
    fuzz::Check((e.cpuMinutes == 0) == (e.cpuPercent == 0) && e.cpuPercent <= 100 &&
                    (e.netMinutes == 0) == (e.netKBps == 0) && e.netKBps <= cmdline::kMaxKBps &&
                    e.cpuMinutes <= cmdline::kMaxMinutes && e.netMinutes <= cmdline::kMaxMinutes &&
                    e.idleMinutes <= cmdline::kMaxMinutes,
                "each condition in its range");
  }
  // The same bytes as a record another process sent.
  if (auto c = cmdline::DecodeRecord(text)) {
    fuzz::Check(cmdline::EncodeRecord(*c) == text, "an accepted record is exactly what this version writes");
    fuzz::Check(!c->asksAgain || cmdline::WaitsForOutcome(c->verb), "only a command with an outcome asks again");
  }
  // The same bytes as the question for a ticket's outcome.
  if (auto t = cmdline::DecodeTicket(text)) {
    fuzz::Check(*t >= 1 && *t <= cmdline::kMaxTicket && cmdline::EncodeTicket(*t) == text,
                "an accepted ticket is one this version gives, written as it was read");
  }

  // A stored hotkey: what reads writes back to a text that reads the same.
  if (auto k = hotkeys::ParseHotKey(text)) {
    std::string written = hotkeys::FormatHotKey(*k);
    auto again = hotkeys::ParseHotKey(written);
    fuzz::Check(again && *again == *k, "a hotkey read and written reads back the same");
  }

  // A stored region: read back as it was written, clipped inside the screen.
  viewer::ScreenRect region;
  if (viewer::ParseRegion(text, region)) {
    viewer::ScreenRect again;
    fuzz::Check(region.Width() > 0 && region.Height() > 0, "a region read has a size");
    fuzz::Check(viewer::ParseRegion(viewer::FormatRegion(region), again) &&
                    viewer::FormatRegion(again) == viewer::FormatRegion(region),
                "a region reads back from its stored text");
    const viewer::ScreenRect screen{-1920, -200, 1920, 1080};
    const viewer::ScreenRect clipped = viewer::ClipRegion(region, screen);
    fuzz::Check(clipped.Width() == 0 || (clipped.left >= screen.left && clipped.right <= screen.right &&
                                         clipped.top >= screen.top && clipped.bottom <= screen.bottom &&
                                         clipped.Height() > 0),
                "a clipped region lies on the screen or is empty");
  }

  // A file-name pattern: never empty, never a character a name cannot hold,
  // whatever the title of the window taken.
  std::string name = viewer::ExpandPattern(text, viewer::LocalTime{}, viewer::CaptureSubject{text, 1, 1});
  fuzz::Check(!name.empty(), "a capture's name is never empty");
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    fuzz::Check(u >= 0x20 && u != 0x7F && std::string("\\/:*?\"<>|").find(c) == std::string::npos,
                "a capture's name holds no character a file name cannot");
  }
  fuzz::Check(!viewer::IsDeviceName(name + ".png") && !viewer::IsDeviceName(name + "_2.png"),
              "no capture's name, with or without its counter, is a device");
}
