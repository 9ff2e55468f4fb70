#include "platform/qt/mpv_engine.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QWindow>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/posix/folder_text.h"
#include "platform/qt/keys.h"
#include "platform/qt/window_pixels.h"

namespace tarnlight::qt {
namespace {

enum : std::uint64_t { kObserveWidth = 1, kObserveHeight, kObservePosition };

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
    {"hwdec", "no"},
    {"pause", "yes"},
};

std::string PlayerPath(const std::string& folderText) {
  std::string path = posix::MapFolderText(folderText);
  // A relative name such as "http:x" must stay a file, never a URL.
  if (path.empty() || path[0] != '/') path = "./" + path;
  return path;
}

std::int64_t EntryIdOf(const mpv_node& result) {
  if (result.format != MPV_FORMAT_NODE_MAP) return -1;
  const mpv_node_list* map = result.u.list;
  for (int i = 0; i < map->num; ++i) {
    if (std::strcmp(map->keys[i], "playlist_entry_id") == 0 &&
        map->values[i].format == MPV_FORMAT_INT64)
      return map->values[i].u.int64;
  }
  return -1;
}

}  // namespace

MpvEngine::MpvEngine(QWidget* parent, std::function<void(int)> keyPressed)
    : QWidget(parent), keyPressed_(std::move(keyPressed)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  hide();
}

MpvEngine::~MpvEngine() {
  if (render_) api_->render_context_free(render_);
  if (mpv_) api_->terminate_destroy(mpv_);
}

// Any thread. Posts `work` to the GUI thread unless a post is still
// pending, so a burst of callbacks costs one event.
void MpvEngine::PostOnce(std::atomic<bool>& pending,
                         void (MpvEngine::*work)()) {
  if (pending.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this, &pending, work] {
        pending = false;
        (this->*work)();
      },
      Qt::QueuedConnection);
}

void MpvEngine::OnWakeup(void* data) {
  auto* self = static_cast<MpvEngine*>(data);
  self->PostOnce(self->eventsPosted_, &MpvEngine::DrainEvents);
}

void MpvEngine::OnFrame(void* data) {
  auto* self = static_cast<MpvEngine*>(data);
  self->PostOnce(self->framePosted_, &MpvEngine::RenderFrame);
}

// What starting the player gave: all of it, or why there is none.
struct PlayerStart {
  const MpvApi* api = nullptr;
  mpv_handle* mpv = nullptr;
  mpv_render_context* render = nullptr;
  std::string error;
};

namespace {

// Any thread: loads libmpv and starts a player with every safety option in
// force. Takes a good part of a second on a slow machine, so it runs on a
// thread of its own while the saver pauses.
PlayerStart StartPlayer() {
  PlayerStart s;
  auto refuse = [&s](std::string why) {
    if (s.render) s.api->render_context_free(s.render);
    if (s.mpv) s.api->terminate_destroy(s.mpv);
    s.render = nullptr;
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
  // One thread converts each frame: split over several, a frame is ready
  // sooner but costs more CPU in all, and a saver should cost little.
  api.set_option_string(s.mpv, "zimg-threads", "1");
  if (int rc = api.initialize(s.mpv); rc < 0)
    return refuse(std::string("The player could not start: ") +
                  api.error_string(rc));
  api.observe_property(s.mpv, kObserveWidth, "dwidth", MPV_FORMAT_INT64);
  api.observe_property(s.mpv, kObserveHeight, "dheight", MPV_FORMAT_INT64);
  api.observe_property(s.mpv, kObservePosition, "time-pos", MPV_FORMAT_DOUBLE);
  char type[] = MPV_RENDER_API_TYPE_SW;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, type},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (int rc = api.render_context_create(&s.render, s.mpv, params); rc < 0) {
    s.render = nullptr;
    return refuse(std::string("The player cannot draw: ") +
                  api.error_string(rc));
  }
  return s;
}

}  // namespace

void MpvEngine::Prepare() {
  if (player_ != Player::NotStarted) return;
  player_ = Player::Starting;
  // libmpv parses numbers with the C library and insists on "C"; the
  // worker must not set the process's locale while other threads run.
  std::setlocale(LC_NUMERIC, "C");
  std::weak_ptr<int> alive = alive_;
  // Detached: the end of the program does not wait for it.
  std::thread([this, alive] {
    auto started = std::make_shared<PlayerStart>(StartPlayer());
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive, started] {
          if (!alive.expired()) Ready(std::move(*started));
        },
        Qt::QueuedConnection);
  }).detach();
}

// GUI thread. Whatever went wrong goes wrong for every clip, and is said
// once on stderr.
void MpvEngine::Ready(PlayerStart started) {
  api_ = started.api;
  mpv_ = started.mpv;
  render_ = started.render;
  if (!mpv_) {
    player_ = Player::Unavailable;
    unavailable_ = started.error;
    std::fprintf(stderr, "tarnlight: %s\n", unavailable_.c_str());
    if (clip_) Fail(clip_, err::kInvalidCall, unavailable_);
    return;
  }
  player_ = Player::Ready;
  api_->render_context_set_update_callback(render_, &MpvEngine::OnFrame, this);
  api_->set_wakeup_callback(mpv_, &MpvEngine::OnWakeup, this);
  if (clip_) Load();
}

