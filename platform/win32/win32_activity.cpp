#include "platform/win32/win32_activity.h"

#include <windows.h>

#include <cstring>

#include "winapi/winapi.h"

namespace platform {
namespace win32 {

namespace {

template <class F>
F Lookup(const wchar_t* module, const char* name) {
  HMODULE m = winapi::GetModuleHandleW(module);
  if (!m) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(m, name)));
}

std::uint64_t Join(const FILETIME& t) {
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION, one a processor (ntdll, NT 4 on).
struct ProcessorTimes {
  LARGE_INTEGER idle, kernel, user, reserved1[2];
  ULONG reserved2;
};
constexpr int kSystemProcessorPerformanceInformation = 8;

// The interface table's rows as iphlpapi.h has them (MIB_IFROW), declared
// here so that the build needs no IP Helper headers.
struct IfRow {
  WCHAR name[256];
  DWORD index, type, mtu, speed, physAddrLen;
  BYTE physAddr[8];
  DWORD adminStatus, operStatus, lastChange, inOctets, inUcastPkts, inNUcastPkts, inDiscards,
      inErrors, inUnknownProtos, outOctets, outUcastPkts, outNUcastPkts, outDiscards, outErrors,
      outQLen, descrLen;
  BYTE descr[256];
};
static_assert(sizeof(IfRow) == 860, "MIB_IFROW");
constexpr DWORD kErrorInsufficientBuffer = 122;

}  // namespace

bool SystemTimes(CpuTimes& times) {
  using GetTimes = BOOL(WINAPI*)(FILETIME*, FILETIME*, FILETIME*);
  if (auto f = Lookup<GetTimes>(L"kernel32.dll", "GetSystemTimes")) {
    FILETIME idle, kernel, user;
    if (!f(&idle, &kernel, &user)) return false;
    times.idle = Join(idle);
    times.kernel = Join(kernel);
    times.user = Join(user);
    return true;
  }
  // Before XP SP1: the processors' times from ntdll (the 95 family has no
  // such export, and there the registry's counter serves instead).
  using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
  auto q = Lookup<Query>(L"ntdll.dll", "NtQuerySystemInformation");
  if (!q) return false;
  ProcessorTimes each[64];
  ULONG got = 0;
  if (q(kSystemProcessorPerformanceInformation, each, sizeof each, &got) < 0) return false;
  const size_t n = got / sizeof(ProcessorTimes);
  if (n == 0) return false;
  times = CpuTimes{};
  for (size_t i = 0; i < n && i < 64; ++i) {
    times.idle += static_cast<std::uint64_t>(each[i].idle.QuadPart);
    times.kernel += static_cast<std::uint64_t>(each[i].kernel.QuadPart);
    times.user += static_cast<std::uint64_t>(each[i].user.QuadPart);
  }
  return true;
}

bool IfTable(std::vector<InterfaceCounters>& rows) {
  // iphlpapi stays loaded once it is: the runner asks every second.
  static HMODULE iphlpapi = winapi::LoadLibraryW(L"iphlpapi.dll");
  if (!iphlpapi) return false;
  using GetTable = DWORD(WINAPI*)(void*, ULONG*, BOOL);
  auto f = reinterpret_cast<GetTable>(reinterpret_cast<void*>(::GetProcAddress(iphlpapi, "GetIfTable")));
  if (!f) return false;
  std::vector<unsigned char> buffer(sizeof(DWORD) + 8 * sizeof(IfRow));
  for (int attempt = 0; attempt < 4; ++attempt) {
    ULONG size = static_cast<ULONG>(buffer.size());
    DWORD r = f(buffer.data(), &size, FALSE);
    if (r == kErrorInsufficientBuffer && size > buffer.size()) {
      buffer.resize(size);  // an interface came meanwhile: again
      continue;
    }
    if (r != NO_ERROR) return false;
    DWORD count;
    std::memcpy(&count, buffer.data(), sizeof count);
    const size_t fits = (buffer.size() - sizeof(DWORD)) / sizeof(IfRow);
    rows.clear();
    for (size_t i = 0; i < count && i < fits; ++i) {
      IfRow row;
      std::memcpy(&row, buffer.data() + sizeof(DWORD) + i * sizeof(IfRow), sizeof row);
      rows.push_back(InterfaceCounters{row.index, row.inOctets, row.outOctets});
    }
    return true;
  }
  return false;
}

bool LastInputInfo(std::uint32_t& tick) {
  struct Info {
    UINT size;
    DWORD time;
  };
  using GetInfo = BOOL(WINAPI*)(Info*);
  auto f = Lookup<GetInfo>(L"user32.dll", "GetLastInputInfo");
  if (!f) return false;
  Info info{sizeof(Info), 0};
  if (!f(&info)) return false;
  tick = info.time;
  return true;
}

std::uint32_t ThreadExecutionState(std::uint32_t flags) {
  using SetState = DWORD(WINAPI*)(DWORD);
  auto f = Lookup<SetState>(L"kernel32.dll", "SetThreadExecutionState");
  return f ? f(flags) : 0;
}

}  // namespace win32
}  // namespace platform
