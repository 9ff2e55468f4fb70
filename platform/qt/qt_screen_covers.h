#pragma once

#include <QObject>
#include <QScreen>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

namespace tarnlight::qt {

// Shows `window` full screen on `screen`, and activates it unless it has
// Qt::WA_ShowWithoutActivating. Wayland puts a full-screen window on the
// output it is given; X11 without a window manager places it only by an
// explicit geometry, and a window manager moves a full-screen window to
// another monitor only after it has left that state.
void ShowFullScreenOn(QWidget& window, QScreen& screen);

// Plain black windows over every screen but the primary one, which the
// saver window covers itself. They follow the screens as they come, go and
// change; a character key typed on one is reported as one typed on the
// saver window. GUI thread only.
class ScreenCovers final : public QObject {
 public:
  ScreenCovers(std::function<void(int)> keyPressed,
               std::function<void()> closed);
  ~ScreenCovers() override;

  // Covers the screens now and keeps them covered until Stop.
  void Start();
  // Takes every cover down, and follows the screens no more.
  void Stop();

 private:
  class Cover;
  void Update();

  std::function<void(int)> keyPressed_;
  std::function<void()> closed_;
  std::map<QScreen*, std::unique_ptr<Cover>> covers_;
};

}  // namespace tarnlight::qt
