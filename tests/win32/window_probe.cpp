// Prints what the tests cannot see from X: the client size and extended
// style of the top-level window with the given title, as
// "<width> <height> <toolwindow 0|1>", or nothing when there is none.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  int length = MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, nullptr, 0);
  std::wstring title(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, title.data(), length);
  HWND window = FindWindowW(nullptr, title.c_str());
  if (!window) return 1;
  RECT client{};
  GetClientRect(window, &client);
  LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  std::printf("%ld %ld %d\n", client.right, client.bottom,
              (exStyle & WS_EX_TOOLWINDOW) ? 1 : 0);
  return 0;
}
