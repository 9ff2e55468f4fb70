#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QTimer>
#include <Qt>
#include <memory>

namespace tarnlight::qt {

// The flags of a window that covers a screen for the saver. On X11 it
// bypasses the window manager, whose layers could keep always-on-top
// windows and panels above a full-screen window; X11Top keeps it on top.
Qt::WindowFlags CoverWindowFlags();

// Keeps the program's visible windows that bypass the window manager above
// every other window while the saver runs on its own on X11: whenever
// another window is mapped or restacked, they are raised again, as a
// window manager would raise its own top layer. GUI thread only.
class X11Top final : public QAbstractNativeEventFilter {
 public:
  // Null where the session is not X11.
  static std::unique_ptr<X11Top> ForSession();
  ~X11Top() override;

  // `window`: one of the program's own, on the screen to watch.
  void Start(xcb_window_t window);
  void Stop();

  bool nativeEventFilter(const QByteArray& type, void* message,
                         qintptr* result) override;

 private:
  explicit X11Top(xcb_connection_t* connection);
  bool MovedAnotherWindow(const xcb_generic_event_t& event) const;
  void RaiseOwnWindows();

  xcb_connection_t* const connection_;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  bool watching_ = false;
  std::uint32_t rootMask_ = 0;
  // A burst of maps and restacks raises once.
  QTimer raise_;
};

}  // namespace tarnlight::qt
