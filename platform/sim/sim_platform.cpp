#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace platform {

namespace {
using sim::Call;
using sim::Dec;
using sim::Fields;
using sim::Hex;
using sim::Lower;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// Splits a profile text into lines without their line ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return out;
}
}  // namespace

std::string Quote(const std::string& s) { return "\"" + s + "\""; }
std::string Quote(const std::optional<std::string>& s) { return s ? Quote(*s) : "NULL"; }

SimPlatform::SimPlatform() = default;

std::vector<std::string> SimPlatform::Calls(const std::string& name) const {
  // A bare call name matches that call; a text with "(" matches as a prefix.
  std::string prefix = name.find('(') == std::string::npos ? name + "(" : name;
  std::vector<std::string> out;
  for (const auto& e : journal)
    if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
  return out;
}

Handle SimPlatform::CreateMutex(const std::string& name) {
  Log(Call("CreateMutex", {"NULL", "FALSE", Quote(name)}));
  if (mutexFails) {
    lastError_ = kErrorAccessDenied;
    return 0;
  }
  lastError_ = mutexes.count(name) ? kErrorAlreadyExists : kErrorSuccess;
  // A name made here is free again once its last handle is closed.
  if (mutexes.insert(name).second) ownMutexNames_.insert(name);
  const Handle h = nextHandle_++;
  mutexHandles_[h] = name;
  return h;
}

bool SimPlatform::ReleaseMutex(Handle mutex) {
  Log(Call("ReleaseMutex", {Hex(mutex)}));
  return true;
}

OsVersion SimPlatform::GetVersionEx() {
  Log(Call("GetVersionEx", {"148"}));
  if (versionFails) return OsVersion{};
  OsVersion v = version;
  // 8.1 and later show a program no newer a Windows than its manifest names,
  // and 8 at least.
  using MajorMinor = std::pair<std::uint32_t, std::uint32_t>;
  const MajorMinor real{v.major, v.minor}, eight{6, 2};
  const MajorMinor shown = std::max(manifestSupports, eight);
  if (v.platformId == kPlatformNT && real > eight && real > shown) {
    v.major = shown.first;
    v.minor = shown.second;
    v.build = shown == MajorMinor{6, 3} ? 9600 : 9200;
  }
  return v;
}

std::optional<OsVersion> SimPlatform::RtlGetVersion() {
  Log(Call("RtlGetVersion", {"276"}));
  if (!hasRtlGetVersion) return std::nullopt;
  return version;
}

const std::vector<std::string>& SimPlatform::Releases() {
  static const std::vector<std::string> names{"95", "98",    "98SE", "Me", "NT4", "2000", "XP",
                                              "Vista", "7", "8",    "8.1", "10",  "11"};
  return names;
}

