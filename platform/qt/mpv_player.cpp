#include "platform/qt/mpv_player.h"

#include <cstring>
#include <optional>
#include <utility>

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

MpvPlayer::MpvPlayer(PlayerScreen& screen)
    : screen_(screen),
      core_({[this] { Ready(); }, [this] { DrainEvents(); },
             [this] { RenderFrame(); }},
            screen) {
  positions_.setInterval(kAskPositionsMs);
  QObject::connect(&positions_, &QTimer::timeout, &posts_,
                   [this] { AskPositions(); });
}

void MpvPlayer::Ready() {
  bool waiting = clip_.state() == MpvClip::State::Waiting;
  if (core_.state() == MpvCore::State::Unavailable) {
    if (waiting) Fail(err::kInvalidCall, core_.error());
    return;
  }
  api().observe_property(mpv(), kObserveWidth, "dwidth", MPV_FORMAT_INT64);
  api().observe_property(mpv(), kObserveHeight, "dheight", MPV_FORMAT_INT64);
  if (waiting) Load();
}

void MpvPlayer::Open(std::uint64_t clip, const std::string& path) {
  Stop();
  clip_ = MpvClip(clip, path);
  core_.Start();  // Ready loads it, when libmpv has yet to start
  if (core_.state() == MpvCore::State::Ready) Load();
  if (core_.state() == MpvCore::State::Unavailable)
    Fail(err::kInvalidCall, core_.error());
}

void MpvPlayer::Load() {
  clip_.Load();
  int yes = 1;
  api().set_property_async(mpv(), 0, "pause", MPV_FORMAT_FLAG, &yes);
  std::string file = PlayerPath(clip_.path());
  const char* command[] = {"loadfile", file.c_str(), "replace", nullptr};
  loadRequest_ += 16;
  if (int rc = api().command_async(mpv(), loadRequest_, command); rc < 0)
    Fail(err::kFileNotFound, api().error_string(rc));
}

void MpvPlayer::Play() {
  clip_.Play();
  int no = 0;
  api().set_property_async(mpv(), 0, "pause", MPV_FORMAT_FLAG, &no);
  positions_.start();
  screen_.Repaint();
}

void MpvPlayer::Stop() {
  if (clip_.id() && core_.state() == MpvCore::State::Ready) SendStop();
  Forget();
  screen_.Repaint();
}

void MpvPlayer::Forget() {
  clip_ = MpvClip();
  positions_.stop();
}

void MpvPlayer::SendStop() {
  const char* stop[] = {"stop", nullptr};
  api().command_async(mpv(), 0, stop);
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
  std::uint64_t clip = clip_.id();
  if (news == MpvClip::News::Opened && events_)
    events_->Opened(clip, clip_.size());
  if (news == MpvClip::News::Failed)
    Fail(err::kFileNotFound, api().error_string(mpvError));
  if (news == MpvClip::News::Ended) {
    Forget();
    if (events_) events_->Ended(clip);
  }
}

void MpvPlayer::DrainEvents() {
  using Handler = void (MpvPlayer::*)(const mpv_event&);
  static constexpr std::pair<mpv_event_id, Handler> kHandlers[] = {
      {MPV_EVENT_COMMAND_REPLY, &MpvPlayer::OnCommandReply},
      {MPV_EVENT_START_FILE, &MpvPlayer::OnStartFile},
      {MPV_EVENT_FILE_LOADED, &MpvPlayer::OnFileLoaded},
      {MPV_EVENT_GET_PROPERTY_REPLY, &MpvPlayer::OnGetPropertyReply},
      {MPV_EVENT_END_FILE, &MpvPlayer::OnEndFile},
      {MPV_EVENT_PROPERTY_CHANGE, &MpvPlayer::OnPropertyChange},
  };
  for (;;) {
    const mpv_event& event = *api().wait_event(mpv(), 0);
    if (event.event_id == MPV_EVENT_NONE) return;
    for (auto [id, handle] : kHandlers)
      if (event.event_id == id) (this->*handle)(event);
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

void MpvPlayer::OnStartFile(const mpv_event& event) {
  clip_.EntryStarted(
      static_cast<mpv_event_start_file*>(event.data)->playlist_entry_id);
}

void MpvPlayer::OnFileLoaded(const mpv_event&) {
  if (clip_.FileLoaded())
    api().get_property_async(mpv(), loadRequest_ + kAskPicture, "vid",
                             MPV_FORMAT_STRING);
}

// libmpv tells the positions of a clip with a picture only when a new frame
// shows, however long the sound plays between frames, so the player asks
// for them while the clip plays.
void MpvPlayer::AskPositions() {
  api().get_property_async(mpv(), loadRequest_ + kAskPicturePosition,
                           "time-pos", MPV_FORMAT_DOUBLE);
  api().get_property_async(mpv(), loadRequest_ + kAskSoundPosition, "audio-pts",
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

void MpvPlayer::OnEndFile(const mpv_event& event) {
  const auto& end = *static_cast<mpv_event_end_file*>(event.data);
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
  if (!core_.NewFrame()) return;
  if (Playing()) return screen_.Repaint();
  screen_.DrawUnseen();
}

}  // namespace tarnlight::qt
