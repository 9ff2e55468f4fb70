#include "saver/vid_player.h"

#include <cmath>

#include "helpers/fit_inside.h"

namespace tarnlight {
namespace {

int PixelsOf(int twips, double twipsPerPixel) {
  return int(std::floor(twips / twipsPerPixel));
}

int TwipsOf(int pixels, double twipsPerPixel) {
  return int(std::lround(pixels * twipsPerPixel));
}

}  // namespace

VidPlayer::VidPlayer(SaverWindow& window, const SaverLayout& layout,
                     Files& files, EventLoop& loop, Dispatcher& dispatcher)
    : window_(window),
      engine_(window.engine()),
      files_(files),
      loop_(loop),
      dispatcher_(dispatcher),
      designWidth_(layout.playerWidth),
      designHeight_(layout.playerHeight),
      left_(layout.playerLeft),
      top_(layout.playerTop),
      width_(layout.playerWidth),
      height_(layout.playerHeight),
      self_(std::make_shared<const VidPlayer*>(this)) {
  engine_.SetEvents(this);
}

VidPlayer::~VidPlayer() { engine_.SetEvents(nullptr); }

std::function<void()> VidPlayer::ForClip(std::uint64_t clip,
                                         std::function<void()> work) {
  std::weak_ptr<const VidPlayer*> alive = self_;
  return [this, alive, clip, work = std::move(work)] {
    if (alive.expired() || clip != clip_) return;
    dispatcher_.Run(work);
  };
}

void VidPlayer::SetLeft(int twips) {
  left_ = twips;
  UpdateEngine();
}

void VidPlayer::SetTop(int twips) {
  top_ = twips;
  UpdateEngine();
}

void VidPlayer::SetVisible(bool visible) {
  visible_ = visible;
  UpdateEngine();
}

void VidPlayer::UpdateEngine() {
  if (!visible_) {
    engine_.Hide();
    return;
  }
  double tpp = window_.TwipsPerPixel();
  engine_.Show({PixelsOf(left_, tpp), PixelsOf(top_, tpp),
                PixelsOf(width_, tpp), PixelsOf(height_, tpp)});
}

void VidPlayer::SetFileName(const std::string& path, OpenedFn opened,
                            FailedFn failed) {
  Stop();
  std::uint64_t clip = ++clip_;
  path_ = path;
  opened_ = std::move(opened);
  failed_ = std::move(failed);
  state_ = State::Probing;
  loop_.After(kOpenDeadlineMs,
              ForClip(clip, [this, clip] { DeadlinePassed(clip); }));
  std::weak_ptr<const VidPlayer*> alive = self_;
  files_.Probe(path, [this, alive, clip](FileKind kind) {
    if (alive.expired() || clip != clip_) return;
    dispatcher_.Run([this, clip, kind] { Probed(clip, kind); });
  });
}

// A FIFO would block the decoder and a folder would be read as a playlist:
// only a regular file goes on.
void VidPlayer::Probed(std::uint64_t clip, FileKind kind) {
  if (state_ != State::Probing) return;
  if (kind != FileKind::Regular) {
    Fail(PlatformError(err::kFileNotFound, "File not found: " + path_));
    return;
  }
  state_ = State::Opening;
  engine_.Open(clip, path_);
}

void VidPlayer::DeadlinePassed(std::uint64_t) {
  if (state_ != State::Probing && state_ != State::Opening) return;
  Fail(PlatformError(err::kPathAccess,
                     "The clip took too long to open: " + path_));
}

void VidPlayer::Fail(const PlatformError& error) {
  FailedFn failed = std::move(failed_);
  Stop();
  if (failed) failed(error);
}

void VidPlayer::Opened(std::uint64_t clip, PixelSize size) {
  dispatcher_.Run([this, clip, size] {
    if (clip != clip_ || state_ != State::Opening) return;
    state_ = State::Open;
    Resize(size);
    OpenedFn opened = std::move(opened_);
    failed_ = nullptr;
    if (opened) opened();
  });
}

void VidPlayer::Failed(std::uint64_t clip, const PlatformError& error) {
  dispatcher_.Run([this, clip, &error] {
    if (clip != clip_) return;
    if (state_ == State::Opening) Fail(error);
    if (state_ == State::Playing) EndClip();
  });
}

void VidPlayer::Ended(std::uint64_t clip) {
  dispatcher_.Run([this, clip] {
    if (clip == clip_ && state_ == State::Playing) EndClip();
  });
}

// A clip without a picture, or with an absurd one, keeps the design size.
void VidPlayer::Resize(PixelSize clip) {
  double tpp = window_.TwipsPerPixel();
  if (clip.width <= 0 || clip.height <= 0 || clip.width > kLargestPictureSide ||
      clip.height > kLargestPictureSide) {
    width_ = designWidth_;
    height_ = designHeight_;
  } else {
    PixelSize bounds{PixelsOf(window_.Width(), tpp),
                     PixelsOf(window_.Height(), tpp)};
    PixelSize shown = FitInside(clip, bounds);
    width_ = TwipsOf(shown.width, tpp);
    height_ = TwipsOf(shown.height, tpp);
  }
  UpdateEngine();
}

void VidPlayer::Play() {
  if (state_ != State::Open)
    throw PlatformError(err::kInvalidCall, "No clip is open to play");
  engine_.Play();
  state_ = State::Playing;
  std::uint64_t clip = clip_;
  std::uint64_t progress = engine_.Progress();
  loop_.After(1000, ForClip(clip, [this, clip, progress] {
                Watch(clip, progress, 1);
              }));
}

// Once a second while a clip plays: a clip whose clock has not moved for
// kStallSeconds will never reach its end, so it ends here.
void VidPlayer::Watch(std::uint64_t clip, std::uint64_t progress,
                      int stillSeconds) {
  if (state_ != State::Playing) return;
  std::uint64_t now = engine_.Progress();
  stillSeconds = now == progress ? stillSeconds : 0;
  if (stillSeconds >= kStallSeconds) {
    EndClip();
    return;
  }
  loop_.After(1000, ForClip(clip, [this, clip, now, stillSeconds] {
                Watch(clip, now, stillSeconds + 1);
              }));
}

void VidPlayer::EndClip() {
  Stop();
  if (endOfStream_) endOfStream_();
}

void VidPlayer::Stop() {
  ++clip_;  // whatever is still to come of the old clip is now stale
  state_ = State::Idle;
  opened_ = nullptr;
  failed_ = nullptr;
  engine_.Stop();
}

}  // namespace tarnlight
