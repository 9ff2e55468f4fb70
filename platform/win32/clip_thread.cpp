#include "platform/win32/clip_thread.h"

#include "platform/win32/media_work.h"
#include "platform/win32/win32_loop.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {

void ClipThreadEngine::StartThread(std::shared_ptr<ClipShare> clip,
                                   std::function<void()> run) {
  if (!clip->wake) ThrowLastError("The player could not be created");
  media_work::Begin();
  try {
    RunOnNewThread(std::move(run));
  } catch (const PlatformError&) {
    media_work::End();
    throw;
  }
  clip_ = std::move(clip);
}

News ClipThreadEngine::Notified(UINT message, WPARAM wp, LPARAM lp) {
  if (message != message_ || !clip_ || wp != clip_->serial) return News::None;
  switch (lp) {
    case kOpened:
      return News::Opened;
    case kFailed:
      return News::Failed;
    case kEnded:
      return News::Ended;
    default:
      return News::None;
  }
}

PixelSize ClipThreadEngine::Size() const {
  if (!clip_) return {};
  std::lock_guard<std::mutex> lock(clip_->mutex);
  return clip_->size;
}

PlatformError ClipThreadEngine::Error() const {
  if (!clip_) return PlatformError(err::kInvalidCall, "No clip is open");
  std::lock_guard<std::mutex> lock(clip_->mutex);
  return HresultError(clip_->result, clip_->failure);
}

void ClipThreadEngine::Play() {
  if (!clip_) throw PlatformError(err::kInvalidCall, "No clip is open to play");
  clip_->Request([clip = clip_.get()] { clip->play = true; });
}

void ClipThreadEngine::Close() {
  if (!clip_) return;
  clip_->Request([clip = clip_.get()] { clip->stop = true; });
  clip_.reset();
}

std::uint64_t ClipThreadEngine::Progress() const {
  return clip_ ? clip_->progress.load() : 0;
}

}  // namespace tarnlight::win32
