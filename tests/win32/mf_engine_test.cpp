#include "platform/win32/mf_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/win32/dshow_engine.h"
#include "platform/win32/media_work.h"
#include "tests/win32/engine_harness.h"

// The media engine in the saver's chain against a scripted engine that
// answers from its own threads, as Media Foundation's does, and a frame
// target that hands out frames of one colour; attributes are Wine's real
// ones, and so is the DirectShow engine behind it.
namespace tarnlight::win32 {
namespace {

constexpr UINT kMfMessage = WM_APP + 2;
constexpr UINT kDShowMessage = WM_APP + 3;

struct Script {
  DWORD answer = mfe::kEventLoadedMetadata;  // to SetSource; 0: never
  BOOL hasVideo = TRUE;
  DWORD width = 320, height = 240;
  HRESULT loadError = S_OK;
  HRESULT setSource = S_OK;  // a failure: the open fails at once
  bool endOnPlay = true;
  LONGLONG frames = 0;  // new frames reported once playing
};

// Written on the clips' threads.
struct Seen {
  std::wstring source;
  UINT32 attributes = 0, format = 0;
  std::atomic<int> engines{0}, shutdowns{0}, transfers{0};
};

constexpr std::uint32_t kFrameColour = 0x00FF8000;

// A method of the interface the player must never call.
#define NOT_CALLED(Type, Name, ...)                   \
  Type STDMETHODCALLTYPE Name(__VA_ARGS__) override { \
    ADD_FAILURE() << #Name " called";                 \
    return Type();                                    \
  }

// A COM object that answers no other interface and deletes itself.
template <typename Interface>
class Counted : public Interface {
 public:
  virtual ~Counted() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (!left) delete this;
    return left;
  }

 private:
  ULONG refs_ = 1;
};

class FakeError final : public Counted<mfe::IMFMediaError> {
 public:
  explicit FakeError(HRESULT code) : code_(code) {}
  USHORT STDMETHODCALLTYPE GetErrorCode() override { return 4; }
  HRESULT STDMETHODCALLTYPE GetExtendedErrorCode() override { return code_; }
  NOT_CALLED(HRESULT, SetErrorCode, DWORD)
  NOT_CALLED(HRESULT, SetExtendedErrorCode, HRESULT)

 private:
  HRESULT code_;
};

class FakeEngine final : public Counted<mfe::IMFMediaEngine> {
 public:
  FakeEngine(mfe::IMFMediaEngineNotify* notify, Script script, Seen& seen)
      : notify_(notify), script_(script), seen_(seen) {}
  ~FakeEngine() override {
    for (auto& t : threads_) t.join();
    notify_->Release();
  }

