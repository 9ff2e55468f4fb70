#include "platform/win32/mf_engine.h"

#include <gtest/gtest.h>
#include <mfapi.h>

#include <array>
#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/dshow_engine.h"
#include "platform/win32/engine_chain.h"
#include "platform/win32/media_work.h"

// The saver's engine chain over the media engine, scripted, and the real
// DirectShow engine. The scripted engine answers from threads of its own,
// as Media Foundation's does; the attributes the player hands it are Wine's
// real ones.
namespace tarnlight::win32 {
namespace {

constexpr UINT kChainMessage = WM_APP + 1, kFirstEngineMessage = WM_APP + 2;

struct Script {
  DWORD answer = mfe::kEventLoadedMetadata;  // to SetSource; 0: never
  BOOL hasVideo = TRUE;
  DWORD width = 320, height = 240;
  HRESULT loadError = S_OK;
  HRESULT setSource = S_OK;  // a failure: the open fails at once
  LONGLONG frames = 0;       // new frames reported once playing; 0: it ends
};

// Written on the clips' threads.
struct Seen {
  std::wstring source;
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
// there is one calling convention and the caller clears its own arguments,
// so one body that takes none can stand in for any method.
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
  static HRESULT QueryInterface(Com*, REFIID, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  static ULONG AddRef(Com* self) { return ++self->refs_; }
  static ULONG Release(Com* self) {
    ULONG left = --self->refs_;
    if (!left) delete static_cast<Self*>(self);
    return left;
  }

  const Method* methods_ = table_.data();  // first, where callers look
  std::array<Method, kSlots> table_;
  std::atomic<ULONG> refs_{1};
};

// An IMFMediaError; also any object COM can count.
struct FakeError final : Com<FakeError, 7> {
  explicit FakeError(HRESULT code)
      : Com({{4, AsMethod(&GetExtendedErrorCode)}}), code(code) {}
  static HRESULT GetExtendedErrorCode(FakeError* self) { return self->code; }
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
             {44, AsMethod(&OnVideoStreamTick)}}),
        notify_(notify),
        script_(script),
        seen_(seen) {}
  ~FakeEngine() {
    for (auto& t : threads_) t.join();
    notify_->Release();
  }

 private:
  static HRESULT GetError(FakeEngine* self, mfe::IMFMediaError** error) {
    *error = (new FakeError(self->script_.loadError))->As<mfe::IMFMediaError>();
    return S_OK;
  }
  static HRESULT SetSource(FakeEngine* self, BSTR url) {
    self->seen_.source = url;
    if (self->script_.answer && SUCCEEDED(self->script_.setSource))
      self->Answer(self->script_.answer);
    return self->script_.setSource;
  }
  static HRESULT SetAutoPlay() { return S_OK; }
  static HRESULT Play(FakeEngine* self) {
    self->playing_ = true;
    if (!self->script_.frames) self->Answer(mfe::kEventEnded);
    return S_OK;
  }
  static HRESULT OnVideoStreamTick(FakeEngine* self, LONGLONG* time) {
    if (!self->playing_) return S_FALSE;
    if (self->shown_ < self->script_.frames) ++self->shown_;
    *time = self->shown_;
    return S_OK;
  }
  // A clock that moves at each look.
  static double GetCurrentTime(FakeEngine* self) {
    return 1.25 + 0.01 * ++self->looks_;
  }
  static BOOL HasVideo(FakeEngine* self) { return self->script_.hasVideo; }
  static HRESULT GetNativeVideoSize(FakeEngine* self, DWORD* cx, DWORD* cy) {
    *cx = self->script_.width;
    *cy = self->script_.height;
    return S_OK;
  }
  static HRESULT Shutdown(FakeEngine* self) {
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
  static HRESULT CreateInstance(FakeFactory* self, DWORD, IMFAttributes* made,
                                mfe::IMFMediaEngine** engine) {
    void* notify = nullptr;
    HRESULT hr = made->GetUnknown(mfe::kAttrCallback, mfe::kIidNotify, &notify);
    if (FAILED(hr)) return hr;
    ++self->seen_.engines;
    *engine = (new FakeEngine(static_cast<mfe::IMFMediaEngineNotify*>(notify),
                              self->script_, self->seen_))
                  ->As<mfe::IMFMediaEngine>();
    return S_OK;
  }

  Script& script_;
  Seen& seen_;
};

// Counts the frames it is asked to take.
class FakeTarget final : public FrameTarget {
 public:
  explicit FakeTarget(Seen& seen) : seen_(seen) {}
  ~FakeTarget() override { manager_->Release(); }
  IUnknown* Manager() override { return manager_; }
  HRESULT Take(mfe::IMFMediaEngine&, PixelSize size, Frame& frame) override {
    frame.size = size;
    frame.pixels.assign(std::size_t(size.width) * size.height, 0);
    ++seen_.transfers;
    return S_OK;
  }

