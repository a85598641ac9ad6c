// TForm15, the network command console: buttons that type ping, ipconfig,
// directory, colour and exit commands into every MS-DOS prompt window.
#pragma once

#include <array>
#include <string>

#include "netconsole/keys.h"
#include "toolkit/toolkit.h"

namespace netconsole {
// The title of the prompt windows the console types into.
constexpr const char* kPromptTitle = "MS-DOS プロンプト";
constexpr const char* kCaptionPrefix = "Kivo-Brevo PingSender Ver1.0 ";

// Shared by every console: the twelve address digits (row 1: d1-d6, row 2:
// d7-d12; three digits an octet, hundreds first).
extern std::array<int, 12> DigitTable;

// The options' ipconfig switches ("F17": CK1 " /all", CK2 "|more"), as a
// console read them at its opening and at its 更新.
struct IpconfigSwitches {
  bool all = false;
  bool more = false;
};

// Every top-level window titled exactly as a prompt window, topmost first.
std::vector<std::uintptr_t> PromptWindows();
// Brings each prompt window to the front in turn and types the keys into it.
// Returns false when stop() ended it early.
bool SendToPromptWindows(const KeySequence& keys, const std::function<bool()>& stop);
// Starts a command interpreter in a prompt window: "command.com" on the
// 95/98/Me family; where that cannot start (the NT family, Wine) the
// system's interpreter in a console titled as a prompt window.
void StartPrompt(std::uintptr_t owner);
// True while a console types a sequence: its pauses let other clicks in,
// in that console or another, and they are refused until it is done.
bool Typing();
}  // namespace netconsole

class TForm15 : public tk::Form {
 public:
  // menuItem: the main menu's CommandSender1, off while a console is open.
  TForm15(tk::Component* owner, tk::MenuItem* menuItem);
  ~TForm15() override;

  tk::Button* Button2;   // Ping
  tk::Button* Button10;  // Ipconfig
  tk::Button* Button3;   // row-1 address
  tk::Button* Button4;   // row-2 address
  tk::Button* Button1;   // Enter
  tk::Button* Button9;   // options
  tk::Button* Button16;  // update
  tk::CheckBox* CheckBox1;
  tk::Bevel* Bevel1;
  tk::Label* Label1;
  tk::Button* Button12;  // blue
  tk::Button* Button13;  // green
  tk::Button* Button14;  // red
  tk::Button* Button15;  // purple
  tk::Bevel* Bevel2;
  tk::Button* Button8;   // another prompt
  tk::Button* Button7;   // Backspace
  tk::Button* Button11;  // root directory
  tk::Button* Button5;   // about
  tk::Button* Button6;   // exit

  void FormCreate(tk::Component* sender);
  void FormShow(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void CheckBox1Click(tk::Component* sender);
  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void Button3Click(tk::Component* sender);
  void Button4Click(tk::Component* sender);
  void Button5Click(tk::Component* sender);
  void Button6Click(tk::Component* sender);
  void Button7Click(tk::Component* sender);
  void Button8Click(tk::Component* sender);
  void Button9Click(tk::Component* sender);
  void Button10Click(tk::Component* sender);
  void Button11Click(tk::Component* sender);
  void Button12Click(tk::Component* sender);
  void Button13Click(tk::Component* sender);
  void Button14Click(tk::Component* sender);
  void Button15Click(tk::Component* sender);
  void Button16Click(tk::Component* sender);

  // True while a sequence is being typed, by this console or another.
  bool Typing() const { return netconsole::Typing(); }

 private:
  void Send(const netconsole::KeySequence& keys);
  void Colour(const char* code);
  void LoadDigitsAndFlags();
  void ShowCaption();
  tk::MenuItem* menuItem_;
  netconsole::IpconfigSwitches switches_;
  bool holdsMenu_ = false;  // switched menuItem_ off and not closed yet
  bool closed_ = false;
};

extern tk::FormSlot<TForm15> Form15;