void SimPlatform::UseRelease(const std::string& name) {
  struct Release {
    const char* name;
    OsVersion v;
  };
  static const Release kReleases[] = {
      {"95", {4, 0, 950, kPlatformWindows}},    {"98", {4, 10, 1998, kPlatformWindows}},
      {"98SE", {4, 10, 2222, kPlatformWindows}}, {"Me", {4, 90, 3000, kPlatformWindows}},
      {"NT4", {4, 0, 1381, kPlatformNT}},       {"2000", {5, 0, 2195, kPlatformNT}},
      {"XP", {5, 1, 2600, kPlatformNT}},        {"Vista", {6, 0, 6002, kPlatformNT}},
      {"7", {6, 1, 7601, kPlatformNT}},         {"8", {6, 2, 9200, kPlatformNT}},
      {"8.1", {6, 3, 9600, kPlatformNT}},       {"10", {10, 0, 19045, kPlatformNT}},
      {"11", {10, 0, 22631, kPlatformNT}},
  };
  const Release* r = nullptr;
  for (const Release& k : kReleases)
    if (name == k.name) r = &k;
  if (!r) throw std::invalid_argument("no Windows release \"" + name + "\"");
  version = r->v;
  const bool nt = version.platformId == kPlatformNT;
  const std::uint32_t major = version.major, minor = version.minor;
  const bool nt5 = nt && major >= 5, nt6 = nt && major >= 6;
  const bool before98And2000 = major == 4 && minor == 0;
  windowsDirectory = nt6 ? "C:\\Windows" : (nt && !(major == 5 && minor >= 1)) ? "C:\\WINNT" : "C:\\WINDOWS";
  hasGlobalMemoryStatusEx = nt5;
  profileMappedToRegistry = nt;
  clipboardSequence = before98And2000 ? 0 : 1;
  hasShutdownBlockReason = nt6;
  hasGetSystemTimes = nt && (major > 5 || (major == 5 && minor >= 1));
  hasIfTable = !before98And2000;
  hasLastInputInfo = nt5;
  hasExecutionState = !before98And2000;
  hasRtlGetVersion = nt5;
  hasGetLongPathName = !before98And2000;
  hasLockWorkStation = nt5;
  hasPowrProf = nt5 || (!nt && !before98And2000);
  // A desktop of its time: suspend to RAM, and hibernation switched on.
  powerCapabilities = PowerCapabilities{!nt6, false, true, true, true};
  // What the system folder holds of the programs the NT launchers name: the
  // applets on every NT; the consoles from 2000 on; System Information
  // there from Vista on (before, under Common Files); Solitaire and FreeCell
  // up to XP (Vista and 7 have other games elsewhere, 8 none).
  const std::string system = SystemDirectory() + "\\";
  std::vector<std::string> names;
  if (nt) names = {"rundll32.exe", "sysdm.cpl", "ncpa.cpl", "timedate.cpl"};
  if (nt5) for (const char* c : {"devmgmt.msc", "compmgmt.msc", "diskmgmt.msc", "perfmon.msc"}) names.push_back(c);
  if (nt6) names.push_back("msinfo32.exe");
  if (nt && !nt6) {
    names.push_back("sol.exe");
    names.push_back("freecell.exe");
  }
  for (const std::string& n : names) files.insert(system + n);
  if (nt5 && !nt6)
    files.insert("C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe");
  environment["PATH"] = nt ? SystemDirectory() + ";" + windowsDirectory + ";" + SystemDirectory() + "\\Wbem"
                           : windowsDirectory + ";" + windowsDirectory + "\\COMMAND";
}

std::uint32_t SimPlatform::GetTickCount() { return tickCount; }

std::uint64_t SimPlatform::ProcessAgeMicroseconds() {
  std::uint64_t age = processAge;
  processAge += processAgeStep;
  return age;
}

std::optional<std::string> SimPlatform::GetEnvironmentVariable(const std::string& name) {
  auto it = environment.find(name);
  if (it == environment.end()) return std::nullopt;
  return it->second;
}

MemoryStatus SimPlatform::GlobalMemoryStatus() {
  if (hasGlobalMemoryStatusEx) {
    Log(Call("GlobalMemoryStatusEx", {"64"}));
    return MemoryStatus{totalPhys};
  }
  // The old call's 32-bit figure saturates at 2 GB (less one byte).
  Log(Call("GlobalMemoryStatus", {"32"}));
  return MemoryStatus{std::min<std::uint64_t>(totalPhys, 0x7FFFFFFFu)};
}

bool SimPlatform::CreateProcess(const std::string& commandLine, ProcessInfo& info) {
  Log(Call("CreateProcess",
           {"NULL", Quote(commandLine), "0x4000000", "STARTF_USESHOWWINDOW", "SW_SHOW"}));
  // A name without an extension is looked for with ".exe" added.
  auto find = [this](const std::string& name) -> std::optional<std::string> {
    if (name.empty()) return std::nullopt;
    const size_t base = name.find_last_of("\\/");
    const bool hasExtension =
        name.find('.', base == std::string::npos ? 0 : base + 1) != std::string::npos;
    for (const auto& p : programs) {
      if (Lower(p) == Lower(name)) return p;
      if (!hasExtension && Lower(p) == Lower(name + ".exe")) return p;
    }
    return std::nullopt;
  };
  std::optional<std::string> program;
  if (!commandLine.empty() && commandLine[0] == '"') {
    // The quoted text at the start, blanks and all.
    size_t close = commandLine.find('"', 1);
    if (close != std::string::npos) program = find(commandLine.substr(1, close - 1));
  } else {
    // Unquoted, each text up to a blank is tried in turn, the shortest first:
    // "C:\Program Files\a b.exe" runs "C:\Program.exe" where that exists.
    for (size_t end = 0; !program;) {
      end = commandLine.find_first_of(" \t", end);
      program = find(commandLine.substr(0, end));
      if (end == std::string::npos) break;
      ++end;
    }
  }
  if (!program) {
    lastError_ = kErrorFileNotFound;
    return false;
  }
  started.push_back(*program);
  info.process = nextHandle_++;
  info.thread = nextHandle_++;
  openHandles.insert(info.process);
  openHandles.insert(info.thread);
  return true;
}

