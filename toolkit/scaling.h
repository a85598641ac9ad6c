// Lengths in the program's layouts are at 96 DPI (a 12-pixel font is 9 pt);
// a window shows them at its own DPI. Both backends convert with these, so
// the windows never do.
//
// Sizes go by the window's DPI (a monitor's own, with per-monitor awareness);
// places on the screen (a form's left and top, the screen's size) by the
// system's DPI, which is the same for every window, so that a stored place
// comes back where it was whatever monitor the window was on.
#pragma once

#include "toolkit/component.h"

namespace tk {

constexpr int kLayoutDpi = 96;

struct Dpi {
  int value = kLayoutDpi;

  // Rounded to the nearest pixel, halves away from zero (as MulDiv does).
  static int Mul(int v, int num, int den) {
    if (num == den) return v;
    long long p = static_cast<long long>(v) * num;
    long long q = (p >= 0 ? p + den / 2 : p - den / 2) / den;
    return static_cast<int>(q);
  }
  int Px(int layout) const { return Mul(layout, value, kLayoutDpi); }
  int Layout(int px) const { return Mul(px, kLayoutDpi, value); }
  // Edges are scaled, not widths, so that controls that touch at 96 DPI
  // still touch.
  Rect Px(const Rect& r) const {
    int l = Px(r.left), t = Px(r.top);
    return Rect{l, t, Px(r.left + r.width) - l, Px(r.top + r.height) - t};
  }
  Rect Layout(const Rect& r) const {
    int l = Layout(r.left), t = Layout(r.top);
    return Rect{l, t, Layout(r.left + r.width) - l, Layout(r.top + r.height) - t};
  }
  // A font's height (negative: the character height) keeps its sign.
  Font Px(const Font& f) const {
    Font out = f;
    out.height = Px(f.height);
    return out;
  }
  bool operator==(const Dpi& o) const { return value == o.value; }
  bool operator!=(const Dpi& o) const { return value != o.value; }
};

}  // namespace tk
