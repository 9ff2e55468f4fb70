#include "platform/qt/qt_platform.h"

#include <QGuiApplication>

namespace tarnlight::qt {

Qt::CursorShape CursorOf(PointerShape shape) {
  switch (shape) {
    case PointerShape::Busy:
      return Qt::WaitCursor;
    case PointerShape::Help:
      return Qt::WhatsThisCursor;
    case PointerShape::Default:
      break;
  }
  return Qt::ArrowCursor;
}

bool OnX11() { return QGuiApplication::platformName() == kX11Platform; }

bool OnWayland() { return QGuiApplication::platformName() == kWaylandPlatform; }

}  // namespace tarnlight::qt
