#include "platform/qt/qt_session_bus.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace tarnlight::qt {
namespace {

constexpr const char* kAddress = "DBUS_SESSION_BUS_ADDRESS";

// libdbus looks for the bus of a logind or systemd session there before it
// would start one.
bool SessionHasBus() {
  const char* address = std::getenv(kAddress);
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat socket {};
  return runtime && *runtime &&
         stat((std::string(runtime) + "/bus").c_str(), &socket) == 0 &&
         S_ISSOCK(socket.st_mode);
}

}  // namespace

// An address of no transport fails at once, where no address at all would
// make libdbus start a bus.
NoSessionBusLaunch::NoSessionBusLaunch() {
  if (SessionHasBus()) return;
  if (const char* value = std::getenv(kAddress)) before_ = value;
  set_ = setenv(kAddress, "disabled:", 1) == 0;
}

NoSessionBusLaunch::~NoSessionBusLaunch() {
  if (!set_) return;
  if (before_)
    setenv(kAddress, before_->c_str(), 1);
  else
    unsetenv(kAddress);
}

}  // namespace tarnlight::qt
