#pragma once

#include <QWidget>
#include <functional>

#include "platform/qt/mpv_player.h"

namespace tarnlight::qt {

// What both views do alike: a hidden child of the saver's window that takes
// the keyboard focus while it is shown and passes on the character keys
// typed there. GUI thread only.
class PlayerWidget : public QWidget, public PlayerScreen {
 public:
  PlayerWidget(QWidget* parent, std::function<void(int)> keyPressed);

  void Show(PixelRect where) override;
  void Hide() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // Tab is a character key here, not a move to the next control.
  bool focusNextPrevChild(bool) override { return false; }

 private:
  std::function<void(int)> keyPressed_;
};

}  // namespace tarnlight::qt
