#include "app/command_line.h"

#include <cctype>

namespace cmdline {

namespace {

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "/name" or "-name", lower-cased without its mark; empty for anything else.
std::string SwitchName(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return {};
  return Lower(arg.substr(1));
}

// A whole number, digits only, 1 … high.
std::optional<std::uint32_t> ParseCount(const std::string& s, std::uint32_t high) {
  if (s.empty() || s.size() > 7) return std::nullopt;
  std::uint32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (v < 1 || v > high) return std::nullopt;
  return v;
}

// Whole minutes, 1 … kMaxMinutes.
std::optional<std::uint32_t> ParseMinutes(const std::string& s) { return ParseCount(s, kMaxMinutes); }

// "P:M": a threshold (1 … high) and minutes (1 … kMaxMinutes).
bool ParseThresholdMinutes(const std::string& s, std::uint32_t high, std::uint32_t& threshold,
                           std::uint32_t& minutes) {
  const size_t colon = s.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 7) return false;
  auto m = ParseMinutes(s.substr(colon + 1));
  auto t = ParseCount(s.substr(0, colon), high);
  if (!m || !t) return false;
  threshold = *t;
  minutes = *m;
  return true;
}

// "H:MM" or "HH:MM", 00:00 … 23:59.
bool ParseTimeOfDay(const std::string& s, std::uint8_t& hour, std::uint8_t& minute) {
  size_t colon = s.find(':');
  if (colon == std::string::npos || colon < 1 || colon > 2 || s.size() != colon + 3) return false;
  int h = 0, m = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i == colon) continue;
    if (s[i] < '0' || s[i] > '9') return false;
    (i < colon ? h : m) = (i < colon ? h : m) * 10 + (s[i] - '0');
  }
  if (h > 23 || m > 59) return false;
  hour = static_cast<std::uint8_t>(h);
  minute = static_cast<std::uint8_t>(m);
  return true;
}

struct VerbName {
  const char* name;
  Verb verb;
};
constexpr VerbName kVerbs[] = {
    {"logoff", Verb::LogOff},     {"reboot", Verb::Reboot},   {"shutdown", Verb::Shutdown},
    {"poweroff", Verb::PowerOff}, {"standby", Verb::Standby}, {"hibernate", Verb::Hibernate},
    {"cancel", Verb::Cancel},     {"show", Verb::Show},       {"hide", Verb::Hide},
    {"exit", Verb::Exit},         {"?", Verb::Help},          {"help", Verb::Help},
    {"lock", Verb::Lock},
};

std::string Bad(const std::string& part, const std::string& why) { return "'" + part + "': " + why; }

void Put16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
std::uint8_t Byte(const std::string& s, size_t i) { return static_cast<std::uint8_t>(s[i]); }

}  // namespace

bool EndsSession(Verb verb) {
  switch (verb) {
    case Verb::LogOff:
    case Verb::Reboot:
    case Verb::Shutdown:
    case Verb::PowerOff:
    case Verb::Standby:
    case Verb::Hibernate:
      return true;
    default:
      return false;
  }
}

bool Captures(Verb verb) {
  return verb == Verb::CaptureDesktop || verb == Verb::CaptureWindow || verb == Verb::CaptureRegion ||
         verb == Verb::CaptureLastRegion;
}

bool WaitsForOutcome(Verb verb) { return verb == Verb::CaptureRegion || verb == Verb::CaptureLastRegion; }

std::string EncodeTicket(std::uint32_t ticket) {
  std::string out;
  Put32(out, ticket);
  return out;
}

std::optional<std::uint32_t> DecodeTicket(const std::string& bytes) {
  if (bytes.size() != 4) return std::nullopt;
  std::uint32_t t = 0;
  for (size_t i = 0; i < 4; ++i) t |= static_cast<std::uint32_t>(Byte(bytes, i)) << (8 * i);
  if (t == 0 || t > kMaxTicket) return std::nullopt;
  return t;
}

