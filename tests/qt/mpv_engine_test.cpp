#include "platform/qt/mpv_engine.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <optional>

namespace tarnlight::qt {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "mpv_engine_test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

int allocations = 0;
bool failAllocations = false;

void* CountingAllocate(std::size_t alignment, std::size_t size) {
  ++allocations;
  return failAllocations ? nullptr : std::aligned_alloc(alignment, size);
}

TEST(MpvEngine, FrameBufferFollowsThePictureSizeAndNeverDangles) {
  App();
  MpvEngine engine(nullptr, {});
  engine.SetAllocator(&CountingAllocate);
  allocations = 0;
  failAllocations = false;
  ASSERT_TRUE(engine.PrepareFrame({64, 48}));
  EXPECT_EQ(engine.frame().size(), QSize(64, 48));
  EXPECT_EQ(engine.frame().bytesPerLine() % 64, 0);
  ASSERT_TRUE(engine.PrepareFrame({64, 48}));
  EXPECT_EQ(allocations, 1);  // same size: the same buffer
  failAllocations = true;
  EXPECT_FALSE(engine.PrepareFrame({1920, 1080}));
  EXPECT_TRUE(engine.frame().isNull());  // not the freed buffer
  failAllocations = false;
  ASSERT_TRUE(engine.PrepareFrame({32, 16}));
  EXPECT_EQ(engine.frame().size(), QSize(32, 16));
}

class Recorder final : public EngineEvents {
 public:
  void Opened(std::uint64_t clip, PixelSize) override { opened = clip; }
  void Failed(std::uint64_t clip, const PlatformError& e) override {
    failed = clip;
    error = e.description();
  }
  void Ended(std::uint64_t) override {}
  std::optional<std::uint64_t> opened, failed;
  std::string error;
};

// Answers come later, from the event loop, never inside Open.
TEST(MpvEngine, AFileThatCannotBeOpenedFailsLaterThroughTheLoop) {
  App();
  MpvEngine engine(nullptr, {});
  Recorder events;
  engine.SetEvents(&events);
  engine.Open(7, "/no such folder\\clip.mp4");
  EXPECT_FALSE(events.failed);
  QElapsedTimer clock;
  clock.start();
  while (!events.failed && !events.opened && clock.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(events.failed, std::optional<std::uint64_t>(7));
  EXPECT_FALSE(events.opened);
  EXPECT_NE(events.error.find("clip.mp4"), std::string::npos) << events.error;
  EXPECT_THROW(engine.Play(), PlatformError);
}

}  // namespace
}  // namespace tarnlight::qt
