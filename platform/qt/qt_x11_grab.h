#pragma once

#include <xcb/xcb.h>

#include <QObject>
#include <QTimer>
#include <memory>

namespace tarnlight::qt {

// The keyboard and the pointer held for the saver's window while it runs
// on its own on X11, as screen savers and lockers hold them: no key or
// click then reaches a window that a window manager focused or opened
// behind the saver. A grab that another client holds (an open menu) is
// waited out for a few seconds. GUI thread only.
class X11Grab final : public QObject {
 public:
  // Null where the session is not X11.
  static std::unique_ptr<X11Grab> ForSession();

  // Grabs both for `window` as soon as the server allows it: the window
  // must be viewable, and no other client may hold either.
  void Start(xcb_window_t window);
  // Hands back whatever is held.
  void Stop();

 private:
  enum class Held { Nothing, Keyboard, KeyboardAndPointer };

  explicit X11Grab(xcb_connection_t* connection);
  void Try();
  bool GrabKeyboard();
  bool GrabPointer();

  xcb_connection_t* const connection_;
  xcb_window_t window_ = XCB_WINDOW_NONE;
  Held held_ = Held::Nothing;
  int triesLeft_ = 0;
  QTimer retry_;
};

}  // namespace tarnlight::qt
