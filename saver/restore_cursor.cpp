#include "saver/restore_cursor.h"

#include <cstdint>

namespace tarnlight {

void RestoreCursor(Cursor& cursor) {
  // The count is read as 16 bits, so 65,536 raises reach 0 from anywhere;
  // the bound keeps a cursor that never rises from hanging the exit.
  for (int i = 0; i < 65536; ++i)
    if (static_cast<std::int16_t>(cursor.ShowCursor(true)) >= 0) return;
}

}  // namespace tarnlight
