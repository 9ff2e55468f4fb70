#pragma once

#include <array>
#include <functional>

#include "platform/qt/frame_buffer.h"
#include "platform/qt/mpv_player.h"
#include "platform/qt/player_widget.h"

namespace tarnlight::qt {

// The player's picture, drawn by libmpv's software renderer: a child widget
// of the saver's window that has the player draw each frame while Qt paints,
// straight into the window's buffer where it can. GUI thread only. It owns
// its player, which goes first.
class MpvView : public PlayerWidget {
 public:
  MpvView(QWidget* parent, std::function<void(int)> keyPressed);

  MpvPlayer& player() { return player_; }

  void Repaint() override { update(); }
  void DrawUnseen() override;
  const char* Hwdec() const override { return "auto-copy-safe"; }
  int CreateRender(const MpvApi& api, mpv_handle* mpv,
                   mpv_render_context** render) override;
  bool MakeCurrent() override { return true; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool DrawInWindow(QPainter& painter);
  bool DrawInOwnBuffer(QPainter& painter);
  bool AlphaShown() const;

  FrameBuffer frame_;
  bool windowRefused_ = false;  // libmpv cannot draw the window's pixels
  alignas(64) std::array<uchar, 64> scratch_{};  // one pixel nobody sees
  MpvPlayer player_;
};

}  // namespace tarnlight::qt
