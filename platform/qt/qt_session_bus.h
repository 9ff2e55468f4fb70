#pragma once

#include <optional>
#include <string>

namespace tarnlight::qt {

// Where the session has no D-Bus bus (startx with xss-lock or xautolock),
// libdbus starts one through dbus-launch as soon as Qt's accessibility
// bridge asks for the session bus, and that bus lives on after the run
// until the X server ends. While an object of this class lives, D-Bus
// finds no bus to start: make the QApplication then. libdbus keeps the
// address it read for the rest of the run, and programs that the run
// starts later (a browser from the dialog) see the environment as it was.
class NoSessionBusLaunch final {
 public:
  NoSessionBusLaunch();
  ~NoSessionBusLaunch();
  NoSessionBusLaunch(const NoSessionBusLaunch&) = delete;
  NoSessionBusLaunch& operator=(const NoSessionBusLaunch&) = delete;

 private:
  bool set_ = false;
  std::optional<std::string> before_;
};

}  // namespace tarnlight::qt
