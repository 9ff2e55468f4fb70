#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <QWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace tarnlight::qt {

// The window id in XSCREENSAVER_WINDOW: "0x" and hex digits, or decimal
// digits; 0 for anything else, or for an id wider than X11's 29 bits.
std::uint32_t ParseWindowId(std::string_view text);

// A window that a screen-saver host such as XScreenSaver made for the saver
// to draw in, named by XSCREENSAVER_WINDOW. X11 only: the host owns the
// window, its size and the keyboard. GUI thread only.
class HostWindow final : public QAbstractNativeEventFilter {
 public:
  // The host's window, or null when the variable is unset, names no
  // drawable window that exists, or the session is not X11.
  static std::unique_ptr<HostWindow> FromEnvironment();
  ~HostWindow() override;

  // Makes `widget` a child of the host's window that fills it, and keeps it
  // filling it when the host resizes it. `gone` runs if the host destroys
  // its window, which takes the widget's with it.
  void Embed(QWidget& widget, std::function<void()> gone);

  bool nativeEventFilter(const QByteArray& type, void* message,
                         qintptr* result) override;

 private:
  HostWindow(std::uint32_t id, QSize size) : id_(id), size_(size) {}

  const std::uint32_t id_;
  QSize size_;
  QWindow* foreign_ = nullptr;
  QPointer<QWidget> widget_;
  std::function<void()> gone_;
};

}  // namespace tarnlight::qt
