#include "platform/win32/dshow_player.h"

#include <algorithm>
#include <cmath>

#include "platform/error.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {
namespace {

constexpr UINT kGraphEvent = WM_APP + 1;
constexpr wchar_t kClass[] = L"TarnlightPlayer";

template <typename T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

int ToTwips(int pixels) { return int(std::lround(pixels * TwipsPerPixel())); }
int ToPixels(int twips) { return int(std::lround(twips / TwipsPerPixel())); }

}  // namespace

DShowPlayer::DShowPlayer(HWND parent, int left, int top, int width, int height)
    : parent_(parent),
      designWidth_(ToPixels(width)),
      designHeight_(ToPixels(height)) {
  RegisterWindowClass(kClass, &DShowPlayer::WndProc,
                      static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  hwnd_ = CreateWindowExW(
      0, kClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_TABSTOP, ToPixels(left),
      ToPixels(top), designWidth_, designHeight_, parent, nullptr,
      GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

DShowPlayer::~DShowPlayer() { ReleaseGraph(); }

LRESULT CALLBACK DShowPlayer::WndProc(HWND hwnd, UINT msg, WPARAM wp,
                                      LPARAM lp) {
  auto* self =
      reinterpret_cast<DShowPlayer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self) {
    if (msg == WM_CHAR && self->hooks_.keyPress) {
      self->hooks_.keyPress(int(wp));
      return 0;
    }
    if (msg == kGraphEvent) {
      self->DrainGraphEvents();
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

RECT DShowPlayer::Rect() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  MapWindowPoints(HWND_DESKTOP, parent_, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int DShowPlayer::Left() const { return ToTwips(Rect().left); }
int DShowPlayer::Top() const { return ToTwips(Rect().top); }
int DShowPlayer::Width() const {
  RECT r = Rect();
  return ToTwips(r.right - r.left);
}
int DShowPlayer::Height() const {
  RECT r = Rect();
  return ToTwips(r.bottom - r.top);
}

void DShowPlayer::SetLeft(int twips) {
  RECT r = Rect();
  SetWindowPos(hwnd_, nullptr, ToPixels(twips), r.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
}

void DShowPlayer::SetTop(int twips) {
  RECT r = Rect();
  SetWindowPos(hwnd_, nullptr, r.left, ToPixels(twips), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
}

void DShowPlayer::SetVisible(bool visible) {
  ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
  SetFocus(visible ? hwnd_ : parent_);
}

void DShowPlayer::Resize(int width, int height) {
  SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  if (video_) video_->SetWindowPosition(0, 0, width, height);
}

void DShowPlayer::ReleaseGraph() {
  playing_ = false;
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

// RenderFile opens the clip synchronously, so its size is known here.
void DShowPlayer::SetFileName(const std::string& path) {
  ReleaseGraph();
  HRESULT hr =
      CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                       IID_IGraphBuilder, reinterpret_cast<void**>(&graph_));
  if (FAILED(hr)) ThrowHresult(hr, "The player could not be created");
  IBaseFilter* renderer = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_VideoRenderer, nullptr,
                                 CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                 reinterpret_cast<void**>(&renderer)))) {
    graph_->AddFilter(renderer, L"Video Renderer");
    renderer->Release();
  }
  hr = graph_->RenderFile(Widen(path).c_str(), nullptr);
  if (FAILED(hr)) {
    ReleaseGraph();
    ThrowHresult(hr, "The clip could not be opened");
  }
  graph_->QueryInterface(IID_IMediaControl,
                         reinterpret_cast<void**>(&control_));
  graph_->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events_));
  graph_->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&video_));
  if (!control_ || !events_) {
    ReleaseGraph();
    throw PlatformError(err::kInvalidCall, "The player has no controls");
  }
  events_->SetNotifyWindow(reinterpret_cast<OAHWND>(hwnd_), kGraphEvent, 0);

  int width = designWidth_, height = designHeight_;
  IBasicVideo* basic = nullptr;
  long w = 0, h = 0;
  if (SUCCEEDED(graph_->QueryInterface(IID_IBasicVideo,
                                       reinterpret_cast<void**>(&basic))) &&
      SUCCEEDED(basic->GetVideoSize(&w, &h)) && w > 0 && h > 0) {
    RECT area{};
    GetClientRect(parent_, &area);
    double scale =
        std::min({1.0, double(area.right) / w, double(area.bottom) / h});
    width = std::max(1, int(w * scale));
    height = std::max(1, int(h * scale));
  } else {
    Release(video_);  // no picture: nothing to place
  }
  Release(basic);
  if (video_) {
    video_->put_Owner(reinterpret_cast<OAHWND>(hwnd_));
    video_->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    video_->put_MessageDrain(reinterpret_cast<OAHWND>(hwnd_));
  }
  Resize(width, height);
}

void DShowPlayer::Play() {
  if (!control_)
    throw PlatformError(err::kInvalidCall, "No clip is open to play");
  HRESULT hr = control_->Run();
  if (FAILED(hr)) ThrowHresult(hr, "The clip could not be started");
  playing_ = true;
}

// The end of the clip, and an error or abort while it plays, all send the
// saver back to pausing.
void DShowPlayer::DrainGraphEvents() {
  if (!events_) return;
  long code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  bool ended = false;
  while (events_ && SUCCEEDED(events_->GetEvent(&code, &p1, &p2, 0))) {
    events_->FreeEventParams(code, p1, p2);
    if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT)
      ended = true;
  }
  if (ended && playing_) {
    playing_ = false;
    control_->Stop();
    if (hooks_.endOfStream) hooks_.endOfStream();
  }
}

}  // namespace tarnlight::win32
