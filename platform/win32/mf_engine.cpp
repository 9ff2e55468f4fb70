#include "platform/win32/mf_engine.h"

#include <algorithm>
#include <atomic>

#include "platform/error.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {
namespace {

constexpr ULONGLONG kLoadTimeoutMs = 2000;
constexpr int kLargestSide = 1 << 20;

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

// Called on the engine's threads: it only records how loading went and
// posts what ends a clip. Free-threaded, so its count is atomic.
class MfEngine::Notify final : public mfe::IMFMediaEngineNotify {
 public:
  Notify(HWND window, UINT message, std::uintptr_t clip)
      : window_(window),
        message_(message),
        clip_(clip),
        loaded_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notify() {
    if (loaded_) CloseHandle(loaded_);
  }

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
    if (event == mfe::kEventLoadedMetadata || event == mfe::kEventError) {
      DWORD none = 0;
      outcome_.compare_exchange_strong(none, event);
      if (loaded_) SetEvent(loaded_);
    }
    if (!detached_ && (event == mfe::kEventEnded || event == mfe::kEventError ||
                       event == mfe::kEventAbort))
      PostMessageW(window_, message_, clip_, LPARAM(event));
    return S_OK;
  }

  void Detach() { detached_ = true; }
  HANDLE loaded() const { return loaded_; }
  DWORD outcome() const { return outcome_; }

 private:
  std::atomic<ULONG> refs_{1};
  std::atomic<bool> detached_{false};
  std::atomic<DWORD> outcome_{0};
  HWND window_;
  UINT message_;
  std::uintptr_t clip_;
  HANDLE loaded_;
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
  ThrowHresult(hr, what);
}

void MfEngine::CreateEngine() {
  notify_ = new Notify(window_, message_, ++clip_);
  IMFAttributes* attributes = nullptr;
  // Without its event the wait could not end early. Not the last error,
  // which may read as success.
  HRESULT hr = notify_->loaded() ? library_.createAttributes(&attributes, 2)
                                 : E_OUTOFMEMORY;
  if (SUCCEEDED(hr)) hr = attributes->SetUnknown(mfe::kAttrCallback, notify_);
  if (SUCCEEDED(hr))
    hr = attributes->SetUINT64(mfe::kAttrPlaybackHwnd,
                               reinterpret_cast<UINT64>(window_));
  if (SUCCEEDED(hr)) hr = factory_->CreateInstance(0, attributes, &engine_);
  Release(attributes);
  if (FAILED(hr)) Fail(hr, "The media engine could not be created");
}

// Waits on the GUI thread, still answering messages other threads send to
// its windows (the engine's renderer sends some while it opens the clip).
bool MfEngine::WaitForMetadata() {
  HANDLE loaded = notify_->loaded();
  ULONGLONG deadline = GetTickCount64() + kLoadTimeoutMs;
  for (ULONGLONG now = GetTickCount64(); now < deadline;
       now = GetTickCount64()) {
    DWORD r = MsgWaitForMultipleObjects(1, &loaded, FALSE,
                                        DWORD(deadline - now), QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_OBJECT_0 + 1) return false;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return false;
}

// Each clip gets an engine of its own, so that nothing a finished clip
// still reports can be taken for news of the next one.
PixelSize MfEngine::Open(const std::string& path) {
  Close();
  CreateEngine();
  engine_->SetAutoPlay(FALSE);
  BSTR url = SysAllocString(FullPath(path).c_str());
  HRESULT hr = url ? engine_->SetSource(url) : E_OUTOFMEMORY;
  SysFreeString(url);
  if (FAILED(hr)) Fail(hr, "The clip could not be opened");
  if (!WaitForMetadata()) {
    Close();
    throw PlatformError(err::kPathAccess,
                        "The clip took too long to open: " + path);
  }
  if (notify_->outcome() == mfe::kEventError) {
    mfe::IMFMediaError* error = nullptr;
    hr = SUCCEEDED(engine_->GetError(&error)) && error
             ? error->GetExtendedErrorCode()
             : E_FAIL;
    if (SUCCEEDED(hr)) hr = E_FAIL;  // an error without a code of its own
    Release(error);
    Fail(hr, "The clip could not be opened");
  }
  DWORD w = 0, h = 0;
  if (!engine_->HasVideo() || FAILED(engine_->GetNativeVideoSize(&w, &h)))
    w = h = 0;
  return {int(std::min<DWORD>(w, kLargestSide)),
          int(std::min<DWORD>(h, kLargestSide))};
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
  if (FAILED(hr)) ThrowHresult(hr, "The clip could not be started");
}

void MfEngine::Close() {
  if (notify_) notify_->Detach();
  if (engine_) engine_->Shutdown();
  Release(engine_);
  Release(notify_);
}

bool MfEngine::Notified(unsigned message, std::uintptr_t wp, std::intptr_t) {
  return message == message_ && engine_ && wp == clip_;
}

}  // namespace tarnlight::win32