  HRESULT STDMETHODCALLTYPE GetError(mfe::IMFMediaError** error) override {
    *error = new FakeError(script_.loadError);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSource(BSTR url) override {
    seen_.source = url;
    if (script_.answer && SUCCEEDED(script_.setSource)) Answer(script_.answer);
    return script_.setSource;
  }
  HRESULT STDMETHODCALLTYPE SetAutoPlay(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Play() override {
    playing_ = true;
    if (script_.endOnPlay) Answer(mfe::kEventEnded);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnVideoStreamTick(LONGLONG* time) override {
    if (!playing_) return S_FALSE;
    if (shown_ < script_.frames) ++shown_;
    *time = shown_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE TransferVideoFrame(IUnknown*, const void*,
                                               const RECT*,
                                               const void*) override {
    ++seen_.transfers;
    return S_OK;
  }
  // A clock that moves at each look.
  double STDMETHODCALLTYPE GetCurrentTime() override {
    return 1.25 + 0.01 * ++looks_;
  }
  BOOL STDMETHODCALLTYPE HasVideo() override { return script_.hasVideo; }
  HRESULT STDMETHODCALLTYPE GetNativeVideoSize(DWORD* cx, DWORD* cy) override {
    *cx = script_.width;
    *cy = script_.height;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Shutdown() override {
    ++seen_.shutdowns;
    return S_OK;
  }

  // Never called by the player.
  NOT_CALLED(HRESULT, SetErrorCode, DWORD)
  NOT_CALLED(HRESULT, SetSourceElements, IUnknown*)
  NOT_CALLED(HRESULT, GetCurrentSource, BSTR*)
  NOT_CALLED(USHORT, GetNetworkState)
  NOT_CALLED(DWORD, GetPreload)
  NOT_CALLED(HRESULT, SetPreload, DWORD)
  NOT_CALLED(HRESULT, GetBuffered, IUnknown**)
  NOT_CALLED(HRESULT, Load)
  NOT_CALLED(HRESULT, CanPlayType, BSTR, DWORD*)
  NOT_CALLED(USHORT, GetReadyState)
  NOT_CALLED(BOOL, IsSeeking)
  NOT_CALLED(HRESULT, SetCurrentTime, double)
  NOT_CALLED(double, GetStartTime)
  NOT_CALLED(double, GetDuration)
  NOT_CALLED(BOOL, IsPaused)
  NOT_CALLED(double, GetDefaultPlaybackRate)
  NOT_CALLED(HRESULT, SetDefaultPlaybackRate, double)
  NOT_CALLED(double, GetPlaybackRate)
  NOT_CALLED(HRESULT, SetPlaybackRate, double)
  NOT_CALLED(HRESULT, GetPlayed, IUnknown**)
  NOT_CALLED(HRESULT, GetSeekable, IUnknown**)
  NOT_CALLED(BOOL, IsEnded)
  NOT_CALLED(BOOL, GetAutoPlay)
  NOT_CALLED(BOOL, GetLoop)
  NOT_CALLED(HRESULT, SetLoop, BOOL)
  NOT_CALLED(HRESULT, Pause)
  NOT_CALLED(BOOL, GetMuted)
  NOT_CALLED(HRESULT, SetMuted, BOOL)
  NOT_CALLED(double, GetVolume)
  NOT_CALLED(HRESULT, SetVolume, double)
  NOT_CALLED(BOOL, HasAudio)
  NOT_CALLED(HRESULT, GetVideoAspectRatio, DWORD*, DWORD*)

 private:
  void Answer(DWORD event) {
    threads_.emplace_back([this, event] { notify_->EventNotify(event, 0, 0); });
  }

  mfe::IMFMediaEngineNotify* notify_;
  Script script_;
  Seen& seen_;
  std::vector<std::thread> threads_;
  bool playing_ = false;
  LONGLONG shown_ = 0;
  int looks_ = 0;
};

class FakeFactory final : public Counted<mfe::IMFMediaEngineClassFactory> {
 public:
  FakeFactory(Script& script, Seen& seen) : script_(script), seen_(seen) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(
      DWORD, IMFAttributes* attributes, mfe::IMFMediaEngine** engine) override {
    void* notify = nullptr;
    HRESULT hr =
        attributes->GetUnknown(mfe::kAttrCallback, mfe::kIidNotify, &notify);
    if (FAILED(hr)) return hr;
    attributes->GetCount(&seen_.attributes);
    attributes->GetUINT32(mfe::kAttrVideoOutputFormat, &seen_.format);
    ++seen_.engines;
    *engine = new FakeEngine(static_cast<mfe::IMFMediaEngineNotify*>(notify),
                             script_, seen_);
    return S_OK;
  }
  NOT_CALLED(HRESULT, CreateTimeRange, IUnknown**)
  NOT_CALLED(HRESULT, CreateError, mfe::IMFMediaError**)

 private:
  Script& script_;
  Seen& seen_;
};

class FakeTarget final : public FrameTarget {
 public:
  ~FakeTarget() override { manager_->Release(); }
  IUnknown* Manager() override { return manager_; }
  HRESULT Take(mfe::IMFMediaEngine& engine, PixelSize size,
               Frame& frame) override {
    frame.size = size;
    frame.pixels.assign(std::size_t(size.width) * size.height, kFrameColour);
    return engine.TransferVideoFrame(manager_, nullptr, nullptr, nullptr);
  }

 private:
  Counted<IUnknown>* manager_ = new Counted<IUnknown>;
};

// A media engine whose opens go as `script` says.
std::unique_ptr<MfEngine> ScriptedMf(HWND hwnd, UINT message, Script& script,
                                     Seen& seen) {
  auto create = reinterpret_cast<MfEngine::CreateAttributesFn>(
      reinterpret_cast<void (*)()>(
          GetProcAddress(LoadLibraryW(L"mfplat.dll"), "MFCreateAttributes")));
  EXPECT_NE(create, nullptr);
  auto factory = [&](mfe::IMFMediaEngineClassFactory** made) {
    *made = new FakeFactory(script, seen);
    return S_OK;
  };
  return std::make_unique<MfEngine>(hwnd, message,
                                    MfEngine::Library{create, factory, nullptr},
                                    std::make_shared<FakeTarget>());
}

class MfChainTest : public ::testing::Test, public testing_surface::Surface {
 protected:
  void SetUp() override {
    ASSERT_NE(hwnd, nullptr);
    std::vector<std::unique_ptr<VideoEngine>> engines;
    engines.push_back(ScriptedMf(hwnd, kMfMessage, script, seen));
    engines.push_back(std::make_unique<DShowEngine>(hwnd, kDShowMessage));
    Use(std::move(engines));
  }
  void TearDown() override { Finish(); }

  Script script;
  Seen seen;
};

// Sizes without a picture or out of range are made safe; the clip then
// plays to its end.
TEST_F(MfChainTest, ReportsOpenedWithTheNativeSizeAndItsOwnClipsEnd) {
  struct Case {
    BOOL hasVideo;
    DWORD width, height;
    const char* opened;
  };
  const Case cases[] = {{TRUE, 320, 240, "opened 1 320x240"},
                        {FALSE, 320, 240, "opened 2 0x0"},
                        {TRUE, 0xFFFFFFFF, 3, "opened 3 1048577x3"}};
  std::uint64_t clip = 0;
  for (const Case& c : cases) {
    script.hasVideo = c.hasVideo;
    script.width = c.width;
    script.height = c.height;
    Call([&](EngineChain& e) { e.Open(++clip, "clip.mp4"); });
    Pump(clip);
    EXPECT_EQ(events.news.back(), c.opened);
  }
  EXPECT_EQ(events.news.size(), 3u);
  // A frame server: the callback, the device and the format; no window.
  EXPECT_EQ(seen.attributes, 3u);
  EXPECT_EQ(seen.format, mfe::kOutputBgra);
  // A full path, since the engine resolves it as a URL.
  ASSERT_GT(seen.source.size(), 11u);
  EXPECT_EQ(seen.source[1], L':');
  EXPECT_EQ(seen.source.substr(seen.source.size() - 9), L"\\clip.mp4");

  Call([](EngineChain& e) { e.Play(); });
  Pump(4);
  EXPECT_EQ(events.news.back(), "ended 3");
}

// Each new frame the engine reports is taken once, on the clip's thread,
// and drawn stretched over the surface; the position is the engine's, for
// a clip without a picture too.
TEST_F(MfChainTest, EachNewFrameIsTakenOnceAndPaintedOverTheSurface) {
  struct Case {
    BOOL hasVideo;
    int transfers;
  };
  const Case cases[] = {{TRUE, 3}, {FALSE, 0}};
  script.endOnPlay = false;
  script.frames = 3;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, 8, -6, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap =
      CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ before = SelectObject(dc, bitmap);
  std::uint64_t clip = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hasVideo);
    script.hasVideo = c.hasVideo;
    seen.transfers = 0;
    Call([&](EngineChain& e) { e.Open(++clip, "clip.mp4"); });
    Pump(clip);
    EXPECT_FALSE(chain->Paint(dc, {8, 6})) << "painted before any frame";
    Call([](EngineChain& e) { e.Play(); });
    PumpUntil(
        [&] { return seen.transfers >= c.transfers && chain->Progress() > 0; });
    std::uint64_t position = chain->Progress();
    PumpUntil([] { return false; }, 100);  // the picture now stands still
    EXPECT_GE(position, 1260u);            // the engine's clock, in ms
    EXPECT_GT(chain->Progress(), position);
    EXPECT_EQ(seen.transfers, c.transfers);
    EXPECT_EQ(chain->Paint(dc, {8, 6}), c.transfers > 0);
    GdiFlush();
    if (c.transfers > 0) {
      EXPECT_EQ(static_cast<std::uint32_t*>(bits)[8 * 6 - 1] & 0xFFFFFF,
                kFrameColour);
    }
  }
  SelectObject(dc, before);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

// DirectShow, tried next, cannot open a file that is not there either, so
// the media engine's error is the one reported.
TEST_F(MfChainTest, ALoadErrorIsReportedWithTheEnginesCodeAfterDirectShow) {
  struct Case {
    HRESULT extended;
    int number;
  };
  // An error that comes without a failure code of its own still fails.
  const Case cases[] = {{HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), 2},
                        {S_OK, E_FAIL & 0xFFFF}};
  script.answer = mfe::kEventError;
  std::uint64_t clip = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    script.loadError = c.extended;
    Call([&](EngineChain& e) { e.Open(++clip, "Z:\\no\\such\\clip.mp4"); });
    Pump(clip - 10);
    EXPECT_EQ(events.news.back(), "failed " + std::to_string(clip) + " " +
                                      std::to_string(c.number));
    EXPECT_THROW(chain->Play(), PlatformError);
  }
  PumpUntil([&] { return seen.shutdowns == 2; });
  EXPECT_EQ(seen.shutdowns, 2);
}

TEST_F(MfChainTest, AResultOfAStoppedClipIsDropped) {
  script.answer = mfe::kEventError;
  Call([](EngineChain& e) {
    e.Open(1, "Z:\\no\\such\\clip.mp4");
    e.Stop();
  });
  script.answer = mfe::kEventLoadedMetadata;
  Call([](EngineChain& e) { e.Open(2, "clip.mp4"); });
  Pump(2, 1500);
  EXPECT_EQ(events.news, (std::vector<std::string>{"opened 2 320x240"}))
      << "the first clip's failure was taken for the second's";
  EXPECT_EQ(seen.engines, 2);
}

// The real DirectShow engine, alone: its graph is built on a thread of its
// own, which reports the outcome later.
TEST(DShowEngine, AClipItCannotOpenFailsLaterAndAStoppedOneSaysNothing) {
  testing_surface::Surface surface;
  std::vector<std::unique_ptr<VideoEngine>> engines;
  engines.push_back(std::make_unique<DShowEngine>(surface.hwnd, kDShowMessage));
  surface.Use(std::move(engines));
  surface.Call([](EngineChain& e) { e.Open(4, "Z:\\no\\such\\clip.avi"); });
  surface.Pump(1);
  ASSERT_EQ(surface.events.news.size(), 1u);
  EXPECT_EQ(surface.events.news[0].rfind("failed 4 ", 0), 0u);
  EXPECT_NE(surface.events.news[0], "failed 4 0");
  EXPECT_EQ(surface.events.description.rfind("The clip could not be opened", 0),
            0u);

  surface.Call([](EngineChain& e) {
    e.Open(5, "Z:\\no\\such\\clip.avi");
    e.Stop();
  });
  surface.Pump(2, 1000);
  EXPECT_EQ(surface.events.news.size(), 1u);
}

// The chain over two scripted media engines.
struct TwoEngines : testing_surface::Surface {
  TwoEngines() {
    std::vector<std::unique_ptr<VideoEngine>> engines;
    engines.push_back(ScriptedMf(hwnd, kMfMessage, scripts[0], seen[0]));
    engines.push_back(ScriptedMf(hwnd, kDShowMessage, scripts[1], seen[1]));
    Use(std::move(engines));
  }
  // The clips' threads use the scripts and records below until they end.
  ~TwoEngines() { Finish(); }
  enum Outcome { Opens, FailsLater, FailsAtOnce };
  void Set(int engine, Outcome outcome) {
    scripts[engine].answer =
        outcome == Opens ? mfe::kEventLoadedMetadata : mfe::kEventError;
    if (outcome == FailsAtOnce)
      scripts[engine].setSource = scripts[engine].loadError;
  }
  Script scripts[2] = {{.loadError = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
                       {.width = 640,
                        .height = 480,
                        .loadError = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)}};
  Seen seen[2];
};

// When none opens the clip, the preferred engine's error is the one told;
// the next clip tries the preferred engine again.
TEST(EngineChain, EachClipGoesToTheFirstEngineThatOpensIt) {
  using O = TwoEngines::Outcome;
  struct Case {
    O first, second;
    const char* news;
  };
  const Case cases[] = {{O::Opens, O::Opens, "opened 1 320x240"},
                        {O::FailsLater, O::Opens, "opened 1 640x480"},
                        {O::FailsAtOnce, O::Opens, "opened 1 640x480"},
                        {O::FailsLater, O::FailsLater, "failed 1 2"},
                        {O::FailsAtOnce, O::FailsAtOnce, "failed 1 2"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.news);
    TwoEngines chain;
    chain.Set(0, c.first);
    chain.Set(1, c.second);
    chain.Call([](EngineChain& e) { e.Open(1, "a.mp4"); });
    chain.Pump(1);
    chain.Call([](EngineChain& e) { e.Open(2, "b.mp4"); });
    chain.Pump(2);
    ASSERT_EQ(chain.events.news.size(), 2u);
    EXPECT_EQ(chain.events.news[0], c.news);
    EXPECT_EQ(chain.seen[0].engines, 2);
    EXPECT_EQ(chain.seen[1].engines, c.first == O::Opens ? 0 : 2);
    if (c.second != O::Opens) continue;
    chain.Call([](EngineChain& e) { e.Play(); });
    chain.Pump(3);
    EXPECT_EQ(chain.events.news.back(), "ended 2");
  }
}

TEST(EngineChain, NewsOfAStoppedClipIsDropped) {
  for (auto outcome : {TwoEngines::Opens, TwoEngines::FailsAtOnce}) {
    TwoEngines chain;
    chain.Set(0, outcome);
    chain.Set(1, TwoEngines::FailsAtOnce);
    chain.scripts[0].answer = 0;
    chain.Call([](EngineChain& e) {
      e.Open(3, "a.mp4");
      e.Stop();
    });
    PostMessageW(chain.hwnd, kMfMessage, 1, MfEngine::kOpened);
    chain.Pump(1, 300);
    EXPECT_TRUE(chain.events.news.empty()) << chain.events.news.front();
    EXPECT_THROW(chain.chain->Play(), PlatformError);
    chain.Finish();
    for (const Seen& seen : chain.seen)
      EXPECT_EQ(seen.shutdowns, seen.engines) << "an engine left open";
  }
}

}  // namespace
}  // namespace tarnlight::win32
