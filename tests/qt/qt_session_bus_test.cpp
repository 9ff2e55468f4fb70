#include "platform/qt/qt_session_bus.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>

namespace tarnlight::qt {
namespace {

std::optional<std::string> Get(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

void Set(const char* name, const std::optional<std::string>& value) {
  value ? setenv(name, value->c_str(), 1) : unsetenv(name);
}

TEST(NoSessionBusLaunch, OnlyASessionWithoutABusGetsNoneForTheRun) {
  // The address before, a bus socket or not, and the address during the run.
  using Address = std::optional<std::string>;
  const std::tuple<const char*, Address, bool, Address> cases[] = {
      {"an address", "unix:path=/run/bus", false, "unix:path=/run/bus"},
      {"the runtime folder's bus", std::nullopt, true, std::nullopt},
      {"an empty address, a bus", "", true, ""},
      {"no bus at all", std::nullopt, false, "disabled:"},
      {"an empty address, no bus", "", false, "disabled:"},
  };
  const auto savedAddress = Get("DBUS_SESSION_BUS_ADDRESS");
  const auto savedRuntime = Get("XDG_RUNTIME_DIR");
  for (const auto& [name, address, bound, during] : cases) {
    SCOPED_TRACE(name);
    QTemporaryDir dir;
    // A bound socket, as a session's bus leaves it.
    sockaddr_un bus{AF_UNIX, {}};
    std::snprintf(bus.sun_path, sizeof bus.sun_path, "%s/bus",
                  qPrintable(dir.path()));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_TRUE(!bound ||
                bind(fd, reinterpret_cast<sockaddr*>(&bus), sizeof bus) == 0);
    Set("XDG_RUNTIME_DIR", dir.path().toStdString());
    Set("DBUS_SESSION_BUS_ADDRESS", address);
    {
      const NoSessionBusLaunch noLaunch;
      EXPECT_EQ(Get("DBUS_SESSION_BUS_ADDRESS"), during);
    }
    EXPECT_EQ(Get("DBUS_SESSION_BUS_ADDRESS"), address);
    close(fd);
  }
  Set("DBUS_SESSION_BUS_ADDRESS", savedAddress);
  Set("XDG_RUNTIME_DIR", savedRuntime);
}

}  // namespace
}  // namespace tarnlight::qt
