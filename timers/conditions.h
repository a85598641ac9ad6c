// The runner's end conditions: the end waits until the machine is done.
// Each chosen condition has to hold for its minutes, all of them at the
// same time: the whole machine's CPU use below a percentage, every network
// interface together below some KB/s, no keyboard or mouse input. The
// watch reads the machine once a second through the platform; the
// interface table, dear to read (under Wine a call through the wineserver
// to a driver process), only every few seconds while the traffic is far
// below its threshold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace timers {

enum Condition { kCpuCondition = 0, kNetCondition, kIdleCondition, kConditionCount };

struct ConditionSetting {
  bool on = false;
  std::int32_t threshold = 0;  // % (CPU), KB/s (network); not used for input
  std::int32_t minutes = 0;
  bool operator==(const ConditionSetting& o) const {
    return on == o.on && threshold == o.threshold && minutes == o.minutes;
  }
};

struct Conditions {
  ConditionSetting of[kConditionCount] = {{false, 10, 15}, {false, 10, 15}, {false, 0, 15}};
  bool Any() const;
  bool operator==(const Conditions& o) const;
};

constexpr std::int32_t kMaxConditionMinutes = 9999 * 60;
constexpr std::int32_t kMaxKBps = 1000000;
// The limits of a threshold: 1 … 100 %, 1 … kMaxKBps KB/s.
std::int32_t MaxThreshold(Condition c);

// Why the running system does not offer a condition ("" where it does). The
// version decides: CPU use everywhere (NT's processor times, the 95
// family's own counter), the network from 98 and 2000 (IP Helper), the
// input from 2000.
std::string ConditionUnavailable(Condition c, const platform::OsVersion& v);
// Whether any chosen condition is offered there: something to wait for.
bool AnyOffered(const Conditions& c, const platform::OsVersion& v);

// Section "Conditions". A value that cannot be read, is no number or is out
// of range keeps its default; its name goes to problems (section\ident).
Conditions ReadConditions(std::vector<std::string>* problems);
// Written once they leave their defaults or the section holds any of them.
void WriteConditions(const Conditions& c);

// "4分12秒": minutes and seconds of a duration in milliseconds.
std::string MinutesSeconds(std::int64_t ms);

class ConditionWatch {
 public:
  // The conditions the system does not offer are left out (they never hold
  // there): Offered() tells whether any is left.
  explicit ConditionWatch(const Conditions& conditions);
  ~ConditionWatch();
  ConditionWatch(const ConditionWatch&) = delete;
  ConditionWatch& operator=(const ConditionWatch&) = delete;

  bool Offered() const;
  // One reading of the machine, at nowMs on the caller's steady clock.
  void Sample(std::int64_t nowMs);
  // Every chosen condition has held for its minutes.
  bool AllHold() const;
  // One line per chosen condition: "CPU 3 % — 4分12秒 / 15分".
  std::vector<std::string> Lines() const;
  // The condition the end waits for most (the least of its time held), short
  // for the tray's tip, in whole minutes: "CPU 4分/15分".
  std::string Short() const;

 private:
  struct State {
    ConditionSetting setting;
    bool known = false;    // a figure was measured
    double figure = 0;     // %, KB/s
    bool holding = false;  // below its threshold now
    std::int64_t since = 0;
    std::int64_t held = 0;  // ms
  };
  // A figure over the time since the last reading: below from then on.
  void Hold(State& s, bool below, std::int64_t fromMs, std::int64_t nowMs);
  // Known, and below for its minutes.
  static bool Held(const State& s);
  void SampleCpu(State& s, std::int64_t nowMs);
  void SampleNet(State& s, std::int64_t nowMs);
  void SampleIdle(State& s, std::int64_t nowMs);
  std::string Figure(Condition c, bool compact) const;
  State states_[kConditionCount];
  // The previous readings.
  bool haveCpu_ = false;
  std::int64_t cpuMs_ = 0;
  platform::CpuTimes cpu_;
  bool haveNet_ = false;
  std::int64_t netMs_ = 0;
  std::vector<platform::InterfaceCounters> net_;
  int netTicks_ = 0;            // samples since the table's last reading
  bool haveInput_ = false;
  std::uint32_t lastInput_ = 0;  // the last input's tick count at the last reading
  std::int64_t netDueMs_ = 0;   // its next reading
  // The 95 family's counter, started by the watch and stopped with it.
  bool counter9x_ = false;
  platform::Handle statData_ = 0;
};

}  // namespace timers
