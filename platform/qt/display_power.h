#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace tarnlight::qt {

// Watches the X server's power saving (DPMS) and says when the display
// goes dark (standby, suspend or off) or comes back. X sends no event for
// it, so the watch asks every two seconds; elsewhere (Wayland, or a server
// without DPMS) the display always reads as on. GUI thread.
class DisplayPowerWatch final : public QObject {
 public:
  explicit DisplayPowerWatch(std::function<void(bool on)> changed);

 private:
  void Check();

  std::function<void(bool)> changed_;
  QTimer timer_;
  bool on_ = true;
};

}  // namespace tarnlight::qt
