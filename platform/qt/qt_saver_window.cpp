#include "platform/qt/qt_saver_window.h"

#include <QCloseEvent>
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
      layout_(layout),
      timer_(layout.timerIntervalMs) {
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setFocusPolicy(Qt::StrongFocus);
  setWindowTitle(QString());
  CoverPrimaryScreen();
  engine_ = new MpvEngine(this, [this](int character) {
    if (events_) events_->KeyPress(layout_.playerName, character);
  });
  engine_->setGeometry(layout.playerLeft / kTwipsPerPixel,
                       layout.playerTop / kTwipsPerPixel,
                       layout.playerWidth / kTwipsPerPixel,
                       layout.playerHeight / kTwipsPerPixel);
  QObject::connect(&timer_.timer(), &QTimer::timeout, this, [this] {
    if (events_) events_->Tick();
  });
}

// With no window manager, as under bare Xvfb, only an explicit geometry
// covers the screen. With no screen at all (Wayland with every output off)
// the window keeps whatever size it has.
void QtSaverWindow::CoverPrimaryScreen() {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    setGeometry(screen->geometry());
}

int QtSaverWindow::Width() const { return width() * kTwipsPerPixel; }
int QtSaverWindow::Height() const { return height() * kTwipsPerPixel; }

void QtSaverWindow::Show(WindowEvents& events) {
  events_ = &events;
  events.Load();
  showFullScreen();
  CoverPrimaryScreen();
  raise();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
}

void QtSaverWindow::Close() {
  events_ = nullptr;
  timer_.SetEnabled(false);
  hide();
}

void QtSaverWindow::keyPressEvent(QKeyEvent* event) {
  if (events_ && IsCharacterKey(event->key(), event->text())) {
    events_->KeyPress("", CharacterCode(event->text()));
    return;
  }
  event->ignore();
}

void QtSaverWindow::closeEvent(QCloseEvent* event) {
  event->ignore();  // the run's own take-down hides the window
  if (events_) events_->Closed();
}

}  // namespace tarnlight::qt
