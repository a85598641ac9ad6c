// TForm21, the user settings: the main window's caption, the caption of the
// lock dialogs, and the user name and comment that the unlock prompt shows.
#pragma once

#include "toolkit/toolkit.h"

class TForm21 : public tk::Form {
 public:
  explicit TForm21(tk::Component* owner);
  ~TForm21() override;

  tk::Button* Button1;  // close
  tk::Button* Button2;  // apply
  tk::Edit* Edit1;      // lock dialogs' caption ("Title")
  tk::Edit* Edit2;      // user name ("User")
  tk::Edit* Edit3;      // main window's caption ("Form1C")
  tk::Edit* Edit4;      // comment ("Coment")
  tk::Label* Label1;
  tk::Label* Label2;
  tk::Label* Label3;
  tk::Label* Label4;

  void FormCreate(tk::Component* sender);
  void FormActivate(tk::Component* sender);
  void Edit1Change(tk::Component* sender);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
};

extern tk::FormSlot<TForm21> Form21;
