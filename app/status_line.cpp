#include "app/status_line.h"

void StatusLine::Show(const std::string& text) {
  text_ = text;
  reasonShown_ = false;
  if (bar_) bar_->SetSimpleText(text);
}

void StatusLine::PointAt(const std::string& reason) {
  if (!bar_) return;
  if (!reason.empty()) {
    if (bar_->SimpleText() != reason) bar_->SetSimpleText(reason);
    reasonShown_ = true;
  } else if (reasonShown_) {
    bar_->SetSimpleText(text_);
    reasonShown_ = false;
  }
}
