#include "startup/main.h"

#include <exception>
#include <memory>
#include <optional>

#include "helpers/seeded_random.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_loop.h"
#include "platform/win32/win32_saver_window.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_setup_window.h"
#include "startup/mode.h"

namespace {

constexpr tarnlight::Convention kConvention =
    tarnlight::Convention::WindowsShell;

// The window the command line names is the preview's host or the dialog's
// owner.
class Win32Windows final : public tarnlight::WindowFactory {
 public:
  Win32Windows(tarnlight::win32::Win32Pointer& pointer,
               tarnlight::Choice choice)
      : pointer_(pointer), choice_(choice) {}
  std::unique_ptr<tarnlight::SaverWindow> CreateSaverWindow(
      const tarnlight::SaverLayout& layout) override {
    std::optional<HWND> host;
    if (choice_.mode == tarnlight::Mode::Preview) host = Named();
    return std::make_unique<tarnlight::win32::Win32SaverWindow>(layout, host);
  }
  std::unique_ptr<tarnlight::SetupWindow> CreateSetupWindow(
      const tarnlight::FormLayout& layout) override {
    return std::make_unique<tarnlight::win32::Win32SetupWindow>(
        layout, pointer_, Named());
  }

 private:
  HWND Named() const { return reinterpret_cast<HWND>(choice_.window); }

  tarnlight::win32::Win32Pointer& pointer_;
  const tarnlight::Choice choice_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  using namespace tarnlight;
  try {
    win32::Win32SettingsStore store;
    win32::Win32Clock clock;
    SeededRandom random(clock.Ticks());
    win32::Win32Cursor cursor;
    win32::Win32Shell shell;
    win32::Win32MessageBox messageBox;
    win32::Win32Pointer pointer;
    win32::Win32Program program;
    Win32Windows windows(pointer, ChooseMode(program.Command(), kConvention));
    win32::Win32EventLoop loop;
    win32::Win32Files files(loop);
    Services services{store,   clock,   random,  cursor, shell, messageBox,
                      pointer, program, windows, loop,   files};

    Tarnlight app(services);
    // The saver's window remains; it ends the program itself.
    if (app.Main(kConvention)) {
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  } catch (const std::exception& e) {
    // A window the system would not make: nothing of the run is left to
    // show it in.
    OutputDebugStringW(win32::Widen(e.what()).c_str());
    return 1;
  }
  return 0;
}
