#pragma once

#include <functional>

#include "platform/controls.h"
#include "platform/win32/engine_chain.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

// The player: a child window of the saver in which the engines draw.
// Every member runs on the GUI thread; the engines' news arrives as
// messages posted to this window.
class Win32Player final : public Player {
 public:
  struct Hooks {
    std::function<void()> endOfStream;
    std::function<void(int)> keyPress;
  };

  Win32Player(HWND parent, int left, int top, int width, int height);
  ~Win32Player() override;
  Win32Player(const Win32Player&) = delete;
  Win32Player& operator=(const Win32Player&) = delete;

  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }
  // Stops and closes the clip; the player can open another afterwards.
  void Stop();
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
  void EngineNotified(UINT msg, WPARAM wp, LPARAM lp);
  RECT Rect() const;
  PixelSize ShownSize(PixelSize clip) const;

  HWND hwnd_ = nullptr;
  HWND parent_;
  PixelSize designSize_;
  EngineChain engines_;
  bool playing_ = false;
  Hooks hooks_;
};

}  // namespace tarnlight::win32
