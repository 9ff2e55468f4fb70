#include "startup/main.h"

#include <QAccessible>
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "helpers/seeded_random.h"
#include "platform/qt/qt_saver_window.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/qt_session_bus.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_setup_window.h"
#include "platform/qt/qt_signals.h"
#include "platform/system_listing.h"
#include "startup/mode.h"

namespace {

class QtWindows final : public tarnlight::WindowFactory {
 public:
  std::unique_ptr<tarnlight::SaverWindow> CreateSaverWindow(
      const tarnlight::SaverLayout& layout) override {
    return std::make_unique<tarnlight::qt::QtSaverWindow>(layout);
  }
  std::unique_ptr<tarnlight::SetupWindow> CreateSetupWindow(
      const tarnlight::FormLayout& layout) override {
    return std::make_unique<tarnlight::qt::QtSetupWindow>(layout);
  }
};

std::string CommandText(int argc, char* argv[]) {
  std::string arguments;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) arguments += ' ';
    arguments += argv[i];
  }
  return arguments;
}

// Qt aborts, core dump and all, when its platform has no display to
// connect to; that is said plainly instead.
bool HasDisplay() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  const std::string platform =
      set("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
  if (platform.rfind("xcb", 0) == 0) return set("DISPLAY");
  if (platform.rfind("wayland", 0) == 0) return set("WAYLAND_DISPLAY");
  return !platform.empty() || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string command = CommandText(argc, argv);
  // Only the saver and the dialog need windows. Every other command line
  // must end at once, also where there is no display to connect to, which
  // would make QApplication abort before Main could run.
  const bool needsWindows =
      tarnlight::ChooseMode(command) != tarnlight::Mode::None;
  if (needsWindows && !HasDisplay()) {
    std::fprintf(stderr, "tarnlight: no display to show a window on\n");
    return 1;
  }
  std::unique_ptr<QCoreApplication> application;
  {
    const tarnlight::qt::NoSessionBusLaunch noBusLaunch;
    application = needsWindows ? std::make_unique<QApplication>(argc, argv)
                               : std::make_unique<QCoreApplication>(argc, argv);
    // The accessibility bridge would ask for the bus at the first window.
    if (needsWindows) QAccessible::isActive();
  }
  // QApplication sets the locale from the environment; libmpv needs "C"
  // for numbers.
  std::setlocale(LC_NUMERIC, "C");

  using namespace tarnlight;
  qt::QtSettingsStore store;
  std::unique_ptr<DirListing> listing = CreateSystemListing();
  qt::QtClock clock;
  SeededRandom random(clock.Ticks());
  qt::QtCursor cursor;
  qt::QtShell shell;
  qt::QtMessageBox messageBox;
  qt::QtPointer pointer;
  qt::QtProgram program(store, command);
  QtWindows windows;
  qt::QtLoop loop;
  qt::QtFiles files;
  Services services{store,      *listing, clock,   random,  cursor, shell,
                    messageBox, pointer,  program, windows, loop,   files};

  Tarnlight app(services);
  // A signal ends the run as a request from outside the windows: the
  // take-down only, so the dialog stores nothing.
  qt::EndOnSignals([&app] { app.End(); });
  // The saver lives on in its events until the end-program operation;
  // after the dialog, or with no mode at all, the run ends here.
  if (app.Main()) application->exec();
  store.Sync();
  std::fflush(nullptr);
  // As the end-program operation does: no destructor races libmpv's
  // threads or waits for a stalled file question.
  std::_Exit(0);
}
