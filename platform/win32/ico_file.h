#pragma once

#include <cstdint>
#include <vector>

#include "platform/form_layout.h"

namespace tarnlight::win32 {

// The icon as an .ico file for the resource compiler: one 16 x 16 image of
// 16 colours (4 bits a pixel), the layout's palette first, with an AND mask
// for the transparent pixels. Plain C++, so that the build can run it on
// the machine that builds. Raises std::invalid_argument for a palette of
// more than 16 colours.
std::vector<std::uint8_t> IcoFile(const IconLayout& icon);

}  // namespace tarnlight::win32
