#pragma once

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

namespace tarnlight::qt {

// Qt's own X connection, or null when the session is not X11.
inline xcb_connection_t* XcbConnection() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

template <typename Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

// The reply to a request, or null. An error comes back here rather than on
// the event queue, where Qt would print it.
template <typename Reply, typename Cookie>
XcbReply<Reply> XcbAsk(xcb_connection_t* c, Cookie cookie,
                       Reply* (*reply)(xcb_connection_t*, Cookie,
                                       xcb_generic_error_t**)) {
  xcb_generic_error_t* error = nullptr;
  XcbReply<Reply> answer(reply(c, cookie, &error), &std::free);
  std::free(error);
  return answer;
}

}  // namespace tarnlight::qt
