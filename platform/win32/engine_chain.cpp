#include "platform/win32/engine_chain.h"

#include <optional>

#include "platform/error.h"

namespace tarnlight::win32 {

PixelSize EngineChain::Open(const std::string& path) {
  Close();
  std::optional<PlatformError> first;
  for (const auto& engine : engines_) {
    try {
      PixelSize size = engine->Open(path);
      current_ = engine.get();
      return size;
    } catch (const PlatformError& e) {
      engine->Close();
      if (!first) first = e;
    }
  }
  if (first) throw *first;
  throw PlatformError(err::kInvalidCall, "No video player is available");
}

void EngineChain::Close() {
  if (current_) current_->Close();
  current_ = nullptr;
}

}  // namespace tarnlight::win32
