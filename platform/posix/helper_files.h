#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/files.h"

namespace tarnlight::posix {

// Answers the file system's questions in a child process, forked before
// any thread of the program exists. A thread that waits on a stalled share
// would keep the whole process from ending (a FUSE request, once sent,
// waits without regard to signals); a child that waits holds nothing, so
// the program ends the moment it is told to. The child dies with its
// parent as soon as the share lets go of it.
class HelperFiles final : public Files {
 public:
  // Runs `work` on the GUI thread later; callable from any thread.
  using Post = std::function<void(std::function<void()> work)>;

  // Forks the helper when `fork` is set: call it while the program has a
  // single thread. Without a helper (not asked for, or the system could not
  // make one, or it has gone) each question is answered on its own thread.
  explicit HelperFiles(bool fork);
  ~HelperFiles() override;
  HelperFiles(const HelperFiles&) = delete;
  HelperFiles& operator=(const HelperFiles&) = delete;

  // Ends the helper with the program: at once, unless a share holds it,
  // which is not waited for. Never raises.
  void Stop() noexcept;

  // Before the first question.
  void SetPost(Post post) { post_ = std::move(post); }

  void Probe(const std::string& path,
             std::function<void(FileKind)> answer) override;
  void List(const std::string& pattern, int mask,
            std::function<void(FolderListing)> answer) override;

 private:
  struct Channel {
    int socket = -1;
    std::mutex turn;  // one question on the socket at a time
  };
  // Any thread but the GUI thread: `ask` talks to the helper (or, with
  // none, answers itself), and its answer is posted.
  template <typename Result>
  void Answer(std::function<Result(Channel*)> ask,
              std::function<void(Result)> answer);

  std::shared_ptr<Channel> channel_;
  pid_t child_ = -1;
  Post post_;
};

}  // namespace tarnlight::posix
