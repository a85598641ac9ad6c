// TForm21, the user settings: the main window's caption, the caption of the
// lock dialogs, and the user name and comment that the unlock prompt shows.
#pragma once

#include <string>

#include "settings/keys.h"
#include "settings/settings_store.h"
#include "toolkit/toolkit.h"

namespace lock {
// The user's texts in section "F8", read and written side by side. A value
// that is missing reads as its default; one of another type than text
// raises settings::StoreError and leaves the record as it was.
struct UserTexts {
  std::string lockTitle = settings::kDefaultLockTitle;     // "Title": the lock dialogs' caption
  std::string user = settings::kDefaultUser;               // "User": shown by the unlock prompt
  std::string mainCaption = settings::kDefaultMainCaption;  // "Form1C": the main window's caption
  std::string comment;                                     // "Coment": shown by the unlock prompt

  void Read(settings::SettingsStore& store);
  void Write(settings::SettingsStore& store) const;
  bool operator==(const UserTexts& o) const {
    return lockTitle == o.lockTitle && user == o.user && mainCaption == o.mainCaption && comment == o.comment;
  }
};
}  // namespace lock

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
