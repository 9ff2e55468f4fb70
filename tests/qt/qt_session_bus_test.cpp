#include "platform/qt/qt_session_bus.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace tarnlight::qt {
namespace {

std::optional<std::string> Get(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

void Set(const char* name, const std::optional<std::string>& value) {
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
}

// A listening socket at `path`, as a session's bus leaves it; -1 if none.
int ListenAt(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

TEST(NoSessionBusLaunch, OnlyASessionWithoutABusGetsNoneForTheRun) {
  struct Case {
    const char* name;
    std::optional<std::string> address;
    bool socket;
    std::optional<std::string> during;
  };
  const Case cases[] = {
      {"an address", "unix:path=/run/user/1/bus", false,
       "unix:path=/run/user/1/bus"},
      {"the runtime folder's bus", std::nullopt, true, std::nullopt},
      {"an empty address, a bus", "", true, ""},
      {"no bus at all", std::nullopt, false, "disabled:"},
      {"an empty address, no bus", "", false, "disabled:"},
  };
  const auto address = Get("DBUS_SESSION_BUS_ADDRESS");
  const auto runtime = Get("XDG_RUNTIME_DIR");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    int bus = c.socket ? ListenAt(folder + "/bus") : -1;
    ASSERT_EQ(bus >= 0, c.socket);
    Set("XDG_RUNTIME_DIR", folder);
    Set("DBUS_SESSION_BUS_ADDRESS", c.address);
    {
      const NoSessionBusLaunch noLaunch;
      EXPECT_EQ(Get("DBUS_SESSION_BUS_ADDRESS"), c.during);
    }
    EXPECT_EQ(Get("DBUS_SESSION_BUS_ADDRESS"), c.address);
    if (bus >= 0) close(bus);
  }
  Set("DBUS_SESSION_BUS_ADDRESS", address);
  Set("XDG_RUNTIME_DIR", runtime);
}

}  // namespace
}  // namespace tarnlight::qt