void MpvEngine::Open(std::uint64_t clip, const std::string& path) {
  Stop();
  clip_ = clip;
  path_ = path;
  loaded_ = reported_ = playing_ = false;
  video_ = Video::Unknown;
  entry_ = started_ = -1;
  videoWidth_ = videoHeight_ = 0;
  frames_ = 0;
  position_ = 0;
  switch (player_) {
    case Player::NotStarted:
      Prepare();
      break;
    case Player::Starting:
      break;  // Ready loads it
    case Player::Ready:
      Load();
      break;
    case Player::Unavailable:
      Fail(clip, err::kInvalidCall, unavailable_);
      break;
  }
}

void MpvEngine::Load() {
  int yes = 1;
  api_->set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &yes);
  std::string file = PlayerPath(path_);
  const char* command[] = {"loadfile", file.c_str(), "replace", nullptr};
  loadRequest_ += 16;
  if (int rc = api_->command_async(mpv_, loadRequest_, command); rc < 0)
    Fail(clip_, err::kFileNotFound, api_->error_string(rc));
}

// Reported from the event loop, never inside the engine's own call.
void MpvEngine::Fail(std::uint64_t clip, int number, const std::string& what) {
  PlatformError error(number, what + ": " + path_);
  QMetaObject::invokeMethod(
      this,
      [this, clip, error] {
        if (clip != clip_ || !events_) return;
        Stop();
        events_->Failed(clip, error);
      },
      Qt::QueuedConnection);
}

void MpvEngine::DrainEvents() {
  if (!mpv_) return;
  for (;;) {
    mpv_event* event = api_->wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) return;
    Handle(*event);
  }
}

void MpvEngine::Handle(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY:
      if (event.reply_userdata != loadRequest_ || !clip_) break;
      if (event.error < 0)
        Fail(clip_, err::kFileNotFound, api_->error_string(event.error));
      else
        entry_ = EntryIdOf(static_cast<mpv_event_command*>(event.data)->result);
      break;
    case MPV_EVENT_START_FILE:
      started_ =
          static_cast<mpv_event_start_file*>(event.data)->playlist_entry_id;
      break;
    case MPV_EVENT_FILE_LOADED:
      if (clip_ && started_ == entry_ && entry_ >= 0 && !loaded_) {
        loaded_ = true;
        api_->get_property_async(mpv_, loadRequest_ + 1, "vid",
                                 MPV_FORMAT_STRING);
      }
      break;
    case MPV_EVENT_GET_PROPERTY_REPLY: {
      if (event.reply_userdata != loadRequest_ + 1) break;
      auto* property = static_cast<mpv_event_property*>(event.data);
      const char* vid = property->format == MPV_FORMAT_STRING
                            ? *static_cast<char**>(property->data)
                            : "no";
      video_ = std::strcmp(vid, "no") == 0 ? Video::No : Video::Yes;
      break;
    }
    case MPV_EVENT_END_FILE: {
      auto* end = static_cast<mpv_event_end_file*>(event.data);
      if (end->reason == MPV_END_FILE_REASON_REDIRECT) {
        // A playlist or reference: never follow what it names.
        const char* stop[] = {"stop", nullptr};
        api_->command_async(mpv_, 0, stop);
      }
      if (!clip_ || end->playlist_entry_id != entry_ || entry_ < 0) break;
      if (!reported_) {
        Fail(clip_, err::kFileNotFound,
             api_->error_string(end->error ? end->error
                                           : MPV_ERROR_LOADING_FAILED));
      } else if (playing_) {
        // The end of the clip, or an error after it started.
        playing_ = false;
        std::uint64_t clip = clip_;
        clip_ = 0;
        if (events_) events_->Ended(clip);
      }
      break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
      auto* property = static_cast<mpv_event_property*>(event.data);
      if (event.reply_userdata == kObservePosition) {
        position_ = property->format == MPV_FORMAT_DOUBLE
                        ? *static_cast<double*>(property->data)
                        : position_;
        break;
      }
      std::int64_t value = property->format == MPV_FORMAT_INT64
                               ? *static_cast<std::int64_t*>(property->data)
                               : 0;
      if (event.reply_userdata == kObserveWidth) videoWidth_ = value;
      if (event.reply_userdata == kObserveHeight) videoHeight_ = value;
      break;
    }
    default:
      break;
  }
  ReportOpened();
}

// Open once libmpv has loaded the file and knows the picture's size, or
// knows there is no picture.
void MpvEngine::ReportOpened() {
  if (reported_ || !clip_ || !loaded_) return;
  bool sized = videoWidth_ > 0 && videoHeight_ > 0;
  if (video_ == Video::Unknown || (video_ == Video::Yes && !sized)) return;
  reported_ = true;
  PixelSize size;
  if (video_ == Video::Yes)
    size = {int(std::min<std::int64_t>(videoWidth_, 1 << 21)),
            int(std::min<std::int64_t>(videoHeight_, 1 << 21))};
  if (events_) events_->Opened(clip_, size);
}

