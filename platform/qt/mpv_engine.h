#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/engine.h"
#include "platform/qt/mpv_api.h"

namespace tarnlight::qt {

struct PlayerStart;

// libmpv decoding, drawn by its software renderer straight into the
// window's buffer where this child widget lies. All members run on the GUI
// thread; libmpv's callbacks only post to it, and nothing here waits for
// libmpv.
class MpvEngine final : public QWidget, public Engine {
 public:
  // `keyPressed` gets the character keys typed while the picture has the
  // keyboard focus.
  MpvEngine(QWidget* parent, std::function<void(int)> keyPressed);
  ~MpvEngine() override;

  void SetEvents(EngineEvents* events) override { events_ = events; }
  void Open(std::uint64_t clip, const std::string& path) override;
  void Play() override;
  void Stop() override;
  void Show(PixelRect where) override;
  void Hide() override;
  std::uint64_t Progress() const override;

  // Starts loading libmpv and its player on a thread of their own, so that
  // the first clip need not wait; Open does it too when it has not begun.
  void Prepare();

  // The engine's own buffer, used where the window's cannot be drawn into;
  // for tests.
  const QImage& frame() const { return frame_; }
  // Tests replace the allocator to see a failed allocation handled.
  using Allocate = void* (*)(std::size_t alignment, std::size_t size);
  void SetAllocator(Allocate allocate) { allocate_ = allocate; }
  // Gives the engine's own buffer `size`; false when memory runs out.
  bool PrepareFrame(QSize size);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool) override { return false; }

 private:
  // Any thread: libmpv calls these from its own threads; they only post.
  static void OnWakeup(void* self);
  static void OnFrame(void* self);
  void PostOnce(std::atomic<bool>& pending, void (MpvEngine::*work)());

  void Ready(PlayerStart started);
  void Load();
  void DrainEvents();
  void Handle(const mpv_event& event);
  void ReportOpened();
  void Fail(std::uint64_t clip, int number, const std::string& what);
  void RenderFrame();
  bool Draw(uchar* pixels, QSize size, std::size_t stride, const char* format);
  bool AlphaShown() const;

  enum class Player { NotStarted, Starting, Ready, Unavailable };
  Player player_ = Player::NotStarted;
  const MpvApi* api_ = nullptr;
  std::string unavailable_;  // why no clip can be opened
  // The starting thread's answer checks it, should the engine be gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  mpv_handle* mpv_ = nullptr;
  mpv_render_context* render_ = nullptr;
  EngineEvents* events_ = nullptr;
  std::function<void(int)> keyPressed_;
  Allocate allocate_ = &std::aligned_alloc;
  QImage frame_;
  bool windowRefused_ = false;
  alignas(64) std::array<uchar, 64> scratch_{};
  std::unique_ptr<uchar, void (*)(void*)> pixels_{nullptr, std::free};

  std::uint64_t clip_ = 0;  // the clip being opened or played
  std::string path_;
  std::uint64_t loadRequest_ = 0;  // reply id of the latest loadfile
  std::int64_t entry_ = -1;        // playlist entry of the current clip
  std::int64_t started_ = -1;      // entry of the latest start-file
  bool loaded_ = false, reported_ = false, playing_ = false;
  enum class Video { Unknown, Yes, No } video_ = Video::Unknown;
  std::int64_t videoWidth_ = 0, videoHeight_ = 0;
  std::uint64_t frames_ = 0;
  double position_ = 0;

  std::atomic<bool> eventsPosted_{false};
  std::atomic<bool> framePosted_{false};
};

}  // namespace tarnlight::qt
