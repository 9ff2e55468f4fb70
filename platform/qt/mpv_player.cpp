#include "platform/qt/mpv_player.h"

#include <sys/stat.h>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <clocale>
#include <cstring>
#include <string>

#include "platform/error.h"
#include "helpers/fit_inside.h"
#include "platform/posix/folder_text.h"
#include "platform/qt/keys.h"

namespace tarnlight::qt {
namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kLoadTimeoutMs = 2000;
constexpr std::uint64_t kObserveWidth = 1, kObserveHeight = 2;

// Nothing in a clip folder may make the player reach the network, follow a
// playlist, run a script or keep the display awake.
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

[[noreturn]] void Fail(int number, const std::string& what) {
  throw PlatformError(number, what);
}

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

MpvPlayer::MpvPlayer(QWidget* parent, int designWidthTwips,
                     int designHeightTwips, std::function<QSize()> bounds)
    : QWidget(parent),
      bounds_(std::move(bounds)),
      designSize_(designWidthTwips / kTwipsPerPixel,
                  designHeightTwips / kTwipsPerPixel) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  resize(designSize_);
}

MpvPlayer::~MpvPlayer() {
  if (render_) mpv_render_context_free(render_);
  if (mpv_) mpv_terminate_destroy(mpv_);
}

// Any thread. Posts `work` to the GUI thread unless a post is still
// pending, so a burst of callbacks costs one event.
void MpvPlayer::PostOnce(std::atomic<bool>& pending,
                         void (MpvPlayer::*work)()) {
  if (pending.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
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

void MpvPlayer::Initialise() {
  // libmpv parses numbers with the C library and insists on "C".
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  if (!mpv_) Fail(err::kInvalidCall, "The player could not be created");
  for (const auto& option : kOptions)
    mpv_set_option_string(mpv_, option[0], option[1]);
  if (int rc = mpv_initialize(mpv_); rc < 0) {
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    Fail(err::kInvalidCall, mpv_error_string(rc));
  }
  mpv_observe_property(mpv_, kObserveWidth, "dwidth", MPV_FORMAT_INT64);
  mpv_observe_property(mpv_, kObserveHeight, "dheight", MPV_FORMAT_INT64);

  char api[] = MPV_RENDER_API_TYPE_SW;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, api},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (int rc = mpv_render_context_create(&render_, mpv_, params); rc < 0) {
    render_ = nullptr;
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    Fail(err::kInvalidCall, mpv_error_string(rc));
  }
  mpv_render_context_set_update_callback(render_, &MpvPlayer::OnFrame, this);
  mpv_set_wakeup_callback(mpv_, &MpvPlayer::OnWakeup, this);
}

void MpvPlayer::DrainEvents() {
  if (!mpv_) return;
  for (;;) {
    mpv_event* event = mpv_wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) return;
    Handle(*event);
  }
}

void MpvPlayer::Handle(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY:
      if (event.reply_userdata != loadRequest_) break;
      if (event.error < 0) {
        load_ = load_ == Load::Waiting ? Load::Failed : load_;
        loadError_ = event.error;
      } else {
        entry_ = EntryIdOf(static_cast<mpv_event_command*>(event.data)->result);
      }
      break;
    case MPV_EVENT_START_FILE:
      started_ =
          static_cast<mpv_event_start_file*>(event.data)->playlist_entry_id;
      break;
    case MPV_EVENT_FILE_LOADED:
      loaded_ = started_;
      break;
    case MPV_EVENT_END_FILE: {
      auto* end = static_cast<mpv_event_end_file*>(event.data);
      if (end->reason == MPV_END_FILE_REASON_REDIRECT) {
        // A playlist or reference: never follow what it names.
        const char* stop[] = {"stop", nullptr};
        mpv_command_async(mpv_, 0, stop);
      }
      if (end->playlist_entry_id != entry_ || entry_ < 0) break;
      if (load_ == Load::Waiting) {
        load_ = Load::Failed;
        loadError_ = end->error ? end->error : MPV_ERROR_LOADING_FAILED;
      } else if (playing_) {
        // The end of the clip, or an error after it started: either way the
        // saver goes back to pausing, from the event loop.
        playing_ = false;
        QMetaObject::invokeMethod(
            this,
            [this] {
              if (hooks_.endOfStream) hooks_.endOfStream();
            },
            Qt::QueuedConnection);
      }
      break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
      auto* property = static_cast<mpv_event_property*>(event.data);
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
  UpdateLoad();
}

void MpvPlayer::UpdateLoad() {
  if (load_ == Load::Waiting && entry_ >= 0 && loaded_ == entry_)
    load_ = Load::Loaded;
}

int MpvPlayer::Left() const { return x() * kTwipsPerPixel; }
int MpvPlayer::Top() const { return y() * kTwipsPerPixel; }
int MpvPlayer::Width() const { return width() * kTwipsPerPixel; }
int MpvPlayer::Height() const { return height() * kTwipsPerPixel; }
bool MpvPlayer::Visible() const { return isVisible(); }
void MpvPlayer::SetLeft(int twips) { move(twips / kTwipsPerPixel, y()); }
void MpvPlayer::SetTop(int twips) { move(x(), twips / kTwipsPerPixel); }

void MpvPlayer::SetVisible(bool visible) {
  setVisible(visible);
  if (visible) setFocus(Qt::OtherFocusReason);
}

// Waits on the GUI thread, bounded, so that the clip's size is known when
// this returns.
void MpvPlayer::SetFileName(const std::string& folderText) {
  if (!mpv_) Initialise();
  std::string path = PlayerPath(folderText);
  struct stat info {};
  // Only regular files: a FIFO would block the player, a folder would be
  // read as a playlist.
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    Fail(err::kFileNotFound, "File not found: " + folderText);

  playing_ = false;
  load_ = Load::Waiting;
  entry_ = started_ = loaded_ = -1;
  videoWidth_ = videoHeight_ = 0;
  int yes = 1;
  mpv_set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &yes);
  const char* command[] = {"loadfile", path.c_str(), "replace", nullptr};
  loadRequest_ += 16;
  if (int rc = mpv_command_async(mpv_, loadRequest_, command); rc < 0)
    Fail(err::kFileNotFound, mpv_error_string(rc));

  QElapsedTimer clock;
  clock.start();
  if (!AwaitLoad(clock)) {
    const char* stop[] = {"stop", nullptr};
    mpv_command_async(mpv_, 0, stop);
    if (load_ == Load::Waiting) {
      load_ = Load::Failed;
      Fail(err::kPathAccess, "The clip took too long to open: " + folderText);
    }
    Fail(err::kFileNotFound,
         std::string(mpv_error_string(loadError_)) + ": " + folderText);
  }
  AwaitSize(clock);
  resize(ClipSize());
}

