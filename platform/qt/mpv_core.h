#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/qt/mpv_api.h"
#include "platform/qt/window_pixels.h"

namespace tarnlight::qt {

// What a view has libmpv draw with: the software renderer, or OpenGL in a
// context of the view's own. GUI thread.
class MpvCanvas {
 public:
  // The hardware decoding the view can take ("auto-copy-safe" copies frames
  // back to memory; "auto-safe" keeps them on the GPU for OpenGL).
  virtual const char* Hwdec() const = 0;
  // Makes libmpv's render context for the view; libmpv's error code.
  virtual int CreateRender(const MpvApi& api, mpv_handle* mpv,
                           mpv_render_context** render) = 0;
  // Makes what libmpv draws with current for the render calls that follow;
  // false when it cannot be.
  virtual bool MakeCurrent() = 0;

 protected:
  ~MpvCanvas() = default;
};

// libmpv's core, with every safety option in force, and its renderer on the
// view's canvas, for one player; the only part of the player that meets other
// threads. libmpv is loaded and started on a thread of its own, as that
// takes a good part of a second on a slow machine; libmpv calls OnWakeup and
// OnFrame on its own threads, and they only post. Everything else, every member
// included, runs on the GUI thread, and so do the calls the core makes.
class MpvCore {
 public:
  enum class State { NotStarted, Starting, Ready, Unavailable };
  // Called once libmpv has started or failed to; when it has events; when
  // it has a new frame. A burst of libmpv's callbacks costs one call.
  struct Calls {
    std::function<void()> started, events, frame;
  };

  MpvCore(Calls calls, MpvCanvas& canvas)
      : calls_(std::move(calls)), canvas_(canvas) {}
  ~MpvCore();
  MpvCore(const MpvCore&) = delete;
  MpvCore& operator=(const MpvCore&) = delete;

  // Starts libmpv unless that has begun.
  void Start();
  State state() const { return state_; }
  // Why no clip can be opened, once Unavailable.
  const std::string& error() const { return core_.error; }
  // Only once Ready.
  const MpvApi& api() const { return *core_.api; }
  mpv_handle* mpv() const { return core_.mpv; }
  // Whether libmpv has a new frame to draw.
  bool NewFrame();
  // Draws the current frame into `to`; false when libmpv cannot draw in
  // its format.
  bool Draw(const PixelTarget& to);
  // Draws the current frame as `params` say, with the canvas current; false
  // when libmpv cannot.
  bool Render(mpv_render_param* params);

 private:
  static void OnWakeup(void* self);
  static void OnFrame(void* self);
  void PostOnce(std::atomic<bool>& pending, const std::function<void()>& call);
  // What starting libmpv gave: all of it, or why there is none.
  struct Handles {
    const MpvApi* api = nullptr;
    mpv_handle* mpv = nullptr;
    mpv_render_context* render = nullptr;
    std::string error;
  };
  // On the starting thread.
  static Handles StartMpv(const char* hwdec);
  void Started(Handles started);

  const Calls calls_;
  MpvCanvas& canvas_;
  State state_ = State::NotStarted;
  Handles core_;
  // The starting thread's answer checks it, should the core be gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // What posts the calls, and drops those still posted when the core goes.
  QObject posts_;
  std::atomic<bool> eventsPosted_{false};
  std::atomic<bool> framePosted_{false};
};

}  // namespace tarnlight::qt
