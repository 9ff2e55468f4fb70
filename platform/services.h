#pragma once

#include <cstdint>
#include <string>

#include "platform/event_loop.h"
#include "platform/files.h"
#include "platform/window.h"

namespace tarnlight {

// Per-user store addressed by application, section and key. A missing key
// reads as the empty string.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::string GetSetting(const std::string& app,
                                 const std::string& section,
                                 const std::string& key) = 0;
  virtual void SaveSetting(const std::string& app, const std::string& section,
                           const std::string& key,
                           const std::string& value) = 0;
};

struct LocalTime {
  int hour, minute, second;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // A fast-moving reading of the clock, for seeding.
  virtual std::uint64_t Ticks() = 0;
};

class Random {
 public:
  virtual ~Random() = default;
  virtual void Reseed(std::uint64_t clockTicks) = 0;
  // Uniform, 0 <= r < 1.
  virtual float Draw() = 0;
};

class Cursor {
 public:
  virtual ~Cursor() = default;
  // Raises (or lowers) the cursor display count by one and returns it; the
  // cursor shows while the count is 0 or more.
  virtual int ShowCursor(bool show) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens `address` (a web address or a file) with the program the desktop
  // chooses for it, on behalf of the window `owner` (0: none). Raises
  // PlatformError when the shell cannot be reached at all; what the opened
  // program then does is not reported.
  virtual void Open(const std::string& address, std::uintptr_t owner) = 0;
};

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // OK button only, no icon; returns when the user has closed it.
  virtual void MsgBox(const std::string& text, const std::string& title) = 0;
};

class Pointer {
 public:
  virtual ~Pointer() = default;
  // The program-wide pointer; 0 hands the choice back to each control.
  virtual void SetMousePointer(int code) = 0;
};

class Program {
 public:
  virtual ~Program() = default;
  // The argument text after the program's own path.
  virtual std::string Command() = 0;
  // Ends the whole program at once: every setting written has reached the
  // store, no further event is delivered and no window stays.
  [[noreturn]] virtual void End() = 0;
};

// Everything the portable code reaches the platform through.
struct Services {
  SettingsStore& store;
  Clock& clock;
  Random& random;
  Cursor& cursor;
  Shell& shell;
  MessageBox& messageBox;
  Pointer& pointer;
  Program& program;
  WindowFactory& windows;
  EventLoop& loop;
  Files& files;
};

}  // namespace tarnlight
