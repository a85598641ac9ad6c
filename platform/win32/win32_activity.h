// What the machine is doing, for the runner's end conditions: what
// Win32Platform's members of that kind do (win32_activity.cpp). Every call
// is looked up at run time.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace win32 {

bool SystemTimes(CpuTimes& times);
bool IfTable(std::vector<InterfaceCounters>& rows);
bool LastInputInfo(std::uint32_t& tick);
std::uint32_t ThreadExecutionState(std::uint32_t flags);

}  // namespace win32
}  // namespace platform
