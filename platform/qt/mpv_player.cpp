#include "platform/qt/mpv_player.h"

#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/posix/folder_text.h"

namespace tarnlight::qt {
namespace {

enum : std::uint64_t { kObserveWidth = 1, kObserveHeight };
// A load's own questions, told apart from older loads' by reply ids
// counted from its loadfile's.
enum : std::uint64_t {
  kAskPicture = 1,
  kAskPicturePosition,
  kAskSoundPosition
};
constexpr int kAskPositionsMs = 500;

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

template <typename T>
std::optional<T> ValueOf(const mpv_event_property& property, mpv_format as) {
  if (property.format != as) return std::nullopt;
  return *static_cast<const T*>(property.data);
}

}  // namespace

PlayerStart StartMpv() {
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

MpvPlayer::MpvPlayer(PlayerScreen& screen, StartPlayer start)
    : screen_(screen), start_(start) {
  positions_.setInterval(kAskPositionsMs);
  QObject::connect(&positions_, &QTimer::timeout, &posts_,
                   [this] { AskPositions(); });
}

MpvPlayer::~MpvPlayer() {
  if (render_) api_->render_context_free(render_);
  if (mpv_) api_->terminate_destroy(mpv_);
}

// Any thread. Posts `work` unless a post is still pending, so that a burst
// of callbacks costs one event.
void MpvPlayer::PostOnce(std::atomic<bool>& pending,
                         void (MpvPlayer::*work)()) {
  if (pending.exchange(true)) return;
  QMetaObject::invokeMethod(
      &posts_,
      [this, &pending, work] {
        pending = false;
        (this->*work)();
      },
      Qt::QueuedConnection);
}

void MpvPlayer::OnWakeup(void* data) {
  auto* self = static_cast<MpvPlayer*>(data);
  self->PostOnce(self->eventsPosted_, &MpvPlayer::DrainEvents);
}

void MpvPlayer::OnFrame(void* data) {
  auto* self = static_cast<MpvPlayer*>(data);
  self->PostOnce(self->framePosted_, &MpvPlayer::RenderFrame);
}

void MpvPlayer::Prepare() {
  if (library_ != Library::NotStarted) return;
  library_ = Library::Starting;
  // libmpv parses numbers with the C library and insists on "C"; the
  // worker must not set the process's locale while other threads run.
  std::setlocale(LC_NUMERIC, "C");
  std::weak_ptr<int> alive = alive_;
  // Detached: the end of the program does not wait for it.
  std::thread([this, alive, start = start_] {
    auto started = std::make_shared<PlayerStart>(start());
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive, started] {
          if (!alive.expired()) Ready(std::move(*started));
        },
        Qt::QueuedConnection);
  }).detach();
}

// Whatever went wrong goes wrong for every clip, and is said once on
// stderr.
void MpvPlayer::Ready(PlayerStart started) {
  api_ = started.api;
  mpv_ = started.mpv;
  render_ = started.render;
  bool waiting = clip_.state() == MpvClip::State::Waiting;
  if (!mpv_) {
    library_ = Library::Unavailable;
    unavailable_ = started.error;
    std::fprintf(stderr, "tarnlight: %s\n", unavailable_.c_str());
    if (waiting) Fail(err::kInvalidCall, unavailable_);
    return;
  }
  library_ = Library::Ready;
  api_->observe_property(mpv_, kObserveWidth, "dwidth", MPV_FORMAT_INT64);
  api_->observe_property(mpv_, kObserveHeight, "dheight", MPV_FORMAT_INT64);
  api_->render_context_set_update_callback(render_, &MpvPlayer::OnFrame, this);
  api_->set_wakeup_callback(mpv_, &MpvPlayer::OnWakeup, this);
  if (waiting) Load();
}

void MpvPlayer::Open(std::uint64_t clip, const std::string& path) {
  Stop();
  clip_ = MpvClip(clip, path);
  switch (library_) {
    case Library::NotStarted:
      Prepare();
      break;
    case Library::Starting:
      break;  // Ready loads it
    case Library::Ready:
      Load();
      break;
    case Library::Unavailable:
      Fail(err::kInvalidCall, unavailable_);
      break;
  }
}

void MpvPlayer::Load() {
  clip_.Load();
  int yes = 1;
  api_->set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &yes);
  std::string file = PlayerPath(clip_.path());
  const char* command[] = {"loadfile", file.c_str(), "replace", nullptr};
  loadRequest_ += 16;
  if (int rc = api_->command_async(mpv_, loadRequest_, command); rc < 0)
    Fail(err::kFileNotFound, api_->error_string(rc));
}

void MpvPlayer::Play() {
  clip_.Play();
  int no = 0;
  api_->set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &no);
  positions_.start();
  screen_.Repaint();
}

void MpvPlayer::Stop() {
  if (clip_.id() && mpv_) SendStop();
  Forget();
  screen_.Repaint();
}

void MpvPlayer::Forget() {
  clip_ = MpvClip();
  positions_.stop();
}

void MpvPlayer::SendStop() {
  const char* stop[] = {"stop", nullptr};
  api_->command_async(mpv_, 0, stop);
}

// Reported from the event loop, never inside the engine's own call.
void MpvPlayer::Fail(int number, const std::string& what) {
  clip_.Fail();
  std::uint64_t clip = clip_.id();
  PlatformError error(number, what + ": " + clip_.path());
  QMetaObject::invokeMethod(
      &posts_,
      [this, clip, error] {
        if (clip != clip_.id() || clip_.state() != MpvClip::State::Failed ||
            !events_)
          return;
        Stop();
        events_->Failed(clip, error);
      },
      Qt::QueuedConnection);
}

