#include "platform/win32/win32_saver_window.h"

#include <cmath>

#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnlightSaver";
constexpr UINT_PTR kTimerId = 1;

}  // namespace

void Win32Timer::SetEnabled(bool enabled) {
  if (enabled && !enabled_) SetTimer(owner_, kTimerId, interval_, nullptr);
  if (!enabled && enabled_) KillTimer(owner_, kTimerId);
  enabled_ = enabled;
}

Win32SaverWindow::Win32SaverWindow(const SaverLayout& layout,
                                   Win32Program& program) {
  RegisterWindowClass(kClass, &Win32SaverWindow::WndProc,
                      static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  hwnd_ = CreateWindowExW(
      WS_EX_TOPMOST, kClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
      nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  player_ = std::make_unique<Win32Player>(hwnd_, layout.vidLeft, layout.vidTop,
                                          layout.vidWidth, layout.vidHeight);
  timer_ = std::make_unique<Win32Timer>(hwnd_, UINT(layout.timerIntervalMs));
  program.AtEnd([this] { player_->Stop(); });
}

Win32SaverWindow::~Win32SaverWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

int Win32SaverWindow::Width() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return int(std::lround((r.right - r.left) * TwipsPerPixel()));
}

int Win32SaverWindow::Height() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return int(std::lround((r.bottom - r.top) * TwipsPerPixel()));
}

void Win32SaverWindow::Show(SaverEvents& events) {
  events_ = &events;
  player_->SetHooks({[this] { events_->vid_EndOfStream(); },
                     [this](int key) { events_->vid_KeyPress(key); }});
  events.Form_Load();
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
}

// Only the character message counts as a key press; mouse messages go to
// the default handling, which does nothing here.
LRESULT CALLBACK Win32SaverWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp,
                                           LPARAM lp) {
  auto* self = reinterpret_cast<Win32SaverWindow*>(
      GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && self->events_) {
    switch (msg) {
      case WM_CHAR:
        self->events_->Form_KeyPress(int(wp));
        return 0;
      case WM_TIMER:
        if (wp == kTimerId) self->events_->timTimer_Timer();
        return 0;
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tarnlight::win32
