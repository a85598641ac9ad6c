#include "platform/contract/contract_rows.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace contract {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  return s;
}

std::string Read(Platform& p, const std::string& path) {
  std::string data;
  return p.ReadFile(path, data, 1 << 20) ? data : "<" + std::to_string(p.GetLastError()) + ">";
}

// A text value's data as stored: the text and its terminating NUL.
RegValue Text(const std::string& text, std::uint32_t type = kRegSz) {
  return RegValue{type, text + std::string(1, '\0')};
}

// ---------------------------------------------------------------- files

// MoveFile never replaces: an existing new name fails with
// ERROR_ALREADY_EXISTS on every Windows, a missing old one with
// ERROR_FILE_NOT_FOUND, and neither file changes.
void MoveFileRefusesAnExistingName(Platform& p, const Scratch& s, Check& c) {
  const std::string a = s.folder + "\\a.txt", b = s.folder + "\\b.txt";
  c.That(p.WriteFile(a, "old") && p.WriteFile(b, "new"), "writing a.txt and b.txt");
  p.SetLastError(0);
  c.Equal("MoveFile onto a.txt", p.MoveFile(b, a), false);
  c.Equal("its error", p.GetLastError(), kErrorAlreadyExists);
  c.Equal("a.txt", Read(p, a), "old");
  c.Equal("b.txt", Read(p, b), "new");
  c.Equal("MoveFile of a missing file", p.MoveFile(s.folder + "\\none.txt", s.folder + "\\c.txt"),
          false);
  c.Equal("its error", p.GetLastError(), kErrorFileNotFound);
  c.Equal("MoveFile to a new name", p.MoveFile(b, s.folder + "\\c.txt"), true);
  c.Equal("b.txt after the move", p.FileExists(b), false);
  c.Equal("c.txt", Read(p, s.folder + "\\c.txt"), "new");
}

// MoveFileEx replaces an existing name only with MOVEFILE_REPLACE_EXISTING.
// On the 95 family it is a stub failing with ERROR_CALL_NOT_IMPLEMENTED;
// Wine implements it whatever version it reports.
void MoveFileExReplacesOnlyWhenAsked(Platform& p, const Scratch& s, Check& c) {
  const std::string a = s.folder + "\\a.txt", b = s.folder + "\\b.txt";
  c.That(p.WriteFile(a, "old") && p.WriteFile(b, "new"), "writing a.txt and b.txt");
  const bool plain = p.MoveFileEx(b, a, 0);
  const std::uint32_t plainError = p.GetLastError();
  c.Equal("MoveFileEx(0) onto a.txt", plain, false);
  c.EqualOrWine("its error", plainError,
                c.Pick(kErrorAlreadyExists, kErrorCallNotImplemented), kErrorAlreadyExists);
  const bool replaced = p.MoveFileEx(b, a, kMoveFileReplaceExisting | kMoveFileWriteThrough);
  const std::uint32_t error = p.GetLastError();
  c.EqualOrWine("MoveFileEx(REPLACE_EXISTING | WRITE_THROUGH)", replaced, c.Pick(true, false), true);
  if (replaced) {
    c.Equal("a.txt replaced", Read(p, a), "new");
    c.Equal("b.txt after the move", p.FileExists(b), false);
  } else {
    c.Equal("its error", error, kErrorCallNotImplemented);
    c.Equal("a.txt kept", Read(p, a), "old");
  }
}

// GetTempFileName(folder, prefix, 0) makes an empty file named by the
// folder, up to three characters of the prefix and a hexadecimal number,
// with the extension ".tmp" (the case of the digits and the extension
// varies between systems and Wine: names compare without case), and a new
// name at each call. A trailing backslash on the folder is not doubled.
void GetTempFileNameMakesAnEmptyFile(Platform& p, const Scratch& s, Check& c) {
  auto wellFormed = [&](const std::string& name, const std::string& start) {
    if (Lower(name.substr(0, start.size())) != Lower(start)) return false;
    const std::string rest = Lower(name.substr(start.size()));
    if (rest.size() < 5 || rest.size() > 8 || rest.compare(rest.size() - 4, 4, ".tmp") != 0)
      return false;
    return std::all_of(rest.begin(), rest.end() - 4,
                       [](unsigned char ch) { return std::isxdigit(ch) != 0; });
  };
  const std::string first = p.GetTempFileName(s.folder, "kivo");
  c.That(wellFormed(first, s.folder + "\\kiv"), "first name \"" + first + "\"");
  c.Equal("the file made", Read(p, first), "");
  const std::string second = p.GetTempFileName(s.folder + "\\", "k");
  c.That(wellFormed(second, s.folder + "\\k"), "second name \"" + second + "\"");
  c.That(Lower(first) != Lower(second), "two calls give two names");
  c.Equal("the first file stays", p.FileExists(first), true);
}

