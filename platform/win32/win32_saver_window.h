#pragma once

#include <memory>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_player.h"
#include "platform/win32/win32_services.h"
#include "platform/windows.h"

namespace tarnlight::win32 {

class Win32Timer final : public Timer {
 public:
  Win32Timer(HWND owner, UINT intervalMs)
      : owner_(owner), interval_(intervalMs) {}
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;

 private:
  HWND owner_;
  UINT interval_;
  bool enabled_ = false;
};

// The black, topmost popup over the primary monitor, with the player as a
// child window.
class Win32SaverWindow final : public SaverWindow {
 public:
  Win32SaverWindow(const SaverLayout& layout, Win32Program& program);
  ~Win32SaverWindow() override;

  int Width() const override;
  int Height() const override;
  Player& vid() override { return *player_; }
  Timer& timTimer() override { return *timer_; }
  void Show(SaverEvents& events) override;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  std::unique_ptr<Win32Player> player_;
  std::unique_ptr<Win32Timer> timer_;
  SaverEvents* events_ = nullptr;
};

}  // namespace tarnlight::win32
