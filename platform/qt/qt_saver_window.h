#pragma once

#include <QTimer>
#include <QWidget>

#include "platform/qt/mpv_player.h"
#include "platform/windows.h"

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
// the player as a child: one surface, which Wayland allows where it would
// not let a client place a second top-level window.
class QtSaverWindow final : public QWidget, public SaverWindow {
 public:
  explicit QtSaverWindow(const SaverLayout& layout);

  int Width() const override;
  int Height() const override;
  Player& vid() override { return *player_; }
  Timer& timTimer() override { return timer_; }
  void Show(SaverEvents& events) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  MpvPlayer* player_;
  QtTimer timer_;
  SaverEvents* events_ = nullptr;
};

}  // namespace tarnlight::qt
