#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/win32/engine_chain.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_screen_covers.h"
#include "platform/window.h"

namespace tarnlight::win32 {

class Win32Timer final : public Timer {
 public:
  Win32Timer(HWND owner, UINT_PTR id, UINT intervalMs)
      : owner_(owner), id_(id), interval_(intervalMs) {}
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;

 private:
  HWND owner_;
  UINT_PTR id_;
  UINT interval_;
  bool enabled_ = false;
};

// The black, topmost popup over the primary monitor, with the player's
// surface as a hidden child window in which the engines draw. While it
// shows, plain covers black out the other monitors and the cursor is
// hidden over all of them. Sizes follow the DPI of the monitor it is on.
//
// Given a host (the shell's preview), it is instead a black child window
// filling the host's client area, at the host's DPI: it takes no focus and
// no keys, leaves the cursor and the monitors alone, and reports Closed
// within a quarter of a second once the host or the window itself is gone.
// A host that is no window at all reports Closed as the window shows.
class Win32SaverWindow final : public SaverWindow {
 public:
  Win32SaverWindow(const SaverLayout& layout, std::optional<HWND> host);
  ~Win32SaverWindow() override;
  Win32SaverWindow(const Win32SaverWindow&) = delete;
  Win32SaverWindow& operator=(const Win32SaverWindow&) = delete;

  int Width() const override;
  int Height() const override;
  double TwipsPerPixel() const override { return twipsPerPixel_; }
  Timer& timer() override { return *timer_; }
  Engine& engine() override { return *engine_; }
  void Show(WindowEvents& events) override;
  void Close() override;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK SurfaceProc(HWND hwnd, UINT msg, WPARAM wp,
                                      LPARAM lp);
  HWND CreateOverPrimary();
  HWND CreateInHost();
  bool Handle(UINT msg, WPARAM wp, LPARAM lp);
  void PowerSettingChanged(const POWERBROADCAST_SETTING& setting);
  void FollowMonitors();
  void WatchHost();
  bool HandleSurface(UINT msg, WPARAM wp, LPARAM lp);
  void PaintSurface();

  const std::string playerName_;
  const std::optional<HWND> host_;
  double twipsPerPixel_ = 15.0;
  HWND hwnd_ = nullptr;
  HWND surface_ = nullptr;
  // Outside the host, so that its timer outlives the host's windows.
  HWND watch_ = nullptr;
  std::unique_ptr<Win32Timer> timer_;
  std::unique_ptr<EngineChain> engine_;
  std::unique_ptr<ScreenCovers> covers_;
  WindowEvents* events_ = nullptr;
  HPOWERNOTIFY displayState_ = nullptr;
};

}  // namespace tarnlight::win32
