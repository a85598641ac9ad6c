// What every platform call does, written once against platform::Platform:
// the simulated machine must answer as the real calls do. Each row makes its
// own files, registry key and named objects, calls through the interface and
// checks the outcome, with a column for the NT family and one for the
// 95/98/Me family where they differ. The native tests run every row on the
// simulated machine of each Windows version (tests/platform_contract_test.cpp);
// kivo_contract.exe (e2e/contract/) runs them on the real calls under Wine
// (e2e/contract_e2e_test.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <sstream>
#include <type_traits>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace contract {

// What a run gives a row to work in.
struct Scratch {
  std::string folder;  // an empty folder of its own, without a trailing backslash
  std::string key;     // a registry key path below HKEY_CURRENT_USER, not there yet
  std::string tag;     // text that makes names of mutexes and messages the run's own
  bool wine = false;   // the real calls are Wine's: its known differences are accepted
  // Puts a program at a full path that starts and ends at once (its
  // arguments do not matter); false when it cannot.
  std::function<bool(const std::string& path)> makeProgram;
};

// The checks of one row, in the style of Wine's conformance tests: the
// expected value is taken from the column of the running family, and a
// value where Wine is known to differ from Windows is accepted only under
// Wine (Wine's broken(), the other way round).
class Check {
 public:
  Check(const OsVersion& version, bool wine) : version_(version), wine_(wine) {}

  bool Win95Family() const { return version_.platformId == kPlatformWindows; }
  // 95 and NT 4, the systems older than 98 and 2000.
  bool Before98And2000() const {
    return version_.major < 4 || (version_.major == 4 && version_.minor == 0);
  }
  const OsVersion& Version() const { return version_; }
  bool Wine() const { return wine_; }

  // The NT column or the 95-family column.
  template <class T>
  T Pick(T nt, T win95) const {
    return Win95Family() ? win95 : nt;
  }

  void That(bool condition, const std::string& what) {
    if (!condition) failures_.push_back(what);
  }
  template <class A, class B>
  void Equal(const std::string& what, const A& got, const B& want) {
    if (!(got == want)) failures_.push_back(what + ": got " + Show(got) + ", want " + Show(want));
  }
  // Windows answers want; Wine answers wine (a difference between Windows
  // and Wine, named in the row's comment).
  template <class A, class B, class C>
  void EqualOrWine(const std::string& what, const A& got, const B& want, const C& wine) {
    if (got == want) return;
    if (wine_ && got == wine) {
      wineDifferences_.push_back(what + ": " + Show(got) + " where Windows gives " + Show(want));
      return;
    }
    failures_.push_back(what + ": got " + Show(got) + ", want " + Show(want) +
                        (wine_ ? " (or " + Show(wine) + " under Wine)" : std::string()));
  }

  const std::vector<std::string>& Failures() const { return failures_; }
  // The known differences of Wine this run met.
  const std::vector<std::string>& WineDifferences() const { return wineDifferences_; }

 private:
  template <class T>
  static std::string Show(const T& v) {
    std::ostringstream s;
    if constexpr (std::is_same_v<T, bool>) s << (v ? "true" : "false");
    else if constexpr (std::is_convertible_v<T, std::string>) {
      s << '"';
      for (unsigned char ch : std::string(v)) {
        if (ch >= 0x20 && ch != 0x7F) s << ch;
        else s << "\\x" << "0123456789abcdef"[ch >> 4] << "0123456789abcdef"[ch & 15];
      }
      s << '"';
    }
    else s << +v;
    return s.str();
  }
  OsVersion version_;
  bool wine_;
  std::vector<std::string> failures_;
  std::vector<std::string> wineDifferences_;
};

struct Row {
  const char* name;
  void (*run)(Platform& p, const Scratch& s, Check& c);
};

// Every row, in a fixed order.
const std::vector<Row>& Rows();

struct RowResult {
  std::vector<std::string> failures;         // empty when the row holds
  std::vector<std::string> wineDifferences;  // Wine's known differences it met
};

// Runs one row; the version comes from the platform's GetVersionEx.
RowResult RunRow(const Row& row, Platform& p, const Scratch& s);

}  // namespace contract
}  // namespace platform
