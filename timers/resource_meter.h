// TForm10, the resource meter: the free share of the system, GDI and USER
// resources of the Windows 95/98/Me family, from the system's "rsrc32.dll",
// refreshed every second.
#pragma once

#include "toolkit/toolkit.h"

class TForm10 : public tk::Form {
 public:
  // meterButton: the main window's Button17, off while a meter exists.
  TForm10(tk::Component* owner, tk::Button* meterButton);
  ~TForm10() override;

  tk::Label* Label1;
  tk::ProgressBar* ProgressBar1;
  tk::Label* Label2;
  tk::ProgressBar* ProgressBar2;
  tk::Label* Label3;
  tk::ProgressBar* ProgressBar3;
  tk::CheckBox* CheckBox1;  // hide the main window
  tk::Timer* Timer1;

  void FormCreate(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void CheckBox1Click(tk::Component* sender);
  void Timer1Timer(tk::Component* sender);

 private:
  tk::Button* meterButton_;
};

extern tk::FormSlot<TForm10> Form10;

namespace timers {
constexpr const char* kResourceLibrary = "rsrc32.dll";
constexpr const char* kResourceFunction = "_MyGetFreeSystemResources32@4";
}  // namespace timers