// WriteFile (CREATE_ALWAYS) truncates an existing file of the name in any
// case; FindFirstFile and ReadFile find a name in any case.
void FileNamesCompareWithoutCase(Platform& p, const Scratch& s, Check& c) {
  c.That(p.WriteFile(s.folder + "\\Case.txt", "a longer text"), "writing Case.txt");
  c.That(p.WriteFile(s.folder + "\\CASE.TXT", "x"), "writing CASE.TXT");
  c.Equal("case.txt", Read(p, s.folder + "\\case.txt"), "x");
  c.Equal("FindFirstFile(cAsE.tXt)", p.FileExists(s.folder + "\\cAsE.tXt"), true);
  c.Equal("FindFirstFile(missing.txt)", p.FileExists(s.folder + "\\missing.txt"), false);
}

// GetShortPathName gives a path that names the same file, and
// GetLongPathName takes it back to the long form in any case; both fail for
// a file that is not there. 95 and NT 4 have no GetLongPathName (Wine has it
// whatever version it shows).
void LongAndShortPathNames(Platform& p, const Scratch& s, Check& c) {
  const std::string f = s.folder + "\\A long file name.text";
  c.That(p.WriteFile(f, "x"), "writing the file");
  const std::optional<std::string> shortForm = p.GetShortPathName(f);
  c.That(shortForm.has_value(), "GetShortPathName");
  if (!shortForm) return;
  c.Equal("the file by its short form", Read(p, *shortForm), "x");
  const std::optional<std::string> longForm = p.GetLongPathName(*shortForm);
  c.EqualOrWine("GetLongPathName is there", longForm.has_value(), !c.Before98And2000(), true);
  if (longForm) {
    c.Equal("the long form", Lower(*longForm), Lower(f));
  } else {
    c.Equal("its error", p.GetLastError(), kErrorCallNotImplemented);
  }
  c.Equal("GetShortPathName(missing)", p.GetShortPathName(s.folder + "\\missing file.text").has_value(), false);
  c.Equal("GetLongPathName(missing)", p.GetLongPathName(s.folder + "\\missing file.text").has_value(), false);
}

// ReadFile refuses a file larger than its limit with ERROR_NOT_ENOUGH_MEMORY;
// missing files fail with ERROR_FILE_NOT_FOUND for ReadFile and DeleteFile.
void ReadFileLimitsAndMissingFiles(Platform& p, const Scratch& s, Check& c) {
  const std::string f = s.folder + "\\hundred.bin";
  c.That(p.WriteFile(f, std::string(100, '\x7f')), "writing 100 bytes");
  std::string data;
  c.Equal("ReadFile with 99 bytes allowed", p.ReadFile(f, data, 99), false);
  c.Equal("its error", p.GetLastError(), kErrorNotEnoughMemory);
  c.Equal("ReadFile with 100 bytes allowed", p.ReadFile(f, data, 100), true);
  c.Equal("bytes read", data.size(), 100u);
  c.Equal("DeleteFile", p.DeleteFile(f), true);
  c.Equal("FindFirstFile after DeleteFile", p.FileExists(f), false);
  c.Equal("ReadFile of a deleted file", p.ReadFile(f, data, 100), false);
  c.Equal("its error", p.GetLastError(), kErrorFileNotFound);
  c.Equal("DeleteFile of a deleted file", p.DeleteFile(f), false);
  c.Equal("its error", p.GetLastError(), kErrorFileNotFound);
}

// SaveFile replaces a file whole on both families (MoveFileEx, or on the 95
// family delete and MoveFile); SaveNewFile refuses an existing name with
// ERROR_FILE_EXISTS and writes nothing.
void SaveFileReplacesAndSaveNewFileRefuses(Platform& p, const Scratch& s, Check& c) {
  const std::string f = s.folder + "\\picture.bmp";
  c.That(p.WriteFile(f, "old picture"), "writing the old picture");
  std::string kept = "unset";
  c.Equal("SaveFile", SaveFile(p, f, "new picture", &kept), true);
  c.Equal("kept", kept, "");
  c.Equal("the file", Read(p, f), "new picture");
  c.Equal("SaveNewFile over it", SaveNewFile(p, f, "newer"), false);
  c.Equal("its error", p.GetLastError(), kErrorFileExists);
  c.Equal("the file after", Read(p, f), "new picture");
  c.Equal("SaveNewFile of a new name", SaveNewFile(p, s.folder + "\\other.bmp", "other"), true);
  c.Equal("the new file", Read(p, s.folder + "\\other.bmp"), "other");
}