std::uint32_t SimPlatform::MsgWaitForObject(Handle object, std::uint32_t timeoutMs) {
  Log(Call("MsgWaitForMultipleObjects",
           {object ? "1" : "0", object ? Hex(object) : "NULL", "FALSE", Dec(timeoutMs)}));
  if (onMsgWait) return onMsgWait(object);
  if (object) return kWaitObject0;
  tickCount += timeoutMs;  // nothing comes: the time-out passes
  return kWaitTimeout;
}

bool SimPlatform::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
  Log(Call("GetKeyboardState"));
  if (keyboardStateFails) {
    lastError_ = kErrorAccessDenied;
    return false;
  }
  state = keyboardState;
  return true;
}

Handle SimPlatform::GetWindow(Handle window, std::uint32_t command) {
  if (command == kGwChild && window == kDesktop)
    return topWindows.empty() ? 0 : topWindows.front().first;
  if (command == kGwHwndNext)
    for (size_t i = 0; i + 1 < topWindows.size(); ++i)
      if (topWindows[i].first == window) return topWindows[i + 1].first;
  return 0;
}

std::string SimPlatform::GetWindowText(Handle window) {
  for (const auto& w : topWindows)
    if (w.first == window) return w.second.substr(0, 255);
  return {};
}

std::string SimPlatform::ErrorText(std::uint32_t code) {
  return code == kErrorAccessDenied ? "アクセスが拒否されました。" : "error " + std::to_string(code);
}

Handle SimPlatform::LoadLibrary(const std::string& name) {
  Log(Call("LoadLibrary", {Quote(name)}));
  if (!libraries.count(Lower(name))) return 0;
  Handle h = nextHandle_++;
  libraryNames_[h] = Lower(name);
  loadedLibraries.insert(h);
  return h;
}

std::uintptr_t SimPlatform::GetProcAddress(Handle module, const std::string& name) {
  Log(Call("GetProcAddress", {Hex(module), Quote(name)}));
  auto lib = libraryNames_.find(module);
  if (lib == libraryNames_.end() || !loadedLibraries.count(module)) return 0;
  auto& functions = libraries[lib->second];
  auto f = functions.find(name);
  if (f == functions.end()) return 0;
  functions_.push_back(&f->second);
  return functions_.size();
}

void SimPlatform::FreeLibrary(Handle module) {
  Log(Call("FreeLibrary", {Hex(module)}));
  loadedLibraries.erase(module);
}

int SimPlatform::CallStdcallInt(std::uintptr_t function, int argument) {
  Log(Call("Call", {Hex(function), Dec(argument)}));
  return (*functions_.at(function - 1))(argument);
}

bool SimPlatform::GetVolumeInformation(const std::string& rootPath) {
  Log(Call("GetVolumeInformation", {Quote(rootPath), "15", "NULL", "0"}));
  for (const auto& v : volumes)
    if (Lower(v) == Lower(rootPath)) return true;
  return false;
}

bool SimPlatform::SetSystemPowerState(bool suspend, bool force) {
  Log(Call("SetSystemPowerState", {Dec(int{suspend}), Dec(int{force})}));
  return powerStateResult;
}

std::optional<PowerCapabilities> SimPlatform::GetPwrCapabilities() {
  Log(Call("GetPwrCapabilities"));
  if (!hasPowrProf) return std::nullopt;
  return powerCapabilities;
}

bool SimPlatform::SetSuspendState(bool hibernate, bool force, bool disableWakeEvent) {
  Log(Call("SetSuspendState", {Dec(int{hibernate}), Dec(int{force}), Dec(int{disableWakeEvent})}));
  if (!hasPowrProf) return Refuse(kErrorCallNotImplemented);
  return suspendStateResult;
}

std::string SimPlatform::FormatLocalDateTime() { return dateTimeText; }

double SimPlatform::Now() {
  double t = now;
  now += nowStep;
  return t;
}

