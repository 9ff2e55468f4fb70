#pragma once

#include <Qt>

#include "platform/controls.h"
#include "platform/form_layout.h"

namespace tarnlight::qt {

// Qt lays windows out in its own device-independent pixels and scales
// them for the screen itself, so a twip is always a 96-dpi fifteenth.
inline constexpr double kTwipsPerPixel = TwipsPerPixelAt(96);

Qt::CursorShape CursorOf(PointerShape shape);

// Qt's names of its platforms, as QT_QPA_PLATFORM asks for them.
inline constexpr char kX11Platform[] = "xcb";
inline constexpr char kWaylandPlatform[] = "wayland";

// Which of Qt's platforms the run is on; it never changes in a run.
bool OnX11();
bool OnWayland();

}  // namespace tarnlight::qt
