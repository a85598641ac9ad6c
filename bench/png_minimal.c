/* bench_png_minimal.exe: the reference of the PNG saving benchmark. It
   writes the benchmark's desktop picture (desktop_picture.h) to a file the
   plainest way libpng offers, with its default settings, and prints the
   time that took (opening the file to closing it) and the file's size:
     ms=12.34 bytes=123456
   Usage: bench_png_minimal.exe FILE [photo]   (photo: the photo-like picture) */
#include <stdio.h>
#include <windows.h>

#include <png.h>

#include "desktop_picture.h"

int main(int argc, char** argv) {
  unsigned char* pixels = argc == 3 ? photo_picture() : desktop_picture();
  png_bytep rows[kDesktopHeight];
  LARGE_INTEGER frequency, start, end;
  png_structp png;
  png_infop info;
  FILE* f;
  long size;
  int y;
  if (argc < 2 || argc > 3 || !pixels) return 2;
  for (y = 0; y < kDesktopHeight; ++y) rows[y] = pixels + (size_t)y * kDesktopWidth * 3;

  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  f = fopen(argv[1], "wb");
  if (!f) return 1;
  png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  info = png ? png_create_info_struct(png) : NULL;
  if (!info || setjmp(png_jmpbuf(png))) return 1;
  png_init_io(png, f);
  png_set_IHDR(png, info, kDesktopWidth, kDesktopHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, NULL);
  png_destroy_write_struct(&png, &info);
  size = ftell(f);
  fclose(f);
  QueryPerformanceCounter(&end);

  printf("ms=%.2f bytes=%ld\n", (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart, size);
  free(pixels);
  return 0;
}
