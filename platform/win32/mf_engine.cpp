#include "platform/win32/mf_engine.h"

#include <atomic>
#include <cmath>
#include <mutex>

#include "platform/win32/com_ptr.h"
#include "platform/win32/media_work.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {

// A clip's share, which the engine's threads use too: they only tell the
// clip's thread what they heard.
struct MfClip : ClipShare {
  // What the engine's threads report, as bits of `heard`.
  enum Heard : unsigned { kLoaded = 1, kError = 2, kEnded = 4 };

  using ClipShare::ClipShare;
  void Hear(unsigned what) {
    heard |= what;
    SetEvent(wake);
  }

  std::atomic<unsigned> heard{0};
  // Under the mutex: the newest frame, and whether Paint has not had it yet.
  Frame latest;
  bool fresh = false;
};

namespace {

// How often a playing clip's thread asks the engine for a new frame.
constexpr DWORD kFramePollMs = 10;

std::wstring FullPath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  full.resize(size);
  return full;
}

// Called on the engine's threads: it only hands on what its clip's thread
// waits for. Free-threaded, so its count is atomic.
class Notify final : public mfe::IMFMediaEngineNotify {
 public:
  explicit Notify(std::shared_ptr<MfClip> clip) : clip_(std::move(clip)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, mfe::kIidNotify)) {
      *out = static_cast<mfe::IMFMediaEngineNotify*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE EventNotify(DWORD event, DWORD_PTR,
                                        DWORD) override {
    switch (event) {
      case mfe::kEventLoadedMetadata:
        clip_->Hear(MfClip::kLoaded);
        break;
      case mfe::kEventError:
      case mfe::kEventAbort:
        clip_->Hear(MfClip::kError);
        break;
      case mfe::kEventEnded:
        clip_->Hear(MfClip::kEnded);
        break;
      default:
        break;
    }
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::shared_ptr<MfClip> clip_;
};

HRESULT ErrorOf(mfe::IMFMediaEngine& engine) {
  mfe::IMFMediaError* error = nullptr;
  HRESULT hr = SUCCEEDED(engine.GetError(&error)) && error
                   ? error->GetExtendedErrorCode()
                   : E_FAIL;
  Release(error);
  return SUCCEEDED(hr) ? E_FAIL : hr;  // an error without a code of its own
}

PixelSize SizeOf(mfe::IMFMediaEngine& engine) {
  DWORD w = 0, h = 0;
  if (!engine.HasVideo() || FAILED(engine.GetNativeVideoSize(&w, &h)))
    w = h = 0;
  return {PictureSide(w), PictureSide(h)};
}

// A frame server: the callback, the device the frames are drawn with and
// their format, and no playback window.
HRESULT MakeEngine(const std::shared_ptr<MfClip>& clip,
                   const MfEngine::Library& library, FrameTarget& frames,
                   mfe::IMFMediaEngine** engine) {
  IUnknown* manager = frames.Manager();
  if (!manager) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
  mfe::IMFMediaEngineClassFactory* factory = nullptr;
  IMFAttributes* attributes = nullptr;
  auto* notify = new Notify(clip);
  HRESULT hr = library.makeFactory(&factory);
  if (SUCCEEDED(hr)) hr = library.createAttributes(&attributes, 3);
  if (SUCCEEDED(hr)) hr = attributes->SetUnknown(mfe::kAttrCallback, notify);
  if (SUCCEEDED(hr))
    hr = attributes->SetUnknown(mfe::kAttrDxgiManager, manager);
  if (SUCCEEDED(hr))
    hr = attributes->SetUINT32(mfe::kAttrVideoOutputFormat, mfe::kOutputBgra);
  if (SUCCEEDED(hr)) hr = factory->CreateInstance(0, attributes, engine);
  Release(attributes);
  Release(factory);
  notify->Release();
  return hr;
}

// Takes the engine's frame when it has a new one, and has the window draw
// it.
void Present(MfClip& clip, mfe::IMFMediaEngine& engine, FrameTarget& frames,
             PixelSize size, LONGLONG& shownTime, Frame& frame) {
  LONGLONG time = 0;
  if (engine.OnVideoStreamTick(&time) != S_OK || time == shownTime) return;
  shownTime = time;
  if (FAILED(frames.Take(engine, size, frame))) return;
  {
    std::lock_guard<std::mutex> lock(clip.mutex);
    std::swap(clip.latest, frame);
    clip.fresh = true;
  }
  InvalidateRect(clip.window, nullptr, FALSE);
}

void Drive(MfClip& clip, mfe::IMFMediaEngine& engine, FrameTarget& frames) {
  bool opened = false, playing = false;
  PixelSize size;
  LONGLONG shownTime = 0;
  Frame frame;
  for (;;) {
    // A playing clip's position is read as often, for one without a
    // picture too: the stall rule watches it.
    WaitForSingleObject(clip.wake, playing ? kFramePollMs : INFINITE);
    unsigned heard = clip.heard.exchange(0);
    bool play;
    {
      std::lock_guard<std::mutex> lock(clip.mutex);
      if (clip.stop) return;
      // Taken once: a clip that has ended does not start over.
      play = clip.play && !playing;
      clip.play = false;
    }
    if (heard & MfClip::kError) {
      clip.Fail(ErrorOf(engine), "The clip could not be opened");
      return;
    }
    if ((heard & MfClip::kLoaded) && !opened) {
      opened = true;
      size = SizeOf(engine);
      {
        std::lock_guard<std::mutex> lock(clip.mutex);
        clip.size = size;
      }
      clip.Post(ClipShare::kOpened);
    }
    if (play) {
      HRESULT hr = engine.Play();
      if (FAILED(hr)) {
        clip.Fail(hr, "The clip could not be started");
        return;
      }
      playing = true;
      shownTime = -1;
    }
    if (!playing) continue;
    double seconds = engine.GetCurrentTime();
    clip.progress =
        seconds > 0 ? std::uint64_t(std::llround(seconds * 1000)) : 0;
    if (size.width > 0) Present(clip, engine, frames, size, shownTime, frame);
    if (heard & MfClip::kEnded) {
      clip.Post(ClipShare::kEnded);
      playing = false;
    }
  }
}

// Counted as media work from before it starts.
void RunClip(std::shared_ptr<MfClip> clip, MfEngine::Library library,
             std::shared_ptr<FrameTarget> frames) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  mfe::IMFMediaEngine* engine = nullptr;
  HRESULT hr =
      FAILED(init) ? init : MakeEngine(clip, library, *frames, &engine);
  if (SUCCEEDED(hr)) {
    engine->SetAutoPlay(FALSE);
    BSTR url = SysAllocString(FullPath(clip->path).c_str());
    hr = url ? engine->SetSource(url) : E_OUTOFMEMORY;
    SysFreeString(url);
  }
  if (FAILED(hr))
    clip->Fail(hr, "The clip could not be opened");
  else
    Drive(*clip, *engine, *frames);
  if (engine) engine->Shutdown();
  Release(engine);
  if (SUCCEEDED(init)) CoUninitialize();
  media_work::End();
}

