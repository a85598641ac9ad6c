#include <cctype>
#include <cstring>
#include <optional>
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

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool EndsWithProgramExtension(const std::string& s) {
  static const char* const kExtensions[] = {".exe", ".com", ".bat", ".cmd", ".pif", ".lnk"};
  for (const char* ext : kExtensions) {
    size_t n = std::strlen(ext);
    if (s.size() >= n && SameText(s.substr(s.size() - n), ext)) return true;
  }
  return false;
}

// A drive ("C:"), a UNC path or a rooted path starts a new program.
bool StartsAPath(const std::string& s, size_t i) {
  if (i + 1 < s.size() && std::isalpha(static_cast<unsigned char>(s[i])) && s[i + 1] == ':')
    return true;
  return i < s.size() && s[i] == '\\';
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Item {
  size_t begin, end;  // span in the entry text, quotes included
  std::string path;   // without quotes
  bool quoted;
};

// The run entry is a blank-separated list of programs; a path with blanks is
// quoted. An unquoted path with blanks (a program written by hand, or a
// quoted entry whose quotes the reader dropped) runs on across a blank until
// it names a program file or the next word starts a new path.
std::vector<Item> Items(const std::string& s) {
  std::vector<Item> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) break;
    Item item{i, i, {}, s[i] == '"'};
    if (item.quoted) {
      size_t close = s.find('"', i + 1);
      if (close == std::string::npos) close = s.size();
      item.path = s.substr(i + 1, close - i - 1);
      item.end = close < s.size() ? close + 1 : close;
    } else {
      size_t e = i;
      for (;;) {
        while (e < s.size() && !IsBlank(s[e])) ++e;
        size_t next = e;
        while (next < s.size() && IsBlank(s[next])) ++next;
        if (next >= s.size() || s[next] == '"' || StartsAPath(s, next) ||
            EndsWithProgramExtension(s.substr(i, e - i)))
          break;
        e = next;
      }
      item.path = s.substr(i, e - i);
      item.end = e;
    }
    out.push_back(item);
    i = item.end;
  }
  return out;
}

// A quoted path without its closing quote.
bool IsOpen(const std::string& entry, const Item& item) {
  return item.quoted &&
         (item.end - item.begin < 2 || entry[item.end - 1] != '"');
}

// A quote inside an unquoted word, or a quoted path left open.
bool HasStrayQuote(const std::string& entry) {
  for (const Item& item : Items(entry))
    if (IsOpen(entry, item) || (!item.quoted && item.path.find('"') != std::string::npos))
      return true;
  return false;
}

// The profile reader drops a pair of quotes that encloses the whole value:
// "a b" x "c d" reads back as a b" x "c d. A stray quote shows that it
// happened when the pair put back explains it; the entry is then edited and
// written back with the pair. Text whose quotes stay stray either way was
// written so by hand and is kept as it is.
std::string WithEnclosingQuotes(const std::string& entry) {
  if (!HasStrayQuote(entry)) return entry;
  std::string enclosed = "\"" + entry + "\"";
  return HasStrayQuote(enclosed) ? entry : enclosed;
}
}  // namespace

std::string EditRunEntry(const std::string& read, const std::string& exePath, bool registered) {
  const std::string entry = WithEnclosingQuotes(read);
  const std::string myName = FileNameOf(exePath);
  std::string out = entry;
  // Spans to remove: further copies of our path, and (when registering) our
  // program in folders it was moved away from.
  std::vector<const Item*> remove;
  std::vector<Item> items = Items(entry);
  bool kept = false;
  for (const Item& item : items) {
    if (SameText(item.path, exePath)) {
      if (registered && !kept) kept = true;
      else remove.push_back(&item);
    } else if (registered && item.path.find_first_of("\\/") != std::string::npos &&
               SameText(FileNameOf(item.path), myName)) {
      remove.push_back(&item);
    }
  }
  // From the back, so that earlier spans stay valid.
  for (size_t k = remove.size(); k-- > 0;) {
    size_t b = remove[k]->begin, e = remove[k]->end;
    // Take the blanks before the item with it, or after it at the start.
    while (b > 0 && IsBlank(out[b - 1])) --b;
    if (b == 0)
      while (e < out.size() && IsBlank(out[e])) ++e;
    // An item written right against the next one ("a.exe""b.exe") leaves a
    // blank between its neighbours, which would otherwise become one word.
    const bool joins = b > 0 && e < out.size() && !IsBlank(out[e]) && b < remove[k]->begin;
    out.replace(b, e - b, joins ? " " : "");
  }
  if (registered && !kept) {
    std::string item = exePath.find_first_of(" \t") != std::string::npos
                           ? "\"" + exePath + "\""
                           : exePath;
    size_t last = out.find_last_not_of(" \t");
    const std::vector<Item> left = Items(out);
    if (last == std::string::npos) out = item;
    // After a quote left open our path would become part of that program's:
    // it goes in front instead, unquoted where the value would then start
    // and end with quotes that a plain reader drops (unquoted it still reads
    // as one path: it runs on to its ".exe").
    else if (IsOpen(out, left.back()))
      out = (out[last] == '"' && item[0] == '"' ? exePath : item) + " " + out;
    else out = out.substr(0, last + 1) + " " + item;
  }
  return out == entry ? read : out;
}

