#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/services.h"

namespace tarnlight::qt {

class QtClock final : public Clock {
 public:
  LocalTime Now() override;
  std::uint64_t Ticks() override;
};

// X11 and Wayland keep no cursor display count. The saver hides the pointer
// only over its own windows, and it comes back by itself when they go, so
// the count only has to look right to its callers.
class QtCursor final : public Cursor {
 public:
  int ShowCursor(bool show) override;

 private:
  int count_ = 0;
};

// Opens addresses with the desktop's handler, through QDesktopServices. An
// address that no program opens goes unnoticed, as on Windows.
class QtShell final : public Shell {
 public:
  void Open(const std::string& address, std::uintptr_t owner) override;
};

class QtMessageBox final : public MessageBox {
 public:
  void MsgBox(const std::string& text, const std::string& title) override;
};

class QtPointer final : public Pointer {
 public:
  void SetMousePointer(int code) override;

 private:
  bool overriding_ = false;
};

// Work for later on the GUI thread, through Qt's timers.
class QtLoop final : public EventLoop {
 public:
  void After(int ms, std::function<void()> work) override;
};

class QtProgram final : public Program {
 public:
  // `command`: the arguments after the program's path, joined by blanks,
  // so that "/c:1234" and "/p 1234" read as the Windows command line would.
  // `lastly`: what must go with the process, run just before it ends; it
  // must not raise.
  QtProgram(std::string command, std::function<void()> lastly)
      : command_(std::move(command)), lastly_(std::move(lastly)) {}
  std::string Command() override { return command_; }
  // Nothing here can fail: every save reached the store when it was made.
  [[noreturn]] void End() override;

 private:
  std::string command_;
  std::function<void()> lastly_;
};

}  // namespace tarnlight::qt
