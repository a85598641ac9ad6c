// TForm20, the web explorer's internet options: the start page and seven
// favourite addresses ("fav0" as the favourites box's text, "fav1" … "fav6"
// as its list), a favourite copied into the browser's URL box. TAboutBox3,
// the web explorer's about box.
#pragma once

#include "toolkit/toolkit.h"

class TForm20 : public tk::Form {
 public:
  explicit TForm20(tk::Component* owner);
  ~TForm20() override;

  tk::PageControl* PageControl1;
  tk::GroupBox* GroupBox1;
  tk::Label* Label1;
  tk::Edit* Edit1;  // the start page
  tk::GroupBox* GroupBox2;
  tk::Label* Label2;
  tk::ComboBox* ComboBox1;  // the favourites
  tk::Button* Button3;      // into the browser's URL box
  tk::ComboBox* ComboBox2;  // the position 1 … 7
  tk::Label* Label3;
  tk::Button* Button2;  // register
  tk::Label* Label4;
  tk::Button* Button1;  // OK

  void FormCreate(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void Button3Click(tk::Component* sender);
};

class TAboutBox3 : public tk::Form {
 public:
  explicit TAboutBox3(tk::Component* owner);
  ~TAboutBox3() override;
  tk::Panel* Panel1;
  tk::Image* ProgramIcon;
  tk::Label* ProductName;
  tk::Label* Version;
  tk::Label* Label1;
  tk::Label* Label2;
  tk::Button* OKButton;
};

extern tk::FormSlot<TForm20> Form20;
extern tk::FormSlot<TAboutBox3> AboutBox3;

namespace browser {
constexpr int kFavourites = 7;
}
