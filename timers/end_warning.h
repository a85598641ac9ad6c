// TForm26, the last warning before the program runner acts: the seconds
// left and the action, with "中止" (stop the countdown), "+10分" (ten more
// minutes) and "今すぐ" (act now). It stays above every other window.
#pragma once

#include <functional>
#include <string>

#include "toolkit/toolkit.h"

class TForm26 : public tk::Form {
 public:
  struct Commands {
    std::function<void()> stop, moreTime, now;
  };
  TForm26(tk::Component* owner, Commands commands);
  ~TForm26() override;

  tk::Label* Label1;  // "あと N 秒で <action>します"
  tk::Button* Button1;  // 中止
  tk::Button* Button2;  // +10分
  tk::Button* Button3;  // 今すぐ

  void ShowRemaining(long long seconds, const std::string& action);

 private:
  Commands commands_;
};

extern tk::FormSlot<TForm26> Form26;
