#include "platform/qt/qt_platform.h"

#include <QGuiApplication>

namespace tarnlight::qt {

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

bool OnWayland() {
  return QGuiApplication::platformName() == QLatin1String("wayland");
}

}  // namespace tarnlight::qt
