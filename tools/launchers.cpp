#include <cctype>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/platform.h"
#include "tools/tools.h"

namespace tools {

namespace {
enum class Kind { None, Applet, DefaultAction, Program };

struct Command {
  Kind kind = Kind::None;
  const char* file = nullptr;
  const char* parameters = nullptr;  // applet commands only
};

struct Row {
  int button;
  Command family1;
  Command nt5;     // family 2, major version 5
  Command ntOther; // family 2, any other major version
  bool anyOs;      // same command whatever the version; no version query
  bool notFoundCheck;
};

constexpr const char* kRundll = "Rundll.exe";
constexpr const char* kRundll32 = "Rundll32.exe";
constexpr const char* kGamesDirectory = "c:\\winnt\\system32\\";

constexpr Command Applet(const char* program, const char* params) {
  return {Kind::Applet, program, params};
}
constexpr Command Default(const char* file) { return {Kind::DefaultAction, file, nullptr}; }
constexpr Command Program(const char* file) { return {Kind::Program, file, nullptr}; }

const Row kRows[] = {
    {6, Applet(kRundll, "Shell32.dll,Control_RunDLL Sysdm.cpl,,1"), Default("devmgmt.msc"),
     Applet(kRundll32, "Shell32.dll,Control_RunDLL Sysdm.cpl"), false, false},
    {7, Applet(kRundll, "Shell32.dll,Control_RunDLL Desk.cpl,,3"), {}, {}, true, false},
    {8, Applet(kRundll, "Shell32.dll,Control_RunDLL Modem.cpl"), {}, {}, true, false},
    {9, Applet(kRundll, "Shell32.dll,Control_RunDLL Powercfg.cpl,,1"), Default("msinfo32.exe"),
     Default("msinfo32.exe"), false, false},
    {10, Applet(kRundll, "Shell32.dll,Control_RunDLL Mmsys.cpl"), Program("sol.exe"),
     Program("sol.exe"), false, true},
    {11, Applet(kRundll, "Shell32.dll,Control_RunDLL Netcpl.cpl"), {}, {}, true, false},
    {12, Applet(kRundll, "Shell32.dll,Control_RunDLL Main.cpl"), Default("compmgmt.msc"),
     Applet(kRundll32, "Shell32.dll,Control_RunDLL ncpa.cpl"), false, false},
    {13, Applet(kRundll, "Shell32.dll,Control_RunDLL Password.cpl"), Default("perfmon.msc"),
     Default("perfmon.msc"), false, true},
    {14, Applet(kRundll, "Shell32.dll,Control_RunDLL Appwiz.cpl"), {}, {}, true, false},
    {15, Applet(kRundll, "Shell32.dll,Control_RunDLL Timedate.cpl"), Default("diskmgmt.msc"),
     Applet(kRundll32, "Shell32.dll,Control_RunDLL Timedate.cpl"), false, false},
    {19, Applet(kRundll, "Shell32.dll,Control_RunDLL Joy.cpl"), Program("freecell.exe"),
     Program("freecell.exe"), false, true},
};

const Row* RowOf(int button) {
  for (const Row& r : kRows)
    if (r.button == button) return &r;
  return nullptr;
}

// The command of a row for the running version; nullptr for a version the
// table has no column for. Vista and later take NT 4's column.
const Command* CommandOf(const Row& row, const platform::OsVersion& v) {
  if (row.anyOs || v.platformId == platform::kPlatformWindows) return &row.family1;
  if (v.platformId != platform::kPlatformNT) return nullptr;
  return v.major == 5 ? &row.nt5 : &row.ntOther;
}

void Run(const Command& c, platform::Handle owner, const std::string& programDirectory) {
  auto& p = platform::Get();
  switch (c.kind) {
    case Kind::Applet:
      p.ShellExecute(owner, std::string("open"), c.file, std::string(c.parameters),
                     std::string(), platform::kSwShowNormal);
      break;
    case Kind::DefaultAction:
      p.ShellExecute(owner, std::nullopt, c.file, std::nullopt, std::nullopt,
                     platform::kSwShowNormal);
      break;
    case Kind::Program:
      p.ShellExecute(owner, std::string("open"), c.file, std::string(), programDirectory,
                     platform::kSwShowNormal);
      break;
    case Kind::None:
      break;
  }
}

// The folder the program kind starts its program in: the table's fixed
// "c:\winnt\system32\" up to XP; from Vista on the system folder, where
// Solitaire and FreeCell are only when someone put them there.
std::string ProgramDirectory(const platform::OsVersion& v) {
  if (v.platformId == platform::kPlatformNT && v.major >= 6)
    return platform::Get().SystemDirectory() + "\\";
  return kGamesDirectory;
}

// The applet file of an applet command's parameters: "Sysdm.cpl" of
// "Shell32.dll,Control_RunDLL Sysdm.cpl,,1".
std::string AppletFile(const std::string& parameters) {
  const std::string run = "Control_RunDLL ";
  size_t at = parameters.find(run);
  if (at == std::string::npos) return {};
  at += run.size();
  return parameters.substr(at, parameters.find(',', at) - at);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Looks for the launchers' programs the way they are started, each file
// once, each folder once: what it learns of the system (its folders, the
// PATH) is read once for all launchers.
class ProgramFinder {
 public:
  explicit ProgramFinder(platform::Platform& p) : p_(p) {
    system_ = p.SystemDirectory();
    folders_.push_back(system_);
    folders_.push_back(p.WindowsDirectory());
    // The PATH's folders after those, each once, empty entries and blanks
    // around them ignored.
    const std::string path = p.GetEnvironmentVariable("PATH").value_or("");
    for (size_t from = 0; from <= path.size();) {
      size_t end = path.find(';', from);
      if (end == std::string::npos) end = path.size();
      std::string folder = path.substr(from, end - from);
      while (!folder.empty() && (folder.back() == ' ' || folder.back() == '\\')) folder.pop_back();
      while (!folder.empty() && folder.front() == ' ') folder.erase(folder.begin());
      bool known = folder.empty();
      for (const std::string& f : folders_) known = known || Lower(f) == Lower(folder);
      if (!known) folders_.push_back(folder);
      from = end + 1;
    }
  }
  // A file of the system folder.
  bool InSystemFolder(const std::string& file) { return Exists(system_ + "\\" + file); }
  // A bare name as the shell finds it: the system folder, the Windows
  // folder, the PATH. The PATH's network folders (\\server\share) are not
  // looked into: a server that does not answer would keep the window
  // waiting, so a name found nowhere else may still be there (Unknown).
  enum class Found { Yes, No, Unknown };
  Found Findable(const std::string& file) {
    bool unknown = false;
    for (const std::string& folder : folders_) {
      if (folder.rfind("\\\\", 0) == 0) {
        unknown = true;
        continue;
      }
      if (Exists(folder + "\\" + file)) return Found::Yes;
    }
    return unknown ? Found::Unknown : Found::No;
  }
  bool Exists(const std::string& path) {
    auto [it, added] = seen_.emplace(Lower(path), false);
    if (added) it->second = p_.FileExists(path);
    return it->second;
  }

 private:
  platform::Platform& p_;
  std::string system_;
  std::vector<std::string> folders_;
  std::map<std::string, bool> seen_;
};

}  // namespace

void Launch(int button, platform::Handle owner,
            const std::function<void(const std::string&)>& status) {
  const Row* row = RowOf(button);
  if (!row) return;
  auto& p = platform::Get();
  platform::OsVersion v;
  if (!row->anyOs) v = p.GetVersionEx();
  if (const Command* c = CommandOf(*row, v)) Run(*c, owner, ProgramDirectory(v));
  if (row->notFoundCheck && p.GetLastError() == platform::kErrorFileNotFound)
    status("実行ファイルが見つかりません");
}

struct LauncherSearch::Finder : ProgramFinder {
  using ProgramFinder::ProgramFinder;
};

LauncherSearch::LauncherSearch(std::vector<int> buttons) : buttons_(std::move(buttons)) {
  auto& p = platform::Get();
  version_ = p.GetVersionEx();
  if (version_.platformId != platform::kPlatformNT || version_.major < 6) buttons_.clear();
}

LauncherSearch::~LauncherSearch() = default;

bool LauncherSearch::Next(int& button, std::string& reason) {
  if (next_ >= buttons_.size()) return false;
  button = buttons_[next_++];
  reason.clear();
  const Row* row = RowOf(button);
  if (!row || row->anyOs) return true;
  const Command* c = CommandOf(*row, version_);
  if (!c || c->kind == Kind::None) return true;
  if (!finder_) finder_ = std::make_unique<Finder>(platform::Get());
  auto missing = [](const std::string& file) { return "このWindowsには " + file + " がありません"; };
  switch (c->kind) {
    case Kind::Applet: {
      // The program that runs the applet, then the applet itself.
      const std::string applet = AppletFile(c->parameters);
      if (!finder_->InSystemFolder(c->file)) reason = missing(c->file);
      else if (!applet.empty() && !finder_->InSystemFolder(applet)) reason = missing(applet);
      break;
    }
    case Kind::DefaultAction:
      if (finder_->Findable(c->file) == ProgramFinder::Found::No) reason = missing(c->file);
      break;
    case Kind::Program:
      if (!finder_->Exists(ProgramDirectory(version_) + c->file)) reason = missing(c->file);
      break;
    case Kind::None:
      break;
  }
  return true;
}

}  // namespace tools
