#pragma once

#include <QOpenGLContext>
#include <QWidget>
#include <QWindow>
#include <functional>
#include <memory>

#include "platform/qt/mpv_player.h"
#include "platform/qt/player_widget.h"

namespace tarnlight::qt {

// The native surface OpenGL draws the clip on. It tells its view when it
// is exposed, and hands it the keys it gets while it has the X focus.
class MpvGlSurface final : public QWindow {
 public:
  MpvGlSurface(QSurfaceFormat format, std::function<void()> exposed,
               std::function<void(QKeyEvent*)> keyPressed);

 protected:
  void exposeEvent(QExposeEvent*) override { exposed_(); }
  void keyPressEvent(QKeyEvent* event) override { keyPressed_(event); }

 private:
  std::function<void()> exposed_;
  std::function<void(QKeyEvent*)> keyPressed_;
};

// The player's picture, drawn by libmpv's OpenGL renderer: a child widget
// of the saver's window holding a native surface of its own, so that the
// saver's window stays a plain raster window. Frames decoded on a GPU stay
// there (hwdec=auto-safe). The OpenGL context is only ever current on the
// GUI thread, which renders with a swap interval of 0 and so never waits
// for the screen's refresh. GUI thread only. It owns its player, which
// goes first, while the context is still there to free libmpv's.
class MpvGlView final : public PlayerWidget {
 public:
  // `context` was made on the GUI thread.
  MpvGlView(QWidget* parent, std::unique_ptr<QOpenGLContext> context,
            std::function<void(int)> keyPressed);

  MpvPlayer& player() { return player_; }

  void Repaint() override { Draw(); }
  void DrawUnseen() override;
  const char* Hwdec() const override { return "auto-safe"; }
  int CreateRender(const MpvApi& api, mpv_handle* mpv,
                   mpv_render_context** render) override;
  bool MakeCurrent() override;

 private:
  void Draw();

  std::unique_ptr<QOpenGLContext> context_;
  MpvGlSurface* surface_;  // owned by its container, a child of the view
  MpvPlayer player_;
};

}  // namespace tarnlight::qt
