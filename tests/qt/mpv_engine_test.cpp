#include "platform/qt/mpv_engine.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <optional>

#include "platform/qt/window_pixels.h"

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

TEST(PixelTargetIn, OnlyWhollyInsideA32BitImageMovedOrScaled) {
  App();  // for the pixmap
  struct Case {
    const char* name;
    QImage::Format format;
    QTransform transform;
    QRect rect;
    std::optional<QRect> area;  // where libmpv may draw, in image pixels
    const char* pixels = "bgr0";
    bool alphaShown = true;
  };
  const QTransform moved = QTransform::fromTranslate(10, 20);
  const Case cases[] = {
      {"moved",
       QImage::Format_RGB32,
       moved,
       {0, 0, 30, 40},
       {{10, 20, 30, 40}}},
      {"scaled",
       QImage::Format_RGB32,
       QTransform(2, 0, 0, 2, 4, 0),
       {0, 0, 20, 30},
       {{4, 0, 40, 60}}},
      {"alpha made opaque",
       QImage::Format_ARGB32_Premultiplied,
       moved,
       {0, 0, 90, 60},
       {{10, 20, 90, 60}},
       "bgra"},
      {"alpha dropped on the way",
       QImage::Format_ARGB32_Premultiplied,
       moved,
       {0, 0, 90, 60},
       {{10, 20, 90, 60}},
       "bgr0",
       false},
      {"one column too wide", QImage::Format_RGB32, moved, {0, 0, 91, 60}, {}},
      {"one row too tall", QImage::Format_RGB32, moved, {0, 0, 90, 61}, {}},
      {"above the image", QImage::Format_RGB32, moved, {0, -21, 5, 5}, {}},
      {"rotated",
       QImage::Format_RGB32,
       QTransform().rotate(90),
       {0, 0, 5, 5},
       {}},
      {"16-bit", QImage::Format_RGB16, moved, {0, 0, 5, 5}, {}},
      {"empty", QImage::Format_RGB32, moved, {0, 0, 0, 5}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QImage image(100, 80, c.format);
    std::optional<PixelTarget> target =
        PixelTargetIn(&image, c.transform, c.rect, c.alphaShown);
    ASSERT_EQ(target.has_value(), c.area.has_value());
    if (!target) continue;
    EXPECT_EQ(
        target->pixels,
        image.bits() + c.area->y() * image.bytesPerLine() + c.area->x() * 4);
    EXPECT_EQ(target->size, c.area->size());
    EXPECT_EQ(target->stride, std::size_t(image.bytesPerLine()));
    EXPECT_STREQ(target->format, c.pixels);
  }
  QPixmap pixmap(100, 80);
  EXPECT_FALSE(PixelTargetIn(&pixmap, {}, {0, 0, 5, 5}, false));
}

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
