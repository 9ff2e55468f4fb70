#pragma once

#include <vector>

#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

// The rectangles the covers take: every monitor's but the primary one's,
// which the saver window covers itself. Mirrored monitors share a
// rectangle and get one cover; an empty rectangle gets none. The order is
// the monitors' own.
std::vector<RECT> PlanCovers(const std::vector<RECT>& monitors, RECT primary);

// The monitors as Windows reports them now (MONITORINFO.rcMonitor).
struct MonitorLayout {
  std::vector<RECT> monitors;
  RECT primary;
};
MonitorLayout CurrentMonitors();

// Plain black, topmost windows owned by the saver window, shown without
// taking the activation from it. A character typed on one, or a request to
// close one, is passed on to the owner as its own. The cursor is hidden
// over them. GUI thread only.
class ScreenCovers final {
 public:
  explicit ScreenCovers(HWND owner);
  ~ScreenCovers();
  ScreenCovers(const ScreenCovers&) = delete;
  ScreenCovers& operator=(const ScreenCovers&) = delete;

  // Adds, moves or removes covers until one lies on each rectangle.
  void Cover(const std::vector<RECT>& rectangles);
  // Takes every cover down.
  void Clear() { Cover({}); }

 private:
  static LRESULT CALLBACK CoverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  HWND owner_;
  std::vector<HWND> covers_;
};

}  // namespace tarnlight::win32
