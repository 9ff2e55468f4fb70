#pragma once

#include "platform/win32/clip_thread.h"

namespace tarnlight::win32 {

// DirectShow: a filter graph with the GDI video renderer, which draws in a
// child window of the surface. Found on every Windows, Media Foundation's
// N editions among them. RenderFile can take as long as the file
// and its filters like, so each clip's graph is built, driven and released
// on a thread of its own, which posts what it learns to the window as
// `message`; a closed clip's thread is left to finish on its own, and what
// it still posts is ignored.
class DShowEngine final : public ClipThreadEngine {
 public:
  DShowEngine(HWND window, UINT message) : ClipThreadEngine(window, message) {}
  ~DShowEngine() override { Close(); }

  void Open(const std::string& path) override;
  void Place(PixelSize size) override;
};

}  // namespace tarnlight::win32
