#include "platform/posix/helper_files.h"

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <optional>
#include <thread>
#include <utility>

#include "platform/posix/dir_listing.h"
#include "platform/posix/folder_text.h"

namespace tarnlight::posix {
namespace {

constexpr char kProbe = 'P';
constexpr char kList = 'L';

FileKind ProbeHere(const std::string& path) {
  struct stat info {};
  std::string file = MapFolderText(path);
  return ::stat(file.c_str(), &info) != 0 ? FileKind::Missing
         : S_ISREG(info.st_mode)          ? FileKind::Regular
                                          : FileKind::Other;
}

FolderListing ListHere(const std::string& pattern, int mask) {
  PosixDirListing listing;
  return {ListAll(listing, pattern, mask), std::nullopt};
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n =
        ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += std::size_t(n);
  }
  return true;
}

bool ReadAll(int fd, char* into, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::read(fd, into + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += std::size_t(n);
  }
  return true;
}

// A message: its length, then its bytes.
std::string Framed(const std::string& payload) {
  auto size = std::uint32_t(payload.size());
  return std::string(reinterpret_cast<const char*>(&size), sizeof size) +
         payload;
}

std::optional<std::string> ReadFramed(int fd) {
  std::uint32_t size = 0;
  if (!ReadAll(fd, reinterpret_cast<char*>(&size), sizeof size))
    return std::nullopt;
  std::string payload(size, '\0');
  if (!ReadAll(fd, payload.data(), size)) return std::nullopt;
  return payload;
}

// A question: its kind, the mask as one byte, and the path.
std::string Question(char kind, int mask, const std::string& path) {
  return Framed(std::string{kind, char(mask)} + path);
}

std::string Answer(const std::string& question) {
  const std::string path = question.substr(2);
  if (question[0] == kProbe)
    return Framed(std::string(1, char(ProbeHere(path))));
  std::string names;
  for (const std::string& name : ListHere(path, question[1]).names)
    names += name + '\0';
  return Framed(names);
}

[[noreturn]] void Serve(int fd, pid_t parent) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(0);
  for (;;) {
    std::optional<std::string> question = ReadFramed(fd);
    if (!question || question->size() < 2) ::_exit(0);
    if (!WriteAll(fd, Answer(*question))) ::_exit(0);
  }
}

// The helper's answer, or nothing when it has gone.
std::optional<std::string> Ask(int fd, char kind, int mask,
                               const std::string& path) {
  if (fd < 0 || !WriteAll(fd, Question(kind, mask, path))) return std::nullopt;
  return ReadFramed(fd);
}

std::vector<std::string> SplitNames(const std::string& names) {
  std::vector<std::string> split;
  std::size_t from = 0;
  for (std::size_t end; (end = names.find('\0', from)) != std::string::npos;
       from = end + 1)
    split.push_back(names.substr(from, end - from));
  return split;
}

}  // namespace

HelperFiles::HelperFiles(bool fork) : channel_(std::make_shared<Channel>()) {
  int ends[2];
  if (!fork) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
  pid_t parent = ::getpid();
  child_ = ::fork();
  if (child_ == 0) {
    ::close(ends[0]);
    Serve(ends[1], parent);
  }
  ::close(ends[1]);
  if (child_ < 0)
    ::close(ends[0]);
  else
    channel_->socket = ends[0];
}

// The helper reads the end of its input and leaves.
HelperFiles::~HelperFiles() {
  if (channel_->socket >= 0) ::shutdown(channel_->socket, SHUT_WR);
}

// A helper that waits on nothing is gone within a moment; one that a share
// holds dies of the signal when the share lets go of it.
void HelperFiles::Stop() noexcept {
  if (child_ <= 0) return;
  ::kill(child_, SIGKILL);
  for (int i = 0; i < 20 && ::waitpid(child_, nullptr, WNOHANG) == 0; ++i)
    ::usleep(1000);
  child_ = -1;
}

template <typename Result>
void HelperFiles::Answer(std::function<Result(Channel*)> ask,
                         std::function<void(Result)> answer) {
  // Detached: while the helper waits on a share, so does this thread, in
  // a read that does not hold the program's end.
  std::thread([channel = channel_, post = post_, ask = std::move(ask),
               answer = std::move(answer)]() mutable {
    Result result;
    {
      std::lock_guard<std::mutex> turn(channel->turn);
      result = ask(channel.get());
    }
    post([answer = std::move(answer), result = std::move(result)]() mutable {
      answer(std::move(result));
    });
  }).detach();
}

void HelperFiles::Probe(const std::string& path,
                        std::function<void(FileKind)> answer) {
  Answer<FileKind>(
      [path](Channel* channel) {
        std::optional<std::string> reply =
            Ask(channel->socket, kProbe, 0, path);
        if (reply && reply->size() == 1 && (*reply)[0] >= 0 &&
            (*reply)[0] <= char(FileKind::Other))
          return FileKind((*reply)[0]);
        return ProbeHere(path);
      },
      std::move(answer));
}

void HelperFiles::List(const std::string& pattern, int mask,
                       std::function<void(FolderListing)> answer) {
  Answer<FolderListing>(
      [pattern, mask](Channel* channel) {
        std::optional<std::string> reply =
            Ask(channel->socket, kList, mask, pattern);
        if (!reply) return ListHere(pattern, mask);
        return FolderListing{SplitNames(*reply), std::nullopt};
      },
      std::move(answer));
}

}  // namespace tarnlight::posix
