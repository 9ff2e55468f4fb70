#include "platform/qt/mpv_core.h"

#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <thread>

namespace tarnlight::qt {
namespace {

// Nothing in a clip folder may make the player reach the network, follow a
// playlist, run a script or keep the display awake. Every one of these must
// hold: a libmpv that refuses one plays nothing.
constexpr const char* kOptions[][2] = {
    {"config", "no"},
    {"load-scripts", "no"},
    {"ytdl", "no"},
    {"osc", "no"},
    {"access-references", "no"},
    {"ordered-chapters", "no"},
    {"demuxer-lavf-o", "protocol_whitelist=[file]"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"input-cursor", "no"},
    {"terminal", "no"},
    {"stop-screensaver", "no"},
    {"sub-auto", "no"},
    {"audio-file-auto", "no"},
    {"cover-art-auto", "no"},
    {"resume-playback", "no"},
    {"keep-open", "no"},
    {"video-timing-offset", "0"},
    {"audio-fallback-to-null", "yes"},
    {"idle", "yes"},
    {"vo", "libmpv"},
    {"pause", "yes"},
};

// How frames become the window's pixels; a libmpv without one of these
// still plays, only at a higher cost.
constexpr const char* kCheapConversion[][2] = {
    {"zimg-dither", "no"},
    {"zimg-scaler", "bilinear"},
    {"zimg-threads", "1"},
};

}  // namespace

MpvCore::Handles MpvCore::StartMpv(const char* hwdec) {
  Handles s;
  auto refuse = [&s](std::string why) {
    if (s.mpv) s.api->terminate_destroy(s.mpv);
    s.mpv = nullptr;
    s.error = std::move(why);
    return s;
  };
  s.api = LoadMpv(s.error);
  if (!s.api) return s;
  const MpvApi& api = *s.api;
  s.mpv = api.create();
  if (!s.mpv) return refuse("The player could not be created");
  for (const auto& option : kOptions) {
    if (int rc = api.set_option_string(s.mpv, option[0], option[1]); rc < 0)
      return refuse(std::string("The player refused its option ") + option[0] +
                    "=" + option[1] + ": " + api.error_string(rc));
  }
  // Not safety, only work saved: a libmpv without them plays as well.
  for (const char* option :
       {"load-stats-overlay", "load-osd-console", "load-auto-profiles"})
    api.set_option_string(s.mpv, option, "no");
  // zimg without its random dither and with a bilinear scaler: about a
  // tenth less CPU a frame than its defaults here, and still 42 dB or more
  // against mpv's own picture at 1:1 and scaled down. libswscale's fast path
  // costs less again but drops to 31 dB (bench/bench.py, figures 2 and 8). One
  // thread: split over several, a frame is ready sooner but costs more CPU
  // in all, and a saver should cost little.
  for (const auto& option : kCheapConversion)
    api.set_option_string(s.mpv, option[0], option[1]);
  // Where libmpv finds a working device; each clip whose codec or device it
  // cannot take is decoded in software, and looks the same.
  api.set_option_string(s.mpv, "hwdec", hwdec);
  if (int rc = api.initialize(s.mpv); rc < 0)
    return refuse(std::string("The player could not start: ") +
                  api.error_string(rc));
  return s;
}

MpvCore::~MpvCore() {
  // An OpenGL render context goes with its own context current, or leaks.
  if (core_.render && canvas_.MakeCurrent())
    core_.api->render_context_free(core_.render);
  if (core_.mpv) core_.api->terminate_destroy(core_.mpv);
}

void MpvCore::Start() {
  if (state_ != State::NotStarted) return;
  state_ = State::Starting;
  // libmpv parses numbers with the C library and insists on "C"; the
  // worker must not set the process's locale while other threads run.
  std::setlocale(LC_NUMERIC, "C");
  std::weak_ptr<int> alive = alive_;
  const char* hwdec = canvas_.Hwdec();
  // Detached: the end of the program does not wait for it.
  std::thread([this, alive, hwdec] {
    auto started = std::make_shared<Handles>(StartMpv(hwdec));
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive, started] {
          if (!alive.expired()) Started(std::move(*started));
        },
        Qt::QueuedConnection);
  }).detach();
}

// Whatever went wrong goes wrong for every clip, and is said once on
// stderr. The render context is made here, on the GUI thread, where an
// OpenGL context is current.
void MpvCore::Started(Handles started) {
  core_ = std::move(started);
  if (core_.mpv) {
    int rc = canvas_.CreateRender(*core_.api, core_.mpv, &core_.render);
    // libmpv stays up until the core goes: ending it here would wait.
    if (rc < 0) {
      core_.render = nullptr;
      core_.error =
          std::string("The player cannot draw: ") + core_.api->error_string(rc);
    }
  }
  state_ = core_.render ? State::Ready : State::Unavailable;
  if (state_ == State::Unavailable) {
    std::fprintf(stderr, "tarnlight: %s\n", core_.error.c_str());
  } else {
    core_.api->render_context_set_update_callback(core_.render,
                                                  &MpvCore::OnFrame, this);
    core_.api->set_wakeup_callback(core_.mpv, &MpvCore::OnWakeup, this);
  }
  calls_.started();
}

// Any thread.
void MpvCore::PostOnce(std::atomic<bool>& pending,
                       const std::function<void()>& call) {
  if (pending.exchange(true)) return;
  QMetaObject::invokeMethod(
      &posts_,
      [&pending, &call] {
        pending = false;
        call();
      },
      Qt::QueuedConnection);
}

void MpvCore::OnWakeup(void* data) {
  auto* self = static_cast<MpvCore*>(data);
  self->PostOnce(self->eventsPosted_, self->calls_.events);
}

void MpvCore::OnFrame(void* data) {
  auto* self = static_cast<MpvCore*>(data);
  self->PostOnce(self->framePosted_, self->calls_.frame);
}

bool MpvCore::NewFrame() {
  return core_.render && canvas_.MakeCurrent() &&
         (core_.api->render_context_update(core_.render) &
          MPV_RENDER_UPDATE_FRAME);
}

bool MpvCore::Draw(const PixelTarget& to) {
  int size[2] = {to.size.width(), to.size.height()};
  std::size_t stride = to.stride;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_SW_SIZE, size},
      {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(to.format)},
      {MPV_RENDER_PARAM_SW_STRIDE, &stride},
      {MPV_RENDER_PARAM_SW_POINTER, to.pixels},
      {MPV_RENDER_PARAM_INVALID, nullptr}};
  return Render(params);
}

bool MpvCore::Render(mpv_render_param* params) {
  return core_.render && canvas_.MakeCurrent() &&
         core_.api->render_context_render(core_.render, params) >= 0;
}

}  // namespace tarnlight::qt
