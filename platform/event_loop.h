#pragma once

#include <functional>
#include <string>

namespace tarnlight {

// The GUI thread's queue of work. The functions run on the GUI thread, one
// at a time, after the event being handled now.
class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Runs `work` once, `ms` milliseconds from now. GUI thread only.
  virtual void After(int ms, std::function<void()> work) = 0;
};

enum class FileKind { Missing, Regular, Other };

// Questions to the file system that may wait on a slow disk or a stalled
// share, so they are answered later, on the GUI thread, never inside the
// call.
class Files {
 public:
  virtual ~Files() = default;
  // Whether `path` (a folder text in the stored syntax) can be read as a
  // regular file: a folder, a device or a pipe is Other. The answer may
  // never come.
  virtual void Probe(const std::string& path,
                     std::function<void(FileKind)> answer) = 0;
};

}  // namespace tarnlight
