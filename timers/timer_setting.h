// TForm12, the runner's timer setting: the time (hours, minutes, seconds),
// when the end comes (after the time, at the time of day, when the launched
// program ends, when the conditions hold), the end itself, the conditions'
// thresholds and minutes, and the time of day's repetition by day of the
// week (the schedule, armed by the main window).
#pragma once

#include "timers/conditions.h"
#include "timers/schedule.h"
#include "toolkit/toolkit.h"

class TForm12 : public tk::Form {
 public:
  explicit TForm12(tk::Component* owner);
  ~TForm12() override;

  tk::Label* Label1;
  tk::ComboBox* ComboBox1;  // hours
  tk::Label* Label2;
  tk::ComboBox* ComboBox2;  // minutes
  tk::Label* Label3;
  tk::ComboBox* ComboBox3;  // seconds
  tk::Label* Label4;
  tk::GroupBox* GroupBox1;  // 終了する時
  tk::RadioButton* RadioButton1;  // 時間後
  tk::RadioButton* RadioButton2;  // 時刻に
  tk::RadioButton* RadioButton3;  // アプリケーション終了時
  tk::RadioButton* RadioButton4;  // 条件がそろった時
  // The time of day again on chosen days: on or off, which days (every
  // day, weekdays, chosen ones), and a box a day, Monday first.
  tk::GroupBox* GroupBox3;
  tk::CheckBox* CheckBox4;  // 毎週くり返す
  tk::ComboBox* ComboBox5;  // 毎日 / 平日 / 曜日を選ぶ
  tk::CheckBox* DayBoxes[timers::kWeekDays];  // CheckBox5 … CheckBox11
  // The conditions: each a check box with its threshold and minutes, and
  // the reason where the system does not offer it.
  tk::GroupBox* GroupBox2;
  tk::CheckBox* CheckBox1;  // CPU
  tk::Edit* Edit1;          // %
  tk::Edit* Edit2;          // minutes
  tk::CheckBox* CheckBox2;  // network
  tk::Edit* Edit3;          // KB/s
  tk::Edit* Edit4;          // minutes
  tk::CheckBox* CheckBox3;  // no input
  tk::Edit* Edit5;          // minutes
  tk::Label* Label6;        // "% 未満"
  tk::Label* Label7;        // "KB/s 未満"
  tk::Label* Label8;        // "分続いた時", a row each
  tk::Label* Label9;
  tk::Label* Label10;
  tk::Label* Label11;       // why a condition is not offered here
  tk::Label* Label5;              // 動作
  tk::ComboBox* ComboBox4;        // the action
  tk::Button* Button1;  // OK
  tk::Button* Button2;  // キャンセル: closes writing nothing

  void FormCreate(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);

  // The mode the radio buttons choose (timers::kAfterTime …).
  int ChosenMode() const;

 private:
  // The heading, the time's lists and units, the conditions and the repeat
  // group as the chosen mode uses them: what it does not use is disabled.
  void FollowMode();
  void WriteRepeat(int mode, int action);
  timers::Conditions conditions_;  // as read; what the boxes do not change
  timers::Schedule schedule_;      // as read
  bool scheduleSound_ = true;      // it could be read: a close may write it
  bool offered_[timers::kConditionCount] = {true, true, true};  // by this system
  bool cancelled_ = false;
};

extern tk::FormSlot<TForm12> Form12;
