#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/video_engine.h"

namespace tarnlight::win32 {

// The engines in order of preference. Each clip is opened by the first
// engine that can open it; that engine then plays it.
class EngineChain {
 public:
  explicit EngineChain(std::vector<std::unique_ptr<VideoEngine>> engines)
      : engines_(std::move(engines)) {}

  // Closes the current clip first. When no engine can open the clip, the
  // most preferred engine's error is raised.
  PixelSize Open(const std::string& path);
  // The engine holding the open clip, or null.
  VideoEngine* Current() const { return current_; }
  void Close();

 private:
  std::vector<std::unique_ptr<VideoEngine>> engines_;
  VideoEngine* current_ = nullptr;
};

}  // namespace tarnlight::win32
