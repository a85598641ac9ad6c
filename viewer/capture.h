// Window and desktop capture: the Print Screen key sequences for each
// command and platform family, the capture window TForm24, and the picture
// put on the clipboard the program's own way where the system has no Print
// Screen handling (as under Wine).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "toolkit/toolkit.h"
#include "viewer/capture_file.h"

namespace viewer {

enum class CaptureCommand {
  ActiveWindow,    // the capture window's "キャプチャ"
  Desktop,         // the tray's desktop capture
  ViewerWindow,    // the viewer's "アクティブウィンドウ取得"
  ViewerDesktop,   // the viewer's "デスクトップキャプチャ"
};

struct KeyCall {
  std::uint8_t vk, scan;
  std::uint32_t flags;
};

// The keybd_event calls of a command for a platform family (1: 95/98/Me,
// 2: NT); none for another family, except the viewer's two commands.
std::vector<KeyCall> CaptureKeys(CaptureCommand command, unsigned family);

// Sends the keys; when the clipboard has not changed after them (no Print
// Screen handling), puts the window's picture (or the screen's, for 0)
// there itself, and writes the file when the settings say so. Returns false
// when no picture reached the clipboard. Nothing of the file's settings can
// stop the clipboard's picture: they are read only when a file is wanted,
// and a value that cannot be read is named afterwards, in one message with
// any failure to write the file.
bool Capture(const std::vector<KeyCall>& keys, platform::Handle window, platform::Handle owner);

// The capture settings as stored (section "Capture"). A value the store
// cannot read (another registry type) keeps its default: its ident goes to
// unreadable, and the store's message with where it is to problems.
struct StoredCaptureSettings {
  CaptureFileSettings settings;
  std::vector<std::string> unreadable;
  std::vector<std::string> problems;
};
// The values to read; the others are left as they are.
enum CaptureSettingsPart : unsigned {
  kCaptureToFile = 1,        // "ToFile"
  kCaptureMonitor = 2,       // "Monitor"
  kCaptureFileSettings = 4,  // "Folder", "Pattern", "Format", "Quality"
  kCaptureCursor = 8,        // "Cursor"
  kCaptureDelay = 16,        // "Delay"
  kCaptureAllSettings = 31,
};
void ReadCaptureSettings(StoredCaptureSettings& into, unsigned parts);
StoredCaptureSettings ReadCaptureSettings();  // every value
// Writes every value but the idents in keep, which stay as stored.
void WriteCaptureSettings(const CaptureFileSettings& settings, const std::vector<std::string>& keep = {});
// The folder a capture goes to when none is set: the user's picture folder,
// else the program's own.
std::string DefaultCaptureFolder();
std::string CaptureFolder(const CaptureFileSettings& settings);
// Writes a captured picture as the settings say, under a name no file has
// yet; returns its path, or raises PictureError naming the folder.
// title: what was taken, for the pattern's %T (the window's title, "Desktop").
std::string SaveCapture(const Pixels& pixels, const CaptureFileSettings& settings,
                        const std::string& title = "Desktop");

// Puts a picture taken by the program where every capture goes: on the
// clipboard (CF_DIB and PNG) and, when stored says so ("ToFile", read by the
// caller), into a file named after title, whose settings are read into
// stored only then. False when the clipboard did not take it; why no file
// was written goes to failure.
bool DeliverCapture(const Pixels& pixels, platform::Handle owner, const std::string& title,
                    StoredCaptureSettings& stored, std::string& failure);
// After a capture: the settings' values that could not be read and why no
// file was written, in one message (none when there is nothing to say).
void ReportCapture(const StoredCaptureSettings& stored, const std::string& failure);

constexpr unsigned kWsVisible = 0x10000000;
constexpr unsigned kClipboardWaitMs = 500;

}  // namespace viewer

class TForm24 : public tk::Form {
 public:
  // family: the main window's PlatformFamily.
  TForm24(tk::Component* owner, unsigned family);
  ~TForm24() override;

  tk::Label* Label2;
  tk::ListBox* ListBox1;
  tk::Button* Button2;  // get the windows
  tk::Button* Button3;  // capture
  tk::Label* Label1;
  tk::Edit* Edit1;
  tk::CheckBox* CheckBox1;  // leave out hidden windows
  tk::Button* Button1;      // close

  void Button1Click(tk::Component* sender);
  void Button2Click(tk::Component* sender);
  void Button3Click(tk::Component* sender);
  void ListBox1Click(tk::Component* sender);
  void ListBox1DblClick(tk::Component* sender);
  void FormCloseQuery(tk::Component* sender, bool& canClose);

  const std::string& SelectedTitle() const { return selectedTitle_; }

 private:
  unsigned family_;
  std::string selectedTitle_;
};

extern tk::FormSlot<TForm24> Form24;