// ---------------------------------------------------------------- registry

// RegCreateKeyEx makes every missing level; RegOpenKeyEx of a missing key
// and RegQueryValueEx of a missing value fail with ERROR_FILE_NOT_FOUND.
void RegistryKeysAndMissingValues(Platform& p, const Scratch& s, Check& c) {
  Handle k = 0;
  c.Equal("RegCreateKeyEx(key\\a\\b)", p.RegCreateKeyEx(kHkeyCurrentUser, s.key + "\\a\\b", kKeyAllAccess, k), 0);
  if (k) p.RegCloseKey(k);
  Handle a = 0;
  c.Equal("RegOpenKeyEx(key\\a)", p.RegOpenKeyEx(kHkeyCurrentUser, s.key + "\\a", kKeyAllAccess, a), 0);
  RegValue v;
  if (a) {
    c.Equal("RegQueryValueEx of a missing value", p.RegQueryValueEx(a, "none", v), kErrorFileNotFound);
    p.RegCloseKey(a);
  }
  Handle missing = 0;
  c.Equal("RegOpenKeyEx(key\\missing)",
          p.RegOpenKeyEx(kHkeyCurrentUser, s.key + "\\missing", kKeyAllAccess, missing),
          kErrorFileNotFound);
  if (missing) p.RegCloseKey(missing);
}

// Values keep their type and bytes: texts (Japanese too) with one
// terminating NUL, REG_EXPAND_SZ unexpanded, DWORD and binary data as
// written; names compare without case. A text written without its NUL, or
// with more than one, reads back with exactly one.
void RegistryValuesKeepTheirTypes(Platform& p, const Scratch& s, Check& c) {
  Handle k = 0;
  c.Equal("RegCreateKeyEx", p.RegCreateKeyEx(kHkeyCurrentUser, s.key, kKeyAllAccess, k), 0);
  if (!k) return;
  const std::string dword("\x2a\x00\x00\x80", 4), binary("\x01\x00\xff", 3);
  const std::vector<std::pair<std::string, RegValue>> values{
      {"Text", Text("text")},
      {"Japanese", Text("設定・ﾃｽﾄ")},
      {"Empty", Text("")},
      {"Expand", Text("%WINDIR%\\x", kRegExpandSz)},
      {"Dword", RegValue{kRegDword, dword}},
      {"Binary", RegValue{kRegBinary, binary}},
  };
  for (const auto& [name, value] : values)
    c.Equal("RegSetValueEx(" + name + ")", p.RegSetValueEx(k, name, value), 0);
  for (const auto& [name, value] : values) {
    RegValue got;
    c.Equal("RegQueryValueEx(" + name + ")", p.RegQueryValueEx(k, Lower(name), got), 0);
    c.Equal(name + " type", got.type, value.type);
    c.Equal(name + " data", got.data, value.data);
  }
  c.Equal("RegSetValueEx without a NUL", p.RegSetValueEx(k, "Bare", RegValue{kRegSz, "bare"}), 0);
  c.Equal("RegSetValueEx with two NULs",
          p.RegSetValueEx(k, "Twice", RegValue{kRegSz, std::string("two\0\0", 5)}), 0);
  RegValue bare, twice;
  p.RegQueryValueEx(k, "Bare", bare);
  p.RegQueryValueEx(k, "Twice", twice);
  c.Equal("Bare data", bare.data, std::string("bare\0", 5));
  c.Equal("Twice data", twice.data, std::string("two\0", 4));
  p.RegCloseKey(k);
}

