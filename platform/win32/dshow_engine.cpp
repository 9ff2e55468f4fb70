#include "platform/win32/dshow_engine.h"

#include "platform/error.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {

void DShowEngine::Close() {
  if (control_) control_->Stop();
  if (events_) events_->SetNotifyWindow(0, 0, 0);
  if (video_) {
    video_->put_Visible(OAFALSE);
    video_->put_Owner(0);
  }
  Release(video_);
  Release(events_);
  Release(control_);
  Release(graph_);
}

// Added before RenderFile so that the graph uses it rather than a renderer
// that would draw outside the player's window.
void DShowEngine::AddGdiRenderer() {
  IBaseFilter* renderer = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_VideoRenderer, nullptr,
                                 CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                 reinterpret_cast<void**>(&renderer)))) {
    graph_->AddFilter(renderer, L"Video Renderer");
    renderer->Release();
  }
}

PixelSize DShowEngine::VideoSize() {
  IBasicVideo* basic = nullptr;
  long w = 0, h = 0;
  if (SUCCEEDED(graph_->QueryInterface(IID_IBasicVideo,
                                       reinterpret_cast<void**>(&basic))) &&
      FAILED(basic->GetVideoSize(&w, &h)))
    w = h = 0;
  Release(basic);
  if (w <= 0 || h <= 0) return {};
  return {int(w), int(h)};
}

// RenderFile opens the clip synchronously, so its size is known here.
PixelSize DShowEngine::Open(const std::string& path) {
  Close();
  HRESULT hr =
      CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                       IID_IGraphBuilder, reinterpret_cast<void**>(&graph_));
  if (FAILED(hr)) ThrowHresult(hr, "The player could not be created");
  AddGdiRenderer();
  hr = graph_->RenderFile(Widen(path).c_str(), nullptr);
  if (FAILED(hr)) {
    Close();
    ThrowHresult(hr, "The clip could not be opened");
  }
  graph_->QueryInterface(IID_IMediaControl,
                         reinterpret_cast<void**>(&control_));
  graph_->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events_));
  graph_->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&video_));
  if (!control_ || !events_) {
    Close();
    throw PlatformError(err::kInvalidCall, "The player has no controls");
  }
  events_->SetNotifyWindow(reinterpret_cast<OAHWND>(window_), message_, 0);
  PixelSize size = VideoSize();
  if (size.width == 0) Release(video_);  // no picture: nothing to place
  if (video_) {
    video_->put_Owner(reinterpret_cast<OAHWND>(window_));
    video_->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    video_->put_MessageDrain(reinterpret_cast<OAHWND>(window_));
  }
  return size;
}

void DShowEngine::Place(PixelSize size) {
  if (video_) video_->SetWindowPosition(0, 0, size.width, size.height);
}

void DShowEngine::Play() {
  if (!control_)
    throw PlatformError(err::kInvalidCall, "No clip is open to play");
  HRESULT hr = control_->Run();
  if (FAILED(hr)) ThrowHresult(hr, "The clip could not be started");
}

// The end of the clip, and an error or abort while it plays, all end it.
bool DShowEngine::Notified(unsigned message, std::uintptr_t, std::intptr_t) {
  if (message != message_ || !events_) return false;
  long code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  bool ended = false;
  while (SUCCEEDED(events_->GetEvent(&code, &p1, &p2, 0))) {
    events_->FreeEventParams(code, p1, p2);
    if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT)
      ended = true;
  }
  if (ended) control_->Stop();
  return ended;
}

}  // namespace tarnlight::win32
