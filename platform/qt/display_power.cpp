#include "platform/qt/display_power.h"

#include <xcb/dpms.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>

namespace tarnlight::qt {
namespace {

constexpr int kCheckMs = 2000;

// True unless the server's power saving has the display dark. A round trip
// to the local server: as quick as the toolkit's own.
bool DisplayOn() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11 ? x11->connection() : nullptr;
  if (!c) return true;
  const xcb_query_extension_reply_t* dpms =
      xcb_get_extension_data(c, &xcb_dpms_id);
  if (!dpms || !dpms->present) return true;
  xcb_generic_error_t* error = nullptr;
  xcb_dpms_info_reply_t* info =
      xcb_dpms_info_reply(c, xcb_dpms_info(c), &error);
  std::free(error);
  bool on = !info || !info->state || info->power_level == XCB_DPMS_DPMS_MODE_ON;
  std::free(info);
  return on;
}

}  // namespace

DisplayPowerWatch::DisplayPowerWatch(std::function<void(bool on)> changed)
    : changed_(std::move(changed)) {
  timer_.setInterval(kCheckMs);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { Check(); });
  timer_.start();
}

void DisplayPowerWatch::Check() {
  bool on = DisplayOn();
  if (on == on_) return;
  on_ = on;
  changed_(on);
}

}  // namespace tarnlight::qt
