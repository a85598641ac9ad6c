// The program must load on Windows 2000 and XP: its import table may name no
// function that those systems lack (their loader refuses the whole program
// with a missing entry point). Newer functions are looked up at run time.
//
// On Windows 95/98/Me it must work too: that family exports most Unicode (W)
// functions only as stubs that fail, so the program imports none but the few
// that Windows 95 implements; it calls the A functions there and looks the
// W functions up at run time on the NT family.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

// Functions of kernel32, user32 and advapi32 that came after Windows 2000,
// and that toolchains, their runtimes or this program could pull in. A name
// ending in '*' stands for every function that starts with it.
const char* const kAfterWindows2000[] = {
    "GetTickCount64", "AcquireSRWLock*", "ReleaseSRWLock*", "InitializeSRWLock",
    "TryAcquireSRWLock*", "InitializeConditionVariable", "SleepConditionVariable*",
    "WakeConditionVariable", "WakeAllConditionVariable", "InitOnce*", "FlsAlloc", "FlsFree",
    "FlsGetValue", "FlsSetValue", "InitializeCriticalSectionEx", "AddVectoredExceptionHandler",
    "RemoveVectoredExceptionHandler", "AddVectoredContinueHandler", "GetModuleHandleEx*",
    "ShutdownBlockReason*", "RegGetValue*", "RegDeleteKeyEx*", "RegDeleteTree*",
    "LocaleNameToLCID", "LCIDToLocaleName", "GetUserDefaultLocaleName",
    "GetSystemDefaultLocaleName", "GetLocaleInfoEx", "CompareStringEx", "CompareStringOrdinal",
    "LCMapStringEx", "GetDateFormatEx", "GetTimeFormatEx", "GetNumberFormatEx",
    "EncodePointer", "DecodePointer", "GetNativeSystemInfo", "IsWow64Process",
    "GetLogicalProcessorInformation*", "SetDllDirectory*", "GetProcessId", "GetThreadId",
    "AttachConsole", "CreateSymbolicLink*", "GetFinalPathNameByHandle*", "QueryFullProcessImageName*",
    "SetFileInformationByHandle", "GetFileInformationByHandleEx", "CancelIoEx",
    "InterlockedCompareExchange64", "CreateEventEx*", "CreateMutexEx*", "CreateSemaphoreEx*",
    "WaitOnAddress", "WakeByAddress*", "GetSystemTimePreciseAsFileTime", "GetCurrentProcessorNumber",
    "PrintWindow", "GetLayeredWindowAttributes", "SetProcessDPIAware", "IsProcessDPIAware",
    "GetDpiForWindow", "GetDpiForSystem", "ChangeWindowMessageFilter*", "WTSGetActiveConsoleSessionId",
    "GetTickCount64", "SetThreadStackGuarantee", "GetErrorMode", "RtlCaptureContext",
    "RtlVirtualUnwind", "RtlLookupFunctionEntry", "RtlUnwindEx"};

// The Unicode functions that Windows 95 implements (Microsoft's knowledge
// base article Q210341, "Unicode support in Windows 95 and Windows 98", and
// the Platform SDK's "Windows 95 General Limitations"); MultiByteToWideChar
// and WideCharToMultiByte have no W in their names.
const char* const kWindows95Unicode[] = {
    "EnumResourceLanguagesW", "EnumResourceNamesW", "EnumResourceTypesW", "ExtTextOutW",
    "FindResourceW", "FindResourceExW", "GetCharWidthW", "GetCommandLineW",
    "GetTextExtentPointW", "GetTextExtentPoint32W", "GetTextExtentExPointW", "lstrlenW",
    "MessageBoxW", "MessageBoxExW", "TextOutW"};

// Functions older than Windows 2000 that Windows 95 still lacks (98, Me or
// NT 4 brought them) and that this program or its runtime could pull in.
const char* const kAfterWindows95[] = {
    "GetAncestor", "GetFileSizeEx", "SetFilePointerEx", "GetFileAttributesEx*",
    "GetLongPathName*", "GlobalMemoryStatusEx", "IsDebuggerPresent",
    "InitializeCriticalSectionAndSpinCount", "AnimateWindow", "TrackMouseEvent", "SendInput",
    "GetLastInputInfo", "LockSetForegroundWindow", "AllowSetForegroundWindow",
    "SetLayeredWindowAttributes", "GetClipboardSequenceNumber", "InitCommonControlsEx"};

// A Unicode variant: the name ends in a capital W after a small letter or a
// digit (CreateWindowExW, GetTextExtentPoint32W; not ShowWindow).
bool IsUnicodeVariant(const std::string& name) {
  if (name.size() < 2 || name.back() != 'W') return false;
  char before = name[name.size() - 2];
  return std::islower(static_cast<unsigned char>(before)) ||
         std::isdigit(static_cast<unsigned char>(before));
}

bool Matches(const std::string& name, const std::string& pattern) {
  if (!pattern.empty() && pattern.back() == '*')
    return name.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  return name == pattern;
}

