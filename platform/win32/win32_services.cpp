#include "platform/win32/win32_services.h"

#include <tlhelp32.h>

#include <string>

#include "platform/controls.h"
#include "platform/error.h"
#include "platform/win32/command_line.h"
#include "platform/win32/media_work.h"
#include "platform/win32/text_convert.h"

namespace tarnlight::win32 {
namespace {

// Long enough for a graph to stop and go (tens of ms), short enough for a
// key to end the program at once as far as anyone can tell.
constexpr DWORD kMediaWorkMs = 1500;
// Under Wine a media engine's teardown (its Direct3D device among it) took
// up to 8 s on a loaded machine, and a thread ended in the midst of it
// crashes the exit. The windows are gone by then; only the process waits.
constexpr DWORD kMediaWorkUnderWineMs = 10000;

std::string ToAnsi(const std::string& utf8) {
  std::wstring wide = Widen(utf8);
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr,
                              0, nullptr, nullptr);
  std::string ansi(std::size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), ansi.data(), n,
                      nullptr, nullptr);
  return ansi;
}

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Under Wine, a thread that the end of the process finds inside one of the
// system's Unix libraries (GStreamer, behind both media stacks, can keep
// one there for good on a damaged file) crashes that end, and the program
// exits on a signal instead of with 0. Ended one at a time first, while the
// process still stands, they go quietly.
void EndOtherThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD self = GetCurrentThreadId(), process = GetCurrentProcessId();
  for (BOOL more = Thread32First(snapshot, &entry); more;
       more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != process || entry.th32ThreadID == self)
      continue;
    HANDLE thread =
        OpenThread(THREAD_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ThreadID);
    if (!thread) continue;
    TerminateThread(thread, 0);
    WaitForSingleObject(thread, 200);
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
}

}  // namespace

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message =
      n ? std::wstring(text, n) : L"Error " + std::to_wstring(code);
  if (text) LocalFree(text);
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' ||
          message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  return Narrow(message);
}

void ThrowLastError(const char* what) {
  DWORD code = GetLastError();
  throw PlatformError(int(code),
                      std::string(what) + ": " + SystemMessage(code));
}

PlatformError HresultError(long hr, const char* what) {
  return PlatformError(int(hr & 0xFFFF),
                       std::string(what) + ": " + SystemMessage(DWORD(hr)));
}

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, HBRUSH background) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}

LocalTime Win32Clock::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wHour, now.wMinute, now.wSecond};
}

std::uint64_t Win32Clock::Ticks() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return std::uint64_t(counter.QuadPart);
}

void Win32Shell::Open(const std::string& address, std::uintptr_t owner) {
  using ShellExecuteAFn =
      HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  static ShellExecuteAFn open = nullptr;
  if (!open) {
    HMODULE shell32 = LoadLibraryW(L"shell32.dll");
    if (!shell32) ThrowLastError("shell32.dll");
    open = BoundIn<ShellExecuteAFn>(shell32, "ShellExecuteA");
    if (!open) ThrowLastError("ShellExecuteA");
  }
  std::string ansiAddress = ToAnsi(address);
  open(reinterpret_cast<HWND>(owner), "open", ansiAddress.c_str(), nullptr,
       nullptr, SW_SHOWNORMAL);
}

void Win32MessageBox::MsgBox(const std::string& text,
                             const std::string& title) {
  MessageBoxW(GetActiveWindow(), Widen(text).c_str(), Widen(title).c_str(),
              MB_OK);
}

HCURSOR Win32Pointer::CursorOf(int code) {
  switch (ShapeOfPointer(code)) {
    case PointerShape::Busy:
      return LoadCursorW(nullptr, IDC_WAIT);
    case PointerShape::Help:
      return LoadCursorW(nullptr, IDC_HELP);
    case PointerShape::Default:
      break;
  }
  return nullptr;
}

void Win32Pointer::SetMousePointer(int code) {
  code_ = code;
  HCURSOR shape = CursorOf(code);
  SetCursor(shape ? shape : LoadCursorW(nullptr, IDC_ARROW));
}

std::string Win32Program::Command() {
  return Narrow(ArgumentsOf(GetCommandLineW()));
}

// Registry writes are durable already, and the windows have stopped their
// engines by now; what those still do on their own threads is given a
// moment to finish. TerminateProcess skips DLL detach, which a thread that
// will not finish would otherwise race.
void Win32Program::End() {
  bool wine = UnderWine();
  media_work::WaitUntilDone(wine ? kMediaWorkUnderWineMs : kMediaWorkMs);
  if (wine) EndOtherThreads();
  TerminateProcess(GetCurrentProcess(), 0);
  ExitProcess(0);
}

}  // namespace tarnlight::win32