bool SimPlatform::OpenProcessToken(std::uint32_t access, Handle& token) {
  Log(Call("OpenProcessToken", {"GetCurrentProcess()", Dec(access)}));
  if (!openTokenResult) return false;
  token = nextHandle_++;
  openHandles.insert(token);
  return true;
}

bool SimPlatform::LookupPrivilegeValue(const std::string& systemName, const std::string& name,
                                       std::uint64_t& luid) {
  Log(Call("LookupPrivilegeValue", {Quote(systemName), Quote(name)}));
  if (!lookupResult) return false;
  luid = 19;  // the shutdown privilege's LUID on NT
  return true;
}

bool SimPlatform::AdjustTokenPrivileges(Handle, std::uint64_t luid, std::uint32_t attributes) {
  Log(Call("AdjustTokenPrivileges",
           {"token", "FALSE", Fields({"1", Dec(luid), Dec(attributes)}), "16", "NULL", "NULL"}));
  lastError_ = adjustLastError;
  return true;  // like Windows, TRUE even when not every privilege was assigned
}

void SimPlatform::CloseHandle(Handle h) {
  openHandles.erase(h);
  auto mutex = mutexHandles_.find(h);
  if (mutex == mutexHandles_.end()) return;
  const std::string name = mutex->second;
  mutexHandles_.erase(mutex);
  for (const auto& other : mutexHandles_)
    if (other.second == name) return;
  if (ownMutexNames_.erase(name)) mutexes.erase(name);
}

bool SimPlatform::ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) {
  Log(Call("ExitWindowsEx", {Dec(flags), Dec(reserved)}));
  return exitWindowsResult;
}

Handle SimPlatform::FindOtherProcessWindow(const std::string& className) {
  Log(Call("FindOtherProcessWindow", {Quote(className)}));
  auto it = otherProcessWindows.find(className);
  return it == otherProcessWindows.end() ? 0 : it->second;
}

unsigned SimPlatform::RegisterWindowMessage(const std::string& name) {
  Log(Call("RegisterWindowMessage", {Quote(name)}));
  // One number a name, compared without case, from 0xC000 on.
  for (const auto& [number, known] : registeredMessages)
    if (Lower(known) == Lower(name)) return number;
  const unsigned number = 0xC000u + static_cast<unsigned>(registeredMessages.size());
  registeredMessages[number] = name;
  return number;
}

bool SimPlatform::RegisterHotKey(Handle window, int id, std::uint32_t modifiers, std::uint32_t vk) {
  Log(Call("RegisterHotKey", {Hex(window), Dec(id), Hex(modifiers), Hex(vk)}));
  // As the system: a combination has one owner; an id of a window is
  // replaced only after it was unregistered.
  std::pair<std::uint32_t, std::uint32_t> combination{modifiers, vk};
  if (hotkeysOfOthers.count(combination) || hotkeys.count({window, id})) return false;
  for (const auto& h : hotkeys)
    if (h.second == combination) return false;
  hotkeys[{window, id}] = combination;
  return true;
}

bool SimPlatform::UnregisterHotKey(Handle window, int id) {
  Log(Call("UnregisterHotKey", {Hex(window), Dec(id)}));
  return hotkeys.erase({window, id}) != 0;
}

bool SimPlatform::SendCopyData(Handle window, std::uint32_t tag, const std::string& bytes,
                               std::uint32_t timeoutMs, std::intptr_t& reply) {
  Log(Call("SendCopyData", {Hex(window), Hex(tag), Dec(bytes.size()) + " bytes", Dec(timeoutMs)}));
  if (!copyDataAnswer) return false;
  reply = copyDataAnswer(window, tag, bytes);
  return true;
}

Handle SimPlatform::FindWindow(const std::optional<std::string>& className,
                               const std::optional<std::string>& title) {
  Log(Call("FindWindow", {Quote(className), Quote(title)}));
  if (className) {
    auto it = windowsByClass.find(*className);
    return it == windowsByClass.end() ? 0 : it->second;
  }
  if (title) {
    auto it = windowsByTitle.find(*title);
    return it == windowsByTitle.end() ? 0 : it->second;
  }
  return 0;
}

bool SimPlatform::ShowWindow(Handle window, int command) {
  Log(Call("ShowWindow", {Hex(window), Dec(command)}));
  if (!window) return false;
  shownWindows[window] = command;
  return true;
}

