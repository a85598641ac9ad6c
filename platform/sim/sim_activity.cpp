// The simulated machine's work, as the runner's end conditions read it: CPU
// times, the 95 family's CPU usage under HKEY_DYN_DATA, the interfaces'
// counters, the last input and the thread's execution state.
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_text.h"

namespace platform {

namespace {
using sim::Call;
using sim::Dec;
using sim::Hex;
using sim::Lower;

constexpr const char* kStartStat = "hkdd\\perfstats\\startstat";
constexpr const char* kStatData = "hkdd\\perfstats\\statdata";
constexpr const char* kStopStat = "hkdd\\perfstats\\stopstat";
constexpr const char* kCpuUsage = "kernel\\cpuusage";

RegValue Dword(std::uint32_t v) {
  RegValue r;
  r.type = kRegBinary;  // the 95 family's PerfStats values are 4 binary bytes
  for (int i = 0; i < 4; ++i) r.data += static_cast<char>((v >> (8 * i)) & 0xFF);
  return r;
}
}  // namespace

bool SimPlatform::DynData(const std::string& path) {
  return Lower(path).compare(0, 4, "hkdd") == 0;
}

long SimPlatform::OpenDynData(const std::string& path, Handle& key) {
  // NT has no such root: the predefined handle is not one there.
  if (version.platformId != kPlatformWindows) return kErrorInvalidHandle;
  const std::string p = Lower(path);
  if (p != "hkdd" && p != "hkdd\\perfstats" && p != kStartStat && p != kStatData && p != kStopStat)
    return kErrorFileNotFound;
  key = nextHandle_++;
  handles_[key] = path;
  return 0;
}

long SimPlatform::QueryDynData(const std::string& path, const std::string& name, RegValue& value) {
  const std::string p = Lower(path);
  if (Lower(name) != kCpuUsage || (p != kStartStat && p != kStatData && p != kStopStat))
    return kErrorFileNotFound;
  // Reading a counter's value under StartStat starts it, under StopStat
  // stops it; StatData holds its figure while it runs.
  if (p == kStartStat) cpuStatRunning = true;
  value = Dword(cpuStatRunning ? cpuUsage9x : 0);
  if (p == kStopStat) cpuStatRunning = false;
  return 0;
}

bool SimPlatform::GetSystemTimes(CpuTimes& times) {
  const bool nt = version.platformId == kPlatformNT;
  if (!nt) {
    Log(Call("GetSystemTimes", {"missing"}));
    return false;
  }
  if (hasGetSystemTimes) {
    Log(Call("GetSystemTimes", {}));
  } else {
    Log(Call("NtQuerySystemInformation", {"SystemProcessorPerformanceInformation", Dec(cpuCount)}));
  }
  times = cpuTimes;
  return true;
}

bool SimPlatform::GetIfTable(std::vector<InterfaceCounters>& rows) {
  Log(Call("GetIfTable", {hasIfTable ? Dec(interfaces.size()) : "missing"}));
  if (!hasIfTable) return false;
  rows = interfaces;
  return true;
}

bool SimPlatform::GetLastInputInfo(std::uint32_t& tick) {
  Log(Call("GetLastInputInfo", {hasLastInputInfo ? "8" : "missing"}));
  if (!hasLastInputInfo) return false;
  tick = lastInputTick;
  return true;
}

std::uint32_t SimPlatform::SetThreadExecutionState(std::uint32_t flags) {
  Log(Call("SetThreadExecutionState", {Hex(flags)}));
  if (!hasExecutionState) return 0;
  const std::uint32_t before = executionState | kEsContinuous;
  // Without ES_CONTINUOUS the flags only reset the idle timer once.
  if (flags & kEsContinuous) executionState = flags & ~kEsContinuous;
  return before;
}

}  // namespace platform
