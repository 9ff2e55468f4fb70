#pragma once

#include <functional>

#include "platform/controls.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

// The player: a child window of the saver holding a DirectShow graph with
// the GDI video renderer. The graph's events are posted to this window, so
// every member runs on the GUI thread.
class DShowPlayer final : public Player {
 public:
  struct Hooks {
    std::function<void()> endOfStream;
    std::function<void(int)> keyPress;
  };

  DShowPlayer(HWND parent, int left, int top, int width, int height);
  ~DShowPlayer() override;
  DShowPlayer(const DShowPlayer&) = delete;
  DShowPlayer& operator=(const DShowPlayer&) = delete;

  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }
  // Stops and releases the clip; the player can open another afterwards.
  void Stop() { ReleaseGraph(); }
  HWND hwnd() const { return hwnd_; }

  int Left() const override;
  int Top() const override;
  int Width() const override;
  int Height() const override;
  bool Visible() const override { return IsWindowVisible(hwnd_) != FALSE; }
  void SetLeft(int twips) override;
  void SetTop(int twips) override;
  void SetVisible(bool visible) override;
  void SetFileName(const std::string& path) override;
  void SetEnabled(bool) override {}
  void Play() override;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void ReleaseGraph();
  void DrainGraphEvents();
  RECT Rect() const;
  void Resize(int width, int height);

  HWND hwnd_ = nullptr;
  HWND parent_;
  int designWidth_, designHeight_;  // pixels
  IGraphBuilder* graph_ = nullptr;
  IMediaControl* control_ = nullptr;
  IMediaEventEx* events_ = nullptr;
  IVideoWindow* video_ = nullptr;
  bool playing_ = false;
  Hooks hooks_;
};

}  // namespace tarnlight::win32
