#include "platform/qt/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <system_error>

namespace tarnlight::qt {
namespace {

std::string Reason(const std::string& what, int error) {
  return what + " (" + std::generic_category().message(error) + ")";
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += std::size_t(wrote);
  }
  return true;
}

// Fresh names "<target>.XXXXXX" for the new file, as QSettings named its
// copies.
class CopyNames {
 public:
  explicit CopyNames(const std::string& target)
      : target_(target),
        random_(
            unsigned(
                std::chrono::steady_clock::now().time_since_epoch().count()) ^
            unsigned(::getpid())) {}
  std::string Next() {
    constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string name = target_ + ".";
    for (int i = 0; i < 6; ++i) name += kLetters[random_() % 52];
    return name;
  }

 private:
  const std::string& target_;
  std::minstd_rand random_;
};

constexpr int kAttempts = 100;

int CreateNamed(CopyNames& names, std::string& name) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    name = names.Next();
    const int fd =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  name.clear();
  return -1;
}

// Gives the unnamed file `fd` a fresh name.
bool Name(int fd, CopyNames& names, std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    name = names.Next();
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(),
                 AT_SYMLINK_FOLLOW) == 0)
      return true;
    if (errno != EEXIST) break;
  }
  name.clear();
  return false;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::string& path,
                                           std::string& why) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::string();
    why = Reason("the file cannot be read", errno);
    return std::nullopt;
  }
  why = "the file is not a regular file";
  if (!S_ISREG(info.st_mode)) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = Reason("the file cannot be read", errno);
    return std::nullopt;
  }
  std::optional<std::string> text;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) text.emplace();
  char buffer[4096];
  while (text) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got > 0) {
      text->append(buffer, std::size_t(got));
    } else if (errno != EINTR) {
      why = Reason("the file cannot be read", errno);
      text.reset();
    }
  }
  ::close(fd);
  return text;
}

std::string ReplaceFile(const std::string& target, const std::string& text) {
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  // A rename would replace a file that its owner made read-only.
  if (existed && ::access(target.c_str(), W_OK) != 0)
    return Reason("the file cannot be written", errno);
  CopyNames names(target);
  std::string copy;
  int fd =
      ::open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) fd = CreateNamed(names, copy);
  if (fd < 0) return Reason("the folder cannot be written", errno);
  bool done = (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) &&
              WriteAll(fd, text) && ::fsync(fd) == 0 &&
              (!copy.empty() || Name(fd, names, copy));
  int error = errno;
  if (::close(fd) != 0 && done) {
    done = false;
    error = errno;
  }
  if (done && ::rename(copy.c_str(), target.c_str()) == 0) return {};
  if (done) error = errno;
  if (!copy.empty()) ::unlink(copy.c_str());
  return Reason("the file could not be written", error);
}

}  // namespace tarnlight::qt
