#pragma once

#include "platform/window.h"

namespace tarnlight {

// The saver window's design values: the player `vid` sits at 120, 120 with
// a size of 3,585 x 2,685 twips until a clip says otherwise, and the timer
// ticks once a second.
inline constexpr SaverLayout kFrmVidLayout{"vid", 120, 120, 3585, 2685, 1000};

}  // namespace tarnlight
