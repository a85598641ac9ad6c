// The start-up registration's edit of win.ini's "run" entry, over any entry
// text another program or the user left there, through the simulated
// profile reader (a plain win.ini drops quotes enclosing the whole value;
// the registry-mapped form keeps them).
#include "fuzz/fuzz_target.h"
#include "fuzz/machine.h"
#include "tools/tools.h"

namespace {
const char* const kPaths[] = {
    "C:\\Program Files\\Kivo\\kivo_config.exe",
    "C:\\KIVO\\KIVO_CONFIG.EXE",
    "D:\\tools\\kivo config\\kivo_config.exe",
    "\\\\server\\share\\kivo_config.exe",
};

std::string Entry(platform::SimPlatform& sim) {
  return sim.GetProfileString("win.ini", "windows", "run", "");
}

size_t Writes(platform::SimPlatform& sim) { return sim.Calls("WriteProfileString").size(); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Every quote opens a path at the start of a word or closes one at its end,
// in turn, around a path that is not empty; the last may stay open.
bool QuotesPairAtWordEdges(const std::string& s) {
  bool open = false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '"') continue;
    const bool starts = i == 0 || IsBlank(s[i - 1]);
    const bool ends = i + 1 == s.size() || IsBlank(s[i + 1]);
    if (open ? !ends || s[i - 1] == '"' : !starts) return false;
    open = !open;
  }
  return true;
}
}  // namespace

// Input: one byte (bit 0: the plain reader, bits 1-2: our program's path,
// bit 3: register first), then the entry text as the file holds it.
KIVO_FUZZ_TARGET(run_entry) {
  fuzz::Reader in(data, size);
  const std::uint8_t how = in.Byte();
  std::string text = in.Rest();
  // A profile value is one line of text, without NULs (the profile calls
  // take C strings).
  text = text.substr(0, text.find_first_of(std::string("\r\n\0", 3)));

  // The edit itself never fails, whatever the text.
  const std::string path = kPaths[(how >> 1) & 3];
  tools::EditRunEntry(text, path, true);
  tools::EditRunEntry(text, path, false);

  fuzz::Machine machine;
  platform::SimPlatform& sim = *machine.sim;
  sim.profileMappedToRegistry = (how & 1) == 0;
  sim.profileFiles["win.ini"] = "[windows]\r\nrun=" + text + "\r\n";
  const bool first = (how & 8) != 0;
  // Each switch settles: done once more, it finds itself done. Checked where
  // the file's quotes pair up at word edges around paths, as programs write
  // them; quotes inside words (garbage, or a hand edit) can read as the pair
  // a plain reader dropped once the edit has changed the text around them,
  // which no rule can tell apart. With the plain reader a value that starts
  // and ends with quotes is ambiguous anyway (the reader drops them, and what
  // is left may be balanced): there the second switch must settle it.
  const bool quotedAsProgramsDo = QuotesPairAtWordEdges(text);
  for (bool registered : {first, !first, first}) {
    tools::SetStartupRegistration(registered, path);
    if (!sim.profileMappedToRegistry) tools::SetStartupRegistration(registered, path);
    const std::string after = Entry(sim);
    const size_t writes = Writes(sim);
    tools::SetStartupRegistration(registered, path);
    if (!quotedAsProgramsDo) continue;
    fuzz::Check(Writes(sim) == writes && Entry(sim) == after,
                registered ? "registering settles" : "unregistering settles");
  }
}