// RegDeleteValue takes a value away (its name without case); a value that
// is not there fails with ERROR_FILE_NOT_FOUND, and the key stays.
void RegistryValuesAreDeleted(Platform& p, const Scratch& s, Check& c) {
  Handle k = 0;
  c.Equal("RegCreateKeyEx", p.RegCreateKeyEx(kHkeyCurrentUser, s.key + "\\Run", kKeyAllAccess, k), 0);
  if (!k) return;
  c.Equal("RegSetValueEx", p.RegSetValueEx(k, "kivo_config", Text("\"C:\\k.exe\"")), 0);
  c.Equal("RegDeleteValue", p.RegDeleteValue(k, "KIVO_CONFIG"), 0);
  RegValue v;
  c.Equal("RegQueryValueEx after", p.RegQueryValueEx(k, "kivo_config", v), kErrorFileNotFound);
  c.Equal("RegDeleteValue again", p.RegDeleteValue(k, "kivo_config"), kErrorFileNotFound);
  p.RegCloseKey(k);
  Handle again = 0;
  c.Equal("the key stays", p.RegOpenKeyEx(kHkeyCurrentUser, s.key + "\\Run", kKeyAllAccess, again), 0);
  if (again) p.RegCloseKey(again);
}

// ---------------------------------------------------------------- win.ini

// A win.ini value in quotes: the 95 family's reader of the plain file drops
// quotes (double or single) that enclose the whole value; NT maps the
// section [windows] to the registry and reads them back. Wine maps it
// whatever version it reports.
void WinIniValuesInQuotes(Platform& p, const Scratch& s, Check& c) {
  const std::string key = "KivoContract" + s.tag;
  auto roundTrip = [&](const std::string& value) {
    c.That(p.WriteProfileString("win.ini", "windows", key, value), "WriteProfileString " + value);
    return p.GetProfileString("win.ini", "windows", key, "default");
  };
  const std::string quoted = "\"C:\\Program Files\\a b.exe\"";
  c.EqualOrWine("double quotes", roundTrip(quoted),
                c.Pick(quoted, std::string("C:\\Program Files\\a b.exe")), quoted);
  c.EqualOrWine("single quotes", roundTrip("'a b'"), c.Pick(std::string("'a b'"), std::string("a b")),
                "'a b'");
  c.Equal("a quote at the start only", roundTrip("\"a b"), "\"a b");
  c.Equal("a missing key", p.GetProfileString("win.ini", "windows", key + "None", "default"),
          "default");
  p.WriteProfileString("win.ini", "windows", key, "");
}

// ---------------------------------------------------------------- clipboard

// GetClipboardSequenceNumber grows with each change where the system has it
// (98, 2000 and later) and is 0 on 95 and NT 4; a CF_DIB put on the
// clipboard reads back byte for byte.
void ClipboardSequenceAndBitmap(Platform& p, const Scratch&, Check& c) {
  std::string dib(56, '\0');
  const unsigned char header[] = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,
                                  0,  0, 0, 0, 16, 0, 0, 0};
  std::copy(std::begin(header), std::end(header), dib.begin());
  for (size_t i = 40; i < dib.size(); ++i) dib[i] = static_cast<char>(i * 7);
  const std::uint32_t before = p.GetClipboardSequenceNumber();
  const std::string png = "\x89PNG\r\n\x1a\n-not-decoded-here";
  c.Equal("SetClipboardData(CF_DIB, PNG)", p.SetClipboardPicture(0, dib, png), true);
  const std::uint32_t after = p.GetClipboardSequenceNumber();
  if (c.Before98And2000()) {
    c.Equal("sequence number before", before, 0u);
    c.Equal("sequence number after", after, 0u);
  } else {
    c.That(after > before, "sequence number " + std::to_string(before) + " then " +
                               std::to_string(after));
  }
  std::string got;
  c.Equal("GetClipboardData(CF_DIB)", p.GetClipboardDib(got), true);
  c.Equal("the bitmap's bytes", got, dib);
  std::string gotPng;
  c.Equal("GetClipboardData(PNG)", p.GetClipboardPng(gotPng), true);
  c.Equal("the PNG's bytes", gotPng, png);
  // A bitmap alone takes the PNG of the last picture away.
  c.Equal("SetClipboardData(CF_DIB)", p.SetClipboardPicture(0, dib, ""), true);
  c.Equal("no PNG after a bitmap alone", p.GetClipboardPng(gotPng), false);
}

// ---------------------------------------------------------------- text

// CompareString(user default, 0) is 2 only for the same text; it orders by
// the locale (letters before their case, lower case first), not by bytes,
// and never takes two texts that differ only in characters the ANSI code
// page lacks for the same.
void CompareStringOrdersByTheLocale(Platform& p, const Scratch&, Check& c) {
  auto cmp = [&](const std::string& a, const std::string& b) {
    return p.CompareString(kLocaleUserDefault, 0, a, b);
  };
  c.Equal("abc, abc", cmp("abc", "abc"), kCstrEqual);
  c.Equal("abc, ABC", cmp("abc", "ABC"), 1);
  c.Equal("a, B", cmp("a", "B"), 1);
  c.Equal("B, a", cmp("B", "a"), 3);
  c.Equal("ab, a", cmp("ab", "a"), 3);
  c.Equal("設定, 設定", cmp("設定", "設定"), kCstrEqual);
  c.That(cmp("キー", "ｷｰ") != kCstrEqual, "full- and half-width katakana compare equal");
  c.That(cmp("pass😀", "pass😁") != kCstrEqual, "two emoji compare equal");
}

