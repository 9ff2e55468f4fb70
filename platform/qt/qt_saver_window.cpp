#include "platform/qt/qt_saver_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "platform/qt/keys.h"

namespace tarnlight::qt {
namespace {}

void QtTimer::SetEnabled(bool enabled) {
  if (enabled && !timer_.isActive()) timer_.start();
  if (!enabled) timer_.stop();
}

QtSaverWindow::QtSaverWindow(const SaverLayout& layout)
    : QWidget(nullptr, CoverWindowFlags()),
      layout_(layout),
      timer_(layout.timerIntervalMs),
      host_(HostWindow::FromEnvironment()),
      covers_([this](int character) { ReportKey(character); },
              [this] { ReportClosed(); }) {
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setFocusPolicy(Qt::StrongFocus);
  setWindowTitle(QString());
  setCursor(Qt::BlankCursor);
  if (host_) {
    setWindowFlag(Qt::X11BypassWindowManagerHint, false);
    host_->Embed(*this, [this] { ReportClosed(); });
  } else {
    CoverPrimaryScreen();
    grab_ = X11Grab::ForSession();
    top_ = X11Top::ForSession();
  }
  view_ = MakePlayerView(this, [this](int character) {
    if (events_) events_->KeyPress(layout_.playerName, character);
  });
  view_.widget->setGeometry(int(layout.playerLeft / kTwipsPerPixel),
                            int(layout.playerTop / kTwipsPerPixel),
                            int(layout.playerWidth / kTwipsPerPixel),
                            int(layout.playerHeight / kTwipsPerPixel));
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

int QtSaverWindow::Width() const { return int(width() * kTwipsPerPixel); }
int QtSaverWindow::Height() const { return int(height() * kTwipsPerPixel); }

// The host of a host's window owns the keyboard, the pointer and the
// stacking, and sends no keys.
void QtSaverWindow::Show(WindowEvents& events) {
  events_ = &events;
  events.Load();
  // The player starts once the window is on its way to the screen, so that
  // the first clip does not wait for libmpv and neither does the window.
  QTimer::singleShot(0, view_.widget, [this] { view_.player->Prepare(); });
  power_ = std::make_unique<DisplayPowerWatch>([this](bool on) {
    if (events_) events_->DisplayPower(on);
  });
  if (host_) {
    show();
    return;
  }
  covers_.Start();
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
          [this] { FollowPrimaryScreen(); });
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    WatchPrimaryGeometry(*screen);
    ShowFullScreenOn(*this, *screen);
  } else {
    showFullScreen();
  }
  raise();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
  if (top_) top_->Start(winId());
  if (grab_) grab_->Start(winId());
}

// Only X11 needs telling: a Wayland compositor resizes a full-screen surface
// itself.
void QtSaverWindow::WatchPrimaryGeometry(QScreen& screen) {
  QObject::disconnect(primaryGeometry_);
  if (OnWayland()) return;
  primaryGeometry_ =
      connect(&screen, &QScreen::geometryChanged, this,
              [this](const QRect& geometry) { setGeometry(geometry); });
}

// The clip goes on where it is; the next one is placed on the new screen.
void QtSaverWindow::FollowPrimaryScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  WatchPrimaryGeometry(*screen);
  ShowFullScreenOn(*this, *screen);
  raise();
  activateWindow();
}

void QtSaverWindow::Close() {
  events_ = nullptr;
  power_.reset();
  timer_.SetEnabled(false);
  disconnect(qGuiApp, nullptr, this, nullptr);
  QObject::disconnect(primaryGeometry_);
  if (grab_) grab_->Stop();
  if (top_) top_->Stop();
  covers_.Stop();
  hide();
}

void QtSaverWindow::ReportKey(int character) {
  if (events_) events_->KeyPress("", character);
}

void QtSaverWindow::ReportClosed() {
  if (events_) events_->Closed();
}

void QtSaverWindow::keyPressEvent(QKeyEvent* event) {
  if (events_ && IsCharacterKey(event->key(), event->text())) {
    ReportKey(CharacterCode(event->text()));
    return;
  }
  event->ignore();
}

void QtSaverWindow::closeEvent(QCloseEvent* event) {
  event->ignore();  // the run's own take-down hides the window
  ReportClosed();
}

}  // namespace tarnlight::qt
