#pragma once

#include <QWidget>
#include <functional>

#include "platform/qt/mpv_player.h"

namespace tarnlight::qt {

// The view that draws the clips, a hidden child of the saver's window, and
// the player it owns.
struct PlayerView {
  QWidget* widget;
  MpvPlayer* player;
};

// GUI thread, once for the run. The OpenGL view where OpenGL's renderer is
// a hardware one (RenderPathFor), or where TARNLIGHT_RENDER=opengl asks for
// it; the software view otherwise, and wherever no OpenGL context can be
// made. With TARNLIGHT_RENDER set, says on stderr which it chose.
PlayerView MakePlayerView(QWidget* parent, std::function<void(int)> keyPressed);

}  // namespace tarnlight::qt
