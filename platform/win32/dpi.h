#pragma once

#include "platform/form_layout.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

// The DPI the system was started at, which its stock fonts are made for.
UINT SystemDpi();

// Dots per inch as this thread's DPI awareness sees them: a monitor's own
// under per-monitor awareness, the system's under system awareness, 96 when
// unaware. Before Windows 8.1, the system's.
UINT DpiOfMonitor(HMONITOR monitor);

// The DPI `window` is laid out at; before Windows 10 1607, that of its
// monitor.
UINT DpiOfWindow(HWND window);

// This thread takes on `window`'s DPI awareness for good, so that the windows
// it makes from now on can be children of that one and share its pixels:
// Windows refuses a child whose awareness differs from its parent's. Does
// nothing before Windows 10 1607, where awareness is the process's alone.
void AdoptDpiAwarenessOf(HWND window);

}  // namespace tarnlight::win32
