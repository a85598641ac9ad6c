// The main window's status bar line: what the program last said there (an
// end that failed, "" for nothing), and in its place, while the mouse is on
// a launcher switched off, why it is off.
#pragma once

#include <string>

#include "toolkit/toolkit.h"

class StatusLine {
 public:
  // The bar it writes, once the window has made it.
  void Attach(tk::StatusBar* bar) { bar_ = bar; }
  // The program's own line, shown at once (a reason shown goes).
  void Show(const std::string& text);
  // The mouse on something with a reason to show ("" for nothing): the
  // reason in place of the line, the line back once the mouse leaves.
  void PointAt(const std::string& reason);

 private:
  tk::StatusBar* bar_ = nullptr;
  std::string text_;
  bool reasonShown_ = false;
};
