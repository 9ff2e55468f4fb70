#include "platform/qt/qt_saver_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "platform/qt/keys.h"

namespace tarnlight::qt {
namespace {
constexpr int kTwipsPerPixel = 15;
}

void QtTimer::SetEnabled(bool enabled) {
  if (enabled && !timer_.isActive()) timer_.start();
  if (!enabled) timer_.stop();
}

QtSaverWindow::QtSaverWindow(const SaverLayout& layout)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      timer_(layout.timerIntervalMs) {
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setFocusPolicy(Qt::StrongFocus);
  setWindowTitle(QString());
  // With no window manager, as under bare Xvfb, only an explicit geometry
  // covers the screen.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    setGeometry(screen->geometry());
  player_ = new MpvPlayer(this, layout.vidWidth, layout.vidHeight,
                          [this] { return size(); });
  player_->move(layout.vidLeft / kTwipsPerPixel,
                layout.vidTop / kTwipsPerPixel);
  player_->hide();
}

int QtSaverWindow::Width() const { return width() * kTwipsPerPixel; }
int QtSaverWindow::Height() const { return height() * kTwipsPerPixel; }

void QtSaverWindow::Show(SaverEvents& events) {
  events_ = &events;
  player_->SetHooks({[this] { events_->vid_EndOfStream(); },
                     [this](int key) { events_->vid_KeyPress(key); }});
  QObject::connect(&timer_.timer(), &QTimer::timeout,
                   [this] { events_->timTimer_Timer(); });
  events.Form_Load();
  showFullScreen();
  setGeometry(QGuiApplication::primaryScreen()->geometry());
  raise();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
}

void QtSaverWindow::keyPressEvent(QKeyEvent* event) {
  if (events_ && IsCharacterKey(event->key(), event->text())) {
    QString text = event->text();
    events_->Form_KeyPress(text.isEmpty() ? 0 : text.at(0).unicode());
    return;
  }
  event->ignore();
}

}  // namespace tarnlight::qt
