// The program's start: single-instance guard, main window, message loop.
#pragma once

#include <string>

// Runs the application on the installed platform and toolkit backend.
// Returns the process exit code: 0 after a normal run, -1 when refused.
int RunKivoConfig();

// The application's title: the executable's file name without its extension.
std::string ApplicationTitle(const std::string& exePath);

constexpr const char* kInstanceMutexName = "double_boot";
// How long a second copy waits for the running one to take its command.
constexpr unsigned kForwardTimeoutMs = 10000;
// How long it waits for the outcome of a region capture (the user choosing).
constexpr unsigned kForwardOutcomeTimeoutMs = 30u * 60u * 1000u;
// How long a copy still starting is asked again, and how often.
constexpr unsigned kForwardStartingMs = 20000;
constexpr unsigned kForwardRetryMs = 250;