void SimPlatform::EnableSystemMenuItem(Handle window, std::uint32_t item, std::uint32_t flags) {
  Log(Call("EnableMenuItem", {Call("GetSystemMenu", {Hex(window), "FALSE"}), Hex(item), Dec(flags)}));
}

bool SimPlatform::SystemParametersInfo(std::uint32_t action, std::uint32_t param,
                                       std::uint32_t winIni) {
  Log(Call("SystemParametersInfo", {Dec(action), Dec(param), "&old", Dec(winIni)}));
  return true;
}

Point SimPlatform::GetCursorPos() {
  Log(Call("GetCursorPos"));
  return cursor;
}

std::intptr_t SimPlatform::SendMessage(Handle window, std::uint32_t msg, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
  Log(Call("SendMessage", {Hex(window), Dec(msg), Hex(wParam), Dec(lParam)}));
  return 0;
}

bool SimPlatform::SetForegroundWindow(Handle window) {
  Log(Call("SetForegroundWindow", {Hex(window)}));
  foreground = window;
  return true;
}

void SimPlatform::KeybdEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
  // The system's Print Screen handling, where the machine has one.
  if (vk == kVkSnapshot && !(flags & kKeyEventKeyUp) && printScreenPicture) {
    clipboard = printScreenPicture;
    clipboardPng.reset();
    if (clipboardSequence) ++clipboardSequence;  // a system without the number keeps 0
  }
  Log(Call("keybd_event", {Hex(vk), Dec(scan), Dec(flags), "0"}));
}