// VkKeyScan and MapVirtualKey of keys every layout has in the same place;
// a character no key gives is 0xFFFF.
void KeysEveryLayoutShares(Platform& p, const Scratch&, Check& c) {
  c.Equal("VkKeyScan(a)", p.VkKeyScan(u'a'), 0x41);
  c.Equal("VkKeyScan(A)", p.VkKeyScan(u'A'), 0x141);
  c.Equal("VkKeyScan(1)", p.VkKeyScan(u'1'), 0x31);
  c.Equal("VkKeyScan(あ)", p.VkKeyScan(u'\u3042'), 0xFFFF);
  c.Equal("MapVirtualKey(A)", p.MapVirtualKey(0x41, 0), 0x1Eu);
  c.Equal("MapVirtualKey(1)", p.MapVirtualKey(0x31, 0), 0x02u);
}

// ---------------------------------------------------------------- processes

// CreateProcess with an unquoted command line tries the text before each
// blank in turn and adds ".exe" to a name without an extension; a quoted
// name is taken whole. A program that is not there fails with
// ERROR_FILE_NOT_FOUND.
void CreateProcessFindsTheProgram(Platform& p, const Scratch& s, Check& c) {
  const std::string program = s.folder + "\\a.exe";
  c.That(s.makeProgram && s.makeProgram(program), "making a.exe");
  auto start = [&](const std::string& line) {
    ProcessInfo info;
    if (!p.CreateProcess(line, info)) return false;
    c.Equal("MsgWaitForMultipleObjects on " + line, p.MsgWaitForObject(info.process, 30000),
            kWaitObject0);
    p.CloseHandle(info.thread);
    p.CloseHandle(info.process);
    return true;
  };
  c.Equal("a.exe x", start(program + " x"), true);
  c.Equal("a b.exe x (runs a.exe)", start(s.folder + "\\a b.exe x"), true);
  c.Equal("a x (adds .exe)", start(s.folder + "\\a x"), true);
  c.Equal("\"a b.exe\" x", start("\"" + s.folder + "\\a b.exe\" x"), false);
  c.Equal("its error", p.GetLastError(), kErrorFileNotFound);
  c.Equal("none.exe", start(s.folder + "\\none.exe"), false);
  c.Equal("its error", p.GetLastError(), kErrorFileNotFound);
}

// A named mutex held already gives a handle and ERROR_ALREADY_EXISTS; once
// every handle is closed the name is free again.
void MutexNames(Platform& p, const Scratch& s, Check& c) {
  const std::string name = "KivoContract." + s.tag;
  p.SetLastError(kErrorAccessDenied);
  Handle first = p.CreateMutex(name);
  c.That(first != 0, "first CreateMutex");
  c.Equal("its error", p.GetLastError(), kErrorSuccess);
  Handle second = p.CreateMutex(name);
  c.That(second != 0, "second CreateMutex");
  c.Equal("its error", p.GetLastError(), kErrorAlreadyExists);
  p.CloseHandle(second);
  p.CloseHandle(first);
  Handle third = p.CreateMutex(name);
  c.That(third != 0, "CreateMutex after closing");
  c.Equal("its error", p.GetLastError(), kErrorSuccess);
  p.CloseHandle(third);
}

// ---------------------------------------------------------------- user32

// RegisterWindowMessage: one number a name whatever its case, from 0xC000.
void RegisterWindowMessageNumbers(Platform& p, const Scratch& s, Check& c) {
  const unsigned a = p.RegisterWindowMessage("KivoContract.Message." + s.tag);
  const unsigned b = p.RegisterWindowMessage("KIVOCONTRACT.MESSAGE." + s.tag);
  const unsigned other = p.RegisterWindowMessage("KivoContract.Other." + s.tag);
  c.That(a >= 0xC000 && a <= 0xFFFF, "number " + std::to_string(a));
  c.Equal("the name in capitals", b, a);
  c.That(other != a && other >= 0xC000, "another name's number " + std::to_string(other));
}

