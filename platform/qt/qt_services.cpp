#include "platform/qt/qt_services.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTime>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/qt_platform.h"

namespace tarnlight::qt {

LocalTime QtClock::Now() {
  QTime now = QTime::currentTime();
  return {now.hour(), now.minute(), now.second()};
}

std::uint64_t QtClock::Ticks() {
  return static_cast<std::uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
}

int QtCursor::ShowCursor(bool show) {
  count_ += show ? 1 : -1;
  return count_;
}

void QtShell::Open(const std::string& address, std::uintptr_t) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

void QtMessageBox::MsgBox(const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                  QString::fromStdString(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void QtPointer::SetMousePointer(int code) {
  if (overriding_) QGuiApplication::restoreOverrideCursor();
  PointerShape shape = ShapeOfPointer(code);
  overriding_ = shape != PointerShape::Default;
  if (overriding_) QGuiApplication::setOverrideCursor(CursorOf(shape));
}

void QtLoop::After(int ms, std::function<void()> work) {
  QTimer::singleShot(ms, QCoreApplication::instance(), std::move(work));
}

void QtProgram::End() {
  if (lastly_) lastly_();
  std::fflush(nullptr);
  // Immediate: no further events, no destructors racing libmpv's threads.
  std::_Exit(0);
}

}  // namespace tarnlight::qt
