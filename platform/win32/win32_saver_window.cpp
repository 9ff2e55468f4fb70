#include "platform/win32/win32_saver_window.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/win32/dpi.h"
#include "platform/win32/dshow_engine.h"
#include "platform/win32/mf_engine.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnlightSaver";
constexpr wchar_t kSurfaceClass[] = L"TarnlightSurface";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT_PTR kWatchTimerId = 2;
constexpr UINT kWatchMs = 250;
// The engines' messages to the surface.
constexpr UINT kChainMessage = WM_APP + 1;
// GUID_CONSOLE_DISPLAY_STATE, spelled out: the headers only declare it.
constexpr GUID kConsoleDisplayState = {
    0x6fe69556,
    0x704a,
    0x47a0,
    {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr UINT kMfMessage = WM_APP + 2;
constexpr UINT kDShowMessage = WM_APP + 3;

int PixelsOf(int twips, double twipsPerPixel) {
  return int(std::lround(twips / twipsPerPixel));
}

// Media Foundation first, where it exists: it plays what stock Windows
// plays (MP4/H.264 among them). DirectShow takes what it cannot open.
std::vector<std::unique_ptr<VideoEngine>> EnginesFor(HWND surface) {
  std::vector<std::unique_ptr<VideoEngine>> engines;
  if (auto mf = MfEngine::Create(surface, kMfMessage))
    engines.push_back(std::move(mf));
  engines.push_back(std::make_unique<DShowEngine>(surface, kDShowMessage));
  return engines;
}

template <typename Window>
Window* WindowOf(HWND hwnd) {
  return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace

void Win32Timer::SetEnabled(bool enabled) {
  if (enabled && !enabled_ && !SetTimer(owner_, id_, interval_, nullptr))
    ThrowLastError("The timer could not be set");
  if (!enabled && enabled_) KillTimer(owner_, id_);
  enabled_ = enabled;
}

Win32SaverWindow::Win32SaverWindow(const SaverLayout& layout,
                                   std::optional<HWND> host)
    : playerName_(layout.playerName), host_(host) {
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RegisterWindowClass(kClass, &Win32SaverWindow::WndProc, black);
  RegisterWindowClass(kSurfaceClass, &Win32SaverWindow::SurfaceProc, black);
  hwnd_ = host_ ? CreateInHost() : CreateOverPrimary();
  if (!hwnd_) ThrowLastError("The saver window could not be created");
  twipsPerPixel_ = TwipsPerPixelAt(DpiOfWindow(hwnd_));
  surface_ =
      CreateWindowExW(0, kSurfaceClass, L"", WS_CHILD | WS_CLIPCHILDREN,
                      PixelsOf(layout.playerLeft, twipsPerPixel_),
                      PixelsOf(layout.playerTop, twipsPerPixel_),
                      PixelsOf(layout.playerWidth, twipsPerPixel_),
                      PixelsOf(layout.playerHeight, twipsPerPixel_), hwnd_,
                      nullptr, GetModuleHandleW(nullptr), nullptr);
  if (host_)
    watch_ = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!surface_ || (host_ && !watch_)) {
    DWORD error = GetLastError();
    if (watch_) DestroyWindow(watch_);
    DestroyWindow(hwnd_);
    SetLastError(error);
    ThrowLastError("The player's window could not be created");
  }
  timer_ = std::make_unique<Win32Timer>(hwnd_, kTimerId,
                                        UINT(layout.timerIntervalMs));
  engine_ = std::make_unique<EngineChain>(surface_, kChainMessage,
                                          EnginesFor(surface_));
  if (!host_) covers_ = std::make_unique<ScreenCovers>(hwnd_);
  for (HWND window : {hwnd_, surface_, watch_})
    if (window)
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(this));
}

HWND Win32SaverWindow::CreateOverPrimary() {
  const RECT r = CurrentMonitors().primary;
  return CreateWindowExW(WS_EX_TOPMOST, kClass, L"", WS_POPUP | WS_CLIPCHILDREN,
                         r.left, r.top, r.right - r.left, r.bottom - r.top,
                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The host is another program's window. Its own awareness is taken on first,
// since Windows makes no child of another awareness; no notice goes to it,
// which would be a call into that program.
HWND Win32SaverWindow::CreateInHost() {
  HWND host = *host_;
  if (host && IsWindow(host)) {
    AdoptDpiAwarenessOf(host);
    RECT r{};
    GetClientRect(host, &r);
    if (HWND child =
            CreateWindowExW(WS_EX_NOPARENTNOTIFY, kClass, L"",
                            WS_CHILD | WS_CLIPCHILDREN, 0, 0, r.right, r.bottom,
                            host, nullptr, GetModuleHandleW(nullptr), nullptr))
      return child;
  }
  // No host to draw in, or it went before the window could join it: one
  // that never shows stands in, and the watch ends the run.
  return CreateWindowExW(0, kClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

Win32SaverWindow::~Win32SaverWindow() {
  for (HWND window : {surface_, hwnd_, watch_})
    if (window) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  engine_.reset();
  covers_.reset();
  if (watch_) DestroyWindow(watch_);
  DestroyWindow(hwnd_);
}

int Win32SaverWindow::Width() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return int(std::lround((r.right - r.left) * twipsPerPixel_));
}

int Win32SaverWindow::Height() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return int(std::lround((r.bottom - r.top) * twipsPerPixel_));
}

void Win32SaverWindow::Show(WindowEvents& events) {
  events_ = &events;
  events.Load();
  // Nothing here asks the display to stay on; the console's own power
  // saving decides, and the saver only hears when it went dark.
  displayState_ = RegisterPowerSettingNotification(hwnd_, &kConsoleDisplayState,
                                                   DEVICE_NOTIFY_WINDOW_HANDLE);
  if (host_) {
    SetTimer(watch_, kWatchTimerId, kWatchMs, nullptr);
    WatchHost();
    ShowWindow(hwnd_, SW_SHOWNA);
    return;
  }
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
  FollowMonitors();
}

// The surface keeps its place, so a clip that plays goes on where it is;
// the next one is placed by the window's new size, at the new monitor's
// DPI.
void Win32SaverWindow::FollowMonitors() {
  MonitorLayout layout = CurrentMonitors();
  const RECT& r = layout.primary;
  SetWindowPos(hwnd_, HWND_TOPMOST, r.left, r.top, r.right - r.left,
               r.bottom - r.top, SWP_NOACTIVATE);
  twipsPerPixel_ = TwipsPerPixelAt(DpiOfWindow(hwnd_));
  covers_->Cover(PlanCovers(layout.monitors, layout.primary));
}

// The host's program may be gone without a word to this one, so the window
// is looked for rather than waited on. It keeps filling the host as the
// host's size changes.
void Win32SaverWindow::WatchHost() {
  if (!events_) return;
  HWND host = *host_;
  if (!host || !IsWindow(host) || !IsWindow(hwnd_) ||
      GetParent(hwnd_) != host) {
    events_->Closed();
    return;
  }
  RECT wanted{}, now{};
  GetClientRect(host, &wanted);
  GetClientRect(hwnd_, &now);
  if (!EqualRect(&wanted, &now))
    SetWindowPos(hwnd_, nullptr, 0, 0, wanted.right, wanted.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The engine has stopped by now; what its threads still post finds no
// events to reach.
void Win32SaverWindow::Close() {
  events_ = nullptr;
  if (displayState_) UnregisterPowerSettingNotification(displayState_);
  displayState_ = nullptr;
  timer_->SetEnabled(false);
  if (watch_) KillTimer(watch_, kWatchTimerId);
  if (covers_) covers_->Clear();
  ShowWindow(hwnd_, SW_HIDE);
  // The pointer need not wait for a move to come back.
  if (!host_) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

// Only the character message counts as a key press, and never in a host,
// whose program owns the keyboard; mouse messages go to the default
// handling, which does nothing here.
// The console display's state: 0 off, 1 on, 2 dimmed (still seen).
void Win32SaverWindow::PowerSettingChanged(
    const POWERBROADCAST_SETTING& setting) {
  if (!events_ || !IsEqualGUID(setting.PowerSetting, kConsoleDisplayState) ||
      setting.DataLength < sizeof(DWORD))
    return;
  DWORD state = 0;
  std::memcpy(&state, setting.Data, sizeof state);
  events_->DisplayPower(state != 0);
}

bool Win32SaverWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_POWERBROADCAST:
      if (wp == PBT_POWERSETTINGCHANGE && lp)
        PowerSettingChanged(*reinterpret_cast<POWERBROADCAST_SETTING*>(lp));
      return false;  // the default answer, TRUE, stays
    case WM_CHAR:
      if (events_ && !host_) events_->KeyPress("", int(wp));
      return true;
    case WM_TIMER:
      if (wp == kTimerId && events_) events_->Tick();
      if (wp == kWatchTimerId) WatchHost();
      return true;
    case WM_CLOSE:
      // The program ends from the event; the window goes with it.
      if (events_) events_->Closed();
      return true;
    case WM_DISPLAYCHANGE:
      if (events_ && !host_) FollowMonitors();
      return true;
    default:
      return false;
  }
}

void Win32SaverWindow::PaintSurface() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(surface_, &paint);
  RECT r{};
  GetClientRect(surface_, &r);
  if (!engine_->Paint(dc, {r.right, r.bottom}))
    FillRect(dc, &paint.rcPaint,
             static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EndPaint(surface_, &paint);
}

bool Win32SaverWindow::HandleSurface(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PaintSurface();
    return true;
  }
  if (msg == WM_CHAR) {
    if (events_ && !host_) events_->KeyPress(playerName_, int(wp));
    return true;
  }
  if (msg >= kChainMessage && msg <= kDShowMessage) {
    engine_->Notified(msg, wp, lp);
    return true;
  }
  return false;
}

LRESULT CALLBACK Win32SaverWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp,
                                           LPARAM lp) {
  try {
    auto* self = WindowOf<Win32SaverWindow>(hwnd);
    // The surface and the engines' windows ask here first too.
    if (msg == WM_SETCURSOR && self && self->events_ && !self->host_) {
      SetCursor(nullptr);
      return TRUE;
    }
    if (self && self->Handle(msg, wp, lp)) return 0;
  } catch (const std::exception&) {
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Win32SaverWindow::SurfaceProc(HWND hwnd, UINT msg, WPARAM wp,
                                               LPARAM lp) {
  try {
    auto* self = WindowOf<Win32SaverWindow>(hwnd);
    if (self && self->HandleSurface(msg, wp, lp)) return 0;
  } catch (const std::exception&) {
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tarnlight::win32
