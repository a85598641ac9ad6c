#include <cctype>
#include <vector>

#include "platform/platform.h"
#include "tools/tools.h"

namespace tools {

namespace {
constexpr std::uint32_t kMciOpen = 0x803;
constexpr std::uint32_t kMciClose = 0x804;
constexpr std::uint32_t kMciSet = 0x80D;
constexpr std::uint32_t kMciWait = 0x2;
constexpr std::uint32_t kMciOpenType = 0x2000;
constexpr std::uint32_t kMciSetDoorOpen = 0x100;
constexpr std::uint32_t kMciSetDoorClosed = 0x200;

bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

struct Token {
  size_t begin, end;  // span in the entry text, quotes included
  std::string text;   // without quotes
};

// The run entry is a blank-separated list of programs; a path with blanks is
// quoted.
std::vector<Token> Tokens(const std::string& s) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) break;
    Token t{i, i, {}};
    if (s[i] == '"') {
      size_t close = s.find('"', i + 1);
      if (close == std::string::npos) close = s.size();
      t.text = s.substr(i + 1, close - i - 1);
      t.end = close < s.size() ? close + 1 : close;
    } else {
      size_t e = i;
      while (e < s.size() && s[e] != ' ' && s[e] != '\t') ++e;
      t.text = s.substr(i, e - i);
      t.end = e;
    }
    out.push_back(t);
    i = t.end;
  }
  return out;
}
}  // namespace

std::string EditRunEntry(const std::string& entry, const std::string& exePath, bool registered) {
  std::vector<Token> tokens = Tokens(entry);
  std::string out = entry;
  bool kept = false;
  // Remove from the back so earlier spans stay valid; keep the first match
  // when registering.
  std::vector<const Token*> matches;
  for (const Token& t : tokens)
    if (SamePath(t.text, exePath)) matches.push_back(&t);
  for (size_t k = matches.size(); k-- > 0;) {
    if (registered && k == 0) {
      kept = true;
      break;
    }
    const Token& t = *matches[k];
    size_t b = t.begin, e = t.end;
    // Take the blanks before the token with it, or after it at the start.
    while (b > 0 && (out[b - 1] == ' ' || out[b - 1] == '\t')) --b;
    if (b == 0)
      while (e < out.size() && (out[e] == ' ' || out[e] == '\t')) ++e;
    out.erase(b, e - b);
  }
  if (registered && !kept) {
    std::string item = exePath.find_first_of(" \t") != std::string::npos
                           ? "\"" + exePath + "\""
                           : exePath;
    size_t last = out.find_last_not_of(" \t");
    if (last == std::string::npos) out = item;
    else out = out.substr(0, last + 1) + " " + item;
  }
  return out;
}

void SetTaskbarHidden(bool hidden) {
  auto& p = platform::Get();
  platform::Handle tray = p.FindWindow(std::string("Shell_TrayWnd"), std::nullopt);
  p.ShowWindow(tray, hidden ? platform::kSwHide : platform::kSwShowNormal);
}

void SetForcedTerminationDisabled(bool disabled) {
  platform::Get().SystemParametersInfo(platform::kSpiSetScreenSaverRunning, disabled ? 1 : 0, 0);
}

void SetStartupRegistration(bool registered, const std::string& exePath) {
  auto& p = platform::Get();
  std::string entry = p.GetProfileString("win.ini", "windows", "run", "");
  std::string updated = EditRunEntry(entry, exePath, registered);
  if (updated != entry) p.WriteProfileString("win.ini", "windows", "run", updated);
}

void MoveCdTray(bool open) {
  auto& p = platform::Get();
  std::uint32_t device = 0;
  p.MciSendCommand(0, kMciOpen, kMciOpenType | kMciWait, "cdaudio", device);
  std::uint32_t unused = 0;
  p.MciSendCommand(device, kMciSet, (open ? kMciSetDoorOpen : kMciSetDoorClosed) | kMciWait,
                   "cdaudio", unused);
  p.MciSendCommand(device, kMciClose, kMciWait, "cdaudio", unused);
}

void PurgeRecentDocuments() { platform::Get().SHAddToRecentDocs(platform::kShardPathA, nullptr); }

}  // namespace tools
