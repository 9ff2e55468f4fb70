#include "platform/qt/qt_host_window.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_xcb.h"

namespace tarnlight::qt {
namespace {

constexpr std::uint32_t kLargestId = 0x1fffffff;

// The host's window in the widget's own pixels.
QSize LogicalSize(QSize pixels, const QWidget* widget) {
  qreal ratio = widget ? widget->devicePixelRatioF() : 1.0;
  return (QSizeF(pixels) / ratio).toSize();
}

}  // namespace

std::uint32_t ParseWindowId(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return 0;
  std::uint64_t id = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9'                 ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
    if (digit < 0) return 0;
    id = id * base + digit;
    if (id > kLargestId) return 0;
  }
  return static_cast<std::uint32_t>(id);
}

std::unique_ptr<HostWindow> HostWindow::FromEnvironment() {
  if (!OnX11()) return nullptr;
  std::uint32_t id =
      ParseWindowId(qgetenv("XSCREENSAVER_WINDOW").toStdString());
  xcb_connection_t* c = id ? XcbConnection() : nullptr;
  if (!c) return nullptr;
  auto attributes = XcbAsk(c, xcb_get_window_attributes(c, id),
                           &xcb_get_window_attributes_reply);
  auto geometry = XcbAsk(c, xcb_get_geometry(c, id), &xcb_get_geometry_reply);
  if (!attributes || !geometry ||
      attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
    return nullptr;
  return std::unique_ptr<HostWindow>(
      new HostWindow(id, QSize(geometry->width, geometry->height)));
}

HostWindow::~HostWindow() {
  if (QCoreApplication* application = QCoreApplication::instance())
    application->removeNativeEventFilter(this);
  // The foreign window would take the widget's window down with it.
  if (widget_ && widget_->windowHandle())
    widget_->windowHandle()->setParent(nullptr);
  delete foreign_;
}

void HostWindow::Embed(QWidget& widget, std::function<void()> gone) {
  widget_ = &widget;
  gone_ = std::move(gone);
  foreign_ = QWindow::fromWinId(id_);
  widget.winId();
  widget.windowHandle()->setParent(foreign_);
  QCoreApplication::instance()->installNativeEventFilter(this);

  // Added to whatever this connection already asked of the host's window;
  // the size is read again after that, so no resize can fall in between.
  xcb_connection_t* c = XcbConnection();
  auto attributes = XcbAsk(c, xcb_get_window_attributes(c, id_),
                           &xcb_get_window_attributes_reply);
  std::uint32_t mask = (attributes ? attributes->your_event_mask : 0) |
                       XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, id_, XCB_CW_EVENT_MASK, &mask);
  if (auto geometry =
          XcbAsk(c, xcb_get_geometry(c, id_), &xcb_get_geometry_reply))
    size_ = QSize(geometry->width, geometry->height);
  widget.setGeometry(QRect(QPoint(0, 0), LogicalSize(size_, &widget)));
}

bool HostWindow::nativeEventFilter(const QByteArray& type, void* message,
                                   qintptr*) {
  if (type != "xcb_generic_event_t") return false;
  auto* event = static_cast<xcb_generic_event_t*>(message);
  switch (event->response_type & ~0x80) {
    case XCB_CONFIGURE_NOTIFY: {
      auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
      if (configure->window != id_ || configure->event != id_) break;
      size_ = QSize(configure->width, configure->height);
      if (widget_)
        widget_->setGeometry(QRect(QPoint(0, 0), LogicalSize(size_, widget_)));
      break;
    }
    case XCB_DESTROY_NOTIFY: {
      auto* destroy = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
      if (destroy->window != id_ || destroy->event != id_ || !gone_) break;
      // Out of Qt's event handling, which still has the event in hand.
      QMetaObject::invokeMethod(QCoreApplication::instance(), gone_,
                                Qt::QueuedConnection);
      gone_ = nullptr;
      break;
    }
    default:
      break;
  }
  return false;
}

}  // namespace tarnlight::qt
