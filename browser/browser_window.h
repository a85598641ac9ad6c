// TForm18, the web explorer: the system's web-browser control under a URL
// box with its history and six buttons (go, back, forward, stop, home,
// refresh), a status bar with the last navigation-command notice, and the
// internet options and about box of the options file.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/toolkit.h"

class TForm18;

namespace browser {
constexpr const char* kDefaultHomePage = "http://";
// The file whose presence says that the system has the browser control, by
// Windows version; empty when nothing is tested. Shows the version's notice.
std::string PresenceTestPath();
// The main window's opener: the presence test with its notices, then a new
// browser window owned by owner (opened whatever the test says).
TForm18* OpenBrowser(tk::Component* owner, tk::MenuItem* menuItem);

// From Vista on the browser control draws pages as Internet Explorer 7
// unless the program asks, by its own file name, for another mode
// (FEATURE_BROWSER_EMULATION under the user's key; the uninstaller removes
// it). The mode of the newest engine an Internet Explorer version string
// ("11.0.19041.1", "9.11.9600.0") names; 0 where it names none newer than 7
// or is no version at all.
std::uint32_t EmulationMode(const std::string& version);
constexpr const char* kFeatureControlKey =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
// Writes the mode for this program's file name where the system has an
// engine newer than 7 (NT 6 and later; nothing elsewhere).
void AskForTheNewestEngine();
}  // namespace browser

class TForm18 : public tk::Form {
 public:
  // menuItem: the main menu's KivoExplorerVer101, off while this is open.
  TForm18(tk::Component* owner, tk::MenuItem* menuItem);
  ~TForm18() override;

  tk::Panel* Panel1;
  tk::Label* Label1;
  tk::ComboBox* ComboBox1;  // the URL box
  tk::Button* SpeedButton3;  // go
  tk::Button* SpeedButton2;  // back
  tk::Button* SpeedButton1;  // forward
  tk::Button* SpeedButton4;  // stop
  tk::Button* SpeedButton5;  // home
  tk::Button* SpeedButton6;  // refresh
  tk::WebBrowser* CppWebBrowser1;
  tk::StatusBar* StatusBar1;
  tk::OpenDialog* OpenDialog1;
  tk::MainMenu* MainMenu1;
  tk::MenuItem *File1, *Open1, *N1, *Tools1, *N2, *Help1, *About1;

  void FormCreate(tk::Component* sender);
  void FormShow(tk::Component* sender);
  void FormResize(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);
  void SpeedButton1Click(tk::Component* sender);
  void SpeedButton2Click(tk::Component* sender);
  void SpeedButton3Click(tk::Component* sender);
  void SpeedButton4Click(tk::Component* sender);
  void SpeedButton5Click(tk::Component* sender);
  void SpeedButton6Click(tk::Component* sender);
  void CppWebBrowser1CommandStateChange(tk::Component* sender, long command, bool enable);
  void Open1Click(tk::Component* sender);
  void N1Click(tk::Component* sender);
  void N2Click(tk::Component* sender);
  void About1Click(tk::Component* sender);

 private:
  tk::MenuItem* menuItem_;
};

extern tk::FormSlot<TForm18> Form18;