// A key combination has one owner: a second id cannot take it until the
// first is unregistered; unregistering an id never registered fails.
void HotKeysHaveOneOwner(Platform& p, const Scratch&, Check& c) {
  const std::uint32_t modifiers = 0x3, vk = 0x7B;  // Ctrl+Alt+F12
  c.Equal("RegisterHotKey(1)", p.RegisterHotKey(0, 1, modifiers, vk), true);
  c.Equal("RegisterHotKey(2) of the same keys", p.RegisterHotKey(0, 2, modifiers, vk), false);
  c.Equal("UnregisterHotKey(1)", p.UnregisterHotKey(0, 1), true);
  c.Equal("RegisterHotKey(2) after that", p.RegisterHotKey(0, 2, modifiers, vk), true);
  c.Equal("UnregisterHotKey(2)", p.UnregisterHotKey(0, 2), true);
  c.Equal("UnregisterHotKey(3), never registered", p.UnregisterHotKey(0, 3), false);
}

// ---------------------------------------------------------------- the system

// The system's folder: "SYSTEM" in the Windows directory on the 95 family,
// "system32" on NT. Wine answers "system32" whatever version it reports.
void SystemDirectoryOfTheFamily(Platform& p, const Scratch&, Check& c) {
  const std::string windows = Lower(p.WindowsDirectory());
  c.EqualOrWine("system directory", Lower(p.SystemDirectory()),
                windows + c.Pick(std::string("\\system32"), std::string("\\system")),
                windows + "\\system32");
}

// GlobalMemoryStatus: the old call's figure saturates at 2 GB on 95 and NT 4,
// which lack GlobalMemoryStatusEx. Wine has the Ex call whatever version it
// reports.
void MemoryStatusBeforeAndAfter2000(Platform& p, const Scratch&, Check& c) {
  const std::uint64_t total = p.GlobalMemoryStatus().totalPhys;
  c.That(total > 0, "total memory 0");
  if (c.Win95Family() || c.Version().major < 5)
    c.EqualOrWine("at most 2 GB", total <= 0x7FFFFFFFu, true, false);
}

// The machine's work, as the runner's end conditions read it. Where the
// version has a call it answers: CPU times on every NT (GetSystemTimes from
// XP SP1, NtQuerySystemInformation before), the interface table from 98 and
// 2000, the last input from 2000, the execution state from 98 and 2000. The
// 95 family has no CPU times (its counter is in HKEY_DYN_DATA, below); Wine
// has every call whatever version it reports.
void MachineWorkWhereTheVersionHasIt(Platform& p, const Scratch&, Check& c) {
  const bool nt = !c.Win95Family();
  CpuTimes first, second;
  const bool times = p.GetSystemTimes(first);
  c.EqualOrWine("CPU times", times, nt, true);
  if (times) {
    c.That(first.kernel >= first.idle, "the kernel's time holds the idle time");
    c.That(p.GetSystemTimes(second), "CPU times a second time");
    c.That(second.idle >= first.idle && second.kernel >= first.kernel && second.user >= first.user,
           "CPU times never go back");
  }
  std::vector<InterfaceCounters> rows;
  if (!c.Before98And2000()) c.That(p.GetIfTable(rows), "interface table from 98 and 2000");
  std::uint32_t input = 0;
  const bool hasInput = nt && c.Version().major >= 5;
  if (hasInput) {
    c.That(p.GetLastInputInfo(input), "last input from 2000");
    c.That(p.GetTickCount() - input < 0x80000000u, "the last input is not ahead of the tick count");
  } else {
    c.EqualOrWine("last input before 2000", p.GetLastInputInfo(input), false, true);
  }
  if (!c.Before98And2000()) {
    c.That(p.SetThreadExecutionState(kEsContinuous | kEsSystemRequired) != 0, "execution state set");
    const std::uint32_t held = p.SetThreadExecutionState(kEsContinuous);
    c.Equal("the state held", held & kEsSystemRequired, kEsSystemRequired);
    c.Equal("the state released", p.SetThreadExecutionState(kEsContinuous) & kEsSystemRequired, 0u);
  }
}

