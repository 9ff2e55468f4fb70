#pragma once

#include "platform/win32/video_engine.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

// DirectShow: a filter graph with the GDI video renderer, which draws in a
// child window of the player's window. Found on every Windows, and the one
// engine that shows a picture under Wine. The graph posts its events to the
// window as `message`.
class DShowEngine final : public VideoEngine {
 public:
  DShowEngine(HWND window, UINT message) : window_(window), message_(message) {}
  ~DShowEngine() override { Close(); }
  DShowEngine(const DShowEngine&) = delete;
  DShowEngine& operator=(const DShowEngine&) = delete;

  PixelSize Open(const std::string& path) override;
  void Place(PixelSize size) override;
  void Play() override;
  void Close() override;
  bool Notified(unsigned message, std::uintptr_t wp, std::intptr_t lp) override;

 private:
  void AddGdiRenderer();
  PixelSize VideoSize();

  HWND window_;
  UINT message_;
  IGraphBuilder* graph_ = nullptr;
  IMediaControl* control_ = nullptr;
  IMediaEventEx* events_ = nullptr;
  IVideoWindow* video_ = nullptr;
};

}  // namespace tarnlight::win32
