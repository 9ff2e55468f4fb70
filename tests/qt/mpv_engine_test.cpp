#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPicture>
#include <optional>
#include <sstream>
#include <tuple>
#include <utility>

#include "platform/qt/frame_buffer.h"
#include "platform/qt/mpv_clip.h"
#include "platform/qt/mpv_view.h"
#include "platform/qt/render_path.h"
#include "platform/qt/window_pixels.h"

namespace tarnlight::qt {
namespace {

TEST(FrameBuffer, FollowsThePictureSizeAndNeverDangles) {
  static int allocations;
  static bool fail;               // as when memory runs out
  allocations = 0, fail = false;  // afresh in each repeat of the test
  FrameBuffer frame([](std::size_t alignment, std::size_t size) -> void* {
    ++allocations;
    return fail ? nullptr : std::aligned_alloc(alignment, size);
  });
  ASSERT_TRUE(frame.Prepare({64, 48}, 1));
  EXPECT_EQ(frame.image().size(), QSize(64, 48));
  EXPECT_EQ(frame.image().bytesPerLine() % 64, 0);
  ASSERT_TRUE(frame.Prepare({64, 48}, 1));
  EXPECT_EQ(allocations, 1);  // same size: the same buffer
  fail = true;
  EXPECT_FALSE(frame.Prepare({1920, 1080}, 1));
  EXPECT_TRUE(frame.image().isNull());  // not the freed buffer
}

TEST(PixelTargetIn, OnlyWhollyInsideA32BitImageMovedOrScaled) {
  const QTransform moved = QTransform::fromTranslate(10, 20),
                   scaled(2, 0, 0, 2, 4, 0), turned = QTransform().rotate(90);
  const auto rgb = QImage::Format_RGB32;
  // The image's format, the transform, the rect, and where libmpv may draw
  // in image pixels (empty for nowhere).
  const std::tuple<const char*, QImage::Format, QTransform, QRect, QRect>
      cases[] = {
          {"moved", rgb, moved, {0, 0, 30, 40}, {10, 20, 30, 40}},
          {"scaled", rgb, scaled, {0, 0, 20, 30}, {4, 0, 40, 60}},
          {"one column too wide", rgb, moved, {0, 0, 91, 60}, {}},
          {"one row too tall", rgb, moved, {0, 0, 90, 61}, {}},
          {"above the image", rgb, moved, {0, -21, 5, 5}, {}},
          {"rotated", rgb, turned, {0, 0, 5, 5}, {}},
          {"16-bit", QImage::Format_RGB16, moved, {0, 0, 5, 5}, {}},
          {"empty", rgb, moved, {0, 0, 0, 5}, {}},
      };
  for (auto [name, format, transform, rect, area] : cases) {
    SCOPED_TRACE(name);
    QImage image(100, 80, format);
    std::optional<PixelTarget> target =
        PixelTargetIn(&image, transform, rect, true);
    ASSERT_EQ(target.has_value(), !area.isEmpty());
    if (!target) continue;
    EXPECT_EQ(target->pixels,
              image.bits() + area.y() * image.bytesPerLine() + area.x() * 4);
    EXPECT_EQ(target->size, area.size());
    EXPECT_EQ(target->stride, std::size_t(image.bytesPerLine()));
    EXPECT_STREQ(target->format, "bgr0");
  }
  // Where the fourth byte is shown as alpha, libmpv writes it opaque.
  QImage argb(9, 6, QImage::Format_ARGB32_Premultiplied);
  for (bool shown : {true, false})
    EXPECT_STREQ(PixelTargetIn(&argb, {}, argb.rect(), shown).value().format,
                 shown ? "bgra" : "bgr0");
  QPicture picture;
  EXPECT_FALSE(PixelTargetIn(&picture, {}, {0, 0, 5, 5}, false));
}

// libmpv's events for a clip at playlist entry 5 with a 320 x 240 picture,
// in the order a case names them: each clip is reported once, from its own
// entry's events only, and its clock (after "@") is the furthest of its
// picture and its sound from when it plays.
TEST(MpvClip, ReportsEachClipOnceFromLibmpvsEvents) {
  const std::pair<const char*, const char*> cases[] = {
      {"reply start width loaded picture height", "opened 320x240"},
      {"reply start huge loaded picture height", "opened 1048577x240"},
      {"refused", "failed 0x0"},
      {"reply other loaded picture width height", "0x0"},
      {"reply end-other start loaded none", "opened 0x0"},
      {"reply start loaded end picture width height", "failed 0x0"},
      {"reply start loaded none play end end", "opened ended 0x0"},
      {"sound@30 reply start loaded none play frame@8", "opened 0x0 @8000"},
      {"reply start loaded none play sound@9.5 frame@8", "opened 0x0 @9500"},
  };
  for (auto [events, expected] : cases) {
    SCOPED_TRACE(events);
    MpvClip clip(7, "clip.mp4");
    clip.Load();
    std::string news;
    const char* names[] = {"", "opened ", "failed ", "ended "};
    auto say = [&](MpvClip::News n) { news += names[int(n)]; };
    std::istringstream words(events);
    for (std::string w; words >> w;) {
      if (w == "reply") say(clip.LoadAnswered(0, 5));
      if (w == "refused") say(clip.LoadAnswered(MPV_ERROR_LOADING_FAILED, 5));
      if (w == "start" || w == "other") clip.EntryStarted(w == "start" ? 5 : 4);
      if (w == "loaded") clip.FileLoaded();
      if (w == "picture" || w == "none") say(clip.PictureAnswered(w[0] == 'p'));
      if (w == "width") say(clip.WidthIs(320));
      if (w == "huge") say(clip.WidthIs(4294967295));
      if (w == "height") say(clip.HeightIs(240));
      if (w.starts_with("end")) say(clip.EntryEnded(w == "end" ? 5 : 4));
      if (w == "play") clip.Play();
      if (w.starts_with("frame@")) clip.PictureAt(std::stod(w.substr(6)));
      if (w.starts_with("sound@")) clip.SoundAt(std::stod(w.substr(6)));
    }
    news += std::to_string(clip.size().width) + "x" +
            std::to_string(clip.size().height);
    if (clip.Progress()) news += " @" + std::to_string(clip.Progress());
    EXPECT_EQ(news, expected);
  }
}

// The OpenGL view only for a hardware renderer, or when asked for and a
// context exists; OpenGL is loaded to ask only where it may be hardware.
TEST(RenderPathFor, HardwareRenderersAloneGetOpenGl) {
  using enum RenderAsked;
  const auto gl = RenderPath::OpenGl, sw = RenderPath::Software;
  const std::tuple<const char*, RenderAsked, RenderPath> cases[] = {
      {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", Auto, gl},
      {"Software Rasterizer", Auto, sw},
      {"", Auto, sw},
      {"llvmpipe (LLVM 15.0.6, 256 bits)", OpenGl, gl},
      {"", OpenGl, sw},
      {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", Software, sw},
  };
  for (auto [renderer, asked, path] : cases)
    EXPECT_EQ(RenderPathFor(renderer, asked), path) << renderer << int(asked);

  // The variable read, and whether a renderer is then worth asking for
  // without a GPU device and with one.
  const std::tuple<const char*, RenderAsked, bool, bool> variables[] = {
      {nullptr, Auto, false, true},
      {"OpenGL", Auto, false, true},
      {"opengl", OpenGl, true, true},
      {"software", Software, false, false}};
  for (auto [variable, asked, without, with] : variables) {
    SCOPED_TRACE(variable ? variable : "unset");
    EXPECT_EQ(RenderAskedFrom(variable), asked);
    EXPECT_EQ(RendererWorthAsking(asked, false), without);
    EXPECT_EQ(RendererWorthAsking(asked, true), with);
  }
}

// A view on which libmpv cannot make its render context (an OpenGL driver
// it cannot use): every clip fails, saying so.
struct CannotDraw : PlayerScreen {
  void Show(PixelRect) override {}
  void Hide() override {}
  void Repaint() override {}
  void DrawUnseen() override {}
  const char* Hwdec() const override { return "no"; }
  int CreateRender(const MpvApi&, mpv_handle*, mpv_render_context**) override {
    return MPV_ERROR_UNSUPPORTED;
  }
  bool MakeCurrent() override { return true; }
};

// With the real libmpv: a file it cannot open, or any file where it cannot
// draw, fails, named in the error, and cannot play.
TEST(MpvPlayer, AClipThatCannotBeOpenedFails) {
  int argc = 1;
  char* argv[] = {const_cast<char*>("mpv_engine_test"), nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  struct : EngineEvents {
    void Opened(std::uint64_t, PixelSize) override { news = "opened"; }
    void Failed(std::uint64_t clip, const PlatformError& e) override {
      news = std::to_string(clip) + " failed: " + e.description();
    }
    void Ended(std::uint64_t) override { news = "ended"; }
    std::string news;
  } events;
  MpvView view(nullptr, {});
  CannotDraw cannotDraw;
  MpvPlayer blind(cannotDraw);
  const std::tuple<MpvPlayer*, const char*, const char*> cases[] = {
      {&view.player(), "/no such folder\\clip.mp4", "7 failed: "},
      {&blind, "/clips/a.mp4", "7 failed: The player cannot draw: "}};
  for (auto [player, path, failure] : cases) {
    events.news.clear();
    player->SetEvents(&events);
    player->Open(7, path);
    QElapsedTimer clock;
    clock.start();
    while (events.news.empty() && clock.elapsed() < 10000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(events.news.starts_with(failure)) << events.news;
    EXPECT_TRUE(events.news.ends_with(path)) << events.news;
    EXPECT_THROW(player->Play(), PlatformError);
  }
}

}  // namespace
}  // namespace tarnlight::qt
