#include "platform/win32/win32_player.h"

#include <cmath>

#include "platform/error.h"
#include "platform/win32/dshow_engine.h"
#include "platform/win32/mf_engine.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnlightPlayer";
constexpr UINT kDShowMessage = WM_APP + 1;
constexpr UINT kMfMessage = WM_APP + 2;

int ToTwips(int pixels) { return int(std::lround(pixels * TwipsPerPixel())); }
int ToPixels(int twips) { return int(std::lround(twips / TwipsPerPixel())); }

HWND CreatePlayerWindow(HWND parent, WNDPROC proc, int left, int top, int width,
                        int height) {
  RegisterWindowClass(kClass, proc,
                      static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  return CreateWindowExW(
      0, kClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_TABSTOP, ToPixels(left),
      ToPixels(top), ToPixels(width), ToPixels(height), parent, nullptr,
      GetModuleHandleW(nullptr), nullptr);
}

// Media Foundation first, where it exists: it plays what stock Windows
// plays (MP4/H.264 among them). DirectShow takes what it cannot open.
std::vector<std::unique_ptr<VideoEngine>> EnginesFor(HWND window) {
  std::vector<std::unique_ptr<VideoEngine>> engines;
  if (auto mf = MfEngine::Create(window, kMfMessage))
    engines.push_back(std::move(mf));
  engines.push_back(std::make_unique<DShowEngine>(window, kDShowMessage));
  return engines;
}

// Only what can be read as a file is handed to the engines, never a folder
// or a device.
void RequireFile(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
    throw PlatformError(err::kFileNotFound, "File not found: " + path);
}

}  // namespace

Win32Player::Win32Player(HWND parent, int left, int top, int width, int height)
    : hwnd_(CreatePlayerWindow(parent, &Win32Player::WndProc, left, top, width,
                               height)),
      parent_(parent),
      designSize_{ToPixels(width), ToPixels(height)},
      engines_(EnginesFor(hwnd_)) {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Player::~Win32Player() { Stop(); }

void Win32Player::Stop() {
  playing_ = false;
  engines_.Close();
}

LRESULT CALLBACK Win32Player::WndProc(HWND hwnd, UINT msg, WPARAM wp,
                                      LPARAM lp) {
  auto* self =
      reinterpret_cast<Win32Player*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && msg == WM_CHAR && self->hooks_.keyPress) {
    self->hooks_.keyPress(int(wp));
    return 0;
  }
  if (self && (msg == kDShowMessage || msg == kMfMessage)) {
    self->EngineNotified(msg, wp, lp);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void Win32Player::EngineNotified(UINT msg, WPARAM wp, LPARAM lp) {
  VideoEngine* engine = engines_.Current();
  if (!engine || !engine->Notified(msg, wp, lp) || !playing_) return;
  playing_ = false;
  if (hooks_.endOfStream) hooks_.endOfStream();
}

RECT Win32Player::Rect() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  MapWindowPoints(HWND_DESKTOP, parent_, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int Win32Player::Left() const { return ToTwips(Rect().left); }
int Win32Player::Top() const { return ToTwips(Rect().top); }
int Win32Player::Width() const {
  RECT r = Rect();
  return ToTwips(r.right - r.left);
}
int Win32Player::Height() const {
  RECT r = Rect();
  return ToTwips(r.bottom - r.top);
}

void Win32Player::SetLeft(int twips) {
  RECT r = Rect();
  SetWindowPos(hwnd_, nullptr, ToPixels(twips), r.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
}

void Win32Player::SetTop(int twips) {
  RECT r = Rect();
  SetWindowPos(hwnd_, nullptr, r.left, ToPixels(twips), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
}

void Win32Player::SetVisible(bool visible) {
  ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
  SetFocus(visible ? hwnd_ : parent_);
}

PixelSize Win32Player::ShownSize(PixelSize clip) const {
  if (clip.width <= 0 || clip.height <= 0) return designSize_;
  RECT area{};
  GetClientRect(parent_, &area);
  return FitInside(clip, {int(area.right), int(area.bottom)});
}

void Win32Player::SetFileName(const std::string& path) {
  Stop();
  RequireFile(path);
  PixelSize shown = ShownSize(engines_.Open(path));
  SetWindowPos(hwnd_, nullptr, 0, 0, shown.width, shown.height,
               SWP_NOMOVE | SWP_NOZORDER);
  engines_.Current()->Place(shown);
}

void Win32Player::Play() {
  VideoEngine* engine = engines_.Current();
  if (!engine)
    throw PlatformError(err::kInvalidCall, "No clip is open to play");
  engine->Play();
  playing_ = true;
}

}  // namespace tarnlight::win32