// HKEY_DYN_DATA\PerfStats: the 95 family's CPU usage, 4 binary bytes, read
// under StartStat (which starts the counter), StatData and StopStat. NT has
// no such root key. Wine has the root on every version but no PerfStats
// keys in it (ERROR_FILE_NOT_FOUND).
void CpuUsageCounterOf95Family(Platform& p, const Scratch&, Check& c) {
  Handle start = 0;
  const long opened = p.RegOpenKeyEx(kHkeyDynData, "PerfStats\\StartStat", kKeyRead, start);
  if (!c.Win95Family()) {
    c.That(opened != 0, "no HKEY_DYN_DATA on NT");
    if (opened == 0) p.RegCloseKey(start);
    return;
  }
  c.EqualOrWine("StartStat opens", opened, 0L, static_cast<long>(kErrorFileNotFound));
  if (opened != 0) return;
  RegValue v;
  c.Equal("StartStat's counter", p.RegQueryValueEx(start, "KERNEL\\CPUUsage", v), 0L);
  p.RegCloseKey(start);
  Handle data = 0;
  c.Equal("StatData opens", p.RegOpenKeyEx(kHkeyDynData, "PerfStats\\StatData", kKeyRead, data), 0L);
  v = RegValue{};
  c.Equal("StatData's counter", p.RegQueryValueEx(data, "KERNEL\\CPUUsage", v), 0L);
  c.Equal("4 bytes", v.data.size(), size_t{4});
  c.That(v.type == kRegBinary || v.type == kRegDword, "a binary or DWORD value");
  if (data) p.RegCloseKey(data);
  Handle stop = 0;
  if (p.RegOpenKeyEx(kHkeyDynData, "PerfStats\\StopStat", kKeyRead, stop) == 0) {
    p.RegQueryValueEx(stop, "KERNEL\\CPUUsage", v);
    p.RegCloseKey(stop);
  }
}

// The monitors: the work area of a rectangle on the primary monitor lies
// within it, and one far off the screen gets a monitor's work area too.
void WorkAreasAndMonitors(Platform& p, const Scratch&, Check& c) {
  const std::array<int, 4> screen = p.VirtualScreen();
  const std::array<int, 4> primary = p.MonitorAt(Point{0, 0});
  auto inside = [](const std::array<int, 4>& in, const std::array<int, 4>& out) {
    return in[0] >= out[0] && in[1] >= out[1] && in[2] <= out[2] && in[3] <= out[3] &&
           in[0] < in[2] && in[1] < in[3];
  };
  c.That(inside(primary, screen), "the primary monitor lies in the virtual screen");
  const std::array<int, 4> work = p.WorkAreaNear({10, 10, 110, 110});
  c.That(inside(work, primary), "the work area lies in the primary monitor");
  const std::array<int, 4> far = p.WorkAreaNear({100000, 100000, 100100, 100100});
  c.That(inside(far, screen), "a far rectangle's work area lies in the virtual screen");
  const int dpi = p.ScreenDpi();
  c.That(dpi >= 96 && dpi <= 480, "the screen's DPI is one a display setting gives");
}

// RtlGetVersion: none on the 95 family and NT 4 (Wine's ntdll has one
// whatever version it shows, telling that version). Where there is one it
// tells what GetVersionEx tells, except on 8.1 and later, which GetVersionEx
// hides from a program whose manifest does not name them: it says 8
// (6.2.9200), or 8.1 (6.3.9600) where only 8.1 is named. Wine keeps that
// rule too (kivo_contract.exe has no manifest).
void RtlGetVersionTellsTheRealVersion(Platform& p, const Scratch&, Check& c) {
  const OsVersion shown = p.GetVersionEx();
  const std::optional<OsVersion> real = p.RtlGetVersion();
  c.EqualOrWine("RtlGetVersion is there", real.has_value(),
                !c.Win95Family() && shown.major >= 5, true);
  if (!real) return;
  c.Equal("its platform", real->platformId, shown.platformId);
  const bool hidden = shown.platformId == kPlatformNT && shown.major == 6 &&
                      ((shown.minor == 2 && shown.build == 9200) ||
                       (shown.minor == 3 && shown.build == 9600)) &&
                      (real->major > 6 || real->minor > shown.minor);
  if (hidden) return;  // 8.1 or later, as shown to a program that does not name it
  c.Equal("its major version", real->major, shown.major);
  c.Equal("its minor version", real->minor, shown.minor);
  c.Equal("its build", real->build, shown.build);
}

