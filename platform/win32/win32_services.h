#pragma once

#include "platform/error.h"
#include "platform/services.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {

class Win32Clock final : public Clock {
 public:
  LocalTime Now() override;
  std::uint64_t Ticks() override;
};

class Win32Cursor final : public Cursor {
 public:
  int ShowCursor(bool show) override {
    return ::ShowCursor(show ? TRUE : FALSE);
  }
};

// ShellExecuteA's "open", shown normally; bound by name at first use, and
// the address goes over in the ANSI code page.
class Win32Shell final : public Shell {
 public:
  void Open(const std::string& address, std::uintptr_t owner) override;
};

class Win32MessageBox final : public MessageBox {
 public:
  void MsgBox(const std::string& text, const std::string& title) override;
};

// The program-wide pointer; windows ask it in WM_SETCURSOR.
class Win32Pointer final : public Pointer {
 public:
  void SetMousePointer(int code) override;
  int code() const { return code_; }
  // The shape for `code`, or null for the default.
  static HCURSOR CursorOf(int code);

 private:
  int code_ = 0;
};

class Win32Program final : public Program {
 public:
  // The command line after the program's path, quoted or not.
  std::string Command() override;
  [[noreturn]] void End() override;
};

// Registers a window class of this module; a second call for the same
// name is harmless.
void RegisterWindowClass(const wchar_t* name, WNDPROC proc, HBRUSH background);

// The system's text for a Win32 error code, without its line end or full
// stop.
std::string SystemMessage(DWORD code);

// Raises the last Win32 error as a PlatformError.
[[noreturn]] void ThrowLastError(const char* what);
// An HRESULT as a PlatformError: its low word as the number, the system's
// text for it after `what`.
PlatformError HresultError(long hr, const char* what);

}  // namespace tarnlight::win32
