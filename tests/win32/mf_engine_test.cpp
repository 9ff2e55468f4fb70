#include "platform/win32/mf_engine.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/dshow_engine.h"
#include "platform/win32/engine_chain.h"
#include "platform/win32/media_work.h"

// The saver's engine chain over the media engine, scripted, and the real
// DirectShow engine. The scripted engine answers from threads of its own,
// as Media Foundation's does, and its frames are of one colour; the
// attributes the player hands it are Wine's real ones.
namespace tarnlight::win32 {
namespace {

constexpr UINT kChainMessage = WM_APP + 1, kFirstEngineMessage = WM_APP + 2;
constexpr std::uint32_t kFrameColour = 0x00FF8000;

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

using Method = void (*)();
template <typename Fn>
Method AsMethod(Fn* fn) {
  return reinterpret_cast<Method>(fn);
}

// A COM object as COM sees it: a table of methods, then a count; it deletes
// itself. Each fake numbers the slots it answers as Microsoft publishes its
// interface, so a method of media_engine_api.h out of order fails here too;
// every other slot fails the test. The program is built for x64 only, where
// the caller clears its own arguments, so one body that takes none can stand
// in for any method.
template <typename Self, std::size_t kSlots>
class Com {
  static_assert(sizeof(void*) == 8, "one calling convention for every method");

 public:
  template <typename Interface>
  Interface* As() {
    return reinterpret_cast<Interface*>(this);
  }

 protected:
  explicit Com(std::initializer_list<std::pair<std::size_t, Method>> answers) {
    table_.fill(&NotCalled);
    table_[0] = AsMethod(&QueryInterface);
    table_[1] = AsMethod(&AddRef);
    table_[2] = AsMethod(&Release);
    for (auto [slot, method] : answers) table_[slot] = method;
  }

 private:
  static void NotCalled() {
    ADD_FAILURE() << "a method the player never needs";
  }
  static HRESULT STDMETHODCALLTYPE QueryInterface(Com*, REFIID, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  static ULONG STDMETHODCALLTYPE AddRef(Com* self) { return ++self->refs_; }
  static ULONG STDMETHODCALLTYPE Release(Com* self) {
    ULONG left = --self->refs_;
    if (!left) delete static_cast<Self*>(self);
    return left;
  }

  const Method* methods_ = table_.data();  // first, where callers look
  std::array<Method, kSlots> table_;
  std::atomic<ULONG> refs_{1};
};

struct FakeError final : Com<FakeError, 7> {
  explicit FakeError(HRESULT code)
      : Com({{4, AsMethod(&GetExtendedErrorCode)}}), code(code) {}
  static HRESULT STDMETHODCALLTYPE GetExtendedErrorCode(FakeError* self) {
    return self->code;
  }
  HRESULT code;
};

class FakeEngine final : public Com<FakeEngine, 45> {
 public:
  FakeEngine(mfe::IMFMediaEngineNotify* notify, Script script, Seen& seen)
      : Com({{3, AsMethod(&GetError)},
             {6, AsMethod(&SetSource)},
             {16, AsMethod(&GetCurrentTime)},
             {29, AsMethod(&SetAutoPlay)},
             {32, AsMethod(&Play)},
             {38, AsMethod(&HasVideo)},
             {40, AsMethod(&GetNativeVideoSize)},
             {42, AsMethod(&Shutdown)},
             {43, AsMethod(&TransferVideoFrame)},
             {44, AsMethod(&OnVideoStreamTick)}}),
        notify_(notify),
        script_(script),
        seen_(seen) {}
  ~FakeEngine() {
    for (auto& t : threads_) t.join();
    notify_->Release();
  }

