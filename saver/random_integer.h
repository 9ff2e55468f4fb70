#pragma once

#include <cstdint>

#include "platform/services.h"

namespace tarnlight {

// floor(r * span + low) for a fresh uniform r in [0, 1), reseeding from the
// clock first: low up to but not including low + span for span >= 1, low
// for span 0, and low + span up to low for a negative span. 32 bits wide so
// that window-sized spans of any monitor fit.
std::int32_t RandomInteger(Random& random, Clock& clock, std::int32_t low,
                           std::int32_t span);

}  // namespace tarnlight
