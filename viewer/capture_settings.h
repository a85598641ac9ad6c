// TForm28, "キャプチャの設定": whether captures also go to files, where,
// under which name and in which format, and whether a desktop capture takes
// every monitor or the one under the mouse, with the mouse cursor or
// without, and how many seconds each capture waits. Opened from the
// viewer's Tools menu.
#pragma once

#include <string>
#include <vector>

#include "toolkit/toolkit.h"

class TForm28 : public tk::Form {
 public:
  explicit TForm28(tk::Component* owner);
  ~TForm28() override;

  tk::CheckBox* CheckBox1;  // also save to a file
  tk::Label* Label1;
  tk::Edit* Edit1;          // folder
  tk::Button* Button3;      // browse
  tk::Label* Label2;
  tk::Edit* Edit2;          // name pattern
  tk::Label* Label3;        // the name the next capture gets
  tk::Label* Label4;
  tk::ComboBox* ComboBox1;  // PNG, JPEG, BMP
  tk::Label* Label5;
  tk::Edit* Edit3;          // JPEG quality
  tk::CheckBox* CheckBox2;  // only the monitor under the mouse
  tk::CheckBox* CheckBox3;  // the mouse cursor in desktop captures
  tk::Label* Label6;
  tk::ComboBox* ComboBox2;  // the delay before each capture: none, 3, 5, 10 seconds
  tk::Button* Button1;      // OK
  tk::Button* Button2;      // キャンセル
  tk::OpenDialog* FolderDialog1;

  void FormCreate(tk::Component* sender);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void Button3Click(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);

 private:
  // What the controls hold: at opening, and when OK is pressed.
  struct Values {
    bool toFile = false, monitor = false, cursor = false;
    std::string folder, pattern, quality;
    int format = 0;
    int delay = 0;  // ComboBox2's index
  };
  Values Current() const;
  void ShowExample();
  // Values the store could not read: shown at their defaults, and kept by
  // OK unless the user changes them.
  std::vector<std::string> unreadable_;
  Values opened_;
};

extern tk::FormSlot<TForm28> Form28;
