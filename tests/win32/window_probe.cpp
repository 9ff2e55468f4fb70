// Reports what the tests cannot see from X, as Windows itself sees it:
//   window_probe TITLE  the top-level window with that title;
//   window_probe --top  every top-level window;
//   window_probe --children HANDLE  each window inside that one;
// a line each, "<handle> <class> <visible> <topmost> <tool window> <owner>
// <takes input> <client width> <client height> <left> <top> <right>
// <bottom>", the flags 0 or 1 and the owner a handle or 0.
//   window_probe --close TITLE  posts WM_CLOSE to that window, as its close
//                       box or the task list would;
//   window_probe --host W H  shows a black, borderless W x H window, as the
//                       shell's preview monitor is, prints its line and
//                       then "gone" once it is destroyed.
// Prints nothing and fails when there is no such window. Reads pixels as
// the system has them, whatever its DPI.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

BOOL CALLBACK Print(HWND window, LPARAM) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
  RECT client{}, r{};
  GetClientRect(window, &client);
  GetWindowRect(window, &r);
  std::printf("%llu %ls %d %d %d %llu %d %ld %ld %ld %ld %ld %ld\n",
              reinterpret_cast<unsigned long long>(window), name,
              IsWindowVisible(window) ? 1 : 0, (ex & WS_EX_TOPMOST) ? 1 : 0,
              (ex & WS_EX_TOOLWINDOW) ? 1 : 0,
              reinterpret_cast<unsigned long long>(GetWindow(window, GW_OWNER)),
              IsWindowEnabled(window) ? 1 : 0, client.right, client.bottom,
              r.left, r.top, r.right, r.bottom);
  std::fflush(stdout);
  return TRUE;
}

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    std::printf("gone\n");
    std::fflush(stdout);
  }
  return DefWindowProcW(window, msg, wp, lp);
}

// The test ends the program itself, after the window has gone.
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
  Print(window, 0);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SetProcessDPIAware();
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (argc == 4 && command == "--host")
    return Host(std::atoi(argv[2]), std::atoi(argv[3]));
  if (argc == 2 && command == "--top") return EnumWindows(&Print, 0) ? 0 : 1;
  HWND window =
      argc == 3 && command == "--children"
          ? reinterpret_cast<HWND>(std::strtoull(argv[2], nullptr, 10))
          : FindWindowA(nullptr, argv[argc - 1]);
  if (!IsWindow(window) || argc > 3) return 1;
  if (command == "--close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  if (command != "--children") return Print(window, 0) ? 0 : 1;
  EnumChildWindows(window, &Print, 0);
  return 0;
}