HRESULT MakeSystemFactory(mfe::IMFMediaEngineClassFactory** factory) {
  return CoCreateInstance(mfe::kClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                          mfe::kIidClassFactory,
                          reinterpret_cast<void**>(factory));
}

}  // namespace

std::unique_ptr<MfEngine> MfEngine::Create(HWND window, UINT message) {
  // Kept loaded for the life of the process: the engine's threads may
  // outlive a shutdown by a moment.
  HMODULE mfplat =
      LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!mfplat) return nullptr;
  auto startup = BoundIn<HRESULT(WINAPI*)(ULONG, DWORD)>(mfplat, "MFStartup");
  auto shutdown = BoundIn<HRESULT(WINAPI*)()>(mfplat, "MFShutdown");
  auto createAttributes =
      BoundIn<CreateAttributesFn>(mfplat, "MFCreateAttributes");
  auto frames = MakeD3dFrameTarget(mfplat);
  if (!startup || !shutdown || !createAttributes || !frames ||
      FAILED(startup(mfe::kMfVersion, mfe::kMfStartupFull)))
    return nullptr;
  Library library{
      createAttributes, &MakeSystemFactory,
      std::shared_ptr<void>(nullptr, [shutdown](void*) { shutdown(); })};
  return std::make_unique<MfEngine>(window, message, std::move(library),
                                    std::move(frames));
}

void MfEngine::Open(const std::string& path) {
  Start<MfClip>(path, [library = library_, frames = frames_](auto clip) {
    RunClip(clip, library, frames);
  });
}

// The picture is stretched to the surface as it is drawn.
void MfEngine::Place(PixelSize) { InvalidateRect(window_, nullptr, FALSE); }

bool MfEngine::Paint(HDC dc, PixelSize area) {
  if (!clip_) return false;
  {
    auto* clip = static_cast<MfClip*>(clip_.get());
    std::lock_guard<std::mutex> lock(clip->mutex);
    if (clip->fresh) std::swap(shown_, clip->latest);
    clip->fresh = false;
  }
  if (shown_.pixels.empty()) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shown_.size.width;
  info.bmiHeader.biHeight = -shown_.size.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchDIBits(dc, 0, 0, area.width, area.height, 0, 0, shown_.size.width,
                shown_.size.height, shown_.pixels.data(), &info, DIB_RGB_COLORS,
                SRCCOPY);
  return true;
}

void MfEngine::Close() {
  shown_ = {};
  ClipThreadEngine::Close();
}

}  // namespace tarnlight::win32
