// PNG through libpng, over bytes in memory.
#pragma once

#include <string>

#include "viewer/pixels.h"

namespace viewer {

// A 24-bit colour PNG of the pixels, with libpng's default compression and
// filters; raises PictureError when it cannot be made.
std::string EncodePng(const Pixels& pixels);

}  // namespace viewer
