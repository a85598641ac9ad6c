// The program the runner's wait benchmark waits for: it sleeps for the
// milliseconds given on its command line and ends, touching no window (a
// program that polled windows would send messages to the runner and wake it).
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
  unsigned long ms = std::wcstoul(args, nullptr, 10);
  Sleep(ms);
  return 0;
}
