#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/controls.h"
#include "platform/services.h"
#include "shared/dispatch.h"

namespace tarnlight {

// The saver's player control: the rules of opening and playing a clip, over
// the engine of the window it sits on. Only what can be read as a regular
// file reaches the engine; an open that has not succeeded within
// kOpenDeadlineMs fails; a clip is shown at its own size, scaled down to fit
// the window; a clip whose clock stands still for kStallSeconds counts as
// ended, however rarely its picture changes. Everything runs on the GUI thread,
// and every answer from the engine, the file system or the clock comes in
// through `dispatcher`.
class VidPlayer final : public Control, private EngineEvents {
 public:
  static constexpr int kOpenDeadlineMs = 2000;
  static constexpr int kStallSeconds = 5;

  using OpenedFn = std::function<void()>;
  using FailedFn = std::function<void(const PlatformError&)>;

  VidPlayer(SaverWindow& window, const SaverLayout& layout, Files& files,
            EventLoop& loop, Dispatcher& dispatcher);
  ~VidPlayer() override;

  int Left() const override { return left_; }
  int Top() const override { return top_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Visible() const override { return visible_; }
  void SetLeft(int twips) override;
  void SetTop(int twips) override;
  void SetVisible(bool visible) override;

  // Starts opening `path` and returns at once. Later, never inside this
  // call, exactly one of `opened` (Width and Height now give the size the
  // clip is shown at) and `failed` runs, unless another clip is opened or
  // the player stopped first.
  void SetFileName(const std::string& path, OpenedFn opened, FailedFn failed);
  // Set before every play; kept only to be read back.
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Enabled() const { return enabled_; }
  // Starts the clip that opened. Raises PlatformError when none is open.
  void Play();
  // Stops the clip and forgets any news still to come of it.
  void Stop();
  // Runs when a playing clip ends, by finishing, failing or standing still.
  void OnEndOfStream(std::function<void()> ended) {
    endOfStream_ = std::move(ended);
  }

 private:
  enum class State { Idle, Probing, Opening, Open, Playing };

  void Opened(std::uint64_t clip, PixelSize size) override;
  void Failed(std::uint64_t clip, const PlatformError& error) override;
  void Ended(std::uint64_t clip) override;

  void Probed(std::uint64_t clip, FileKind kind);
  void Fail(const PlatformError& error);
  void DeadlinePassed(std::uint64_t clip);
  void Watch(std::uint64_t clip, std::uint64_t progress, int stillSeconds);
  void EndClip();
  void Resize(PixelSize clip);
  void UpdateEngine();
  // Runs `work` through the dispatcher if `clip` is still the current one.
  std::function<void()> ForClip(std::uint64_t clip, std::function<void()> work);

  SaverWindow& window_;
  Engine& engine_;
  Files& files_;
  EventLoop& loop_;
  Dispatcher& dispatcher_;
  const int designWidth_, designHeight_;
  int left_, top_, width_, height_;
  bool visible_ = false;
  bool enabled_ = false;
  State state_ = State::Idle;
  std::uint64_t clip_ = 0;
  std::string path_;
  OpenedFn opened_;
  FailedFn failed_;
  std::function<void()> endOfStream_;
  // Callbacks left with the loop or the file system check it, so that
  // none runs once the player has gone.
  std::shared_ptr<const VidPlayer*> self_;
};

}  // namespace tarnlight
