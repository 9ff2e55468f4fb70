#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/engine.h"
#include "platform/qt/mpv_api.h"
#include "platform/qt/mpv_clip.h"
#include "platform/qt/window_pixels.h"

namespace tarnlight::qt {

// What starting libmpv gave: all of it, or why there is none.
struct PlayerStart {
  const MpvApi* api = nullptr;
  mpv_handle* mpv = nullptr;
  mpv_render_context* render = nullptr;
  std::string error;
};
using StartPlayer = PlayerStart (*)();

// Loads libmpv and starts its core, with every safety option in force and
// the software renderer. Runs on a thread of its own.
PlayerStart StartMpv();

// Where the player's picture goes: its view, on the GUI thread.
class PlayerScreen {
 public:
  virtual void Show(PixelRect where) = 0;
  virtual void Hide() = 0;
  // There is a new frame, or none any more: paint again.
  virtual void Repaint() = 0;

 protected:
  ~PlayerScreen() = default;
};

// Clips decoded by libmpv, one at a time, drawn on request into pixels
// the screen hands over while it paints.
//
// Threads: every member runs on the GUI thread, and so does all other work
// with libmpv's core and its render context, except two parts. `start` runs
// on a thread of its own, as loading libmpv and starting its core take a
// good part of a second on a slow machine. OnWakeup and OnFrame are called
// by libmpv on its own threads, and only post to the GUI thread.
//
// Rendering on the GUI thread is safe here: libmpv lets any one thread
// render as long as that thread never waits for its core, and the GUI
// thread calls nothing else of libmpv that can wait: only the asynchronous
// commands, the property requests and the event queue read without a
// timeout, which libmpv declares safe on a render thread. So neither waits
// for the other, and nothing on the GUI thread waits for libmpv.
class MpvPlayer final : public Engine {
 public:
  MpvPlayer(PlayerScreen& screen, StartPlayer start);
  ~MpvPlayer() override;

  void SetEvents(EngineEvents* events) override { events_ = events; }
  void Open(std::uint64_t clip, const std::string& path) override;
  void Play() override;
  void Stop() override;
  void Show(PixelRect where) override { screen_.Show(where); }
  void Hide() override { screen_.Hide(); }
  std::uint64_t Progress() const override { return clip_.Progress(); }

  // Starts libmpv, so that the first clip need not wait for it; Open does
  // it too when it has not begun.
  void Prepare();
  // Whether a clip plays, and so has frames to draw.
  bool Playing() const { return clip_.state() == MpvClip::State::Playing; }
  // Draws the current frame into `to`; false when libmpv cannot draw in
  // its format. The screen asks only while a clip plays.
  bool Draw(const PixelTarget& to);

 private:
  static void OnWakeup(void* self);
  static void OnFrame(void* self);
  void PostOnce(std::atomic<bool>& pending, void (MpvPlayer::*work)());

  void Ready(PlayerStart started);
  void Load();
  void SendStop();
  void Forget();
  void AskPositions();
  void Fail(int number, const std::string& what);
  void Report(MpvClip::News news, int mpvError);
  void DrainEvents();
  void OnCommandReply(const mpv_event& event);
  void OnStartFile(const mpv_event_start_file& start);
  void OnFileLoaded();
  void OnGetPropertyReply(const mpv_event& event);
  void OnEndFile(const mpv_event_end_file& end);
  void OnPropertyChange(const mpv_event& event);
  void RenderFrame();

  PlayerScreen& screen_;
  const StartPlayer start_;
  enum class Library { NotStarted, Starting, Ready, Unavailable };
  Library library_ = Library::NotStarted;
  const MpvApi* api_ = nullptr;
  std::string unavailable_;  // why no clip can be opened
  // The starting thread's answer checks it, should the player be gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  mpv_handle* mpv_ = nullptr;
  mpv_render_context* render_ = nullptr;
  EngineEvents* events_ = nullptr;

  MpvClip clip_;
  std::uint64_t loadRequest_ = 0;  // reply id of the latest loadfile
  alignas(64) std::array<uchar, 64> scratch_{};

  // What posts to the GUI thread, and drops what is still posted when the
  // player goes.
  QObject posts_;
  QTimer positions_;  // asks where the clip plays, while it plays
  std::atomic<bool> eventsPosted_{false};
  std::atomic<bool> framePosted_{false};
};

}  // namespace tarnlight::qt