int SimPlatform::CompareString(std::uint32_t locale, std::uint32_t flags, const std::string& a,
                               const std::string& b) {
  // The texts compared may be passwords: the journal keeps their lengths only.
  Log(Call("CompareString",
           {Hex(locale), Dec(flags), Dec(a.size()) + " bytes", Dec(b.size()) + " bytes"}));
  // Flags 0: case-sensitive, equal only for the same text. The user's locale
  // orders letters by the letter first, then lower case before upper case
  // ("a" < "B", "abc" < "ABC"); other characters by their code.
  auto fold = [](unsigned char ch) { return ch < 0x80 ? std::tolower(ch) : ch; };
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int x = fold(static_cast<unsigned char>(a[i])), y = fold(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? 1 : 3;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? 1 : 3;
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return std::islower(static_cast<unsigned char>(a[i])) ? 1 : 3;
  return kCstrEqual;
}

void SimPlatform::OpenIme(Handle window) { Log(Call("ImmSetOpenStatus", {Hex(window), "TRUE"})); }

void SimPlatform::CloseIme(Handle window) { Log(Call("ImmSetOpenStatus", {Hex(window), "FALSE"})); }

void SimPlatform::DisableIme(Handle window) {
  Log(Call("ImmAssociateContext", {Hex(window), "NULL"}));
}

bool SimPlatform::ShutdownBlockReasonCreate(Handle window, const std::string& reason) {
  Log(Call("ShutdownBlockReasonCreate", {Hex(window), Quote(reason)}));
  if (!hasShutdownBlockReason) return false;
  blockReasons[window] = reason;
  return true;
}

bool SimPlatform::ShutdownBlockReasonDestroy(Handle window) {
  Log(Call("ShutdownBlockReasonDestroy", {Hex(window)}));
  if (!hasShutdownBlockReason) return false;
  return blockReasons.erase(window) != 0;
}

bool SimPlatform::LockWorkStation() {
  Log(Call("LockWorkStation"));
  if (!hasLockWorkStation) return Refuse(kErrorCallNotImplemented);
  if (lockWorkStationRefusal) return Refuse(*lockWorkStationRefusal);
  ++workstationLocks;
  return true;
}

std::array<int, 4> SimPlatform::MonitorAt(Point point) {
  for (const auto& m : monitors)
    if (point.x >= m[0] && point.x < m[2] && point.y >= m[1] && point.y < m[3]) return m;
  return monitors.empty() ? virtualScreen : monitors.front();  // MONITOR_DEFAULTTOPRIMARY
}

std::array<int, 4> SimPlatform::WorkAreaNear(const std::array<int, 4>& rect) {
  Log(Call("WorkAreaNear", {Dec(rect[0]), Dec(rect[1]), Dec(rect[2]), Dec(rect[3])}));
  auto workOf = [&](size_t i) { return i < workAreas.size() ? workAreas[i] : monitors[i]; };
  if (monitors.empty()) return virtualScreen;
  // 95 and NT 4 have no MonitorFromRect: the primary screen's work area.
  const bool oldSystem = version.major < 4 || (version.major == 4 && version.minor == 0);
  if (oldSystem) return workOf(0);
  // MONITOR_DEFAULTTONEAREST: the monitor sharing the most area, else the
  // nearest one by distance.
  auto overlap = [&](const std::array<int, 4>& m) {
    long long w = std::min(rect[2], m[2]) - static_cast<long long>(std::max(rect[0], m[0]));
    long long h = std::min(rect[3], m[3]) - static_cast<long long>(std::max(rect[1], m[1]));
    return w > 0 && h > 0 ? w * h : 0;
  };
  auto distance = [&](const std::array<int, 4>& m) {
    long long dx = rect[2] <= m[0] ? m[0] - static_cast<long long>(rect[2]) : rect[0] >= m[2] ? rect[0] - static_cast<long long>(m[2]) + 1 : 0;
    long long dy = rect[3] <= m[1] ? m[1] - static_cast<long long>(rect[3]) : rect[1] >= m[3] ? rect[1] - static_cast<long long>(m[3]) + 1 : 0;
    return dx * dx + dy * dy;
  };
  size_t best = 0;
  for (size_t i = 1; i < monitors.size(); ++i) {
    long long a = overlap(monitors[i]), b = overlap(monitors[best]);
    if (a > b || (a == b && a == 0 && distance(monitors[i]) < distance(monitors[best]))) best = i;
  }
  return workOf(best);
}

std::uint32_t SimPlatform::GetWindowStyle(Handle window) {
  auto it = windowStyles.find(window);
  return it == windowStyles.end() ? 0x10000000u : it->second;  // WS_VISIBLE
}

bool SimPlatform::SetClipboardPicture(Handle, const std::string& dib, const std::string& png) {
  if (dib.empty()) return false;
  Log(Call("SetClipboardData", {"CF_DIB", Dec(dib.size()) + " bytes"}));
  clipboard = dib;
  clipboardPng.reset();  // emptied with the rest
  if (!png.empty()) {
    Log(Call("SetClipboardData", {"PNG", Dec(png.size()) + " bytes"}));
    clipboardPng = png;
  }
  if (clipboardSequence) ++clipboardSequence;
  return true;
}

bool SimPlatform::GetClipboardPng(std::string& png) {
  Log(Call("GetClipboardData", {"PNG"}));
  if (!clipboardPng) return false;
  png = *clipboardPng;
  return true;
}

bool SimPlatform::GetClipboardDib(std::string& dib) {
  Log(Call("GetClipboardData", {"CF_DIB"}));
  if (!clipboard) return false;
  dib = *clipboard;
  return true;
}

void SimPlatform::RepaintScreen() { Log(Call("RepaintScreen")); }

bool SimPlatform::ScreenPaintPending() {
  Log(Call("ScreenPaintPending"));
  if (screenPaintsPending <= 0) return false;
  --screenPaintsPending;
  return true;
}

bool SimPlatform::CaptureScreen(Handle window, Bitmap& out, bool withCursor) {
  Log(withCursor ? Call("CaptureScreen", {Hex(window), "cursor"}) : Call("CaptureScreen", {Hex(window)}));
  out = screen;
  return screen.width > 0;
}

void SimPlatform::DragAcceptFiles(Handle window, bool accept) {
  Log(Call("DragAcceptFiles", {Hex(window), accept ? "TRUE" : "FALSE"}));
  if (accept) acceptingDrops.insert(window);
  else acceptingDrops.erase(window);
}

std::vector<std::string> SimPlatform::DragQueryFiles(Handle drop) {
  Log(Call("DragQueryFile", {Hex(drop)}));
  auto it = drops.find(drop);
  if (it == drops.end()) return {};
  std::vector<std::string> files;
  for (const auto& f : it->second) files.push_back(f.substr(0, 259));  // MAX_PATH buffer
  return files;
}

void SimPlatform::DragFinish(Handle drop) {
  Log(Call("DragFinish", {Hex(drop)}));
  drops.erase(drop);
}

bool SimPlatform::ShellNotifyIcon(std::uint32_t message, const NotifyIconData& d) {
  Log(Call("Shell_NotifyIcon",
           {Dec(message), Fields({Dec(d.cbSize), Hex(d.window), Dec(d.id), Dec(d.flags),
                                  Dec(d.callbackMessage), d.applicationIcon ? "icon" : "NULL",
                                  Quote(d.tip)})}));
  auto same = [&](const NotifyIconData& t) { return t.window == d.window && t.id == d.id; };
  const bool exists = std::any_of(trayIcons.begin(), trayIcons.end(), same);
  if (!trayRunning) return false;
  // As the shell: an icon is added once, and only an existing one is
  // modified or deleted.
  if (message == kNimAdd) {
    if (exists) return false;
    trayIcons.push_back(d);
  } else if (message == kNimDelete) {
    if (!exists) return false;
    trayIcons.erase(std::remove_if(trayIcons.begin(), trayIcons.end(), same), trayIcons.end());
  } else if (!exists) {
    return false;
  } else if (message == kNimModify && (d.flags & kNifTip)) {
    for (NotifyIconData& t : trayIcons)
      if (same(t)) t.tip = d.tip;
  }
  return true;
}

std::uintptr_t SimPlatform::ShellExecute(Handle owner, const std::optional<std::string>& verb,
                                         const std::string& file,
                                         const std::optional<std::string>& parameters,
                                         const std::optional<std::string>& directory,
                                         int show) {
  Log(Call("ShellExecute", {owner ? "owner" : "NULL", Quote(verb), Quote(file), Quote(parameters),
                            Quote(directory), Dec(show)}));
  lastError_ = shellExecuteLastError;
  for (const auto& f : missingFiles)
    if (Lower(f) == Lower(file)) return kErrorFileNotFound;
  return shellExecuteResult;
}

void SimPlatform::SHAddToRecentDocs(std::uint32_t flags, const std::string* path) {
  Log(Call("SHAddToRecentDocs", {Dec(flags), path ? Quote(*path) : "NULL"}));
}

std::string SimPlatform::GetProfileString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& def) {
  Log(Call("GetProfileString", {Quote(file), Quote(section), Quote(key)}));
  auto f = profileFiles.find(Lower(file));
  if (f == profileFiles.end()) return def;
  bool inSection = false;
  for (const auto& line : Lines(f->second)) {
    std::string t = Trim(line);
    if (!t.empty() && t.front() == '[') {
      inSection = Lower(t) == "[" + Lower(section) + "]";
      continue;
    }
    if (!inSection) continue;
    size_t eq = t.find('=');
    if (eq != std::string::npos && Lower(Trim(t.substr(0, eq))) == Lower(key)) {
      std::string value = Trim(t.substr(eq + 1));
      // The reader of a plain profile file drops quotes (double or single)
      // that enclose the whole value; the registry-mapped form keeps them.
      if (!profileMappedToRegistry && value.size() >= 2 &&
          (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      return value;
    }
  }
  return def;
}

bool SimPlatform::WriteProfileString(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) {
  Log(Call("WriteProfileString", {Quote(file), Quote(section), Quote(key), Quote(value)}));
  std::string& text = profileFiles[Lower(file)];
  std::string out;
  bool inSection = false, sectionSeen = false, written = false;
  std::vector<std::string> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::string t = Trim(line);
    if (!t.empty() && t.front() == '[') {
      if (inSection && !written) {
        out += key + "=" + value + "\r\n";
        written = true;
      }
      inSection = Lower(t) == "[" + Lower(section) + "]";
      sectionSeen = sectionSeen || inSection;
    } else if (inSection && !written) {
      size_t eq = t.find('=');
      if (eq != std::string::npos && Lower(Trim(t.substr(0, eq))) == Lower(key)) {
        out += key + "=" + value + "\r\n";
        written = true;
        continue;
      }
    }
    out += line + "\r\n";
  }
  if (!written) {
    if (!sectionSeen) out += "[" + section + "]\r\n";
    out += key + "=" + value + "\r\n";
  }
  text = out;
  return true;
}

std::uint32_t SimPlatform::MciSendCommand(std::uint32_t deviceId, std::uint32_t command,
                                          std::uint32_t flags, const std::string& deviceType,
                                          std::uint32_t& openedId) {
  Log(Call("mciSendCommand", {Dec(deviceId), Hex(command), Hex(flags), Quote(deviceType)}));
  if (command == kMciOpen) openedId = 7;
  return mciResult;
}

}  // namespace platform