 private:
  Seen& seen_;
  IUnknown* manager_ = (new FakeError(S_OK))->As<IUnknown>();
};

// What the chain reports, a line each; nothing may come from inside a call.
struct Recorder final : EngineEvents {
  void Opened(std::uint64_t clip, PixelSize size) override {
    Note("opened ", clip, ' ', size.width, 'x', size.height);
  }
  void Failed(std::uint64_t clip, const PlatformError& error) override {
    Note("failed ", clip, ' ', error.number());
  }
  void Ended(std::uint64_t clip) override { Note("ended ", clip); }
  template <typename... Parts>
  void Note(const Parts&... parts) {
    std::ostringstream line;
    (line << ... << parts);
    news.push_back(line.str());
  }

  std::vector<std::string> news;
};

enum class Kind { Mf, DShow };

// A chain of engines drawing in a message-only window, whose messages to
// the chain the pump hands on; the i-th engine, when it is a media engine,
// goes as scripts[i] says.
struct Surface {
  explicit Surface(std::initializer_list<Kind> kinds) {
    std::vector<std::unique_ptr<VideoEngine>> engines;
    for (Kind kind : kinds) {
      std::size_t i = engines.size();
      UINT message = kFirstEngineMessage + UINT(i);
      auto factory = [this, i](mfe::IMFMediaEngineClassFactory** made) {
        *made = (new FakeFactory(scripts[i], records[i]))
                    ->As<mfe::IMFMediaEngineClassFactory>();
        return S_OK;
      };
      if (kind == Kind::Mf)
        engines.push_back(std::make_unique<MfEngine>(
            hwnd, message,
            MfEngine::Library{&MFCreateAttributes, factory, nullptr},
            std::make_shared<FakeTarget>(records[i])));
      else
        engines.push_back(std::make_unique<DShowEngine>(hwnd, message));
    }
    chain =
        std::make_unique<EngineChain>(hwnd, kChainMessage, std::move(engines));
    chain->SetEvents(&events);
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
      for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);)
        if (msg.hwnd == hwnd && msg.message >= WM_APP)
          chain->Notified(msg.message, msg.wParam, msg.lParam);
        else
          DispatchMessageW(&msg);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, nullptr, nullptr);
  Script scripts[2];
  Seen records[2];
  Recorder events;
  std::unique_ptr<EngineChain> chain;
};

