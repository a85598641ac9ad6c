// The Win32 implementation of platform::Platform: every member calls the
// wide-character Win32 function it is named after, converting UTF-8 text at
// the boundary.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace platform {

std::unique_ptr<Platform> CreateWin32Platform();

}  // namespace platform
