// TForm17, the console options: the twelve address digits, the names of the
// two address buttons, the build name and the ipconfig switches, all stored
// in "F17" on every close. TAboutBox2, the console's about box.
#pragma once

#include <array>

#include "toolkit/toolkit.h"

class TForm17 : public tk::Form {
 public:
  explicit TForm17(tk::Component* owner);
  ~TForm17() override;

  tk::Button* Button1;                  // OK
  std::array<tk::ComboBox*, 12> Boxes;  // ComboBox1 … ComboBox12
  tk::CheckBox* CheckBox1;              // ipconfig /all
  tk::CheckBox* CheckBox2;              // | more
  tk::Edit* Edit1;                      // build name
  tk::Edit* Edit2;                      // row-1 button name
  tk::Edit* Edit3;                      // row-2 button name
  tk::Label* Label1;
  tk::ComboBox* ComboBox(int n) const { return Boxes.at(static_cast<size_t>(n - 1)); }

  void FormCreate(tk::Component* sender);
  void Button1Click(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
};

class TAboutBox2 : public tk::Form {
 public:
  explicit TAboutBox2(tk::Component* owner);
  ~TAboutBox2() override;

  tk::Panel* Panel1;
  tk::Label* ProductName;
  tk::Label* Version;
  tk::Label* Maker;
  tk::Label* Author;
  tk::Button* OKButton;
};

extern tk::FormSlot<TForm17> Form17;
extern tk::FormSlot<TAboutBox2> AboutBox2;
