#include "platform/qt/qt_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>

namespace tarnlight::qt {
namespace {

int writeEnd = -1;

// Any thread, at any moment: write(2) is all a handler may safely do.
void OnSignal(int number) {
  int saved = errno;
  char byte = static_cast<char>(number);
  [[maybe_unused]] ssize_t written = ::write(writeEnd, &byte, 1);
  errno = saved;
}

}  // namespace

bool EndOnSignals(std::function<void()> ending) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  writeEnd = ends[1];
  auto* notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read,
                                       QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [readEnd = ends[0], ending = std::move(ending)] {
                     char bytes[16];
                     while (::read(readEnd, bytes, sizeof bytes) > 0) {
                     }
                     ending();
                   });
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  return true;
}

}  // namespace tarnlight::qt
