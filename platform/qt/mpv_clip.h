#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/geometry.h"

namespace tarnlight::qt {

// What libmpv has said so far of the one clip being opened or played, as a
// single state, and which of it is news for the engine's events. libmpv
// tells a clip in this order: the loadfile's answer names its playlist
// entry, the entry starts, its file loads, the player asks whether it has a
// picture and, if it has, waits for the picture's size. Whatever names
// another entry is news of an older clip. Each clip is reported once:
// opened or failed, and a clip that played, ended.
class MpvClip {
 public:
  enum class State {
    None,      // no clip
    Waiting,   // loads once libmpv has started
    Loading,   // loadfile sent; its entry is known once it answers
    Starting,  // libmpv started the entry; the file is not loaded yet
    Probing,   // loaded; the player asked whether it has a picture
    Sizing,    // it has a picture whose size is not known yet
    Opened,    // reported opened, and paused
    Playing,   // unpaused by Play
    Failed,    // its failure is on its way; nothing more is reported
  };
  enum class News { None, Opened, Failed, Ended };

  MpvClip() = default;
  MpvClip(std::uint64_t id, std::string path)
      : id_(id), path_(std::move(path)), state_(State::Waiting) {}

  std::uint64_t id() const { return id_; }
  const std::string& path() const { return path_; }
  State state() const { return state_; }
  // The picture's size once opened; 0 x 0 for a clip without one.
  PixelSize size() const { return size_; }
  // How far it has played on the media clock, in milliseconds: the
  // furthest of the picture's and the sound's positions. libmpv moves the
  // picture's position only when a new frame shows, the sound's all along,
  // so a clip whose picture stands still moves on with its sound.
  std::uint64_t Progress() const;

  void Load() { state_ = State::Loading; }
  void Fail() { state_ = State::Failed; }
  // The loadfile's answer: its error, or the playlist entry it made.
  News LoadAnswered(int error, std::int64_t entry);
  void EntryStarted(std::int64_t entry);
  // True when the player is to ask whether the clip has a picture.
  bool FileLoaded();
  News PictureAnswered(bool hasPicture);
  News WidthIs(std::int64_t pixels);
  News HeightIs(std::int64_t pixels);
  News EntryEnded(std::int64_t entry);
  // Raises PlatformError unless the clip is open.
  void Play();
  void PictureAt(double seconds);
  void SoundAt(double seconds);

 private:
  News OpenedIfSized();

  std::uint64_t id_ = 0;
  std::string path_;
  State state_ = State::None;
  std::int64_t entry_ = -1;  // its playlist entry, once known
  std::int64_t width_ = 0, height_ = 0;
  PixelSize size_;
  double picture_ = 0, sound_ = 0;
};

}  // namespace tarnlight::qt
