#include "platform/win32/mf_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/error.h"

// The media engine player against a scripted engine that answers from its
// own threads, as Media Foundation's does; attributes are Wine's real ones.
namespace tarnlight::win32 {
namespace {

constexpr UINT kMessage = WM_APP + 7;

struct Script {
  DWORD answer = mfe::kEventLoadedMetadata;  // to SetSource; 0: never
  BOOL hasVideo = TRUE;
  DWORD width = 320, height = 240;
  HRESULT loadError = S_OK;
};

struct Seen {
  std::wstring source;
  UINT64 window = 0;
  int engines = 0, shutdowns = 0;
};

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
  HRESULT STDMETHODCALLTYPE SetErrorCode(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExtendedErrorCode(HRESULT) override {
    return E_NOTIMPL;
  }

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
    if (script_.answer) Answer(script_.answer);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetAutoPlay(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Play() override {
    Answer(mfe::kEventEnded);
    return S_OK;
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
  HRESULT STDMETHODCALLTYPE SetErrorCode(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSourceElements(IUnknown*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetCurrentSource(BSTR*) override {
    return E_NOTIMPL;
  }
  USHORT STDMETHODCALLTYPE GetNetworkState() override { return 0; }
  DWORD STDMETHODCALLTYPE GetPreload() override { return 0; }
  HRESULT STDMETHODCALLTYPE SetPreload(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBuffered(IUnknown**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Load() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanPlayType(BSTR, DWORD*) override {
    return E_NOTIMPL;
  }
  USHORT STDMETHODCALLTYPE GetReadyState() override { return 0; }
  BOOL STDMETHODCALLTYPE IsSeeking() override { return FALSE; }
  double STDMETHODCALLTYPE GetCurrentTime() override { return 0; }
  HRESULT STDMETHODCALLTYPE SetCurrentTime(double) override {
    return E_NOTIMPL;
  }
  double STDMETHODCALLTYPE GetStartTime() override { return 0; }
  double STDMETHODCALLTYPE GetDuration() override { return 0; }
  BOOL STDMETHODCALLTYPE IsPaused() override { return TRUE; }
  double STDMETHODCALLTYPE GetDefaultPlaybackRate() override { return 1; }
  HRESULT STDMETHODCALLTYPE SetDefaultPlaybackRate(double) override {
    return E_NOTIMPL;
  }
  double STDMETHODCALLTYPE GetPlaybackRate() override { return 1; }
  HRESULT STDMETHODCALLTYPE SetPlaybackRate(double) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetPlayed(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSeekable(IUnknown**) override {
    return E_NOTIMPL;
  }
  BOOL STDMETHODCALLTYPE IsEnded() override { return FALSE; }
  BOOL STDMETHODCALLTYPE GetAutoPlay() override { return FALSE; }
  BOOL STDMETHODCALLTYPE GetLoop() override { return FALSE; }
  HRESULT STDMETHODCALLTYPE SetLoop(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
  BOOL STDMETHODCALLTYPE GetMuted() override { return FALSE; }
  HRESULT STDMETHODCALLTYPE SetMuted(BOOL) override { return E_NOTIMPL; }
  double STDMETHODCALLTYPE GetVolume() override { return 1; }
  HRESULT STDMETHODCALLTYPE SetVolume(double) override { return E_NOTIMPL; }
  BOOL STDMETHODCALLTYPE HasAudio() override { return FALSE; }
  HRESULT STDMETHODCALLTYPE GetVideoAspectRatio(DWORD*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TransferVideoFrame(IUnknown*, const void*,
                                               const RECT*,
                                               const void*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OnVideoStreamTick(LONGLONG*) override {
    return E_NOTIMPL;
  }

 private:
  void Answer(DWORD event) {
    threads_.emplace_back([this, event] { notify_->EventNotify(event, 0, 0); });
  }

  mfe::IMFMediaEngineNotify* notify_;
  Script script_;
  Seen& seen_;
  std::vector<std::thread> threads_;
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
    attributes->GetUINT64(mfe::kAttrPlaybackHwnd, &seen_.window);
    ++seen_.engines;
    *engine = new FakeEngine(static_cast<mfe::IMFMediaEngineNotify*>(notify),
                             script_, seen_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateTimeRange(IUnknown**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateError(mfe::IMFMediaError**) override {
    return E_NOTIMPL;
  }

 private:
  Script& script_;
  Seen& seen_;
};

HRESULT WINAPI NoShutdown() { return S_OK; }

class MfEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HMODULE mfplat = LoadLibraryW(L"mfplat.dll");
    ASSERT_NE(mfplat, nullptr);
    auto create = reinterpret_cast<MfEngine::CreateAttributesFn>(
        reinterpret_cast<void (*)()>(
            GetProcAddress(mfplat, "MFCreateAttributes")));
    ASSERT_NE(create, nullptr);
    window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    engine = std::make_unique<MfEngine>(window, kMessage,
                                        MfEngine::Library{create, NoShutdown},
                                        new FakeFactory(script, seen));
  }
  void TearDown() override {
    engine.reset();
    if (window) DestroyWindow(window);
  }

  // The next notification posted to the window, waiting at most 5 s.
  bool NextPosted(MSG& msg) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (PeekMessageW(&msg, window, kMessage, kMessage, PM_REMOVE))
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  Script script;
  Seen seen;
  HWND window = nullptr;
  std::unique_ptr<MfEngine> engine;
};

TEST_F(MfEngineTest, OpensWithTheNativeSizeAndReportsOnlyItsOwnClipsEnd) {
  PixelSize size = engine->Open("clip.mp4");
  EXPECT_EQ(size, (PixelSize{320, 240}));
  EXPECT_EQ(seen.window, reinterpret_cast<UINT64>(window));
  // A full path, since the engine resolves it as a URL.
  ASSERT_GT(seen.source.size(), 11u);
  EXPECT_EQ(seen.source[1], L':');
  EXPECT_EQ(seen.source.substr(seen.source.size() - 9), L"\\clip.mp4");

  engine->Play();
  MSG ended{};
  ASSERT_TRUE(NextPosted(ended));
  EXPECT_TRUE(engine->Notified(ended.message, ended.wParam, ended.lParam));
  EXPECT_FALSE(engine->Notified(kMessage + 1, ended.wParam, ended.lParam));

  engine->Open("next.mp4");
  EXPECT_FALSE(engine->Notified(ended.message, ended.wParam, ended.lParam))
      << "the first clip's end was taken for the second's";
  EXPECT_EQ(seen.engines, 2);
  EXPECT_EQ(seen.shutdowns, 1);
}

TEST_F(MfEngineTest, ALoadErrorRaisesTheEnginesCodeAndShutsItDown) {
  struct Case {
    HRESULT extended;
    int number;
  };
  // An error that comes without a failure code of its own still fails.
  const Case cases[] = {{HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), 2},
                        {S_OK, E_FAIL & 0xFFFF}};
  script.answer = mfe::kEventError;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    script.loadError = c.extended;
    try {
      engine->Open("missing.mp4");
      ADD_FAILURE() << "opened a clip the engine refused";
    } catch (const PlatformError& e) {
      EXPECT_EQ(e.number(), c.number);
    }
    EXPECT_THROW(engine->Play(), PlatformError);
  }
  EXPECT_EQ(seen.shutdowns, 2);
}

TEST_F(MfEngineTest, AnEngineThatNeverAnswersIsGivenUpAfterTwoSeconds) {
  script.answer = 0;
  auto start = std::chrono::steady_clock::now();
  try {
    engine->Open("slow.mp4");
    FAIL() << "opened a clip that never loaded";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), err::kPathAccess);
  }
  double waited =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_GE(waited, 1.9);
  EXPECT_LT(waited, 10.0);
  EXPECT_EQ(seen.shutdowns, 1);
}

TEST_F(MfEngineTest, SizesWithoutPictureOrOutOfRangeAreMadeSafe) {
  struct Case {
    BOOL hasVideo;
    DWORD width, height;
    PixelSize opened;
  };
  for (Case c : {Case{FALSE, 320, 240, {0, 0}},
                 Case{TRUE, 0xFFFFFFFF, 3, {1 << 20, 3}}}) {
    script.hasVideo = c.hasVideo;
    script.width = c.width;
    script.height = c.height;
    EXPECT_EQ(engine->Open("a.mp4"), c.opened);
  }
}

}  // namespace
}  // namespace tarnlight::win32
