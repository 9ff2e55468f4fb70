#include "platform/win32/dshow_engine.h"

#include <mutex>
#include <optional>

#include "platform/win32/com_ptr.h"
#include "platform/win32/media_work.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {

struct DShowClip : ClipShare {
  using ClipShare::ClipShare;
  // Requested by the GUI thread: the surface's new size.
  std::optional<PixelSize> place;
};

namespace {

// One clip's graph, living on its own thread from creation to release.
class Graph {
 public:
  ~Graph() { Teardown(); }

  HRESULT Build(const std::wstring& path) {
    HRESULT hr =
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IGraphBuilder, reinterpret_cast<void**>(&graph_));
    if (FAILED(hr)) return hr;
    // Added before RenderFile so that the graph uses it rather than a
    // renderer that would draw outside the surface.
    if (SUCCEEDED(CoCreateInstance(CLSID_VideoRenderer, nullptr,
                                   CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   reinterpret_cast<void**>(&renderer_))))
      graph_->AddFilter(renderer_, L"Video Renderer");
    hr = graph_->RenderFile(path.c_str(), nullptr);
    if (FAILED(hr)) return hr;
    graph_->QueryInterface(IID_IMediaControl,
                           reinterpret_cast<void**>(&control_));
    graph_->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events_));
    graph_->QueryInterface(IID_IMediaSeeking,
                           reinterpret_cast<void**>(&seeking_));
    return control_ && events_ ? S_OK : E_NOINTERFACE;
  }

  PixelSize VideoSize() {
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

  // The renderer's window becomes a child of the surface, and what it
  // receives from the keyboard and the mouse goes on to the surface.
  void Attach(HWND surface) {
    if (FAILED(graph_->QueryInterface(IID_IVideoWindow,
                                      reinterpret_cast<void**>(&video_))))
      return;
    video_->put_Owner(reinterpret_cast<OAHWND>(surface));
    video_->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    video_->put_MessageDrain(reinterpret_cast<OAHWND>(surface));
  }

  void Place(PixelSize size) {
    if (video_) video_->SetWindowPosition(0, 0, size.width, size.height);
  }

  HRESULT Run() { return control_->Run(); }

  // True when the clip has ended, by finishing or by failing.
  bool Ended() {
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    bool ended = false;
    while (SUCCEEDED(events_->GetEvent(&code, &p1, &p2, 0))) {
      events_->FreeEventParams(code, p1, p2);
      if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT)
        ended = true;
    }
    return ended;
  }

  // The graph's position in ms, on its clock: it moves between the frames
  // of a picture that rarely changes.
  std::uint64_t Progress() {
    LONGLONG position = 0;
    if (seeking_ && SUCCEEDED(seeking_->GetCurrentPosition(&position)))
      return std::uint64_t(position > 0 ? position / 10000 : 0);
    return 0;
  }

  void Teardown() {
    if (control_) control_->Stop();
    if (video_) {
      video_->put_Visible(OAFALSE);
      video_->put_MessageDrain(0);
      video_->put_Owner(0);
    }
    Release(video_);
    Release(seeking_);
    Release(events_);
    Release(control_);
    Release(renderer_);
    Release(graph_);
  }

 private:
  IGraphBuilder* graph_ = nullptr;
  IBaseFilter* renderer_ = nullptr;
  IMediaControl* control_ = nullptr;
  IMediaEvent* events_ = nullptr;
  IMediaSeeking* seeking_ = nullptr;
  IVideoWindow* video_ = nullptr;
};

// Filters may make windows on this thread (the renderer's among them), so
// it answers messages while it waits for the GUI thread's requests.
void WaitForRequest(HANDLE wake, DWORD ms) {
  MsgWaitForMultipleObjects(1, &wake, FALSE, ms, QS_ALLINPUT);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Drive(DShowClip& clip, Graph& graph) {
  PixelSize size = graph.VideoSize();
  bool picture = size.width > 0;
  if (picture) graph.Attach(clip.window);
  {
    std::lock_guard<std::mutex> lock(clip.mutex);
    if (clip.stop) return;
    clip.size = size;
  }
  clip.Post(ClipShare::kOpened);
  bool playing = false;
  for (;;) {
    WaitForRequest(clip.wake, playing ? 200 : INFINITE);
    bool play;
    std::optional<PixelSize> place;
    {
      std::lock_guard<std::mutex> lock(clip.mutex);
      if (clip.stop) return;
      // Taken once: a clip that has ended does not start over.
      play = clip.play && !playing;
      clip.play = false;
      place.swap(clip.place);
    }
    if (place && picture) graph.Place(*place);
    if (play) {
      HRESULT hr = graph.Run();
      if (FAILED(hr)) {
        clip.Fail(hr, "The clip could not be started");
        return;
      }
      playing = true;
    }
    if (playing) {
      clip.progress = graph.Progress();
      if (graph.Ended()) {
        clip.Post(ClipShare::kEnded);
        playing = false;
      }
    }
  }
}

// Counted as media work from before it starts.
void RunClip(std::shared_ptr<DShowClip> clip) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    Graph graph;
    HRESULT hr = FAILED(init) ? init : graph.Build(clip->path);
    bool stopped;
    {
      std::lock_guard<std::mutex> lock(clip->mutex);
      stopped = clip->stop;
      if (FAILED(hr)) {
        clip->result = hr;
        clip->failure = "The clip could not be opened";
      }
    }
    if (FAILED(hr) && !stopped) clip->Post(ClipShare::kFailed);
    if (SUCCEEDED(hr) && !stopped) Drive(*clip, graph);
  }
  if (SUCCEEDED(init)) CoUninitialize();
  media_work::End();
}

}  // namespace

void DShowEngine::Open(const std::string& path) {
  Start<DShowClip>(path, RunClip);
}

void DShowEngine::Place(PixelSize size) {
  if (!clip_) return;
  auto* clip = static_cast<DShowClip*>(clip_.get());
  clip->Request([clip, size] { clip->place = size; });
}

}  // namespace tarnlight::win32