// powrprof.dll's GetPwrCapabilities answers on 98, Me, 2000 and later; 95
// and NT 4 have none (Wine has it whatever version it shows). SetSuspendState
// is asked for only where it cannot act: where there is none (false with
// ERROR_CALL_NOT_IMPLEMENTED) and under Wine, whose SetSuspendState is a stub
// that returns TRUE. On a real 98, 2000 or later it would suspend the
// machine that runs the rows.
void PowerCapabilitiesAndSuspend(Platform& p, const Scratch&, Check& c) {
  const bool there = !c.Before98And2000();
  c.EqualOrWine("GetPwrCapabilities answers", p.GetPwrCapabilities().has_value(), there, true);
  if (there && !c.Wine()) return;
  p.SetLastError(0);
  const bool suspended = p.SetSuspendState(false, false, false);
  const std::uint32_t error = p.GetLastError();
  c.EqualOrWine("SetSuspendState", suspended, there, true);
  if (!suspended) c.Equal("its error", error, kErrorCallNotImplemented);
}

// LockWorkStation: none on the 95 family and NT 4 (false with
// ERROR_CALL_NOT_IMPLEMENTED). Wine's is a stub that fails the same way
// whatever version it shows. On a real 2000 or later it would lock the
// machine that runs the rows: it is not asked there.
void LockWorkStationWhereItCannotLock(Platform& p, const Scratch&, Check& c) {
  const bool there = !c.Win95Family() && c.Version().major >= 5;
  if (there && !c.Wine()) return;
  p.SetLastError(0);
  const bool locked = p.LockWorkStation();
  const std::uint32_t error = p.GetLastError();
  c.EqualOrWine("LockWorkStation", locked, there, false);
  if (!locked) c.Equal("its error", error, kErrorCallNotImplemented);
}

// GetVolumeInformation answers for the system's drive; LoadLibrary of a
// library that is not there gives no module.
void VolumesAndLibraries(Platform& p, const Scratch&, Check& c) {
  c.Equal("GetVolumeInformation(C:\\)", p.GetVolumeInformation("C:\\"), true);
  c.Equal("LoadLibrary of a missing library", p.LoadLibrary("kivo_no_such_library.dll"), Handle{0});
}

}  // namespace

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows{
      {"MoveFileRefusesAnExistingName", MoveFileRefusesAnExistingName},
      {"MoveFileExReplacesOnlyWhenAsked", MoveFileExReplacesOnlyWhenAsked},
      {"GetTempFileNameMakesAnEmptyFile", GetTempFileNameMakesAnEmptyFile},
      {"FileNamesCompareWithoutCase", FileNamesCompareWithoutCase},
      {"LongAndShortPathNames", LongAndShortPathNames},
      {"ReadFileLimitsAndMissingFiles", ReadFileLimitsAndMissingFiles},
      {"SaveFileReplacesAndSaveNewFileRefuses", SaveFileReplacesAndSaveNewFileRefuses},
      {"RegistryKeysAndMissingValues", RegistryKeysAndMissingValues},
      {"RegistryValuesKeepTheirTypes", RegistryValuesKeepTheirTypes},
      {"RegistryValuesAreDeleted", RegistryValuesAreDeleted},
      {"WinIniValuesInQuotes", WinIniValuesInQuotes},
      {"ClipboardSequenceAndBitmap", ClipboardSequenceAndBitmap},
      {"CompareStringOrdersByTheLocale", CompareStringOrdersByTheLocale},
      {"KeysEveryLayoutShares", KeysEveryLayoutShares},
      {"CreateProcessFindsTheProgram", CreateProcessFindsTheProgram},
      {"MutexNames", MutexNames},
      {"RegisterWindowMessageNumbers", RegisterWindowMessageNumbers},
      {"HotKeysHaveOneOwner", HotKeysHaveOneOwner},
      {"SystemDirectoryOfTheFamily", SystemDirectoryOfTheFamily},
      {"MemoryStatusBeforeAndAfter2000", MemoryStatusBeforeAndAfter2000},
      {"WorkAreasAndMonitors", WorkAreasAndMonitors},
      {"VolumesAndLibraries", VolumesAndLibraries},
      {"MachineWorkWhereTheVersionHasIt", MachineWorkWhereTheVersionHasIt},
      {"CpuUsageCounterOf95Family", CpuUsageCounterOf95Family},
      {"RtlGetVersionTellsTheRealVersion", RtlGetVersionTellsTheRealVersion},
      {"PowerCapabilitiesAndSuspend", PowerCapabilitiesAndSuspend},
      {"LockWorkStationWhereItCannotLock", LockWorkStationWhereItCannotLock},
  };
  return rows;
}

RowResult RunRow(const Row& row, Platform& p, const Scratch& s) {
  Check c(p.GetVersionEx(), s.wine);
  row.run(p, s, c);
  return RowResult{c.Failures(), c.WineDifferences()};
}

}  // namespace contract
}  // namespace platform
