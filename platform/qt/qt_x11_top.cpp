#include "platform/qt/qt_x11_top.h"

#include <QApplication>
#include <QWidget>

#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_xcb.h"

namespace tarnlight::qt {
namespace {

constexpr Qt::WindowFlags kBypass = Qt::X11BypassWindowManagerHint;

bool OwnWindow(xcb_window_t window) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->internalWinId() == window) return true;
  }
  return false;
}

}  // namespace

Qt::WindowFlags CoverWindowFlags() {
  Qt::WindowFlags flags = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
  if (OnX11()) flags |= kBypass;
  return flags;
}

std::unique_ptr<X11Top> X11Top::ForSession() {
  xcb_connection_t* c = XcbConnection();
  return c ? std::unique_ptr<X11Top>(new X11Top(c)) : nullptr;
}

X11Top::X11Top(xcb_connection_t* connection) : connection_(connection) {
  raise_.setSingleShot(true);
  raise_.setInterval(0);
  QObject::connect(&raise_, &QTimer::timeout, [this] { RaiseOwnWindows(); });
}

X11Top::~X11Top() { Stop(); }

// Substructure events of the root tell of every top-level window's maps
// and restacks; the mask is added to what Qt already asked of the root.
void X11Top::Start(xcb_window_t window) {
  if (watching_) return;
  auto geometry = XcbAsk(connection_, xcb_get_geometry(connection_, window),
                         &xcb_get_geometry_reply);
  if (!geometry) return;
  root_ = geometry->root;
  auto attributes =
      XcbAsk(connection_, xcb_get_window_attributes(connection_, root_),
             &xcb_get_window_attributes_reply);
  rootMask_ = attributes ? attributes->your_event_mask : 0;
  const std::uint32_t mask = rootMask_ | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  QCoreApplication::instance()->installNativeEventFilter(this);
  watching_ = true;
  RaiseOwnWindows();
}

void X11Top::Stop() {
  if (!watching_) return;
  watching_ = false;
  raise_.stop();
  if (QCoreApplication* application = QCoreApplication::instance())
    application->removeNativeEventFilter(this);
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK,
                               &rootMask_);
  xcb_flush(connection_);
}

bool X11Top::nativeEventFilter(const QByteArray& type, void* message,
                               qintptr*) {
  if (type == "xcb_generic_event_t" &&
      MovedAnotherWindow(*static_cast<xcb_generic_event_t*>(message)))
    raise_.start();
  return false;
}

// Raising the program's own windows tells of them too, and must not raise
// them again.
bool X11Top::MovedAnotherWindow(const xcb_generic_event_t& event) const {
  xcb_window_t parent = XCB_WINDOW_NONE, window = XCB_WINDOW_NONE;
  switch (event.response_type & ~0x80) {
    case XCB_MAP_NOTIFY: {
      const auto& map = reinterpret_cast<const xcb_map_notify_event_t&>(event);
      parent = map.event;
      window = map.window;
      break;
    }
    case XCB_CONFIGURE_NOTIFY: {
      const auto& configure =
          reinterpret_cast<const xcb_configure_notify_event_t&>(event);
      parent = configure.event;
      window = configure.window;
      break;
    }
    case XCB_CIRCULATE_NOTIFY: {
      const auto& circulate =
          reinterpret_cast<const xcb_circulate_notify_event_t&>(event);
      parent = circulate.event;
      window = circulate.window;
      break;
    }
    default:
      return false;
  }
  return parent == root_ && window != root_ && !OwnWindow(window);
}

void X11Top::RaiseOwnWindows() {
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->windowFlags().testFlags(kBypass))
      xcb_configure_window(connection_, widget->internalWinId(),
                           XCB_CONFIG_WINDOW_STACK_MODE, &above);
  }
  xcb_flush(connection_);
}

}  // namespace tarnlight::qt
