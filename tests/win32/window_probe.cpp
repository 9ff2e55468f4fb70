// Reports what the tests cannot see from X, as Windows itself sees it:
//   window_probe TITLE  prints "<width> <height> <tool window 0|1>" for the
//                       client area of the top-level window with that title;
//   window_probe --icon FILE  prints "<width> <height>" of FILE's icon 1;
//   window_probe --close TITLE  posts WM_CLOSE to that window, as its close
//                       box or the task list would;
//   window_probe --saver-rects  prints the virtual screen, then each visible
//                       topmost saver or cover window, as "<left> <top>
//                       <right> <bottom>" lines.
// Prints nothing and fails when there is no such window or icon.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

std::wstring Wide(const char* text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
  return wide;
}

int ProbeWindow(const char* title) {
  HWND window = FindWindowW(nullptr, Wide(title).c_str());
  if (!window) return 1;
  RECT client{};
  GetClientRect(window, &client);
  LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  std::printf("%ld %ld %d\n", client.right, client.bottom,
              (exStyle & WS_EX_TOOLWINDOW) ? 1 : 0);
  return 0;
}

int CloseWindow(const char* title) {
  HWND window = FindWindowW(nullptr, Wide(title).c_str());
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

int ProbeSaverRects() {
  int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
  int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  std::printf("%d %d %d %d\n", x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN),
              y + GetSystemMetrics(SM_CYVIRTUALSCREEN));
  return EnumWindows(&PrintSaverRect, 0) ? 0 : 1;
}

int ProbeIcon(const char* file) {
  HMODULE module =
      LoadLibraryExW(Wide(file).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return 1;
  auto icon = static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, 0));
  ICONINFO info{};
  BITMAP colour{};
  if (!icon || !GetIconInfo(icon, &info) ||
      !GetObjectW(info.hbmColor, sizeof colour, &colour))
    return 1;
  std::printf("%ld %ld\n", colour.bmWidth, colour.bmHeight);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--saver-rects") == 0)
    return ProbeSaverRects();
  if (argc == 2) return ProbeWindow(argv[1]);
  if (argc == 3 && std::strcmp(argv[1], "--icon") == 0)
    return ProbeIcon(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--close") == 0)
    return CloseWindow(argv[2]);
  return 2;
}
