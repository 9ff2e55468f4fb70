#pragma once

#include "shared/version.h"

namespace tarnlight {

// The application the settings are stored under, and the title of the
// program's message boxes.
inline constexpr const char* kProgramName = TARNLIGHT_NAME;

}  // namespace tarnlight