 private:
  static HRESULT STDMETHODCALLTYPE GetError(FakeEngine* self,
                                            mfe::IMFMediaError** error) {
    *error = (new FakeError(self->script_.loadError))->As<mfe::IMFMediaError>();
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE SetSource(FakeEngine* self, BSTR url) {
    self->seen_.source = url;
    if (self->script_.answer && SUCCEEDED(self->script_.setSource))
      self->Answer(self->script_.answer);
    return self->script_.setSource;
  }
  static HRESULT STDMETHODCALLTYPE SetAutoPlay(FakeEngine*, BOOL) {
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE Play(FakeEngine* self) {
    self->playing_ = true;
    if (self->script_.endOnPlay) self->Answer(mfe::kEventEnded);
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE OnVideoStreamTick(FakeEngine* self,
                                                     LONGLONG* time) {
    if (!self->playing_) return S_FALSE;
    if (self->shown_ < self->script_.frames) ++self->shown_;
    *time = self->shown_;
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE TransferVideoFrame(FakeEngine* self,
                                                      IUnknown*, const void*,
                                                      const RECT*,
                                                      const void*) {
    ++self->seen_.transfers;
    return S_OK;
  }
  // A clock that moves at each look.
  static double STDMETHODCALLTYPE GetCurrentTime(FakeEngine* self) {
    return 1.25 + 0.01 * ++self->looks_;
  }
  static BOOL STDMETHODCALLTYPE HasVideo(FakeEngine* self) {
    return self->script_.hasVideo;
  }
  static HRESULT STDMETHODCALLTYPE GetNativeVideoSize(FakeEngine* self,
                                                      DWORD* cx, DWORD* cy) {
    *cx = self->script_.width;
    *cy = self->script_.height;
    return S_OK;
  }
  static HRESULT STDMETHODCALLTYPE Shutdown(FakeEngine* self) {
    ++self->seen_.shutdowns;
    return S_OK;
  }

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

class FakeFactory final : public Com<FakeFactory, 6> {
 public:
  FakeFactory(Script& script, Seen& seen)
      : Com({{3, AsMethod(&CreateInstance)}}), script_(script), seen_(seen) {}

 private:
  static HRESULT STDMETHODCALLTYPE CreateInstance(FakeFactory* self, DWORD,
                                                  IMFAttributes* attributes,
                                                  mfe::IMFMediaEngine** made) {
    void* notify = nullptr;
    HRESULT hr =
        attributes->GetUnknown(mfe::kAttrCallback, mfe::kIidNotify, &notify);
    if (FAILED(hr)) return hr;
    attributes->GetCount(&self->seen_.attributes);
    attributes->GetUINT32(mfe::kAttrVideoOutputFormat, &self->seen_.format);
    ++self->seen_.engines;
    auto* engine =
        new FakeEngine(static_cast<mfe::IMFMediaEngineNotify*>(notify),
                       self->script_, self->seen_);
    *made = engine->As<mfe::IMFMediaEngine>();
    return S_OK;
  }

  Script& script_;
  Seen& seen_;
};

struct FakeManager final : Com<FakeManager, 3> {
  FakeManager() : Com({}) {}
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
  IUnknown* manager_ = (new FakeManager)->As<IUnknown>();
};

// A media engine whose opens go as `script` says.
std::unique_ptr<MfEngine> ScriptedMf(HWND hwnd, UINT message, Script& script,
                                     Seen& seen) {
  auto create = reinterpret_cast<MfEngine::CreateAttributesFn>(
      reinterpret_cast<void (*)()>(
          GetProcAddress(LoadLibraryW(L"mfplat.dll"), "MFCreateAttributes")));
  EXPECT_NE(create, nullptr);
  auto factory = [&](mfe::IMFMediaEngineClassFactory** made) {
    *made =
        (new FakeFactory(script, seen))->As<mfe::IMFMediaEngineClassFactory>();
    return S_OK;
  };
  return std::make_unique<MfEngine>(hwnd, message,
                                    MfEngine::Library{create, factory, nullptr},
                                    std::make_shared<FakeTarget>());
}

// What the chain reports, a line each; nothing may come from inside a call.
class Recorder final : public EngineEvents {
 public:
  void Opened(std::uint64_t clip, PixelSize size) override {
    Note("opened " + std::to_string(clip) + " " + std::to_string(size.width) +
         "x" + std::to_string(size.height));
  }
  void Failed(std::uint64_t clip, const PlatformError& error) override {
    Note("failed " + std::to_string(clip) + " " +
         std::to_string(error.number()));
    description = error.description();
  }
  void Ended(std::uint64_t clip) override {
    Note("ended " + std::to_string(clip));
  }
  void Note(std::string what) { news.push_back(std::move(what)); }

  std::vector<std::string> news;
  std::string description;
};

enum class Kind { Mf, DShow };

// A message-only window that hands its messages to a chain of engines; the
// chain's i-th engine, when it is a media engine, goes as scripts[i] says.
class Surface {
 public:
  explicit Surface(std::initializer_list<Kind> kinds) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Surface::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarnlightTestSurface";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0,
                           HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    std::vector<std::unique_ptr<VideoEngine>> engines;
    for (Kind kind : kinds) {
      std::size_t i = engines.size();
      UINT message = kFirstEngineMessage + UINT(i);
      if (kind == Kind::Mf)
        engines.push_back(ScriptedMf(hwnd, message, scripts[i], records[i]));
      else
        engines.push_back(std::make_unique<DShowEngine>(hwnd, message));
    }
    chain =
        std::make_unique<EngineChain>(hwnd, kChainMessage, std::move(engines));
    chain->SetEvents(&events);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Surface() {
    Finish();
    DestroyWindow(hwnd);
  }

  // Closes the chain and lets the clips' threads end, which still use the
  // scripts and records.
  void Finish() {
    chain.reset();
    EXPECT_TRUE(media_work::WaitUntilDone(5000)) << "a clip thread still runs";
  }

  // Answers messages until `count` pieces of news have come, or `ms` have
  // passed.
  void Pump(std::size_t count, int ms = 5000) {
    PumpUntil([&] { return events.news.size() >= count; }, ms);
  }
  template <typename Done>
  void PumpUntil(Done done, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  HWND hwnd = nullptr;
  Script scripts[2];
  Seen records[2];
  Recorder events;
  std::unique_ptr<EngineChain> chain;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self =
        reinterpret_cast<Surface*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg >= WM_APP) {
      self->chain->Notified(msg, wp, lp);
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
};

class MfChainTest : public ::testing::Test, public Surface {
 protected:
  MfChainTest() : Surface({Kind::Mf, Kind::DShow}) {}
  Script& script = scripts[0];
  Seen& seen = records[0];
};

// Sizes without a picture or out of range are made safe. A load error is
// the engine's code, or a failure of its own when it has none, told once
// DirectShow, tried next, has failed too (there is no such file). A clip
// that opens plays to its end.
TEST_F(MfChainTest, ReportsWhatTheEngineLearnsOfEachClip) {
  const std::pair<Script, std::string> cases[] = {
      {{.answer = mfe::kEventError,
        .loadError = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
       "failed 1 2"},
      {{.answer = mfe::kEventError}, "failed 2 16389"},  // E_FAIL's low word
      {{.hasVideo = FALSE}, "opened 3 0x0"},
      {{.width = 0xFFFFFFFF, .height = 3}, "opened 4 1048577x3"},
      {{}, "opened 5 320x240"}};
  std::uint64_t clip = 0;
  for (const auto& [given, news] : cases) {
    script = given;
    chain->Open(++clip, "clip.mp4");
    Pump(clip);
    EXPECT_EQ(events.news.back(), news);
    if (news[0] == 'f') {
      EXPECT_THROW(chain->Play(), PlatformError);
    }
  }
  // A frame server: the callback, the device and the format; no window.
  EXPECT_EQ(seen.attributes, 3u);
  EXPECT_EQ(seen.format, mfe::kOutputBgra);
  // A full path, since the engine resolves it as a URL.
  ASSERT_GT(seen.source.size(), 11u);
  EXPECT_EQ(seen.source[1], L':');
  EXPECT_EQ(seen.source.substr(seen.source.size() - 9), L"\\clip.mp4");

  chain->Play();
  Pump(6);
  EXPECT_EQ(events.news.back(), "ended 5");
  Finish();
  EXPECT_EQ(seen.shutdowns, seen.engines) << "an engine left open";
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
  SelectObject(dc, bitmap);
  std::uint64_t clip = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hasVideo);
    script.hasVideo = c.hasVideo;
    seen.transfers = 0;
    chain->Open(++clip, "clip.mp4");
    Pump(clip);
    EXPECT_FALSE(chain->Paint(dc, {8, 6})) << "painted before any frame";
    chain->Play();
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
  DeleteDC(dc);  // the bitmap, selected into it, is freed after
  DeleteObject(bitmap);
}

// The real DirectShow engine, alone: its graph is built on a thread of its
// own, which reports the outcome later; news under an earlier clip's number
// is not the open clip's.
TEST(DShowEngine, AClipItCannotOpenFailsLaterAndOnlyItsOwnNewsCounts) {
  Surface surface({Kind::DShow});
  for (std::size_t clip : {1u, 2u}) {
    surface.chain->Open(clip, "Z:\\no\\such\\clip.avi");
    PostMessageW(surface.hwnd, kFirstEngineMessage, clip - 1,
                 DShowEngine::kOpened);
    surface.Pump(clip);
    ASSERT_EQ(surface.events.news.size(), clip);
    const std::string failed = "failed " + std::to_string(clip) + " ";
    EXPECT_EQ(surface.events.news.back().rfind(failed, 0), 0u)
        << surface.events.news.back();
    EXPECT_NE(surface.events.news.back(), failed + "0");
  }
  EXPECT_EQ(surface.events.description.rfind("The clip could not be opened", 0),
            0u);
}

// The chain over two scripted media engines.
struct TwoEngines : Surface {
  TwoEngines() : Surface({Kind::Mf, Kind::Mf}) {
    scripts[0].loadError = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    scripts[1] = {.width = 640,
                  .height = 480,
                  .loadError = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)};
  }
  enum Outcome { Opens, FailsLater, FailsAtOnce };
  void Set(int engine, Outcome outcome) {
    scripts[engine].answer =
        outcome == Opens ? mfe::kEventLoadedMetadata : mfe::kEventError;
    if (outcome == FailsAtOnce)
      scripts[engine].setSource = scripts[engine].loadError;
  }
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
    chain.chain->Open(1, "a.mp4");
    chain.Pump(1);
    chain.chain->Open(2, "b.mp4");
    chain.Pump(2);
    ASSERT_EQ(chain.events.news.size(), 2u);
    EXPECT_EQ(chain.events.news[0], c.news);
    EXPECT_EQ(chain.records[0].engines, 2);
    EXPECT_EQ(chain.records[1].engines, c.first == O::Opens ? 0 : 2);
    if (c.second == O::Opens) {
      chain.chain->Play();
      chain.Pump(3);
      EXPECT_EQ(chain.events.news.back(), "ended 2");
    }
    chain.Finish();
    for (const Seen& seen : chain.records)
      EXPECT_EQ(seen.shutdowns, seen.engines) << "an engine left open";
  }
}

// News of a stopped clip is dropped, and so is news an engine posts under
// an earlier clip's number once the next is open.
TEST(EngineChain, NewsOfAStoppedClipIsDropped) {
  TwoEngines chain;
  chain.scripts[0].answer = 0;
  chain.chain->Open(3, "a.mp4");
  chain.chain->Stop();
  PostMessageW(chain.hwnd, kFirstEngineMessage, 1, MfEngine::kOpened);
  chain.Pump(1, 300);
  EXPECT_THROW(chain.chain->Play(), PlatformError);
  chain.chain->Open(4, "b.mp4");
  PostMessageW(chain.hwnd, kFirstEngineMessage, 1, MfEngine::kFailed);
  chain.Pump(1, 300);
  EXPECT_EQ(chain.events.news, std::vector<std::string>{});
}

// With no engine left to try, the failure is the chain's own, told later;
// a stopped clip's is dropped.
TEST(EngineChain, WithNoEngineAClipFailsLater) {
  Surface surface({});
  surface.chain->Open(1, "a.mp4");
  surface.chain->Stop();
  surface.Pump(1, 300);
  surface.chain->Open(2, "a.mp4");
  surface.Pump(1);
  EXPECT_EQ(surface.events.news, std::vector<std::string>{"failed 2 5"});
}

}  // namespace
}  // namespace tarnlight::win32
