#include "platform/win32/dpi.h"

namespace tarnlight::win32 {
namespace {

// The newer DPI calls, bound by name so that the program still starts on
// the Windows versions that lack them.
template <typename Fn>
Fn Bound(const wchar_t* module, const char* name) {
  HMODULE library = GetModuleHandleW(module);
  return BoundIn<Fn>(library ? library : LoadLibraryW(module), name);
}

}  // namespace

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? UINT(dpi) : 96;
}

UINT DpiOfMonitor(HMONITOR monitor) {
  using Fn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const Fn dpiForMonitor = Bound<Fn>(L"shcore.dll", "GetDpiForMonitor");
  constexpr int kEffectiveDpi = 0;
  UINT x = 0, y = 0;
  if (dpiForMonitor && monitor &&
      SUCCEEDED(dpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && x)
    return x;
  return SystemDpi();
}

UINT DpiOfWindow(HWND window) {
  using Fn = UINT(WINAPI*)(HWND);
  static const Fn dpiForWindow = Bound<Fn>(L"user32.dll", "GetDpiForWindow");
  if (UINT dpi = dpiForWindow ? dpiForWindow(window) : 0) return dpi;
  return DpiOfMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY));
}

void AdoptDpiAwarenessOf(HWND window) {
  using GetFn = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);
  using SetFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
  static const GetFn awarenessOf =
      Bound<GetFn>(L"user32.dll", "GetWindowDpiAwarenessContext");
  static const SetFn adopt =
      Bound<SetFn>(L"user32.dll", "SetThreadDpiAwarenessContext");
  if (!awarenessOf || !adopt) return;
  if (DPI_AWARENESS_CONTEXT awareness = awarenessOf(window)) adopt(awareness);
}

}  // namespace tarnlight::win32
