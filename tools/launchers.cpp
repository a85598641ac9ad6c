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

void Run(const Command& c, platform::Handle owner) {
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
      p.ShellExecute(owner, std::string("open"), c.file, std::string(),
                     std::string(kGamesDirectory), platform::kSwShowNormal);
      break;
    case Kind::None:
      break;
  }
}
}  // namespace

void Launch(int button, platform::Handle owner,
            const std::function<void(const std::string&)>& status) {
  const Row* row = nullptr;
  for (const Row& r : kRows)
    if (r.button == button) row = &r;
  if (!row) return;
  auto& p = platform::Get();
  if (row->anyOs) {
    Run(row->family1, owner);
  } else {
    platform::OsVersion v = p.GetVersionEx();
    if (v.platformId == platform::kPlatformWindows) Run(row->family1, owner);
    else if (v.platformId == platform::kPlatformNT) Run(v.major == 5 ? row->nt5 : row->ntOther, owner);
  }
  if (row->notFoundCheck && p.GetLastError() == platform::kErrorFileNotFound)
    status("実行ファイルが見つかりません");
}

}  // namespace tools
