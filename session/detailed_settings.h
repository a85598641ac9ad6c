// TForm6, the detailed settings dialog: the options that act when Windows
// ends or when the application starts, and the main window's colour.
#pragma once

#include "session/session.h"
#include "toolkit/toolkit.h"

class TForm6 : public tk::Form {
 public:
  TForm6(tk::Component* owner, session::MainWindowAccess& main);

  tk::Bevel* Bevel1;
  tk::Button* Button1;
  tk::CheckBox* CheckBox1;
  tk::CheckBox* CheckBox2;
  tk::CheckBox* CheckBox3;
  tk::CheckBox* CheckBox4;
  tk::ComboBox* ComboBox1;
  tk::Button* Button2;
  tk::CheckBox* CheckBox5;
  tk::CheckBox* CheckBox6;
  tk::ColorDialog* ColorDialog1;

  void FormCreate(tk::Component* sender);
  void FormShow(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void CheckBox3Click(tk::Component* sender);

 private:
  session::MainWindowAccess& main_;
};

extern tk::FormSlot<TForm6> Form6;
