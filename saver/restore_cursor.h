#pragma once

#include "platform/services.h"

namespace tarnlight {

// Raises the cursor display count until the cursor shows; always asks at
// least once.
void RestoreCursor(Cursor& cursor);

}  // namespace tarnlight
