#include "platform/win32/mf_engine.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/win32/com_ptr.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {
namespace {

template <typename Fn>
Fn Bind(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::wstring FullPath(const std::string& path) {
  std::wstring wide = Widen(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  full.resize(size);
  return full;
}

}  // namespace

// Called on the engine's threads: it only posts what it hears to the
// window, tagged with its clip. Free-threaded, so its count is atomic.
class MfEngine::Notify final : public mfe::IMFMediaEngineNotify {
 public:
  Notify(HWND window, UINT message, WPARAM clip)
      : window_(window), message_(message), clip_(clip) {}

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
    if (!detached_ &&
        (event == mfe::kEventLoadedMetadata || event == mfe::kEventEnded ||
         event == mfe::kEventError || event == mfe::kEventAbort))
      PostMessageW(window_, message_, clip_, LPARAM(event));
    return S_OK;
  }

  void Detach() { detached_ = true; }

 private:
  std::atomic<ULONG> refs_{1};
  std::atomic<bool> detached_{false};
  HWND window_;
  UINT message_;
  WPARAM clip_;
};

std::unique_ptr<MfEngine> MfEngine::Create(HWND window, UINT message) {
  // Kept loaded for the life of the process: the engine's threads may
  // outlive a shutdown by a moment.
  HMODULE mfplat =
      LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!mfplat) return nullptr;
  auto startup = Bind<HRESULT(WINAPI*)(ULONG, DWORD)>(mfplat, "MFStartup");
  auto shutdown = Bind<ShutdownFn>(mfplat, "MFShutdown");
  auto createAttributes =
      Bind<CreateAttributesFn>(mfplat, "MFCreateAttributes");
  if (!startup || !shutdown || !createAttributes ||
      FAILED(startup(mfe::kMfVersion, mfe::kMfStartupFull)))
    return nullptr;
  mfe::IMFMediaEngineClassFactory* factory = nullptr;
  if (FAILED(CoCreateInstance(mfe::kClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                              mfe::kIidClassFactory,
                              reinterpret_cast<void**>(&factory)))) {
    shutdown();
    return nullptr;
  }
  return std::make_unique<MfEngine>(
      window, message, Library{createAttributes, shutdown}, factory);
}

MfEngine::~MfEngine() {
  Close();
  Release(factory_);
  library_.shutdown();
}

void MfEngine::Fail(HRESULT hr, const char* what) {
  Close();
  throw HresultError(hr, what);
}

void MfEngine::CreateEngine() {
  notify_ = new Notify(window_, message_, ++clip_);
  IMFAttributes* attributes = nullptr;
  HRESULT hr = library_.createAttributes(&attributes, 2);
  if (SUCCEEDED(hr)) hr = attributes->SetUnknown(mfe::kAttrCallback, notify_);
  if (SUCCEEDED(hr))
    hr = attributes->SetUINT64(mfe::kAttrPlaybackHwnd,
                               reinterpret_cast<UINT64>(window_));
  if (SUCCEEDED(hr)) hr = factory_->CreateInstance(0, attributes, &engine_);
  Release(attributes);
  if (FAILED(hr)) Fail(hr, "The media engine could not be created");
}

// Each clip gets an engine of its own, so that nothing a finished clip
// still reports can be taken for news of the next one.
void MfEngine::Open(const std::string& path) {
  Close();
  CreateEngine();
  engine_->SetAutoPlay(FALSE);
  BSTR url = SysAllocString(FullPath(path).c_str());
  HRESULT hr = url ? engine_->SetSource(url) : E_OUTOFMEMORY;
  SysFreeString(url);
  if (FAILED(hr)) Fail(hr, "The clip could not be opened");
}

News MfEngine::Notified(UINT message, WPARAM wp, LPARAM lp) {
  if (message != message_ || !engine_ || wp != clip_) return News::None;
  switch (DWORD(lp)) {
    case mfe::kEventLoadedMetadata:
      return News::Opened;
    case mfe::kEventEnded:
      return News::Ended;
    case mfe::kEventError:
    case mfe::kEventAbort:
      return News::Failed;
    default:
      return News::None;
  }
}

PixelSize MfEngine::Size() const {
  DWORD w = 0, h = 0;
  if (!engine_ || !engine_->HasVideo() ||
      FAILED(engine_->GetNativeVideoSize(&w, &h)))
    w = h = 0;
  return {PictureSide(w), PictureSide(h)};
}

PlatformError MfEngine::Error() const {
  mfe::IMFMediaError* error = nullptr;
  HRESULT hr = engine_ && SUCCEEDED(engine_->GetError(&error)) && error
                   ? error->GetExtendedErrorCode()
                   : E_FAIL;
  if (SUCCEEDED(hr)) hr = E_FAIL;  // an error without a code of its own
  Release(error);
  return HresultError(hr, "The clip could not be opened");
}

void MfEngine::Place(PixelSize size) {
  mfe::IMFMediaEngineEx* ex = nullptr;
  if (!engine_ || FAILED(engine_->QueryInterface(
                      mfe::kIidEngineEx, reinterpret_cast<void**>(&ex))))
    return;
  RECT target{0, 0, size.width, size.height};
  ex->UpdateVideoStream(nullptr, &target, nullptr);
  ex->Release();
}

void MfEngine::Play() {
  if (!engine_)
    throw PlatformError(err::kInvalidCall, "No clip is open to play");
  HRESULT hr = engine_->Play();
  if (FAILED(hr)) throw HresultError(hr, "The clip could not be started");
}

void MfEngine::Close() {
  if (notify_) notify_->Detach();
  if (engine_) engine_->Shutdown();
  Release(engine_);
  Release(notify_);
}

std::uint64_t MfEngine::Progress() const {
  double seconds = engine_ ? engine_->GetCurrentTime() : 0.0;
  return seconds > 0 ? std::uint64_t(std::llround(seconds * 1000)) : 0;
}

}  // namespace tarnlight::win32