bool MpvPlayer::AwaitLoad(QElapsedTimer& clock) {
  while (load_ == Load::Waiting && clock.elapsed() < kLoadTimeoutMs) {
    double left = (kLoadTimeoutMs - clock.elapsed()) / 1000.0;
    Handle(*mpv_wait_event(mpv_, std::max(left, 0.0)));
  }
  return load_ == Load::Loaded;
}

// A clip without video keeps the design size; so does one whose first frame
// is not decoded in time.
void MpvPlayer::AwaitSize(QElapsedTimer& clock) {
  char* vid = mpv_get_property_string(mpv_, "vid");
  bool hasVideo = vid && std::strcmp(vid, "no") != 0;
  mpv_free(vid);
  while (hasVideo && (videoWidth_ <= 0 || videoHeight_ <= 0) &&
         clock.elapsed() < kLoadTimeoutMs) {
    double left = (kLoadTimeoutMs - clock.elapsed()) / 1000.0;
    Handle(*mpv_wait_event(mpv_, std::max(left, 0.0)));
  }
  if (!hasVideo) videoWidth_ = videoHeight_ = 0;
}

QSize MpvPlayer::ClipSize() const {
  if (videoWidth_ <= 0 || videoHeight_ <= 0 || videoWidth_ > 1 << 20 ||
      videoHeight_ > 1 << 20)
    return designSize_;
  QSize bounds = bounds_();
  PixelSize shown = FitInside({int(videoWidth_), int(videoHeight_)},
                              {bounds.width(), bounds.height()});
  return {shown.width, shown.height};
}

void MpvPlayer::Play() {
  if (load_ != Load::Loaded) Fail(err::kInvalidCall, "No clip is open to play");
  int no = 0;
  mpv_set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &no);
  playing_ = true;
}

void MpvPlayer::RenderFrame() {
  if (!render_ ||
      !(mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME))
    return;
  qreal ratio = devicePixelRatioF();
  QSize size = (QSizeF(this->size()) * ratio).toSize();
  if (size.isEmpty()) return;
  if (frame_.size() != size) {
    // libmpv's converters prefer rows aligned to 64 bytes.
    std::size_t stride =
        (std::size_t(size.width()) * 4 + 63) & ~std::size_t{63};
    pixels_.reset(static_cast<uchar*>(
        std::aligned_alloc(64, stride * std::size_t(size.height()))));
    if (!pixels_) return;
    frame_ = QImage(pixels_.get(), size.width(), size.height(),
                    qsizetype(stride), QImage::Format_RGB32);
    frame_.setDevicePixelRatio(ratio);
  }
  int surface[2] = {size.width(), size.height()};
  std::size_t stride = std::size_t(frame_.bytesPerLine());
  char format[] = "bgr0";
  mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, surface},
                               {MPV_RENDER_PARAM_SW_FORMAT, format},
                               {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                               {MPV_RENDER_PARAM_SW_POINTER, pixels_.get()},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  mpv_render_context_render(render_, params);
  update();
}

void MpvPlayer::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (frame_.isNull() || !playing_)
    painter.fillRect(rect(), Qt::black);
  else
    painter.drawImage(rect(), frame_);
}

void MpvPlayer::keyPressEvent(QKeyEvent* event) {
  if (!IsCharacterKey(event->key(), event->text())) {
    event->ignore();
    return;
  }
  QString text = event->text();
  if (hooks_.keyPress)
    hooks_.keyPress(text.isEmpty() ? 0 : text.at(0).unicode());
}

}  // namespace tarnlight::qt
