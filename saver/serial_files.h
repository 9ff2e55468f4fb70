#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/error.h"
#include "platform/files.h"

namespace tarnlight {

// Puts the saver's questions to the file system one at a time, so that a
// share that stops answering holds one waiting thread, not one more per
// clip or per tick. A question asked while another is still out waits for
// that one's answer, however late; a newer waiting question replaces an
// older one, whose answer never comes (its asker gave up on it). GUI
// thread only.
class SerialFiles final : public Files {
 public:
  explicit SerialFiles(Files& files);

  void Probe(const std::string& path,
             std::function<void(FileKind)> answer) override;
  void List(const std::string& pattern, int mask,
            std::function<void(FolderListing)> answer) override;

 private:
  struct Question {
    std::function<void(std::function<void()> done)> ask;
    // Answers in place of the file system when the question could not be
    // put once its turn came.
    std::function<void(const PlatformError&)> fail;
  };
  void Ask(Question question);
  void Answered();

  Files& files_;
  bool out_ = false;
  Question waiting_;
  // Answers the file system gives after this object has gone find it
  // expired.
  std::shared_ptr<SerialFiles*> self_;
};

}  // namespace tarnlight
