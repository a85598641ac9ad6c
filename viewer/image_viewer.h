// TForm13, the image viewer: one picture at its natural size in a scrolling
// area; files opened or dropped, a dropped list paged with Back and Next;
// capture commands; beyond them, the clipboard's picture shown and the shown
// picture saved as BMP or JPEG. TForm14, its about box.
#pragma once

#include <functional>
#include <string>

#include "toolkit/toolkit.h"
#include "viewer/pixels.h"
#include "viewer/read_ahead.h"

class TForm13 : public tk::Form {
 public:
  // menuItem: the main menu's V1, off while this viewer is open.
  TForm13(tk::Component* owner, tk::MenuItem* menuItem);
  ~TForm13() override;

  tk::Panel* Panel1;
  tk::Button* Button2;  // 戻る
  tk::Button* Button1;  // 次へ
  tk::Label* Label2;    // page
  tk::Label* Label1;    // count
  tk::ScrollBox* ScrollBox1;
  tk::Image* Image1;
  tk::Memo* Memo1;  // the dropped files, one a line
  tk::OpenDialog* OpenDialog1;
  tk::OpenDialog* SaveDialog1;
  tk::MainMenu* MainMenu1;
  tk::MenuItem *File1, *Open2, *Detail1, *Exit1;
  tk::MenuItem *Tools1, *N1, *D1, *Region1, *LastRegion1, *Paste1, *SaveAs1, *CaptureSettings1;
  tk::MenuItem *Help1, *About1;
  // Runs once after a picture is shown and painted: lets the picture it
  // replaced go, then reads the next entry ahead.
  tk::Timer* AheadTimer;

  void FormCreate(tk::Component* sender);
  void FormShow(tk::Component* sender);
  void FormResize(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  bool WndProc(tk::Message& msg) override;
  void WMDropFiles(tk::Message& msg);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void Open2Click(tk::Component* sender);
  void Detail1Click(tk::Component* sender);
  void Exit1Click(tk::Component* sender);
  void N1Click(tk::Component* sender);
  void D1Click(tk::Component* sender);
  void Region1Click(tk::Component* sender);
  void LastRegion1Click(tk::Component* sender);
  void Paste1Click(tk::Component* sender);
  void SaveAs1Click(tk::Component* sender);
  void CaptureSettings1Click(tk::Component* sender);
  void About1Click(tk::Component* sender);

  int DroppedCount() const { return count_; }
  int Position() const { return position_; }
  const viewer::ReadAhead& Ahead() const { return readAhead_; }

 private:
  // Shows entry `index`: its picture read ahead where there is one, else
  // decoded now; then reads the entry after it ahead.
  void LoadEntry(int index);
  std::string EntryPath(int index) const;
  viewer::Rgb Background() const;
  void ReadAheadNext();
  void AheadTimerTimer(tk::Component* sender);
  void LoadFile(const std::string& path);
  // Decodes with load straight into a new display bitmap and shows it; the
  // earlier picture goes once the new one has its memory, before it is
  // decoded. Errors name `what` (a path).
  void ShowPicture(const std::function<void(viewer::PixelSink&)>& load, const std::string& what);
  tk::MenuItem* menuItem_;
  int count_ = 0;
  int position_ = 0;
  viewer::ReadAhead readAhead_;
  // The picture a picture read ahead replaced, freed once the new one is
  // painted (freeing 70 MB is not for the moment of the click).
  std::shared_ptr<const tk::Picture> leaving_;
};

class TForm14 : public tk::Form {
 public:
  explicit TForm14(tk::Component* owner);
  ~TForm14() override;
  tk::Image* Image1;
  tk::Label* Label1;
  tk::Label* Label2;
  tk::Label* Label3;
  tk::Button* Button1;
};

extern tk::FormSlot<TForm13> Form13;
extern tk::FormSlot<TForm14> Form14;

namespace viewer {
}
