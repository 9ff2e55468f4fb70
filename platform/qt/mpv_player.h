#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <string>

#include "platform/engine.h"
#include "platform/qt/mpv_clip.h"
#include "platform/qt/mpv_core.h"
#include "platform/qt/window_pixels.h"

namespace tarnlight::qt {

// Where the player's picture goes: its view.
class PlayerScreen : public MpvCanvas {
 public:
  virtual void Show(PixelRect where) = 0;
  virtual void Hide() = 0;
  // There is a new frame, or none any more: paint again.
  virtual void Repaint() = 0;
  // libmpv holds an open clip back until its first frame is drawn, for up
  // to 200 ms: the screen has it drawn where nobody sees it.
  virtual void DrawUnseen() = 0;

 protected:
  ~PlayerScreen() = default;
};

// Clips decoded by libmpv, one at a time, drawn into pixels the screen
// hands over while it paints.
//
// Threads: the player, its screen and everything they ask of libmpv run on
// the GUI thread. Only its MpvCore meets other threads: libmpv starts on a
// thread of its own, and libmpv's callbacks come on libmpv's threads and
// only post to the GUI thread.
//
// Rendering on the GUI thread is safe here: libmpv lets any one thread
// render as long as that thread never waits for its core, and the GUI
// thread calls nothing else of libmpv that can wait: only the asynchronous
// commands, the property requests and the event queue read without a
// timeout, which libmpv declares safe on a render thread. So neither waits
// for the other, and nothing on the GUI thread waits for libmpv.
class MpvPlayer final : public Engine {
 public:
  explicit MpvPlayer(PlayerScreen& screen);

  void SetEvents(EngineEvents* events) override { events_ = events; }
  void Open(std::uint64_t clip, const std::string& path) override;
  void Play() override;
  void Stop() override;
  void Show(PixelRect where) override { screen_.Show(where); }
  void Hide() override { screen_.Hide(); }
  std::uint64_t Progress() const override { return clip_.Progress(); }

  // Starts libmpv, so that the first clip need not wait for it; Open does
  // it too when it has not begun.
  void Prepare() { core_.Start(); }
  // Whether a clip plays, and so has frames to draw.
  bool Playing() const { return clip_.state() == MpvClip::State::Playing; }
  // Draws the current frame into `to`; false when libmpv cannot draw in
  // its format. The screen asks only while a clip plays, or unseen.
  bool Draw(const PixelTarget& to) { return core_.Draw(to); }
  // Draws the current frame as `params` say, with the canvas current.
  bool Render(mpv_render_param* params) { return core_.Render(params); }

 private:
  const MpvApi& api() const { return core_.api(); }
  mpv_handle* mpv() const { return core_.mpv(); }
  void Ready();
  void Load();
  void SendStop();
  void Forget();
  void Fail(int number, const std::string& what);
  void Report(MpvClip::News news, int mpvError);
  void AskPositions();
  void DrainEvents();
  void OnCommandReply(const mpv_event& event);
  void OnStartFile(const mpv_event& event);
  void OnFileLoaded(const mpv_event&);
  void OnGetPropertyReply(const mpv_event& event);
  void OnEndFile(const mpv_event& event);
  void OnPropertyChange(const mpv_event& event);
  void RenderFrame();

  PlayerScreen& screen_;
  EngineEvents* events_ = nullptr;
  MpvClip clip_;
  std::uint64_t loadRequest_ = 0;  // reply id of the latest loadfile
  // What posts failures, and drops those still posted when the player goes.
  QObject posts_;
  QTimer positions_;  // asks where the clip plays, while it plays
  MpvCore core_;      // last, so that it and libmpv's callbacks go first
};

}  // namespace tarnlight::qt
