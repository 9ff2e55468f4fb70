#include "startup/main.h"

#include <QAccessible>
#include <QApplication>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "helpers/seeded_random.h"
#include "platform/posix/helper_files.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_saver_window.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/qt_session_bus.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_setup_window.h"
#include "platform/qt/qt_signals.h"
#include "shared/settings.h"
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
  if (platform.rfind(tarnlight::qt::kX11Platform, 0) == 0)
    return set("DISPLAY");
  if (platform.rfind(tarnlight::qt::kWaylandPlatform, 0) == 0)
    return set("WAYLAND_DISPLAY");
  return !platform.empty() || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

QtMessageHandler qtHandler = nullptr;

// Qt aborts after a fatal message, core dump and all, also for a display
// that is named but cannot be reached; the run ends as with no display.
void EndOnFatal(QtMsgType type, const QMessageLogContext& context,
                const QString& text) {
  qtHandler(type, context, text);
  if (type == QtFatalMsg) std::_Exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string command = CommandText(argc, argv);
  // Only the saver and the dialog need windows. Every other command line
  // must end at once, also where there is no display to connect to, which
  // would make QApplication abort before Main could run.
  const bool needsWindows =
      tarnlight::ChooseMode(command).mode != tarnlight::Mode::None;
  // Forked while the program has a single thread: nothing is running that
  // the child could find half done.
  tarnlight::posix::HelperFiles files(tarnlight::ChooseMode(command).mode ==
                                      tarnlight::Mode::Saver);
  tarnlight::qt::QtSettingsStore store;
  if (needsWindows && !HasDisplay()) {
    // The missing defaults are written first, as every start does.
    tarnlight::Settings settings(store);
    tarnlight::Module1 values;
    tarnlight::LoadSettings(settings, values);
    std::fprintf(stderr, "tarnlight: no display to show a window on\n");
    return 1;
  }
  qtHandler = qInstallMessageHandler(EndOnFatal);
  std::unique_ptr<QCoreApplication> application;
  {
    const tarnlight::qt::NoSessionBusLaunch noBusLaunch;
    application = needsWindows ? std::make_unique<QApplication>(argc, argv)
                               : std::make_unique<QCoreApplication>(argc, argv);
    // The accessibility bridge would ask for the bus at the first window.
    if (needsWindows) QAccessible::isActive();
  }

  using namespace tarnlight;
  qt::QtClock clock;
  SeededRandom random(clock.Ticks());
  qt::QtCursor cursor;
  qt::QtShell shell;
  qt::QtMessageBox messageBox;
  qt::QtPointer pointer;
  qt::QtProgram program(command, [&files] { files.Stop(); });
  QtWindows windows;
  qt::QtLoop loop;
  files.SetPost([](std::function<void()> work) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work),
                              Qt::QueuedConnection);
  });
  Services services{store,   clock,   random,  cursor, shell, messageBox,
                    pointer, program, windows, loop,   files};

  Tarnlight app(services);
  // A signal ends the run as a request from outside the windows: the
  // take-down only, so the dialog stores nothing.
  qt::EndOnSignals([&app] { app.End(); });
  // The saver lives on in its events until the end-program operation;
  // after the dialog, or with no mode at all, the run ends here.
  if (app.Main()) application->exec();
  // As the end-program operation: no destructor races libmpv's threads or
  // waits for a stalled file question.
  program.End();
}
