#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "platform/qt/frame_buffer.h"
#include "platform/qt/mpv_player.h"

namespace tarnlight::qt {

// The player's picture, drawn by libmpv's software renderer: a child widget
// of the saver's window that has the player draw each frame while Qt paints,
// straight into the window's buffer where it can, and passes on the character
// keys typed while it has the keyboard focus. GUI thread only. It owns its
// player, which goes first.
class MpvView : public QWidget, public PlayerScreen {
 public:
  MpvView(QWidget* parent, std::function<void(int)> keyPressed);

  MpvPlayer& player() { return player_; }

  void Show(PixelRect where) override;
  void Hide() override;
  void Repaint() override { update(); }
  void DrawUnseen() override;
  const char* Hwdec() const override { return "auto-copy-safe"; }
  int CreateRender(const MpvApi& api, mpv_handle* mpv,
                   mpv_render_context** render) override;
  bool MakeCurrent() override { return true; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Tab is a character key here, not a move to the next control.
  bool focusNextPrevChild(bool) override { return false; }

 private:
  bool DrawInWindow(QPainter& painter);
  bool DrawInOwnBuffer(QPainter& painter);
  bool AlphaShown() const;

  std::function<void(int)> keyPressed_;
  FrameBuffer frame_;
  bool windowRefused_ = false;  // libmpv cannot draw the window's pixels
  alignas(64) std::array<uchar, 64> scratch_{};  // one pixel nobody sees
  MpvPlayer player_;
};

}  // namespace tarnlight::qt
