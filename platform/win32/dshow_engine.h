#pragma once

#include <memory>

#include "platform/win32/video_engine.h"

namespace tarnlight::win32 {

struct DShowClip;

// DirectShow: a filter graph with the GDI video renderer, which draws in a
// child window of the surface. Found on every Windows, Media Foundation's
// N editions among them. RenderFile can take as long as the file
// and its filters like, so each clip's graph is built, driven and released
// on a thread of its own, which posts what it learns to the window as
// `message`; a closed clip's thread is left to finish on its own, and what
// it still posts is ignored.
class DShowEngine final : public VideoEngine {
 public:
  DShowEngine(HWND window, UINT message) : window_(window), message_(message) {}
  ~DShowEngine() override { Close(); }
  DShowEngine(const DShowEngine&) = delete;
  DShowEngine& operator=(const DShowEngine&) = delete;

  void Open(const std::string& path) override;
  News Notified(UINT message, WPARAM wp, LPARAM lp) override;
  PixelSize Size() const override;
  PlatformError Error() const override;
  void Play() override;
  void Place(PixelSize size) override;
  void Close() override;
  std::uint64_t Progress() const override;

  // What the clip's thread posts, in the message's LPARAM.
  enum Posted : LPARAM { kOpened = 1, kFailed = 2, kEnded = 3 };

 private:
  HWND window_;
  UINT message_;
  WPARAM serial_ = 0;
  std::shared_ptr<DShowClip> clip_;
};

}  // namespace tarnlight::win32
