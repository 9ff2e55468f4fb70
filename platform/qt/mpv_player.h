#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>

#include "platform/controls.h"

namespace tarnlight::qt {

// The player: libmpv decoding, drawn by its software renderer into an image
// that this child widget paints. All members run on the GUI thread; libmpv's
// callbacks only post to it.
class MpvPlayer final : public QWidget, public Player {
 public:
  struct Hooks {
    std::function<void()> endOfStream;
    std::function<void(int)> keyPress;
  };

  // `bounds` gives the saver window's size in pixels: clips larger than it
  // are shown scaled down.
  MpvPlayer(QWidget* parent, int designWidthTwips, int designHeightTwips,
            std::function<QSize()> bounds);
  ~MpvPlayer() override;

  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }

  int Left() const override;
  int Top() const override;
  int Width() const override;
  int Height() const override;
  bool Visible() const override;
  void SetLeft(int twips) override;
  void SetTop(int twips) override;
  void SetVisible(bool visible) override;
  void SetFileName(const std::string& path) override;
  void SetEnabled(bool) override {}
  void Play() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  enum class Load { Waiting, Loaded, Failed };
  void UpdateLoad();

  // Any thread: libmpv calls these from its own threads; they only post.
  static void OnWakeup(void* self);
  static void OnFrame(void* self);
  void PostOnce(std::atomic<bool>& pending, void (MpvPlayer::*work)());

  void Initialise();
  bool AwaitLoad(QElapsedTimer& clock);
  void AwaitSize(QElapsedTimer& clock);
  void DrainEvents();
  void Handle(const mpv_event& event);
  void RenderFrame();
  void FitToClip();
  QSize ClipSize() const;

  mpv_handle* mpv_ = nullptr;
  mpv_render_context* render_ = nullptr;
  std::function<QSize()> bounds_;
  QSize designSize_;
  Hooks hooks_;
  QImage frame_;
  std::unique_ptr<uchar, void (*)(void*)> pixels_{nullptr, std::free};

  std::uint64_t loadRequest_ = 0;  // reply id of the latest loadfile
  std::int64_t entry_ = -1;        // playlist entry of the current clip
  std::int64_t started_ = -1;      // entry of the latest start-file
  std::int64_t loaded_ = -1;       // entry of the latest file-loaded
  Load load_ = Load::Failed;
  int loadError_ = 0;
  bool playing_ = false;
  std::int64_t videoWidth_ = 0, videoHeight_ = 0;

  std::atomic<bool> eventsPosted_{false};
  std::atomic<bool> framePosted_{false};
};

}  // namespace tarnlight::qt
