#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "platform/qt/display_power.h"
#include "platform/qt/player_view.h"
#include "platform/qt/qt_host_window.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_screen_covers.h"
#include "platform/qt/qt_x11_grab.h"
#include "platform/qt/qt_x11_top.h"
#include "platform/window.h"

namespace tarnlight::qt {

class QtTimer final : public Timer {
 public:
  explicit QtTimer(int intervalMs) { timer_.setInterval(intervalMs); }
  bool Enabled() const override { return timer_.isActive(); }
  void SetEnabled(bool enabled) override;
  QTimer& timer() { return timer_; }

 private:
  QTimer timer_;
};

// The saver's black, frameless window over the whole primary screen, with
// the engine's picture as a child: one surface, which Wayland allows where
// it would not let a client place a second top-level window. Every other
// screen gets a black cover of its own. Inside a host's window
// (XScreenSaver) it fills that window instead and covers nothing else.
// Started on its own on X11 it holds the keyboard and the pointer and stays
// above every other window until it closes.
class QtSaverWindow final : public QWidget, public SaverWindow {
 public:
  explicit QtSaverWindow(const SaverLayout& layout);

  int Width() const override;
  int Height() const override;
  double TwipsPerPixel() const override { return kTwipsPerPixel; }
  Timer& timer() override { return timer_; }
  Engine& engine() override { return *view_.player; }
  void Show(WindowEvents& events) override;
  void Close() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Tab is a character key here, not a move to the next control.
  bool focusNextPrevChild(bool) override { return false; }

 private:
  void CoverPrimaryScreen();
  void WatchPrimaryGeometry(QScreen& screen);
  void FollowPrimaryScreen();
  void ReportKey(int character);
  void ReportClosed();

  const SaverLayout layout_;
  PlayerView view_;
  QtTimer timer_;
  WindowEvents* events_ = nullptr;
  std::unique_ptr<HostWindow> host_;
  ScreenCovers covers_;
  std::unique_ptr<X11Grab> grab_;
  std::unique_ptr<X11Top> top_;
  std::unique_ptr<DisplayPowerWatch> power_;
  QMetaObject::Connection primaryGeometry_;
};

}  // namespace tarnlight::qt
