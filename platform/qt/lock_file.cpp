#include "platform/qt/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace tarnlight::qt {
namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

LockFile::~LockFile() {
  if (fd_ < 0) return;
  // Removed while still held, so that no other program can have taken the
  // same file meanwhile.
  ::unlink(path_.c_str());
  ::close(fd_);
}

std::string LockFile::Take(std::chrono::milliseconds patience) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + patience;
  for (;;) {
    struct stat named {};
    // Never opened when it is no file: a FIFO or a device may block or act.
    if (::stat(path_.c_str(), &named) == 0 && !S_ISREG(named.st_mode))
      return "the lock " + path_ + " is not a regular file";
    const int fd =
        ::open(path_.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
      return "the lock " + path_ + " cannot be created (" +
             std::strerror(errno) + ")";
    }
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd);
      return "the lock " + path_ + " is not a regular file";
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      // The owner before may have removed the file between the open and
      // the flock; then the lock is on a file nobody else will look at.
      if (::stat(path_.c_str(), &named) == 0 && SameFile(named, held)) {
        fd_ = fd;
        return {};
      }
      ::close(fd);
      continue;
    }
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK)
      return "the lock " + path_ + " cannot be taken (" + std::strerror(error) +
             ")";
    if (Clock::now() >= deadline)
      return "another program holds the lock " + path_;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace tarnlight::qt
