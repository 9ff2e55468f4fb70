#include "platform/qt/qt_x11_grab.h"

#include <cstdio>

#include "platform/qt/qt_xcb.h"

namespace tarnlight::qt {
namespace {

constexpr int kRetryMs = 100;
constexpr int kTries = 50;

}  // namespace

std::unique_ptr<X11Grab> X11Grab::ForSession() {
  xcb_connection_t* c = XcbConnection();
  return c ? std::unique_ptr<X11Grab>(new X11Grab(c)) : nullptr;
}

X11Grab::X11Grab(xcb_connection_t* connection) : connection_(connection) {
  retry_.setInterval(kRetryMs);
  connect(&retry_, &QTimer::timeout, this, [this] { Try(); });
}

void X11Grab::Start(xcb_window_t window) {
  Stop();
  window_ = window;
  triesLeft_ = kTries;
  Try();
}

void X11Grab::Stop() {
  retry_.stop();
  if (held_ == Held::KeyboardAndPointer)
    xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
  if (held_ != Held::Nothing) {
    xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
    xcb_flush(connection_);
  }
  held_ = Held::Nothing;
}

// The keyboard first: a key reaching a hidden window costs more than a
// click. Each grab is one round trip to the server.
void X11Grab::Try() {
  if (held_ == Held::Nothing && GrabKeyboard()) held_ = Held::Keyboard;
  if (held_ == Held::Keyboard && GrabPointer())
    held_ = Held::KeyboardAndPointer;
  if (held_ == Held::KeyboardAndPointer) {
    retry_.stop();
    return;
  }
  if (--triesLeft_ > 0) {
    retry_.start();
    return;
  }
  retry_.stop();
  std::fprintf(stderr, "tarnlight: another program holds the %s\n",
               held_ == Held::Nothing ? "keyboard" : "pointer");
}

bool X11Grab::GrabKeyboard() {
  auto reply =
      XcbAsk(connection_,
             xcb_grab_keyboard(connection_, false, window_, XCB_CURRENT_TIME,
                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
             &xcb_grab_keyboard_reply);
  return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
}

// No pointer events are asked for: the mouse does not end the saver. The
// window's own blank cursor shows wherever the pointer goes.
bool X11Grab::GrabPointer() {
  auto reply = XcbAsk(
      connection_,
      xcb_grab_pointer(connection_, false, window_, 0, XCB_GRAB_MODE_ASYNC,
                       XCB_GRAB_MODE_ASYNC, XCB_WINDOW_NONE, XCB_CURSOR_NONE,
                       XCB_CURRENT_TIME),
      &xcb_grab_pointer_reply);
  return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
}

}  // namespace tarnlight::qt
