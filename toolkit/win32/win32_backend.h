// The Win32 toolkit backend: forms are top-level windows of the "KivoForm"
// class, controls are the standard Win32 and common controls, and the event
// loop is the thread's message loop.
#pragma once

#include <memory>

#include "toolkit/toolkit.h"

namespace tk {

std::unique_ptr<Backend> CreateWin32Backend();

}  // namespace tk
