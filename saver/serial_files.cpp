#include "saver/serial_files.h"

#include <exception>
#include <utility>

namespace tarnlight {

SerialFiles::SerialFiles(Files& files)
    : files_(files), self_(std::make_shared<SerialFiles*>(this)) {}

void SerialFiles::Probe(const std::string& path,
                        std::function<void(FileKind)> answer) {
  Ask({[this, path, answer](std::function<void()> done) {
         files_.Probe(path, [answer, done](FileKind kind) {
           done();
           answer(kind);
         });
       },
       [answer](const PlatformError&) { answer(FileKind::Missing); }});
}

void SerialFiles::List(const std::string& pattern, int mask,
                       std::function<void(FolderListing)> answer) {
  Ask({[this, pattern, mask, answer](std::function<void()> done) {
         files_.List(pattern, mask, [answer, done](FolderListing found) {
           done();
           answer(std::move(found));
         });
       },
       [answer](const PlatformError& error) {
         answer({{}, error});
       }});
}

// A question that cannot be put now raises to its asker, as the file
// system's own call would.
void SerialFiles::Ask(Question question) {
  if (out_) {
    waiting_ = std::move(question);
    return;
  }
  std::weak_ptr<SerialFiles*> alive = self_;
  out_ = true;
  try {
    question.ask([alive] {
      if (auto self = alive.lock()) (*self)->Answered();
    });
  } catch (...) {
    out_ = false;
    throw;
  }
}

// Runs before the answer is handed on, so that its receiver may ask again.
void SerialFiles::Answered() {
  out_ = false;
  if (!waiting_.ask) return;
  Question next = std::exchange(waiting_, {});
  try {
    Ask(next);
  } catch (const PlatformError& error) {
    next.fail(error);
  } catch (const std::exception& error) {
    next.fail(PlatformError(err::kInternal, error.what()));
  }
}

}  // namespace tarnlight