void MpvEngine::Play() {
  if (!clip_ || !reported_)
    throw PlatformError(err::kInvalidCall, "No clip is open to play");
  int no = 0;
  api_->set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &no);
  playing_ = true;
  update();
}

void MpvEngine::Stop() {
  if (clip_ && mpv_) {
    const char* stop[] = {"stop", nullptr};
    api_->command_async(mpv_, 0, stop);
  }
  clip_ = 0;
  entry_ = -1;
  playing_ = false;
  reported_ = false;
  update();
}

void MpvEngine::Show(PixelRect where) {
  setGeometry(where.left, where.top, where.width, where.height);
  show();
  raise();
  setFocus(Qt::OtherFocusReason);
}

void MpvEngine::Hide() {
  if (hasFocus() && parentWidget()) parentWidget()->setFocus();
  hide();
}

std::uint64_t MpvEngine::Progress() const {
  return frames_ + std::uint64_t(position_ > 0 ? position_ * 1000 : 0);
}

// The engine's own buffer, for a window whose buffer libmpv cannot draw
// into. It keeps its size until the picture's size changes.
bool MpvEngine::PrepareFrame(QSize size) {
  if (frame_.size() == size && pixels_) return true;
  frame_ = QImage();  // never left pointing into a freed buffer
  // libmpv's converters prefer rows aligned to 64 bytes.
  std::size_t stride = (std::size_t(size.width()) * 4 + 63) & ~std::size_t{63};
  pixels_.reset(
      static_cast<uchar*>(allocate_(64, stride * std::size_t(size.height()))));
  if (!pixels_) return false;
  frame_ = QImage(pixels_.get(), size.width(), size.height(), qsizetype(stride),
                  QImage::Format_RGB32);
  return true;
}

// A new frame only asks for a paint: the picture is drawn while Qt paints
// the window's buffer, so that it can go straight there.
void MpvEngine::RenderFrame() {
  if (!render_ ||
      !(api_->render_context_update(render_) & MPV_RENDER_UPDATE_FRAME))
    return;
  if (!playing_) {
    // libmpv holds an open clip back until its first frame is drawn, for
    // up to 200 ms: drawn into one pixel nobody sees, the open goes on.
    Draw(scratch_.data(), {1, 1}, scratch_.size(), "bgr0");
    return;
  }
  ++frames_;
  update();
}

bool MpvEngine::Draw(uchar* pixels, QSize size, std::size_t stride,
                     const char* format) {
  int surface[2] = {size.width(), size.height()};
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_SW_SIZE, surface},
      {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(format)},
      {MPV_RENDER_PARAM_SW_STRIDE, &stride},
      {MPV_RENDER_PARAM_SW_POINTER, pixels},
      {MPV_RENDER_PARAM_INVALID, nullptr}};
  return api_->render_context_render(render_, params) >= 0;
}

// Qt gives an opaque X11 window a buffer with alpha only because it
// blends faster; the X server drops that byte. Elsewhere (Wayland) the
// compositor may honour it.
bool MpvEngine::AlphaShown() const {
  // Asked at every frame; the platform never changes in a run.
  static const bool x11 =
      QGuiApplication::platformName() == QLatin1String("xcb");
  const QWindow* shown = window()->windowHandle();
  return !x11 || !shown || shown->format().hasAlpha();
}

void MpvEngine::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!painter.isActive()) return;  // nothing to paint on, no engine to ask
  if (render_ && playing_) {
    // Straight into the window's buffer where it can, which saves copying
    // every frame once more from a buffer of the engine's own.
    std::optional<PixelTarget> to;
    if (!windowRefused_)
      to = PixelTargetIn(painter.paintEngine()->paintDevice(),
                         painter.deviceTransform(), rect(), AlphaShown());
    if (to) {
      if (Draw(to->pixels, to->size, to->stride, to->format)) return;
      // A libmpv without the format: the engine's own buffer from now on.
      windowRefused_ = true;
    }
    qreal ratio = devicePixelRatioF();
    QSize size = (QSizeF(this->size()) * ratio).toSize();
    if (!size.isEmpty() && PrepareFrame(size) &&
        Draw(pixels_.get(), size, std::size_t(frame_.bytesPerLine()), "bgr0")) {
      frame_.setDevicePixelRatio(ratio);
      painter.drawImage(rect(), frame_);
      return;
    }
  }
  painter.fillRect(rect(), Qt::black);
}

void MpvEngine::keyPressEvent(QKeyEvent* event) {
  if (!IsCharacterKey(event->key(), event->text())) {
    event->ignore();
    return;
  }
  if (keyPressed_) keyPressed_(CharacterCode(event->text()));
}

}  // namespace tarnlight::qt
