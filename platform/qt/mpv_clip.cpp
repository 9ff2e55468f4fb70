#include "platform/qt/mpv_clip.h"

#include <algorithm>

#include "platform/error.h"

namespace tarnlight::qt {
std::uint64_t MpvClip::Progress() const {
  return std::uint64_t(std::max({picture_, sound_, 0.0}) * 1000);
}

MpvClip::News MpvClip::LoadAnswered(int error, std::int64_t entry) {
  if (state_ != State::Loading) return News::None;
  if (error < 0) {
    state_ = State::Failed;
    return News::Failed;
  }
  entry_ = entry;
  return News::None;
}

void MpvClip::EntryStarted(std::int64_t entry) {
  if (state_ == State::Loading && entry_ >= 0 && entry == entry_)
    state_ = State::Starting;
}

bool MpvClip::FileLoaded() {
  if (state_ != State::Starting) return false;
  state_ = State::Probing;
  return true;
}

MpvClip::News MpvClip::PictureAnswered(bool hasPicture) {
  if (state_ != State::Probing) return News::None;
  if (hasPicture) {
    state_ = State::Sizing;
    return OpenedIfSized();
  }
  state_ = State::Opened;
  return News::Opened;
}

MpvClip::News MpvClip::WidthIs(std::int64_t pixels) {
  width_ = pixels;
  return OpenedIfSized();
}

MpvClip::News MpvClip::HeightIs(std::int64_t pixels) {
  height_ = pixels;
  return OpenedIfSized();
}

MpvClip::News MpvClip::OpenedIfSized() {
  if (state_ != State::Sizing || width_ <= 0 || height_ <= 0) return News::None;
  size_ = {PictureSide(std::uint64_t(width_)),
           PictureSide(std::uint64_t(height_))};
  state_ = State::Opened;
  return News::Opened;
}

// An end while the clip opens is its failure. An end after it opened and
// before it played is left to the saver's stall rule: Play then plays
// nothing.
MpvClip::News MpvClip::EntryEnded(std::int64_t entry) {
  if (entry_ < 0 || entry != entry_) return News::None;
  switch (state_) {
    case State::Loading:
    case State::Starting:
    case State::Probing:
    case State::Sizing:
      state_ = State::Failed;
      return News::Failed;
    case State::Playing:
      state_ = State::None;
      return News::Ended;
    default:
      return News::None;
  }
}

void MpvClip::Play() {
  if (state_ != State::Opened)
    throw PlatformError(err::kInvalidCall, "No clip is open to play");
  state_ = State::Playing;
}

// Positions before it plays may still be the last clip's.
void MpvClip::PictureAt(double seconds) {
  if (state_ == State::Playing) picture_ = seconds;
}

void MpvClip::SoundAt(double seconds) {
  if (state_ == State::Playing) sound_ = seconds;
}

}  // namespace tarnlight::qt
