#include "app/schedule_follower.h"

#include <string>
#include <vector>

#include "session/session.h"
#include "toolkit/toolkit.h"

namespace {
constexpr const char* kScheduleUnreadable =
    "くり返しの終了の次の値を読み込めないため、くり返しを止めました (タイマー設定で設定し直して下さい)。";
}  // namespace

void ScheduleFollower::Follow(double now) {
  if (!read_ || generation_ != timers::ScheduleGeneration()) {
    read_ = true;
    generation_ = timers::ScheduleGeneration();
    std::vector<std::string> problems;
    watch_.Arm(timers::ReadSchedule(&problems), now);
    if (!problems.empty()) {
      std::string text = kScheduleUnreadable;
      for (const std::string& line : problems) text += "\r\n" + line;
      tk::Application::Instance().MessageBox(text, session::kCaption, tk::mbOk | tk::mbIconExclamation);
    }
  }
  const double due = watch_.Due(now);
  if (due >= 0) actions_.Submit(session::FromSchedule(watch_.Current().action, due));
}
