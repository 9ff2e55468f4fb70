#pragma once

#include <chrono>
#include <string>
#include <utility>

namespace tarnlight::qt {

// An exclusive lock between processes: an flock on the file `path`, which
// is made for the purpose and removed when the lock is let go. The kernel
// lets go of a dead owner's lock, so a file left by a killed program holds
// nobody up. Interoperates with QLockFile, which also takes an flock.
class LockFile {
 public:
  explicit LockFile(std::string path) : path_(std::move(path)) {}
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Takes the lock, trying for at most `patience` while another program
  // holds it; returns "" once held, or why it could not be taken.
  std::string Take(std::chrono::milliseconds patience);

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace tarnlight::qt
