#include "startup/main.h"

#include <QApplication>
#include <QWidget>
#include <clocale>
#include <memory>

#include "platform/qt/qt_saver_window.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_setup_window.h"
#include "helpers/seeded_random.h"
#include "platform/system_listing.h"

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

bool AnyWindowVisible() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible()) return true;
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
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
  qt::QtProgram program(store);
  QtWindows windows;
  Services services{store, *listing,   clock,   random,  cursor,
                    shell, messageBox, pointer, program, windows};

  Tarnlight app(services);
  app.Main();
  // The run lives on only while a window of the program remains: the saver,
  // until a key ends it, or nothing after the dialog or no mode at all.
  int code = AnyWindowVisible() ? application.exec() : 0;
  store.Sync();
  return code;
}
