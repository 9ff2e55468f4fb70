#include "platform/win32/win32_loop.h"

#include <exception>
#include <memory>

#include "platform/win32/dir_listing.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_services.h"

namespace tarnlight::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnlightLoop";
constexpr UINT kRunPosted = WM_APP + 1;

void RunCaught(const std::function<void()>& work) {
  try {
    if (work) work();
  } catch (const std::exception&) {
  }
}

DWORD WINAPI ThreadStart(void* parameter) {
  std::unique_ptr<std::function<void()>> work(
      static_cast<std::function<void()>*>(parameter));
  RunCaught(*work);
  return 0;
}

}  // namespace

Win32EventLoop::Win32EventLoop() {
  RegisterWindowClass(kClass, &Win32EventLoop::WndProc, nullptr);
  hwnd_ = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) ThrowLastError("The event loop's window could not be created");
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32EventLoop::~Win32EventLoop() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

void Win32EventLoop::After(int ms, std::function<void()> work) {
  UINT_PTR id = ++next_;
  UINT delay = ms < int(USER_TIMER_MINIMUM) ? USER_TIMER_MINIMUM : UINT(ms);
  if (!SetTimer(hwnd_, id, delay, nullptr))
    ThrowLastError("The timer could not be set");
  delayed_[id] = std::move(work);
}

void Win32EventLoop::RunTimer(UINT_PTR id) {
  KillTimer(hwnd_, id);
  auto it = delayed_.find(id);
  if (it == delayed_.end()) return;
  std::function<void()> work = std::move(it->second);
  delayed_.erase(it);
  RunCaught(work);
}

void Win32EventLoop::Post(HWND window, std::function<void()> work) {
  auto posted = std::make_unique<std::function<void()>>(std::move(work));
  if (PostMessageW(window, kRunPosted, 0,
                   reinterpret_cast<LPARAM>(posted.get())))
    posted.release();  // the window's procedure owns it now
}

LRESULT CALLBACK Win32EventLoop::WndProc(HWND hwnd, UINT msg, WPARAM wp,
                                         LPARAM lp) {
  try {
    auto* self = reinterpret_cast<Win32EventLoop*>(
        GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == kRunPosted) {
      std::unique_ptr<std::function<void()>> work(
          reinterpret_cast<std::function<void()>*>(lp));
      if (self) RunCaught(*work);
      return 0;
    }
    if (msg == WM_TIMER && self) {
      self->RunTimer(UINT_PTR(wp));
      return 0;
    }
  } catch (const std::exception&) {
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Win32 threads rather than std::thread: winpthreads, under it, can lose
// track of joinable threads while detached ones come and go.
void RunOnNewThread(std::function<void()> work) {
  auto owned = std::make_unique<std::function<void()>>(std::move(work));
  HANDLE thread =
      CreateThread(nullptr, 0, &ThreadStart, owned.get(), 0, nullptr);
  if (!thread) ThrowLastError("A thread could not be started");
  owned.release();  // the thread owns it now
  CloseHandle(thread);
}

FileKind Win32Files::KindOf(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
    return FileKind::Other;
  return FileKind::Regular;
}

void Win32Files::Probe(const std::string& path,
                       std::function<void(FileKind)> answer) {
  HWND window = loop_.window();
  RunOnNewThread([window, wide = Widen(path), answer = std::move(answer)] {
    FileKind kind = KindOf(GetFileAttributesW(wide.c_str()));
    Win32EventLoop::Post(window, [answer, kind] { answer(kind); });
  });
}

void Win32Files::List(const std::string& pattern, int mask,
                      std::function<void(FolderListing)> answer) {
  HWND window = loop_.window();
  RunOnNewThread([window, pattern, mask, answer = std::move(answer)] {
    Win32DirListing listing;
    auto found = std::make_shared<FolderListing>(
        FolderListing{ListAll(listing, pattern, mask), std::nullopt});
    Win32EventLoop::Post(window,
                         [answer, found] { answer(std::move(*found)); });
  });
}

}  // namespace tarnlight::win32
