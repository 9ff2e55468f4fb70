// Reports what the tests cannot see from X, as Windows itself sees it:
//   window_probe TITLE  prints "<width> <height> <tool window 0|1> <owner>
//                       <takes input 0|1>" for the client area of the
//                       top-level window with that title, the owner being a
//                       handle or 0;
//   window_probe --close TITLE  posts WM_CLOSE to that window, as its close
//                       box or the task list would;
//   window_probe --saver-rects  prints each visible topmost saver or cover
//                       window, as "<left> <top> <right> <bottom>" lines;
//   window_probe --children HANDLE  prints each window inside that one as
//                       "<class> <visible 0|1> <left> <top> <right>
//                       <bottom>";
//   window_probe --host W H  shows a black, borderless W x H window, as the
//                       shell's preview monitor is, and prints "<handle>
//                       <left> <top> <right> <bottom>"; a line on stdin
//                       destroys the window and prints "gone".
// Prints nothing and fails when there is no such window. Reads
// pixels as the system has them, whatever its DPI.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

unsigned long long Number(HWND window) {
  return static_cast<unsigned long long>(
      reinterpret_cast<std::uintptr_t>(window));
}

HWND HandleOf(const char* number) {
  return reinterpret_cast<HWND>(
      static_cast<std::uintptr_t>(std::strtoull(number, nullptr, 10)));
}

int ProbeWindow(const char* title) {
  HWND window = FindWindowA(nullptr, title);
  if (!window) return 1;
  RECT client{};
  GetClientRect(window, &client);
  LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  HWND owner = GetWindow(window, GW_OWNER);
  std::printf("%ld %ld %d %llu %d\n", client.right, client.bottom,
              (exStyle & WS_EX_TOOLWINDOW) ? 1 : 0, Number(owner),
              IsWindowEnabled(window) ? 1 : 0);
  return 0;
}

int CloseWindow(const char* title) {
  HWND window = FindWindowA(nullptr, title);
  return window && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

BOOL CALLBACK PrintSaverRect(HWND window, LPARAM) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  bool ours = std::wcscmp(name, L"TarnlightSaver") == 0 ||
              std::wcscmp(name, L"TarnlightCover") == 0;
  RECT r{};
  if (ours && IsWindowVisible(window) &&
      (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) &&
      GetWindowRect(window, &r))
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return TRUE;
}

BOOL CALLBACK PrintChild(HWND window, LPARAM) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  RECT r{};
  GetWindowRect(window, &r);
  std::printf("%ls %d %ld %ld %ld %ld\n", name, IsWindowVisible(window) ? 1 : 0,
              r.left, r.top, r.right, r.bottom);
  return TRUE;
}

int ProbeChildren(const char* handle) {
  HWND window = HandleOf(handle);
  if (!IsWindow(window)) return 1;
  EnumChildWindows(window, &PrintChild, 0);
  return 0;
}

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    std::printf("gone\n");
    std::fflush(stdout);
  }
  return DefWindowProcW(window, msg, wp, lp);
}

// The test ends the program itself, after the window has gone.
DWORD WINAPI CloseOnInput(void* window) {
  char line[64];
  if (std::fgets(line, sizeof line, stdin))
    PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
  return 0;
}

int Host(int width, int height) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &HostProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = L"TarnlightTestHost";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"Preview host",
                                WS_POPUP | WS_VISIBLE, 64, 48, width, height,
                                nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) return 1;
  RECT r{};
  GetWindowRect(window, &r);
  std::printf("%llu %ld %ld %ld %ld\n", Number(window), r.left, r.top, r.right,
              r.bottom);
  std::fflush(stdout);
  if (!CreateThread(nullptr, 0, &CloseOnInput, window, 0, nullptr)) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SetProcessDPIAware();
  if (argc == 4 && std::strcmp(argv[1], "--host") == 0)
    return Host(std::atoi(argv[2]), std::atoi(argv[3]));
  if (argc == 2 && std::strcmp(argv[1], "--saver-rects") == 0)
    return EnumWindows(&PrintSaverRect, 0) ? 0 : 1;
  if (argc == 2) return ProbeWindow(argv[1]);
  if (argc == 3 && std::strcmp(argv[1], "--children") == 0)
    return ProbeChildren(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--close") == 0)
    return CloseWindow(argv[2]);
  return 2;
}