bool ReplyAlreadyTold(std::intptr_t reply) { return reply == kReplyCancelled || reply == kReplyCaptureFailed; }

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  size_t i = 0, n = line.size();
  while (i < n && IsBlank(line[i])) ++i;
  if (i >= n) return args;
  // The program's path: no escapes.
  std::string first;
  if (line[i] == '"') {
    ++i;
    while (i < n && line[i] != '"') first += line[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !IsBlank(line[i])) first += line[i++];
  }
  args.push_back(first);
  for (;;) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        size_t slashes = 0;
        while (i < n && line[i] == '\\') {
          ++slashes;
          ++i;
        }
        if (i < n && line[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(slashes, '\\');
        }
      } else if (line[i] == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {  // "" inside quotes: one quote
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += line[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

ParseResult Parse(const std::vector<std::string>& args) {
  ParseResult r;
  Command& c = r.command;
  bool timed = false;
  std::string timedPart, conditionPart;
  // A script that asks for silence gets it even when something else is wrong.
  for (const std::string& arg : args)
    if (SwitchName(arg) == "silent") c.silent = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name = SwitchName(arg);
    if (name.empty()) {
      r.error = Bad(arg, "スイッチではありません (/ か - で始めてください)");
      return r;
    }
    auto setVerb = [&](Verb v) {
      if (c.verb != Verb::None) {
        r.error = Bad(arg, "コマンドは一つだけ指定できます");
        return false;
      }
      c.verb = v;
      return true;
    };
    if (name == "silent") {
      // seen above
    } else if (name == "in" || name == "at") {
      if (timed) {
        r.error = Bad(arg, "/in と /at はどちらか一つだけ指定できます");
        return r;
      }
      if (i + 1 >= args.size()) {
        r.error = Bad(arg, name == "in" ? "分数がありません" : "時刻がありません");
        return r;
      }
      const std::string& value = args[++i];
      timed = true;
      timedPart = arg;
      if (name == "in") {
        auto m = ParseMinutes(value);
        if (!m) {
          r.error = Bad(value, "分数は 1 から " + std::to_string(kMaxMinutes) +
                                   " までの整数で指定してください");
          return r;
        }
        c.when = When::In;
        c.minutes = *m;
      } else {
        if (!ParseTimeOfDay(value, c.hour, c.minute)) {
          r.error = Bad(value, "時刻は 00:00 から 23:59 までの HH:MM で指定してください");
          return r;
        }
        c.when = When::At;
      }
    } else if (name == "cpu" || name == "net" || name == "idle") {
      EndConditions& e = c.conditions;
      const bool twice = name == "cpu" ? e.cpuMinutes != 0 : name == "net" ? e.netMinutes != 0 : e.idleMinutes != 0;
      if (twice) {
        r.error = Bad(arg, "同じ条件は一度だけ指定できます");
        return r;
      }
      if (i + 1 >= args.size()) {
        r.error = Bad(arg, name == "idle" ? "分数がありません" : "値がありません");
        return r;
      }
      const std::string& value = args[++i];
      if (conditionPart.empty()) conditionPart = arg;
      if (name == "idle") {
        auto m = ParseMinutes(value);
        if (!m) {
          r.error = Bad(value, "分数は 1 から " + std::to_string(kMaxMinutes) + " までの整数で指定してください");
          return r;
        }
        e.idleMinutes = *m;
      } else if (name == "cpu") {
        std::uint32_t percent = 0;
        if (!ParseThresholdMinutes(value, 100, percent, e.cpuMinutes)) {
          r.error = Bad(value, "/cpu は 使用率:分 (1 から 100 %、1 から " + std::to_string(kMaxMinutes) +
                                   " 分) で指定してください");
          return r;
        }
        e.cpuPercent = static_cast<std::uint8_t>(percent);
      } else {
        if (!ParseThresholdMinutes(value, kMaxKBps, e.netKBps, e.netMinutes)) {
          r.error = Bad(value, "/net は KB毎秒:分 (1 から " + std::to_string(kMaxKBps) + "、1 から " +
                                   std::to_string(kMaxMinutes) + " 分) で指定してください");
          return r;
        }
      }
    } else if (name == "capture") {
      std::string what = i + 1 < args.size() ? Lower(args[i + 1]) : std::string();
      const Verb verb = what == "desktop" ? Verb::CaptureDesktop
                        : what == "window" ? Verb::CaptureWindow
                        : what == "region" ? Verb::CaptureRegion
                        : what == "last"   ? Verb::CaptureLastRegion
                                           : Verb::None;
      if (verb == Verb::None) {
        r.error = Bad(arg, "/capture の後に desktop、window、region、last のどれかを指定してください");
        return r;
      }
      ++i;
      if (!setVerb(verb)) return r;
    } else {
      bool known = false;
      for (const VerbName& v : kVerbs) {
        if (name != v.name) continue;
        known = true;
        if (!setVerb(v.verb)) return r;
      }
      if (!known) {
        r.error = Bad(arg, "知らないスイッチです");
        return r;
      }
    }
  }
  if (timed && !EndsSession(c.verb)) {
    r.error = Bad(timedPart,
                  "/in と /at は /logoff /reboot /shutdown /poweroff /standby /hibernate "
                  "にだけ付けられます");
    c.when = When::Now;
    return r;
  }
  if (!conditionPart.empty() && !EndsSession(c.verb)) {
    r.error = Bad(conditionPart,
                  "/cpu /net /idle は /logoff /reboot /shutdown /poweroff /standby /hibernate "
                  "にだけ付けられます");
    c.conditions = EndConditions();
  } else if (!conditionPart.empty() && timed) {
    r.error = Bad(timedPart, "/in と /at は /cpu /net /idle と一緒には指定できません");
    c.when = When::Now;
  }
  return r;
}

std::string Usage() {
  return "使い方: kivo_config.exe [コマンド] [/in 分 | /at 時:分 | 条件] [/silent]\r\n"
         "\r\n"
         "コマンド:\r\n"
         "  /logoff\tログオフ\r\n"
         "  /reboot\t再起動\r\n"
         "  /shutdown\tシャットダウン\r\n"
         "  /poweroff\t電源切断\r\n"
         "  /standby\tスタンバイ\r\n"
         "  /hibernate\t休止状態\r\n"
         "    この6つは確認なしで実行します。/in 分 を付けるとその分数の後に、\r\n"
         "    /at 時:分 を付けるとその時刻に、タイマーで実行します\r\n"
         "    (60秒前に最後の警告: 中止 / +10分 / 今すぐ)。\r\n"
         "  /cancel\t待機中のタイマー終了・条件終了を中止\r\n"
         "  /capture desktop\tデスクトップをクリップボードにキャプチャ\r\n"
         "  /capture window\tアクティブウィンドウをクリップボードにキャプチャ\r\n"
         "  /capture region\t範囲を選んでキャプチャ (取り消すと終了コード 3)\r\n"
         "  /capture last\t前回の範囲をもう一度キャプチャ\r\n"
         "    キャプチャは設定した秒数 (キャプチャの設定の「遅延」) の後に取ります。\r\n"
         "  /show\tメインウィンドウを表示\r\n"
         "  /hide\tメインウィンドウを隠す\r\n"
         "  /lock\t画面ロック (Vista 以降は Windows のロック)\r\n"
         "  /exit\tKivo-Config を終了\r\n"
         "  /? または /help\tこの説明\r\n"
         "\r\n"
         "条件 (終了のコマンドに付け、組み合わせられます。すべてがそろった時に\r\n"
         "    60秒前の最後の警告を経て実行します):\r\n"
         "  /cpu 使用率:分\tCPU使用率がその%未満でその分数続いた時\r\n"
         "  /net KB毎秒:分\t通信量がそのKB/s未満でその分数続いた時\r\n"
         "  /idle 分\tキーボードとマウスの入力がその分数なかった時\r\n"
         "\r\n"
         "オプション:\r\n"
         "  /silent\tメッセージを出さず、終了コードだけを返す\r\n"
         "\r\n"
         "Kivo-Config が起動中なら、そのコピーにコマンドを渡します。\r\n"
         "スイッチは / でも - でもよく、大文字と小文字を区別しません。\r\n"
         "終了コード: 0 受け付けた, 2 引数が正しくない, 3 起動中のコピーが断った\r\n"
         "    (/capture region と /capture last は 0 で画像を取った, 3 で取らなかった)\r\n"
         "\r\n"
         "例 (タスク スケジューラ): kivo_config.exe /poweroff /at 23:30 /silent\r\n"
         "例: kivo_config.exe /poweroff /cpu 10:15 /net 50:10 /silent";
}

std::string EncodeRecord(const Command& command) {
  std::string out = "KIVC";
  const EndConditions& e = command.conditions;
  const bool asksAgain = command.asksAgain && WaitsForOutcome(command.verb) && !e.Any();
  Put16(out, e.Any() ? kConditionsRecordVersion : asksAgain ? kAskAgainRecordVersion : kRecordVersion);
  out += static_cast<char>(command.verb);
  out += static_cast<char>(command.when);
  Put32(out, command.minutes);
  out += static_cast<char>(command.hour);
  out += static_cast<char>(command.minute);
  out += static_cast<char>(command.silent ? 1 : 0);
  out += '\0';
  if (!e.Any()) return out;
  out += static_cast<char>(e.cpuPercent);
  out.append(3, '\0');
  Put32(out, e.cpuMinutes);
  Put32(out, e.netKBps);
  Put32(out, e.netMinutes);
  Put32(out, e.idleMinutes);
  return out;
}

std::optional<Command> DecodeRecord(const std::string& bytes, std::string* why) {
  auto refuse = [&](const char* reason) -> std::optional<Command> {
    if (why) *why = reason;
    return std::nullopt;
  };
  if (bytes.size() < 6) return refuse("wrong size");
  if (bytes.compare(0, 4, "KIVC") != 0) return refuse("not a command record");
  std::uint16_t version = static_cast<std::uint16_t>(Byte(bytes, 4) | (Byte(bytes, 5) << 8));
  if (version != kRecordVersion && version != kConditionsRecordVersion && version != kAskAgainRecordVersion)
    return refuse("unknown version");
  if (bytes.size() != (version == kConditionsRecordVersion ? kConditionsRecordSize : kRecordSize))
    return refuse("wrong size");
  auto u32 = [&](size_t i) {
    return static_cast<std::uint32_t>(Byte(bytes, i)) | (static_cast<std::uint32_t>(Byte(bytes, i + 1)) << 8) |
           (static_cast<std::uint32_t>(Byte(bytes, i + 2)) << 16) |
           (static_cast<std::uint32_t>(Byte(bytes, i + 3)) << 24);
  };
  Command c;
  std::uint8_t verb = Byte(bytes, 6), when = Byte(bytes, 7);
  if (verb == 0 || verb > kLastVerb || verb == static_cast<std::uint8_t>(Verb::Help))
    return refuse("unknown command");
  if (when > static_cast<std::uint8_t>(When::At)) return refuse("unknown time");
  c.verb = static_cast<Verb>(verb);
  c.when = static_cast<When>(when);
  c.minutes = static_cast<std::uint32_t>(Byte(bytes, 8)) | (static_cast<std::uint32_t>(Byte(bytes, 9)) << 8) |
              (static_cast<std::uint32_t>(Byte(bytes, 10)) << 16) |
              (static_cast<std::uint32_t>(Byte(bytes, 11)) << 24);
  c.hour = Byte(bytes, 12);
  c.minute = Byte(bytes, 13);
  std::uint8_t flags = Byte(bytes, 14);
  if ((flags & ~1u) != 0 || Byte(bytes, 15) != 0) return refuse("unknown flags");
  c.silent = (flags & 1u) != 0;
  if (c.when != When::Now && !EndsSession(c.verb)) return refuse("a time for a command that takes none");
  if (c.when == When::In ? (c.minutes < 1 || c.minutes > kMaxMinutes) : c.minutes != 0)
    return refuse("minutes out of range");
  if (c.when == When::At ? (c.hour > 23 || c.minute > 59) : (c.hour != 0 || c.minute != 0))
    return refuse("time of day out of range");
  if (version == kAskAgainRecordVersion) {
    if (!WaitsForOutcome(c.verb)) return refuse("a ticket for a command that waits for nothing");
    c.asksAgain = true;
  }
  if (version != kConditionsRecordVersion) return c;
  // The conditions: each threshold with its minutes, or neither; at least one.
  EndConditions& e = c.conditions;
  e.cpuPercent = Byte(bytes, 16);
  if (Byte(bytes, 17) != 0 || Byte(bytes, 18) != 0 || Byte(bytes, 19) != 0) return refuse("unknown flags");
  e.cpuMinutes = u32(20);
  e.netKBps = u32(24);
  e.netMinutes = u32(28);
  e.idleMinutes = u32(32);
  auto pair = [](std::uint32_t threshold, std::uint32_t minutes, std::uint32_t high) {
    return minutes == 0 ? threshold == 0 : threshold >= 1 && threshold <= high && minutes <= kMaxMinutes;
  };
  if (!pair(e.cpuPercent, e.cpuMinutes, 100) || !pair(e.netKBps, e.netMinutes, kMaxKBps) ||
      e.idleMinutes > kMaxMinutes)
    return refuse("condition out of range");
  if (!e.Any()) return refuse("conditions without a condition");
  if (c.when != When::Now || !EndsSession(c.verb)) return refuse("conditions for a command that takes none");
  return c;
}

std::string ReplyText(std::intptr_t reply) {
  switch (reply) {
    case kReplyTaken:
      return {};
    case kReplyBadRecord:
      return "起動中の Kivo-Config がコマンドを読めませんでした (版が違う可能性があります)。";
    case kReplyExitBan:
      return "Windowsの終了が禁止されています (詳細設定で解除できます)。";
    case kReplyLocked:
      return "画面がロックされています。";
    case kReplyNothingToCancel:
      return "中止するタイマー終了がありません。";
    case kReplyBusy:
      return "起動中の Kivo-Config は別の操作の途中です。";
    case kReplyStarting:
      return "起動中の Kivo-Config の準備が終わりませんでした。";
    case kReplyConditionsNotOffered:
      return "指定した条件はこのWindowsでは使えません。";
    case kReplyNoLock:
      return "このWindowsでは画面ロックを使えません。";
    case kReplyNoLastRegion:
      return "前回の範囲がまだありません (範囲キャプチャで範囲を選ぶと使えます)。";
    case kReplyRegionOffScreen:
      return "前回の範囲はどのモニタにも入っていません。";
    case kReplyCancelled:
      return "範囲キャプチャは取り消されました。";
    case kReplyCaptureFailed:
      return "キャプチャできませんでした。";
    default:
      return "起動中の Kivo-Config がコマンドに応答しませんでした。";
  }
}

}  // namespace cmdline
