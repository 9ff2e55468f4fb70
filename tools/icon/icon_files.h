#pragma once

#include <cstdint>
#include <vector>

#include "platform/form_layout.h"

namespace tarnlight::tools {

using Bytes = std::vector<std::uint8_t>;

// The setup dialog's icon as a 16 x 16 RGBA PNG, for the desktop's icon
// theme. Raises std::invalid_argument for a row that is not 16 wide or a
// pixel whose key is not in the palette.
Bytes IconPng(const IconLayout& icon);

// The same icon as an .ico file for the resource compiler: one image of 16
// colours (4 bits a pixel), the layout's palette first, with an AND mask
// for the transparent pixels. Raises std::invalid_argument for a palette of
// more than 16 colours.
Bytes IconIco(const IconLayout& icon);

}  // namespace tarnlight::tools
