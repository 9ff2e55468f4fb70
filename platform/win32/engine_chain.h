#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/engine.h"
#include "platform/win32/video_engine.h"

namespace tarnlight::win32 {

// The saver's engine: the video engines in order of preference, drawing in
// the surface window. Each clip goes to the first engine that opens it;
// one that fails, at once or later, hands the clip to the next. When none
// opens it, the most preferred engine's error is reported. Everything runs
// on the GUI thread, and news reaches EngineEvents only from Notified,
// which the surface's window procedure calls.
class EngineChain final : public Engine {
 public:
  // `failMessage` is the chain's own message to the surface, for a failure
  // known inside Open that must be reported after it.
  EngineChain(HWND surface, UINT failMessage,
              std::vector<std::unique_ptr<VideoEngine>> engines);
  ~EngineChain() override;
  EngineChain(const EngineChain&) = delete;
  EngineChain& operator=(const EngineChain&) = delete;

  void SetEvents(EngineEvents* events) override { events_ = events; }
  void Open(std::uint64_t clip, const std::string& path) override;
  void Play() override;
  void Stop() override;
  void Show(PixelRect where) override;
  void Hide() override;
  std::uint64_t Progress() const override;

  // A message the surface window received, turned into news of the clip.
  void Notified(UINT message, WPARAM wp, LPARAM lp);
  // The surface's WM_PAINT: false when it is left black.
  bool Paint(HDC dc, PixelSize area);

 private:
  enum class State { Idle, Opening, Open, Playing };

  void OpenFrom(std::size_t index);
  void Opened();
  void FailedToOpen();
  void Report(const PlatformError& error);
  void PlacePicture();

  HWND surface_;
  UINT failMessage_;
  std::vector<std::unique_ptr<VideoEngine>> engines_;
  EngineEvents* events_ = nullptr;
  State state_ = State::Idle;
  std::uint64_t clip_ = 0;
  // Counts opens, so that a posted failure names the open it belongs to.
  WPARAM open_ = 0;
  std::string path_;
  std::size_t current_ = 0;  // engines_.size(): none
  std::optional<PlatformError> firstError_;
  PixelSize shown_;
};

}  // namespace tarnlight::win32
