// The start-up logo and the two about boxes of the application shell.
#pragma once

#include "toolkit/toolkit.h"

// Borderless start-up logo, shown for two seconds while the main window is made.
class TForm5 : public tk::Form {
 public:
  explicit TForm5(tk::Component* owner);
  tk::Image* Image1;
};

// The version box.
class TAboutBox : public tk::Form {
 public:
  explicit TAboutBox(tk::Component* owner);
  tk::Panel* Panel1;
  tk::Image* ProgramIcon;
  tk::Label* ProductName;
  tk::Label* Version;
  tk::Label* Copyright;
  tk::Label* Comments;
  tk::Label* Label3;
  tk::Label* Label1;
  tk::Label* Label2;
  tk::Button* OKButton;

  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void Label1Click(tk::Component* sender);
  void Label2Click(tk::Component* sender);
  void Label1MouseMove(tk::Component* sender);
  void Panel1MouseMove(tk::Component* sender);
};

// The change-history box.
class TAboutBox1 : public tk::Form {
 public:
  explicit TAboutBox1(tk::Component* owner);
  tk::Memo* Memo1;
  tk::Button* OKButton;
  void FormClose(tk::Component* sender, tk::CloseAction& action);
};

extern tk::FormSlot<TForm5> Form5;
// The logo over the owner for two seconds of the clock (a clock set back
// ends the wait), the messages pumped meanwhile.
void ShowLogo(tk::Form* owner);
extern tk::FormSlot<TAboutBox> AboutBox;
extern tk::FormSlot<TAboutBox1> AboutBox1;

constexpr const char* kMakerWebAddress = "http://kivo-project.example.org/";
constexpr const char* kMakerMailAddress = "support@kivo-project.example.org";
