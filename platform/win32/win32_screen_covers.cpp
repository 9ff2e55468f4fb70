#include "platform/win32/win32_screen_covers.h"

#include <algorithm>

#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {
namespace {

constexpr wchar_t kCoverClass[] = L"TarnlightCover";

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b); }

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM layout) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  auto& into = *reinterpret_cast<MonitorLayout*>(layout);
  into.monitors.push_back(info.rcMonitor);
  if (info.dwFlags & MONITORINFOF_PRIMARY) into.primary = info.rcMonitor;
  return TRUE;
}

}  // namespace

std::vector<RECT> PlanCovers(const std::vector<RECT>& monitors, RECT primary) {
  std::vector<RECT> covers;
  for (const RECT& monitor : monitors) {
    if (IsRectEmpty(&monitor) || SameRect(monitor, primary)) continue;
    if (std::none_of(covers.begin(), covers.end(), [&](const RECT& cover) {
          return SameRect(cover, monitor);
        }))
      covers.push_back(monitor);
  }
  return covers;
}

// Without a primary among them, the one the system metrics name is.
MonitorLayout CurrentMonitors() {
  MonitorLayout layout{
      {}, {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}};
  EnumDisplayMonitors(nullptr, nullptr, &AddMonitor,
                      reinterpret_cast<LPARAM>(&layout));
  return layout;
}

ScreenCovers::ScreenCovers(HWND owner) : owner_(owner) {
  RegisterWindowClass(kCoverClass, &ScreenCovers::CoverProc,
                      static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

ScreenCovers::~ScreenCovers() { Clear(); }

// A cover that cannot be created leaves its monitor as it is; the saver
// runs on without it.
void ScreenCovers::Cover(const std::vector<RECT>& rectangles) {
  while (covers_.size() > rectangles.size()) {
    DestroyWindow(covers_.back());
    covers_.pop_back();
  }
  for (std::size_t i = 0; i < rectangles.size(); ++i) {
    const RECT& r = rectangles[i];
    if (i < covers_.size()) {
      SetWindowPos(covers_[i], HWND_TOPMOST, r.left, r.top, r.right - r.left,
                   r.bottom - r.top, SWP_NOACTIVATE);
      continue;
    }
    HWND cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kCoverClass,
                                 L"", WS_POPUP, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, owner_, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!cover) continue;
    ShowWindow(cover, SW_SHOWNA);
    covers_.push_back(cover);
  }
}

// Posted rather than sent: the owner's answer may take the covers down,
// this one among them.
LRESULT CALLBACK ScreenCovers::CoverProc(HWND hwnd, UINT msg, WPARAM wp,
                                         LPARAM lp) {
  switch (msg) {
    case WM_CHAR:
    case WM_CLOSE:
      PostMessageW(GetWindow(hwnd, GW_OWNER), msg, wp, lp);
      return 0;
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return TRUE;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace tarnlight::win32
