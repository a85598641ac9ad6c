#include "timers/timer_setting.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "session/session.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "timers/runner.h"

tk::FormSlot<TForm12> Form12("Form12");

namespace {
namespace key = settings::key;
constexpr const char* kNoDay = "くり返す曜日を一つ以上選んで下さい。";
constexpr const char* kNoTimeOfDay = "時刻は0:00から23:59までで設定して下さい。";
// The heading of each mode (timers::kAfterTime …).
constexpr const char* kHeadings[timers::kEndModes] = {
    "アプリケーションを終了させるまでの時間を設定して下さい。",
    "アプリケーションを終了させる時刻を設定して下さい。",
    "起動したアプリケーションが終了した時に終了します。",
    "下の条件がそろった時に終了します。",
};
// The conditions' group: how they go with the mode, or where they apply.
constexpr const char* kConditionsAlone = "条件 (選んだものがすべて続いた時)";
constexpr const char* kConditionsAfter = "条件 (終了後、選んだものがすべて続いた時)";
constexpr const char* kConditionsUnused = "条件 (アプリケーション終了時と条件がそろった時)";
}  // namespace

TForm12::TForm12(tk::Component* owner) : tk::Form(owner) {
  Name = "Form12";
  Border = tk::BorderStyle::Single;
  Icons.minimize = Icons.maximize = false;
  SetCaption("タイマー設定");
  SetClientSize(381, 412);
  Label1 = new tk::Label(this, "Label1", {16, 12, 350, 12},
                         "アプリケーションを終了させるまでの時間を設定して下さい。");
  std::vector<std::string> hours, steps;
  for (int h = 0; h < 24; ++h) hours.push_back(std::to_string(h));
  for (int m : {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 59}) steps.push_back(std::to_string(m));
  ComboBox1 = new tk::ComboBox(this, "ComboBox1", {16, 40, 57, 20});
  ComboBox1->SetItems(hours);
  ComboBox1->DropDownCount = 5;
  Label2 = new tk::Label(this, "Label2", {78, 44, 30, 12}, "時間");
  ComboBox2 = new tk::ComboBox(this, "ComboBox2", {128, 40, 57, 20});
  ComboBox2->SetItems(steps);
  ComboBox2->DropDownCount = 5;
  Label3 = new tk::Label(this, "Label3", {190, 44, 20, 12}, "分");
  ComboBox3 = new tk::ComboBox(this, "ComboBox3", {232, 40, 57, 20});
  ComboBox3->SetItems(steps);
  Label4 = new tk::Label(this, "Label4", {294, 44, 20, 12}, "秒");
  GroupBox1 = new tk::GroupBox(this, "GroupBox1", {16, 72, 200, 110}, "終了する時");
  RadioButton1 = new tk::RadioButton(this, "RadioButton1", {28, 90, 180, 17}, "時間後");
  RadioButton2 = new tk::RadioButton(this, "RadioButton2", {28, 112, 180, 17}, "時刻に");
  RadioButton3 = new tk::RadioButton(this, "RadioButton3", {28, 134, 180, 17}, "アプリケーション終了時");
  RadioButton4 = new tk::RadioButton(this, "RadioButton4", {28, 156, 180, 17}, "条件がそろった時");
  // The time of day again, every week on the days chosen.
  GroupBox3 = new tk::GroupBox(this, "GroupBox3", {16, 190, 355, 64}, "くり返し (時刻に)");
  CheckBox4 = new tk::CheckBox(this, "CheckBox4", {28, 208, 100, 17}, "毎週くり返す");
  ComboBox5 = new tk::ComboBox(this, "ComboBox5", {132, 206, 110, 20});
  ComboBox5->SetItems({"毎日", "平日", "曜日を選ぶ"});
  for (int i = 0; i < timers::kWeekDays; ++i)
    DayBoxes[i] = new tk::CheckBox(this, "CheckBox" + std::to_string(5 + i), {28 + 46 * i, 230, 40, 17},
                                  timers::DayName(i));
  // The conditions: alone, or after the program has ended.
  GroupBox2 = new tk::GroupBox(this, "GroupBox2", {16, 262, 355, 116}, "条件 (選んだものがすべて続いた時)");
  auto number = [this](const char* name, int left, int top) {
    auto* e = new tk::Edit(this, name, {left, top, 40, 20});
    e->MaxLength = 7;
    return e;
  };
  CheckBox1 = new tk::CheckBox(this, "CheckBox1", {28, 282, 90, 17}, "CPU使用率");
  Edit1 = number("Edit1", 120, 280);
  Edit2 = number("Edit2", 226, 280);
  CheckBox2 = new tk::CheckBox(this, "CheckBox2", {28, 308, 90, 17}, "通信量");
  Edit3 = number("Edit3", 120, 306);
  Edit4 = number("Edit4", 226, 306);
  CheckBox3 = new tk::CheckBox(this, "CheckBox3", {28, 334, 90, 17}, "入力なし");
  Edit5 = number("Edit5", 226, 332);
  Label6 = new tk::Label(this, "Label6", {164, 284, 60, 12}, "% 未満");
  Label7 = new tk::Label(this, "Label7", {164, 310, 60, 12}, "KB/s 未満");
  Label8 = new tk::Label(this, "Label8", {270, 284, 90, 12}, "分続いた時");
  Label9 = new tk::Label(this, "Label9", {270, 310, 90, 12}, "分続いた時");
  Label10 = new tk::Label(this, "Label10", {270, 336, 90, 12}, "分続いた時");
  Label11 = new tk::Label(this, "Label11", {28, 358, 336, 14}, "");
  for (tk::Label* l : {Label6, Label7, Label8, Label9, Label10, Label11}) l->ShowAccelChar = false;
  Label5 = new tk::Label(this, "Label5", {232, 76, 60, 12}, "動作");
  ComboBox4 = new tk::ComboBox(this, "ComboBox4", {232, 92, 120, 20});
  std::vector<std::string> actions;
  for (int a = 0; a < session::kTimerSettingActions; ++a)
    actions.push_back(session::EndActionName(session::EndActionOfStored(a)));
  ComboBox4->SetItems(actions);
  Button1 = new tk::Button(this, "Button1", {214, 382, 75, 25}, "OK");
  Button1->OnClick = [this](tk::Component* s) { Button1Click(s); };
  Button2 = new tk::Button(this, "Button2", {296, 382, 75, 25}, "キャンセル");
  Button2->OnClick = [this](tk::Component* s) { Button2Click(s); };
  for (tk::RadioButton* r : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
    r->OnClick = [this](tk::Component*) { FollowMode(); };
  CheckBox4->OnClick = [this](tk::Component*) { FollowMode(); };
  ComboBox5->OnChange = [this](tk::Component*) {
    // Every day and weekdays show their days; chosen days start from them.
    const int preset = ComboBox5->ItemIndex();
    if (preset == 0 || preset == 1)
      for (int i = 0; i < timers::kWeekDays; ++i) DayBoxes[i]->SetChecked(preset == 0 || i < 5);
    FollowMode();
  };
  OnCreate = [this](tk::Component* s) { FormCreate(s); };
  OnCloseQuery = [this](tk::Component* s, bool& c) { FormCloseQuery(s, c); };
}

TForm12::~TForm12() = default;

void TForm12::FormCreate(tk::Component*) {
  timers::PlaceFromStore(*this, key::F12);
  settings::SettingsStore store;
  tk::ComboBox* boxes[] = {ComboBox1, ComboBox2, ComboBox3};
  for (int i = 0; i < 3; ++i) {
    int index = store.ReadInteger(key::F12, key::CountItems[i], 0);
    // An index that was edited out of range selects the first item.
    if (index < 0 || index >= static_cast<int>(boxes[i]->Items().size())) index = 0;
    boxes[i]->SetItemIndex(index);
  }
  store.Close();
  tk::RadioButton* modes[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
  modes[timers::StoredEndMode()]->SetChecked(true);
  ComboBox4->SetItemIndex(session::StoredOf(timers::StoredEndAction()));
  // Values that cannot be read show their defaults, which the close writes.
  conditions_ = timers::ReadConditions(nullptr);
  const platform::OsVersion version = platform::Get().GetVersionEx();
  struct Row {
    tk::CheckBox* on;
    tk::Edit* threshold;
    tk::Edit* minutes;
  } rows[] = {{CheckBox1, Edit1, Edit2}, {CheckBox2, Edit3, Edit4}, {CheckBox3, nullptr, Edit5}};
  std::string reasons;
  for (int i = 0; i < timers::kConditionCount; ++i) {
    const timers::ConditionSetting& c = conditions_.of[i];
    Row& r = rows[i];
    r.on->SetChecked(c.on);
    if (r.threshold) r.threshold->SetText(std::to_string(c.threshold));
    r.minutes->SetText(std::to_string(c.minutes));
    // Not offered here: shown off, with the reason; the stored choice stays.
    const std::string reason = timers::ConditionUnavailable(static_cast<timers::Condition>(i), version);
    offered_[i] = reason.empty();
    if (offered_[i]) continue;
    reasons += (reasons.empty() ? "" : "  ") + r.on->Caption() + ": " + reason;
  }
  Label11->SetCaption(reasons);

  std::vector<std::string> problems;
  schedule_ = timers::ReadSchedule(&problems);
  scheduleSound_ = problems.empty();
  for (int i = 0; i < timers::kWeekDays; ++i) DayBoxes[i]->SetChecked(schedule_.days[i]);
  const std::string days = timers::FormatDays(schedule_.days);
  ComboBox5->SetItemIndex(days == "1111111" ? 0 : days == "1111100" ? 1 : 2);
  CheckBox4->SetChecked(schedule_.on);
  if (schedule_.on) {
    // The schedule's own time in the lists, where they hold it.
    ComboBox1->SetText(std::to_string(schedule_.hour));
    ComboBox2->SetText(std::to_string(schedule_.minute));
  }
  FollowMode();
}

int TForm12::ChosenMode() const {
  return RadioButton2->Checked()   ? timers::kAtTimeOfDay
         : RadioButton3->Checked() ? timers::kWhenProgramEnds
         : RadioButton4->Checked() ? timers::kWhenConditionsHold
                                   : timers::kAfterTime;
}

void TForm12::FollowMode() {
  const int mode = ChosenMode();
  const bool timeOfDay = mode == timers::kAtTimeOfDay;
  Label1->SetCaption(kHeadings[mode]);
  // Hours and minutes count a time or name a time of day; seconds only the
  // former. The program's end and the conditions use no time.
  const bool timed = mode == timers::kAfterTime || timeOfDay;
  Label2->SetCaption(timeOfDay ? "時" : "時間");
  for (tk::Control* c : std::vector<tk::Control*>{ComboBox1, Label2, ComboBox2, Label3}) c->SetEnabled(timed);
  ComboBox3->SetEnabled(mode == timers::kAfterTime);
  Label4->SetEnabled(mode == timers::kAfterTime);
  // The conditions: alone, after the program's end, or not at all.
  const bool withConditions = mode == timers::kWhenProgramEnds || mode == timers::kWhenConditionsHold;
  GroupBox2->SetCaption(mode == timers::kWhenConditionsHold ? kConditionsAlone
                        : mode == timers::kWhenProgramEnds  ? kConditionsAfter
                                                            : kConditionsUnused);
  GroupBox2->SetEnabled(withConditions);
  const std::vector<tk::Control*> rows[timers::kConditionCount] = {
      {CheckBox1, Edit1, Label6, Edit2, Label8}, {CheckBox2, Edit3, Label7, Edit4, Label9}, {CheckBox3, Edit5, Label10}};
  for (int i = 0; i < timers::kConditionCount; ++i)
    for (tk::Control* c : rows[i]) c->SetEnabled(withConditions && offered_[i]);
  Label11->SetEnabled(withConditions);

  const bool on = timeOfDay && CheckBox4->Checked();
  CheckBox4->SetEnabled(timeOfDay);
  ComboBox5->SetEnabled(on);
  for (tk::CheckBox* d : DayBoxes) d->SetEnabled(on && ComboBox5->ItemIndex() == 2);
}

void TForm12::WriteRepeat(int mode, int action) {
  // Only the time of day repeats; with another mode the schedule stays as
  // it is, shown but not changed.
  if (mode != timers::kAtTimeOfDay) return;
  timers::Schedule s = schedule_;
  s.on = CheckBox4->Checked();
  if (s.on) {
    for (int i = 0; i < timers::kWeekDays; ++i) s.days[i] = DayBoxes[i]->Checked();
    // Read by the close, which refuses a time that is no time of day.
    std::int32_t h = 0, m = 0;
    settings::ParseInteger(ComboBox1->Text(), h);
    settings::ParseInteger(ComboBox2->Text(), m);
    s.hour = h;
    s.minute = m;
    s.action = session::EndActionOfStored(action);
  }
  // Unreadable stored values stay as they are until the user changes them.
  if (!(s == schedule_) || (s.on && !scheduleSound_)) timers::WriteSchedule(s);
}

void TForm12::Button1Click(tk::Component*) { Close(); }

void TForm12::Button2Click(tk::Component*) {
  cancelled_ = true;
  Close();
}

void TForm12::FormCloseQuery(tk::Component*, bool& canClose) {
  if (cancelled_) {  // nothing written, not even the place
    Release();
    canClose = true;
    return;
  }
  if (RadioButton2->Checked() && CheckBox4->Checked()) {
    // A weekly end is armed only at a day and a time the user chose.
    bool any = false;
    for (tk::CheckBox* d : DayBoxes) any = any || d->Checked();
    std::int32_t h = -1, m = -1;
    const bool time = settings::ParseInteger(ComboBox1->Text(), h) && settings::ParseInteger(ComboBox2->Text(), m) &&
                      h >= 0 && h <= 23 && m >= 0 && m <= 59;
    if (!any || !time) {
      tk::Application::Instance().ShowMessage(!any ? kNoDay : kNoTimeOfDay);
      canClose = false;
      return;
    }
  }
  settings::SettingsStore store;
  settings::WritePosition(store, key::F12, Left(), Top());
  tk::ComboBox* boxes[] = {ComboBox1, ComboBox2, ComboBox3};
  for (int i = 0; i < 3; ++i) store.WriteInteger(key::F12, key::CountItems[i], boxes[i]->ItemIndex());
  for (int i = 0; i < 3; ++i) store.WriteString(key::F12, key::CountTexts[i], boxes[i]->Text());
  // The mode and action are stored once they leave their defaults, so that
  // the defaults write exactly what they always wrote.
  const int mode = ChosenMode();
  const int action = std::max(0, ComboBox4->ItemIndex());
  if (mode != 0 || !store.ReadString(key::F12, key::Mode, "").empty())
    store.WriteInteger(key::F12, key::Mode, mode);
  if (action != 0 || !store.ReadString(key::F12, key::Act, "").empty())
    store.WriteInteger(key::F12, key::Act, action);
  store.Close();
  // A number that is not one, or out of range, keeps what was there.
  auto value = [](tk::Edit* e, std::int32_t& into, std::int32_t high) {
    std::int32_t v = 0;
    if (settings::ParseInteger(e->Text(), v) && v >= 1 && v <= high) into = v;
  };
  tk::CheckBox* on[] = {CheckBox1, CheckBox2, CheckBox3};
  for (int i = 0; i < timers::kConditionCount; ++i)
    if (offered_[i]) conditions_.of[i].on = on[i]->Checked();
  value(Edit1, conditions_.of[timers::kCpuCondition].threshold, timers::MaxThreshold(timers::kCpuCondition));
  value(Edit2, conditions_.of[timers::kCpuCondition].minutes, timers::kMaxConditionMinutes);
  value(Edit3, conditions_.of[timers::kNetCondition].threshold, timers::MaxThreshold(timers::kNetCondition));
  value(Edit4, conditions_.of[timers::kNetCondition].minutes, timers::kMaxConditionMinutes);
  value(Edit5, conditions_.of[timers::kIdleCondition].minutes, timers::kMaxConditionMinutes);
  timers::WriteConditions(conditions_);
  WriteRepeat(mode, action);
  Release();
  canClose = true;
}
