/* A 1920 x 1080 picture that looks like a desktop capture, the same on
   every run: a wallpaper of soft gradients with a little grain, icons down
   the left, three overlapping windows (title bar, menu line, toolbar icons,
   lines of black "text" on white, a list with a selected row) and the
   taskbar. Plain C, shared by the PNG saving benchmark's two programs.
   Pixels are R, G, B, rows from the top. */
#ifndef KIVO_BENCH_DESKTOP_PICTURE_H
#define KIVO_BENCH_DESKTOP_PICTURE_H

#include <stdlib.h>

enum { kDesktopWidth = 1920, kDesktopHeight = 1080 };

static unsigned desktop_state = 1;
static unsigned desktop_random(void) {
  desktop_state = desktop_state * 1103515245u + 12345u;
  return (desktop_state >> 16) & 0x7FFF;
}

static void desktop_fill(unsigned char* p, int x0, int y0, int w, int h, int r, int g, int b) {
  int x, y;
  for (y = y0; y < y0 + h && y < kDesktopHeight; ++y)
    for (x = x0; x < x0 + w && x < kDesktopWidth; ++x) {
      unsigned char* q = p + ((size_t)y * kDesktopWidth + x) * 3;
      q[0] = (unsigned char)r, q[1] = (unsigned char)g, q[2] = (unsigned char)b;
    }
}

/* Words of glyph-like strokes, 7 pixels high, along one line of text. */
static void desktop_text(unsigned char* p, int x0, int y0, int width, int r, int g, int b) {
  int x = x0;
  while (x < x0 + width - 40) {
    int letters = 2 + (int)(desktop_random() % 8), i;
    for (i = 0; i < letters; ++i) {
      int w = 4 + (int)(desktop_random() % 3), col, row;
      unsigned shape = desktop_random() | (desktop_random() << 15);
      for (col = 0; col < w; ++col)
        for (row = 0; row < 7; ++row)
          if ((shape >> ((col * 7 + row) % 30)) & 1)
            desktop_fill(p, x + col, y0 + row, 1, 1, r, g, b);
      x += w + 1;
    }
    x += 4 + (int)(desktop_random() % 3);
  }
}

static void desktop_icon(unsigned char* p, int x0, int y0, int size) {
  int r = 40 + (int)(desktop_random() % 200), g = 40 + (int)(desktop_random() % 200);
  int b = 40 + (int)(desktop_random() % 200), y;
  desktop_fill(p, x0, y0, size, size, r / 2, g / 2, b / 2);
  for (y = 1; y < size - 1; ++y)
    desktop_fill(p, x0 + 1, y0 + y, size - 2, 1, r + (255 - r) * y / size / 2,
                 g + (255 - g) * y / size / 2, b);
}

static void desktop_window(unsigned char* p, int x0, int y0, int w, int h, int list) {
  int y, x;
  desktop_fill(p, x0, y0, w, h, 212, 208, 200);                 /* frame */
  for (x = 0; x < w - 6; ++x)                                     /* title bar */
    desktop_fill(p, x0 + 3 + x, y0 + 3, 1, 22, 10 + 156 * x / w, 36 + 166 * x / w, 106 + 134 * x / w);
  desktop_text(p, x0 + 26, y0 + 10, w / 3, 255, 255, 255);
  desktop_icon(p, x0 + 6, y0 + 6, 16);
  desktop_fill(p, x0 + w - 60, y0 + 6, 16, 16, 212, 208, 200);    /* buttons */
  desktop_fill(p, x0 + w - 42, y0 + 6, 16, 16, 212, 208, 200);
  desktop_fill(p, x0 + w - 22, y0 + 6, 16, 16, 212, 208, 200);
  desktop_text(p, x0 + 8, y0 + 32, w / 2, 0, 0, 0);               /* menu line */
  for (x = x0 + 8; x < x0 + w / 2; x += 26) desktop_icon(p, x, y0 + 50, 20);
  desktop_fill(p, x0 + 4, y0 + 76, w - 8, h - 80, 255, 255, 255); /* client area */
  for (y = y0 + 82; y < y0 + h - 16; y += 16) {
    if (list && (y - y0) / 16 == 9) desktop_fill(p, x0 + 4, y - 3, w - 8, 15, 49, 106, 197);
    if (list) desktop_icon(p, x0 + 8, y - 2, 12);
    desktop_text(p, x0 + (list ? 26 : 10), y, (int)(w * (5 + desktop_random() % 5) / 10) - 20,
                 list && (y - y0) / 16 == 9 ? 255 : 0, list && (y - y0) / 16 == 9 ? 255 : 0,
                 list && (y - y0) / 16 == 9 ? 255 : 0);
  }
}

/* A photo-like picture of the same size: smooth gradients in every channel
   with fine noise, as a photograph on a desktop is. */
static unsigned char* photo_picture(void) {
  unsigned char* p = (unsigned char*)malloc((size_t)kDesktopWidth * kDesktopHeight * 3);
  int x, y;
  if (!p) return NULL;
  desktop_state = 7;
  for (y = 0; y < kDesktopHeight; ++y)
    for (x = 0; x < kDesktopWidth; ++x) {
      unsigned char* q = p + ((size_t)y * kDesktopWidth + x) * 3;
      int n = (int)(desktop_random() % 17);
      q[0] = (unsigned char)((x * 255 / kDesktopWidth + n) & 255);
      q[1] = (unsigned char)((y * 255 / kDesktopHeight + n / 2) & 255);
      q[2] = (unsigned char)(((x + y) / 12 + n) & 255);
    }
  return p;
}

/* Returns malloc'ed R, G, B pixels, or NULL without memory. */
static unsigned char* desktop_picture(void) {
  unsigned char* p = (unsigned char*)malloc((size_t)kDesktopWidth * kDesktopHeight * 3);
  int x, y;
  if (!p) return NULL;
  desktop_state = 1;
  for (y = 0; y < kDesktopHeight; ++y)
    for (x = 0; x < kDesktopWidth; ++x) {
      unsigned char* q = p + ((size_t)y * kDesktopWidth + x) * 3;
      int grain = (int)(desktop_random() % 5);
      q[0] = (unsigned char)(30 + 60 * y / kDesktopHeight + grain);
      q[1] = (unsigned char)(90 + 70 * x / kDesktopWidth - 30 * y / kDesktopHeight + grain);
      q[2] = (unsigned char)(140 + 80 * (x + y) / (kDesktopWidth + kDesktopHeight) + grain);
    }
  for (y = 20; y < 900; y += 90) {
    desktop_icon(p, 30, y, 32);
    desktop_text(p, 14, y + 40, 70, 255, 255, 255);
  }
  desktop_window(p, 180, 60, 900, 640, 0);
  desktop_window(p, 760, 240, 820, 560, 1);
  desktop_window(p, 1240, 120, 600, 420, 0);
  desktop_fill(p, 0, kDesktopHeight - 40, kDesktopWidth, 40, 212, 208, 200); /* taskbar */
  desktop_fill(p, 4, kDesktopHeight - 36, 90, 32, 60, 140, 60);
  desktop_text(p, 30, kDesktopHeight - 24, 50, 255, 255, 255);
  for (x = 110; x < 900; x += 170) {
    desktop_fill(p, x, kDesktopHeight - 36, 160, 32, 230, 228, 222);
    desktop_icon(p, x + 6, kDesktopHeight - 28, 16);
    desktop_text(p, x + 28, kDesktopHeight - 24, 120, 0, 0, 0);
  }
  desktop_text(p, kDesktopWidth - 80, kDesktopHeight - 24, 60, 0, 0, 0);
  return p;
}

#endif
