#pragma once

#include "platform/geometry.h"

namespace tarnlight {

// The size a clip is shown at: its own, or scaled down with its aspect
// ratio kept when it does not fit inside `bounds`. Never empty.
PixelSize FitInside(PixelSize clip, PixelSize bounds);

}  // namespace tarnlight
