#include <cstdint>

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

// Whether a file is in one of the folders of a list separated by ";" (the
// PATH), empty entries and blanks around them ignored.
bool OnPath(platform::Platform& p, const std::string& file, const std::string& path) {
  for (size_t from = 0; from <= path.size();) {
    size_t end = path.find(';', from);
    if (end == std::string::npos) end = path.size();
    std::string folder = path.substr(from, end - from);
    while (!folder.empty() && (folder.back() == ' ' || folder.back() == '\\')) folder.pop_back();
    while (!folder.empty() && folder.front() == ' ') folder.erase(folder.begin());
    if (!folder.empty() && p.FileExists(folder + "\\" + file)) return true;
    from = end + 1;
  }
  return false;
}
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

std::string MissingProgram(int button) {
  const Row* row = RowOf(button);
  if (!row || row->anyOs) return {};
  auto& p = platform::Get();
  const platform::OsVersion v = p.GetVersionEx();
  if (v.platformId != platform::kPlatformNT || v.major < 6) return {};
  const Command* c = CommandOf(*row, v);
  if (!c || c->kind == Kind::None) return {};
  const std::string system = p.SystemDirectory() + "\\";
  auto missing = [](const std::string& file) { return "このWindowsには " + file + " がありません"; };
  switch (c->kind) {
    case Kind::Applet: {
      // The program that runs the applet, then the applet itself.
      if (!p.FileExists(system + c->file)) return missing(c->file);
      const std::string applet = AppletFile(c->parameters);
      if (!applet.empty() && !p.FileExists(system + applet)) return missing(applet);
      return {};
    }
    case Kind::DefaultAction: {
      // Where the shell looks for a bare name: the system folder, the
      // Windows folder, the PATH.
      if (p.FileExists(system + c->file) || p.FileExists(p.WindowsDirectory() + "\\" + c->file))
        return {};
      const std::optional<std::string> path = p.GetEnvironmentVariable("PATH");
      if (path && OnPath(p, c->file, *path)) return {};
      return missing(c->file);
    }
    case Kind::Program:
      return p.FileExists(ProgramDirectory(v) + c->file) ? std::string() : missing(c->file);
    case Kind::None:
      break;
  }
  return {};
}

}  // namespace tools