// The functions a PE image imports by name, by DLL.
class ImportTable {
 public:
  explicit ImportTable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    data_.assign(std::istreambuf_iterator<char>(in), {});
    if (data_.size() < 0x40 || U16(0) != 0x5A4D) {
      error_ = path + " is not an executable";
      return;
    }
    std::uint32_t pe = U32(0x3C);
    if (U32(pe) != 0x00004550) {
      error_ = "no PE header";
      return;
    }
    std::uint16_t sections = U16(pe + 6);
    std::uint16_t optSize = U16(pe + 20);
    std::uint32_t opt = pe + 24;
    if (U16(opt) != 0x10B) {
      error_ = "not a 32-bit image";
      return;
    }
    sections_ = opt + optSize;
    sectionCount_ = sections;
    std::uint32_t importRva = U32(opt + 96 + 8);  // data directory 1
    if (importRva == 0) return;
    for (std::uint32_t d = Offset(importRva); d != 0 && d + 20 <= data_.size(); d += 20) {
      std::uint32_t lookup = U32(d), nameRva = U32(d + 12), thunks = U32(d + 16);
      if (nameRva == 0) break;
      std::string dll = Lower(String(Offset(nameRva)));
      for (std::uint32_t t = Offset(lookup ? lookup : thunks); t && t + 4 <= data_.size(); t += 4) {
        std::uint32_t entry = U32(t);
        if (entry == 0) break;
        if (entry & 0x80000000u) continue;  // by ordinal
        functions_[dll].push_back(String(Offset(entry) + 2));
      }
    }
  }
  const std::string& error() const { return error_; }
  const std::map<std::string, std::vector<std::string>>& functions() const { return functions_; }

 private:
  std::uint16_t U16(std::uint32_t at) const {
    if (at + 2 > data_.size()) return 0;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(data_[at]) |
                                      static_cast<unsigned char>(data_[at + 1]) << 8);
  }
  std::uint32_t U32(std::uint32_t at) const {
    return static_cast<std::uint32_t>(U16(at)) | static_cast<std::uint32_t>(U16(at + 2)) << 16;
  }
  std::uint32_t Offset(std::uint32_t rva) const {
    for (std::uint16_t i = 0; i < sectionCount_; ++i) {
      std::uint32_t s = sections_ + 40u * i;
      std::uint32_t va = U32(s + 12), size = std::max(U32(s + 8), U32(s + 16)), raw = U32(s + 20);
      if (rva >= va && rva < va + size) return rva - va + raw;
    }
    return 0;
  }
  std::string String(std::uint32_t at) const {
    std::string s;
    while (at && at < data_.size() && data_[at]) s += data_[at++];
    return s;
  }
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  std::string data_;
  std::string error_;
  std::uint32_t sections_ = 0;
  std::uint16_t sectionCount_ = 0;
  std::map<std::string, std::vector<std::string>> functions_;
};

TEST(ExeImports, NameOnlyFunctionsThatWindows2000Has) {
  ImportTable table(e2e::AppExe());
  ASSERT_EQ(table.error(), "") << "build the win32 side first (scripts/build.sh)";
  ASSERT_TRUE(table.functions().count("kernel32.dll")) << "no import table read";
  EXPECT_GT(table.functions().at("kernel32.dll").size(), 10u);
  std::string later;
  for (const auto& [dll, names] : table.functions())
    for (const std::string& name : names)
      for (const char* pattern : kAfterWindows2000)
        if (Matches(name, pattern)) later += "\n  " + dll + "!" + name;
  EXPECT_EQ(later, "") << "kivo_config.exe imports functions that Windows 2000 lacks:" << later;
}

TEST(ExeImports, NameOnlyFunctionsThatWindows95Has) {
  ImportTable table(e2e::AppExe());
  ASSERT_EQ(table.error(), "") << "build the win32 side first (scripts/build.sh)";
  ASSERT_TRUE(table.functions().count("user32.dll")) << "no import table read";
  // The rule itself: a W function is seen as one, an A function and a name
  // that merely ends in "w" are not.
  ASSERT_TRUE(IsUnicodeVariant("CreateWindowExW") && IsUnicodeVariant("GetTextExtentPoint32W"));
  ASSERT_FALSE(IsUnicodeVariant("ShowWindow") || IsUnicodeVariant("CreateWindowExA"));
  std::string lacking;
  for (const auto& [dll, names] : table.functions())
    for (const std::string& name : names) {
      bool allowed = false;
      if (IsUnicodeVariant(name)) {
        for (const char* ok : kWindows95Unicode) allowed = allowed || name == ok;
        if (!allowed) lacking += "\n  " + dll + "!" + name;
      }
      for (const char* pattern : kAfterWindows95)
        if (Matches(name, pattern)) lacking += "\n  " + dll + "!" + name;
    }
  EXPECT_EQ(lacking, "") << "kivo_config.exe imports functions that Windows 95 lacks (call the "
                            "A function there and look the W function up at run time):"
                         << lacking;
}

}  // namespace