void SetTaskbarHidden(bool hidden) {
  auto& p = platform::Get();
  platform::Handle tray = p.FindWindow(std::string("Shell_TrayWnd"), std::nullopt);
  p.ShowWindow(tray, hidden ? platform::kSwHide : platform::kSwShowNormal);
}

void SetForcedTerminationDisabled(bool disabled) {
  platform::Get().SystemParametersInfo(platform::kSpiSetScreenSaverRunning, disabled ? 1 : 0, 0);
}

namespace {
// Two paths of one file: the same text in any case, or the same long (or,
// where the system has no long form, short) form.
bool SamePath(const std::string& a, const std::string& b) {
  if (SameText(a, b)) return true;
  auto& p = platform::Get();
  for (auto form : {&platform::Platform::GetLongPathName, &platform::Platform::GetShortPathName}) {
    const std::optional<std::string> fa = (p.*form)(a), fb = (p.*form)(b);
    if (fa && fb) return SameText(*fa, *fb);
  }
  return false;
}

// A registry text value's text: up to its first NUL.
std::optional<std::string> TextOf(const platform::RegValue& value) {
  if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz) return std::nullopt;
  return value.data.substr(0, value.data.find('\0'));
}
}  // namespace

bool NamesProgram(const std::string& command, const std::string& exePath) {
  size_t start = command.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  if (command[start] == '"') {
    size_t close = command.find('"', start + 1);
    if (close == std::string::npos) close = command.size();
    return SamePath(command.substr(start + 1, close - start - 1), exePath);
  }
  // Unquoted, the system tries the text up to each blank in turn.
  for (size_t end = start;;) {
    end = command.find_first_of(" \t", end + 1);
    if (SamePath(command.substr(start, end == std::string::npos ? std::string::npos : end - start), exePath))
      return true;
    if (end == std::string::npos) return false;
  }
}

bool SetStartupRegistration(bool registered, const std::string& exePath,
                            const std::function<bool(const std::string& other)>& replaceOther) {
  auto& p = platform::Get();
  const platform::OsVersion v = p.GetVersionEx();
  const bool runKey = v.platformId == platform::kPlatformNT && v.major >= 6;
  std::string entry = p.GetProfileString("win.ini", "windows", "run", "");
  std::string updated = EditRunEntry(entry, exePath, registered && !runKey);
  if (updated != entry) p.WriteProfileString("win.ini", "windows", "run", updated);
  if (!runKey) return true;
  platform::RegKey key;
  if (p.RegCreateKeyEx(platform::kHkeyCurrentUser, kRunKey, platform::kKeyAllAccess, *key.put()) != 0) return true;
  platform::RegValue value;
  const bool present = p.RegQueryValueEx(key.get(), kRunValue, value) == 0;
  const std::optional<std::string> text = present ? TextOf(value) : std::nullopt;
  // An empty value starts nothing: nobody's.
  const bool ours = text && (text->find_first_not_of(" \t") == std::string::npos || NamesProgram(*text, exePath));
  if (registered) {
    if (present && !ours && !(replaceOther && replaceOther(text ? *text : std::string())))
      return false;
    // Quoted, as the system starts a Run value as a command line.
    const std::string command = '"' + exePath + '"';
    p.RegSetValueEx(key.get(), kRunValue, platform::RegValue{platform::kRegSz, command + '\0'});
  } else if (present && ours) {
    p.RegDeleteValue(key.get(), kRunValue);
  }
  return true;
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