// Over two scripted media engines: when none opens the clip, the preferred
// engine's error is the one told (a load error without a code of the
// engine's is E_FAIL, whose low word is 16389); the next clip tries the
// preferred engine again, by its full path, since the engine resolves it
// as a URL; a clip that opens plays to its end.
TEST(EngineChain, EachClipGoesToTheFirstEngineThatOpensIt) {
  const HRESULT notFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const Script opens{}, huge{.width = 0xFFFFFFFF, .height = 3},
      failsLater{.answer = mfe::kEventError, .loadError = notFound},
      failsWithoutCode{.answer = mfe::kEventError},
      failsAtOnce{.setSource = notFound},
      otherFailsAtOnce{.setSource = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)};
  const struct {
    Script first, second;
    std::string news;
  } cases[] = {{opens, huge, "opened 1 320x240"},
               // A side past the largest is told as one past it.
               {failsLater, huge, "opened 1 1048577x3"},
               {failsAtOnce, huge, "opened 1 1048577x3"},
               {failsLater, otherFailsAtOnce, "failed 1 2"},
               {failsWithoutCode, failsLater, "failed 1 16389"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.news);
    Surface chain({Kind::Mf, Kind::Mf});
    chain.scripts[0] = c.first;
    chain.scripts[1] = c.second;
    chain.chain->Open(1, "a.mp4");
    chain.Pump(1);
    chain.chain->Open(2, "b.mp4");
    chain.Pump(2);
    ASSERT_EQ(chain.events.news.size(), 2u);
    EXPECT_EQ(chain.events.news[0], c.news);
    EXPECT_EQ(chain.records[0].engines, 2);
    EXPECT_EQ(chain.records[1].engines, c.news == cases[0].news ? 0 : 2);
    if (c.news[0] == 'o') {
      chain.chain->Play();
      chain.Pump(3);
      EXPECT_EQ(chain.events.news.back(), "ended 2");
    }
    chain.Finish();
    for (const Seen& seen : chain.records)
      EXPECT_EQ(seen.shutdowns, seen.engines) << "an engine left open";
    const std::wstring& source = chain.records[0].source;
    EXPECT_TRUE(source.find(L":\\") == 1 && source.ends_with(L"\\b.mp4"))
        << source;
  }
}

// Each new frame the engine reports is taken once, on the clip's thread,
// and drawn (its picture on screen is the end-to-end test's); the position
// is the engine's, for a clip without a picture too.
TEST(MfEngine, EachNewFrameIsTakenOnceAndPaintedOverTheSurface) {
  Surface s({Kind::Mf});
  Script& script = s.scripts[0];
  Seen& seen = s.records[0];
  script.frames = 3;
  HDC dc = CreateCompatibleDC(nullptr);
  std::uint64_t clip = 0;
  for (BOOL hasVideo : {TRUE, FALSE}) {
    SCOPED_TRACE(hasVideo);
    const int transfers = hasVideo ? 3 : 0;
    script.hasVideo = hasVideo;
    seen.transfers = 0;
    s.chain->Open(++clip, "clip.mp4");
    s.Pump(clip);
    EXPECT_FALSE(s.chain->Paint(dc, {8, 6})) << "painted before any frame";
    s.chain->Play();
    s.PumpUntil(
        [&] { return seen.transfers >= transfers && s.chain->Progress() > 0; });
    std::uint64_t position = s.chain->Progress();
    s.PumpUntil([] { return false; }, 100);  // the picture now stands still
    EXPECT_GE(position, 1260u);              // the engine's clock, in ms
    EXPECT_GT(s.chain->Progress(), position);
    EXPECT_EQ(seen.transfers, transfers);
    EXPECT_EQ(s.chain->Paint(dc, {8, 6}), bool(hasVideo));
  }
  DeleteDC(dc);
}

// The real DirectShow engine, alone: its graph is built on a thread of its
// own, which reports the outcome later.
TEST(DShowEngine, AClipItCannotOpenFailsLater) {
  Surface surface({Kind::DShow});
  surface.chain->Open(1, "Z:\\no\\such\\clip.avi");
  surface.Pump(1);
  ASSERT_EQ(surface.events.news.size(), 1u);
  EXPECT_EQ(surface.events.news[0].rfind("failed 1 ", 0), 0u);
  EXPECT_NE(surface.events.news[0], "failed 1 0");
}

// News of a stopped clip is dropped, and so is news an engine posts under
// an earlier clip's number once the next is open.
TEST(EngineChain, NewsOfAStoppedClipIsDropped) {
  Surface chain({Kind::Mf, Kind::Mf});
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
// an earlier clip's is dropped.
TEST(EngineChain, WithNoEngineAClipFailsLater) {
  Surface surface({});
  surface.chain->Open(1, "a.mp4");
  surface.chain->Open(2, "a.mp4");
  EXPECT_TRUE(surface.events.news.empty());
  surface.Pump(2, 300);
  EXPECT_EQ(surface.events.news, std::vector<std::string>{"failed 2 5"});
}

}  // namespace
}  // namespace tarnlight::win32
