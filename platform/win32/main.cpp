#include "startup/main.h"

#include <memory>

#include "helpers/seeded_random.h"
#include "platform/system_listing.h"
#include "platform/win32/registry_store.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_saver_window.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_setup_window.h"

namespace {

class Win32Windows final : public tarnlight::WindowFactory {
 public:
  Win32Windows(tarnlight::win32::Win32Pointer& pointer,
               tarnlight::win32::Win32Program& program)
      : pointer_(pointer), program_(program) {}
  std::unique_ptr<tarnlight::SaverWindow> CreateSaverWindow(
      const tarnlight::SaverLayout& layout) override {
    return std::make_unique<tarnlight::win32::Win32SaverWindow>(layout,
                                                                program_);
  }
  std::unique_ptr<tarnlight::SetupWindow> CreateSetupWindow(
      const tarnlight::FormLayout& layout) override {
    return std::make_unique<tarnlight::win32::Win32SetupWindow>(layout,
                                                                pointer_);
  }

 private:
  tarnlight::win32::Win32Pointer& pointer_;
  tarnlight::win32::Win32Program& program_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  using namespace tarnlight;
  win32::RegistryStore store;
  std::unique_ptr<DirListing> listing = CreateSystemListing();
  win32::Win32Clock clock;
  SeededRandom random(clock.Ticks());
  win32::Win32Cursor cursor;
  win32::Win32Shell shell;
  win32::Win32MessageBox messageBox;
  win32::Win32Pointer pointer;
  win32::Win32Program program;
  Win32Windows windows(pointer, program);
  Services services{store, *listing,   clock,   random,  cursor,
                    shell, messageBox, pointer, program, windows};

  Tarnlight app(services);
  app.Main();
  // Only the saver lives on after Main; it ends the program itself, or its
  // window's destruction ends the loop.
  if (FindWindowW(L"TarnlightSaver", nullptr)) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return 0;
}