// `mpvError` says why, should the news be a failure.
void MpvPlayer::Report(MpvClip::News news, int mpvError) {
  switch (news) {
    case MpvClip::News::None:
      return;
    case MpvClip::News::Opened:
      if (events_) events_->Opened(clip_.id(), clip_.size());
      return;
    case MpvClip::News::Failed:
      Fail(err::kFileNotFound, api_->error_string(mpvError));
      return;
    case MpvClip::News::Ended: {
      std::uint64_t clip = clip_.id();
      Forget();
      if (events_) events_->Ended(clip);
      return;
    }
  }
}

void MpvPlayer::DrainEvents() {
  if (!mpv_) return;
  for (;;) {
    const mpv_event* event = api_->wait_event(mpv_, 0);
    switch (event->event_id) {
      case MPV_EVENT_NONE:
        return;
      case MPV_EVENT_COMMAND_REPLY:
        OnCommandReply(*event);
        break;
      case MPV_EVENT_START_FILE:
        OnStartFile(*static_cast<mpv_event_start_file*>(event->data));
        break;
      case MPV_EVENT_FILE_LOADED:
        OnFileLoaded();
        break;
      case MPV_EVENT_GET_PROPERTY_REPLY:
        OnGetPropertyReply(*event);
        break;
      case MPV_EVENT_END_FILE:
        OnEndFile(*static_cast<mpv_event_end_file*>(event->data));
        break;
      case MPV_EVENT_PROPERTY_CHANGE:
        OnPropertyChange(*event);
        break;
      default:
        break;
    }
  }
}

void MpvPlayer::OnCommandReply(const mpv_event& event) {
  if (event.reply_userdata != loadRequest_) return;
  std::int64_t entry =
      event.error < 0
          ? -1
          : EntryIdOf(static_cast<mpv_event_command*>(event.data)->result);
  Report(clip_.LoadAnswered(event.error, entry), event.error);
}

void MpvPlayer::OnStartFile(const mpv_event_start_file& start) {
  clip_.EntryStarted(start.playlist_entry_id);
}

void MpvPlayer::OnFileLoaded() {
  if (clip_.FileLoaded())
    api_->get_property_async(mpv_, loadRequest_ + kAskPicture, "vid",
                             MPV_FORMAT_STRING);
}

// libmpv tells the positions of a clip with a picture only when a new frame
// shows, however long the sound plays between frames, so the player asks
// for them while the clip plays.
void MpvPlayer::AskPositions() {
  api_->get_property_async(mpv_, loadRequest_ + kAskPicturePosition, "time-pos",
                           MPV_FORMAT_DOUBLE);
  api_->get_property_async(mpv_, loadRequest_ + kAskSoundPosition, "audio-pts",
                           MPV_FORMAT_DOUBLE);
}

// Answers to the load's questions: whether the clip has a picture ("no",
// or a track number), and where it plays. A position libmpv does not know
// keeps the last one.
void MpvPlayer::OnGetPropertyReply(const mpv_event& event) {
  const auto& property = *static_cast<const mpv_event_property*>(event.data);
  auto seconds = ValueOf<double>(property, MPV_FORMAT_DOUBLE);
  switch (event.reply_userdata - loadRequest_) {
    case kAskPicture: {
      auto vid = ValueOf<const char*>(property, MPV_FORMAT_STRING);
      return Report(clip_.PictureAnswered(vid && std::strcmp(*vid, "no") != 0),
                    0);
    }
    case kAskPicturePosition:
      if (seconds) clip_.PictureAt(*seconds);
      return;
    case kAskSoundPosition:
      if (seconds) clip_.SoundAt(*seconds);
      return;
  }
}

void MpvPlayer::OnEndFile(const mpv_event_end_file& end) {
  // A playlist or reference: never follow what it names.
  if (end.reason == MPV_END_FILE_REASON_REDIRECT) SendStop();
  Report(clip_.EntryEnded(end.playlist_entry_id),
         end.error ? end.error : MPV_ERROR_LOADING_FAILED);
}

// A size that becomes unknown is 0.
void MpvPlayer::OnPropertyChange(const mpv_event& event) {
  auto pixels = ValueOf<std::int64_t>(
      *static_cast<const mpv_event_property*>(event.data), MPV_FORMAT_INT64);
  if (event.reply_userdata == kObserveWidth)
    Report(clip_.WidthIs(pixels.value_or(0)), 0);
  if (event.reply_userdata == kObserveHeight)
    Report(clip_.HeightIs(pixels.value_or(0)), 0);
}

// A new frame only asks for a paint: the picture is drawn while Qt paints
// the window's buffer, so that it can go straight there.
void MpvPlayer::RenderFrame() {
  if (!render_ ||
      !(api_->render_context_update(render_) & MPV_RENDER_UPDATE_FRAME))
    return;
  if (Playing()) return screen_.Repaint();
  // libmpv holds an open clip back until its first frame is drawn, for up
  // to 200 ms: drawn into one pixel nobody sees, the open goes on.
  Draw({scratch_.data(), {1, 1}, scratch_.size(), "bgr0"});
}

bool MpvPlayer::Draw(const PixelTarget& to) {
  int size[2] = {to.size.width(), to.size.height()};
  std::size_t stride = to.stride;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_SW_SIZE, size},
      {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(to.format)},
      {MPV_RENDER_PARAM_SW_STRIDE, &stride},
      {MPV_RENDER_PARAM_SW_POINTER, to.pixels},
      {MPV_RENDER_PARAM_INVALID, nullptr}};
  return api_->render_context_render(render_, params) >= 0;
}

}  // namespace tarnlight::qt
