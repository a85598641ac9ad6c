// The program's start: single-instance guard, main window, message loop.
#pragma once

// Runs the application on the installed platform and toolkit backend.
// Returns the process exit code: 0 after a normal run, -1 when refused.
int RunKivoConfig();

constexpr const char* kInstanceMutexName = "double_boot";
