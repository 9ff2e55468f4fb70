#include "platform/win32/engine_chain.h"

namespace tarnlight::win32 {

EngineChain::EngineChain(HWND surface, UINT failMessage,
                         std::vector<std::unique_ptr<VideoEngine>> engines)
    : surface_(surface),
      failMessage_(failMessage),
      engines_(std::move(engines)),
      current_(engines_.size()) {}

EngineChain::~EngineChain() {
  for (auto& engine : engines_) engine->Close();
}

void EngineChain::Open(std::uint64_t clip, const std::string& path) {
  Stop();
  clip_ = clip;
  path_ = path;
  ++open_;
  firstError_.reset();
  state_ = State::Opening;
  OpenFrom(0);
}

void EngineChain::OpenFrom(std::size_t index) {
  for (current_ = index; current_ < engines_.size(); ++current_) {
    try {
      engines_[current_]->Open(path_);
      return;
    } catch (const PlatformError& e) {
      engines_[current_]->Close();
      if (!firstError_) firstError_ = e;
    }
  }
  // Nothing is reported from inside a call to the engine.
  PostMessageW(surface_, failMessage_, open_, 0);
}

void EngineChain::Notified(UINT message, WPARAM wp, LPARAM lp) {
  if (state_ == State::Idle) return;
  if (message == failMessage_) {
    if (wp == open_ && current_ == engines_.size()) FailedToOpen();
    return;
  }
  if (current_ == engines_.size()) return;
  VideoEngine& engine = *engines_[current_];
  switch (engine.Notified(message, wp, lp)) {
    case News::None:
      return;
    case News::Opened:
      if (state_ == State::Opening) Opened();
      return;
    case News::Failed:
      if (state_ == State::Opening) {
        if (!firstError_) firstError_ = engine.Error();
        engine.Close();
        OpenFrom(current_ + 1);
      } else {
        Report(engine.Error());
      }
      return;
    case News::Ended:
      if (state_ == State::Playing) {
        state_ = State::Idle;
        if (events_) events_->Ended(clip_);
      }
      return;
  }
}

void EngineChain::Opened() {
  state_ = State::Open;
  PlacePicture();
  if (events_) events_->Opened(clip_, engines_[current_]->Size());
}

void EngineChain::FailedToOpen() {
  state_ = State::Idle;
  Report(firstError_ ? *firstError_
                     : PlatformError(err::kInvalidCall,
                                     "No video player is available"));
}

// The events may stop the clip, or open the next, before they return.
void EngineChain::Report(const PlatformError& error) {
  state_ = State::Idle;
  if (events_) events_->Failed(clip_, error);
}

void EngineChain::Play() {
  if (state_ != State::Open)
    throw PlatformError(err::kInvalidCall, "No clip is open to play");
  engines_[current_]->Play();
  state_ = State::Playing;
}

void EngineChain::Stop() {
  state_ = State::Idle;
  if (current_ < engines_.size()) engines_[current_]->Close();
  current_ = engines_.size();
}

void EngineChain::PlacePicture() {
  if (current_ < engines_.size() && shown_.width > 0 &&
      (state_ == State::Open || state_ == State::Playing))
    engines_[current_]->Place(shown_);
}

bool EngineChain::Paint(HDC dc, PixelSize area) {
  return current_ < engines_.size() &&
         (state_ == State::Open || state_ == State::Playing) &&
         engines_[current_]->Paint(dc, area);
}

void EngineChain::Show(PixelRect where) {
  shown_ = {where.width, where.height};
  SetWindowPos(surface_, HWND_TOP, where.left, where.top, where.width,
               where.height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  PlacePicture();
  SetFocus(surface_);
}

void EngineChain::Hide() {
  if (GetFocus() == surface_) SetFocus(GetParent(surface_));
  ShowWindow(surface_, SW_HIDE);
}

std::uint64_t EngineChain::Progress() const {
  return current_ < engines_.size() && state_ == State::Playing
             ? engines_[current_]->Progress()
             : 0;
}

}  // namespace tarnlight::win32
