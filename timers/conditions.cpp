#include "timers/conditions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "settings/keys.h"
#include "settings/settings_store.h"

namespace timers {

namespace {
namespace key = settings::key;

struct Idents {
  const char* on;
  const char* threshold;  // nullptr: none
  const char* minutes;
};
constexpr Idents kIdents[kConditionCount] = {
    {key::CpuOn, key::CpuPercent, key::CpuMinutes},
    {key::NetOn, key::NetKBps, key::NetMinutes},
    {key::IdleOn, nullptr, key::IdleMinutes},
};
constexpr const char* kCpuUsage = "KERNEL\\CPUUsage";
// Each condition's name, as its line and the tray's tip begin.
constexpr const char* kNames[kConditionCount] = {"CPU", "通信", "無入力"};
// The longest the interface table goes unread, in samples, and how far below
// its threshold the traffic has to be for that: at the last reading's rate,
// the bytes until the next reading stay under this share of one sample's
// worth at the threshold.
constexpr int kMostNetTicks = 30;
constexpr double kFarBelow = 0.25;

bool Nt(const platform::OsVersion& v) { return v.platformId == platform::kPlatformNT; }
bool Family95(const platform::OsVersion& v) { return v.platformId == platform::kPlatformWindows; }
bool Before98And2000(const platform::OsVersion& v) {
  return v.major < 4 || (v.major == 4 && v.minor == 0);
}

// The 95 family's counter: the value read under StartStat, StatData or StopStat.
bool ReadCounter(platform::Handle key, std::uint32_t& value) {
  platform::RegValue v;
  if (platform::Get().RegQueryValueEx(key, kCpuUsage, v) != 0 || v.data.size() < 4) return false;
  value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(v.data[i]);
  return true;
}

void TouchCounter(const char* subKey) {
  auto& p = platform::Get();
  platform::Handle k = 0;
  if (p.RegOpenKeyEx(platform::kHkeyDynData, subKey, platform::kKeyRead, k) != 0) return;
  std::uint32_t ignored;
  ReadCounter(k, ignored);
  p.RegCloseKey(k);
}
}  // namespace

bool Conditions::Any() const {
  for (const ConditionSetting& s : of)
    if (s.on) return true;
  return false;
}

bool Conditions::operator==(const Conditions& o) const {
  for (int i = 0; i < kConditionCount; ++i)
    if (!(of[i] == o.of[i])) return false;
  return true;
}

std::int32_t MaxThreshold(Condition c) { return c == kCpuCondition ? 100 : kMaxKBps; }

std::string ConditionUnavailable(Condition c, const platform::OsVersion& v) {
  switch (c) {
    case kCpuCondition:
      return Nt(v) || Family95(v) ? "" : "このWindowsでは使えません";
    case kNetCondition:
      return (Nt(v) || Family95(v)) && !Before98And2000(v) ? "" : "Windows 98/2000 以降";
    case kIdleCondition:
      return Nt(v) && v.major >= 5 ? "" : "Windows 2000 以降";
    default:
      return "このWindowsでは使えません";
  }
}

bool AnyOffered(const Conditions& c, const platform::OsVersion& v) {
  for (int i = 0; i < kConditionCount; ++i)
    if (c.of[i].on && ConditionUnavailable(static_cast<Condition>(i), v).empty()) return true;
  return false;
}

Conditions ReadConditions(std::vector<std::string>* problems) {
  Conditions c;
  const Conditions defaults;
  settings::SettingsStore store;
  auto read = [&](const char* ident, std::int32_t& into, std::int32_t low, std::int32_t high) {
    std::string text;
    std::int32_t v = 0;
    try {
      text = store.ReadString(key::Conditions, ident, "");
    } catch (const settings::StoreError&) {
      if (problems) problems->push_back(std::string(key::Conditions) + "\\" + ident);
      return;
    }
    if (text.empty()) return;
    if (!settings::ParseInteger(text, v) || v < low || v > high) {
      if (problems) problems->push_back(std::string(key::Conditions) + "\\" + ident);
      return;
    }
    into = v;
  };
  for (int i = 0; i < kConditionCount; ++i) {
    const Condition cond = static_cast<Condition>(i);
    std::int32_t on = defaults.of[i].on ? 1 : 0;
    read(kIdents[i].on, on, 0, 1);
    c.of[i].on = on != 0;
    if (kIdents[i].threshold) read(kIdents[i].threshold, c.of[i].threshold, 1, MaxThreshold(cond));
    read(kIdents[i].minutes, c.of[i].minutes, 1, kMaxConditionMinutes);
  }
  return c;
}

void WriteConditions(const Conditions& c) {
  settings::SettingsStore store;
  bool stored = false;
  for (const Idents& id : kIdents)
    for (const char* ident : {id.on, id.threshold, id.minutes})
      if (ident && !store.ReadString(key::Conditions, ident, "").empty()) stored = true;
  if (!stored && c == Conditions()) return;
  for (int i = 0; i < kConditionCount; ++i) {
    store.WriteBool(key::Conditions, kIdents[i].on, c.of[i].on);
    if (kIdents[i].threshold) store.WriteInteger(key::Conditions, kIdents[i].threshold, c.of[i].threshold);
    store.WriteInteger(key::Conditions, kIdents[i].minutes, c.of[i].minutes);
  }
}

std::string MinutesSeconds(std::int64_t ms) {
  if (ms < 0) ms = 0;
  const long long s = ms / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%lld分%02lld秒", s / 60, s % 60);
  return text;
}

// ---------------------------------------------------------------- the watch
ConditionWatch::ConditionWatch(const Conditions& conditions) {
  auto& p = platform::Get();
  const platform::OsVersion v = p.GetVersionEx();
  for (int i = 0; i < kConditionCount; ++i) {
    states_[i].setting = conditions.of[i];
    if (!ConditionUnavailable(static_cast<Condition>(i), v).empty()) states_[i].setting.on = false;
  }
  // The 95 family counts its CPU use itself once asked to: reading the
  // value under StartStat starts it, StatData holds its figure.
  if (states_[kCpuCondition].setting.on && Family95(v)) {
    TouchCounter("PerfStats\\StartStat");
    counter9x_ = true;
    if (p.RegOpenKeyEx(platform::kHkeyDynData, "PerfStats\\StatData", platform::kKeyRead, statData_) != 0)
      statData_ = 0;
  }
}

ConditionWatch::~ConditionWatch() {
  if (!counter9x_) return;
  if (statData_) platform::Get().RegCloseKey(statData_);
  TouchCounter("PerfStats\\StopStat");
}

bool ConditionWatch::Offered() const {
  for (const State& s : states_)
    if (s.setting.on) return true;
  return false;
}

void ConditionWatch::Hold(State& s, bool below, std::int64_t fromMs, std::int64_t nowMs) {
  if (below && !s.holding) s.since = fromMs;
  s.holding = below;
  s.held = below ? nowMs - s.since : 0;
}

void ConditionWatch::SampleCpu(State& s, std::int64_t nowMs) {
  auto& p = platform::Get();
  if (counter9x_) {
    std::uint32_t percent = 0;
    s.known = statData_ && ReadCounter(statData_, percent) && percent <= 100;
    s.figure = s.known ? percent : 0;
    // The system's figure is of the last seconds: below from this reading.
    Hold(s, s.known && s.figure < s.setting.threshold, nowMs, nowMs);
    return;
  }
  platform::CpuTimes now;
  if (!p.GetSystemTimes(now)) {
    haveCpu_ = s.known = false;
    Hold(s, false, nowMs, nowMs);
    return;
  }
  if (haveCpu_) {
    // The kernel's time holds the idle time. Times that went back (another
    // processor's count, a wrapped sum) give no figure this second.
    const bool forward = now.idle >= cpu_.idle && now.kernel >= cpu_.kernel && now.user >= cpu_.user;
    const std::uint64_t total = forward ? (now.kernel - cpu_.kernel) + (now.user - cpu_.user) : 0;
    const std::uint64_t idle = forward ? now.idle - cpu_.idle : 0;
    if (total > 0) {
      s.known = true;
      s.figure = idle >= total ? 0.0 : 100.0 * static_cast<double>(total - idle) / static_cast<double>(total);
      Hold(s, s.figure < s.setting.threshold, cpuMs_, nowMs);
    } else if (!forward) {
      s.known = false;
      Hold(s, false, nowMs, nowMs);
    } else if (s.holding) {
      Hold(s, true, cpuMs_, nowMs);  // no time passed on the processors: as before
    }
  }
  cpu_ = now;
  cpuMs_ = nowMs;
  haveCpu_ = true;
}

void ConditionWatch::SampleNet(State& s, std::int64_t nowMs) {
  if (haveNet_ && nowMs <= netMs_) return;  // no time since the last reading
  ++netTicks_;
  const std::int64_t needed = static_cast<std::int64_t>(s.setting.minutes) * 60000;
  if (haveNet_ && nowMs < netDueMs_ && s.holding) {
    // Between readings the time below goes on, for the next reading to
    // judge; the end never comes on that alone: the table is read at the
    // sample where every condition would hold.
    bool othersHeld = true;
    for (int i = 0; i < kConditionCount; ++i)
      if (i != kNetCondition && states_[i].setting.on && !Held(states_[i])) othersHeld = false;
    if (nowMs - s.since < needed || !othersHeld) {
      s.held = nowMs - s.since;
      return;
    }
  }
  std::vector<platform::InterfaceCounters> rows;
  if (!platform::Get().GetIfTable(rows)) {
    haveNet_ = s.known = false;
    netTicks_ = 0;
    Hold(s, false, nowMs, nowMs);
    return;
  }
  int ticks = 1;  // until the next reading
  if (haveNet_) {
    // Interfaces in both readings, by their index; the 32-bit counters wrap.
    // One that went away counts no more, a new one from its next reading.
    std::uint64_t bytes = 0;
    for (const auto& r : rows)
      for (const auto& before : net_)
        if (before.index == r.index) {
          bytes += static_cast<std::uint32_t>(r.inOctets - before.inOctets);
          bytes += static_cast<std::uint32_t>(r.outOctets - before.outOctets);
        }
    const double seconds = static_cast<double>(nowMs - netMs_) / 1000.0;
    const double kb = static_cast<double>(bytes) / 1024.0;
    s.known = true;
    s.figure = kb / seconds;
    // A reading over several samples stands for each of them: below only
    // when its bytes would have kept every one below, which they do when
    // they are under one sample's worth at the threshold. Over one sample
    // that is its figure below the threshold.
    const bool below = kb < s.setting.threshold * seconds / netTicks_;
    Hold(s, below, netMs_, nowMs);
    if (below) {
      const double room = kFarBelow * s.setting.threshold;
      ticks = s.figure * kMostNetTicks <= room ? kMostNetTicks : std::max(1, static_cast<int>(room / s.figure));
    }
  }
  net_ = rows;
  netMs_ = nowMs;
  netTicks_ = 0;
  netDueMs_ = nowMs + ticks * 1000 - 500;  // a sample that comes early is still on time
  haveNet_ = true;
}

void ConditionWatch::SampleIdle(State& s, std::int64_t nowMs) {
  auto& p = platform::Get();
  std::uint32_t last = 0;
  if (!p.GetLastInputInfo(last)) {
    s.known = s.holding = haveInput_ = false;
    s.held = 0;
    return;
  }
  // The same last input as before: the time without input goes on, on the
  // caller's steady clock, however long (the tick counts' difference alone
  // is sure only below 2^31 ms, 24.8 days).
  if (!haveInput_ || last != lastInput_) {
    // Both are tick counts: the difference is right across a wrap. Input
    // that came between the two readings puts the last input ahead: none yet.
    std::uint32_t idle = p.GetTickCount() - last;
    if (idle >= 0x80000000u) idle = 0;
    s.since = nowMs - idle;
    lastInput_ = last;
    haveInput_ = true;
  }
  s.known = true;
  s.held = std::max<std::int64_t>(0, nowMs - s.since);
  s.figure = static_cast<double>(s.held);
  s.holding = s.held > 0;
}

void ConditionWatch::Sample(std::int64_t nowMs) {
  if (states_[kCpuCondition].setting.on) SampleCpu(states_[kCpuCondition], nowMs);
  if (states_[kIdleCondition].setting.on) SampleIdle(states_[kIdleCondition], nowMs);
  // Last: whether the table has to be read depends on the others.
  if (states_[kNetCondition].setting.on) SampleNet(states_[kNetCondition], nowMs);
}

bool ConditionWatch::Held(const State& s) {
  return s.known && s.held >= static_cast<std::int64_t>(s.setting.minutes) * 60000;
}

bool ConditionWatch::AllHold() const {
  bool any = false;
  for (const State& s : states_) {
    if (!s.setting.on) continue;
    any = true;
    if (!Held(s)) return false;
  }
  return any;
}

std::string ConditionWatch::Figure(Condition c, bool compact) const {
  const State& s = states_[c];
  const char* gap = compact ? "" : " ";
  char number[32] = "-";
  if (s.known) std::snprintf(number, sizeof number, "%.0f", std::floor(s.figure));
  switch (c) {
    case kCpuCondition: return std::string(kNames[c]) + " " + number + gap + "%";
    case kNetCondition: return std::string(kNames[c]) + " " + number + gap + "KB/s";
    default: return kNames[kIdleCondition];
  }
}

std::vector<std::string> ConditionWatch::Lines() const {
  std::vector<std::string> lines;
  for (int i = 0; i < kConditionCount; ++i) {
    const State& s = states_[i];
    if (!s.setting.on) continue;
    lines.push_back(Figure(static_cast<Condition>(i), false) + " — " + MinutesSeconds(s.held) + " / " +
                    std::to_string(s.setting.minutes) + "分");
  }
  return lines;
}

std::string ConditionWatch::Short() const {
  int most = -1;
  double least = 0;
  for (int i = 0; i < kConditionCount; ++i) {
    const State& s = states_[i];
    if (!s.setting.on) continue;
    const double part = static_cast<double>(s.held) / (60000.0 * s.setting.minutes);
    if (most < 0 || part < least) {
      most = i;
      least = part;
    }
  }
  if (most < 0) return {};
  // Whole minutes and no figure: the tip changes once a minute, not every
  // second (each change is a call into the shell, and this is the one
  // steady cost of a watch left running for hours).
  const State& s = states_[most];
  return std::string(kNames[most]) + " " + std::to_string(std::max<std::int64_t>(0, s.held) / 60000) + "分/" +
         std::to_string(s.setting.minutes) + "分";
}

}  // namespace timers
