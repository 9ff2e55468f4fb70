#include "platform/win32/engine_chain.h"

#include <gtest/gtest.h>

#include "tests/win32/engine_harness.h"

namespace tarnlight::win32 {
namespace {

using testing_surface::Surface;
using Log = std::vector<std::string>;

enum class Outcome { Opens, FailsLater, FailsAtOnce, Silent };

// An engine whose opens turn out as it is told, answering from a thread of
// its own; it shares a log with the other engines of the chain.
class ScriptedEngine final : public VideoEngine {
 public:
  ScriptedEngine(std::string name, HWND window, UINT message, Outcome outcome,
                 Log& log)
      : name_(std::move(name)),
        window_(window),
        message_(message),
        outcome_(outcome),
        log_(log) {}
  ~ScriptedEngine() override {
    for (auto& t : threads_) t.join();
  }

  void Open(const std::string& path) override {
    log_.push_back(name_ + " open " + path);
    if (outcome_ == Outcome::FailsAtOnce) throw Error();
    open_ = ++serial_;
    if (outcome_ == Outcome::Opens) PostLater(News::Opened);
    if (outcome_ == Outcome::FailsLater) PostLater(News::Failed);
  }
  News Notified(UINT message, WPARAM wp, LPARAM lp) override {
    return message == message_ && wp == open_ ? News(lp) : News::None;
  }
  PixelSize Size() const override { return {int(name_.size()), 9}; }
  PlatformError Error() const override {
    return PlatformError(40 + int(name_.size()), name_ + " fails");
  }
  void Play() override {
    log_.push_back(name_ + " play");
    PostLater(News::Ended);
  }
  void Place(PixelSize) override {}
  void Close() override {
    if (open_) log_.push_back(name_ + " close");
    open_ = 0;
  }
  std::uint64_t Progress() const override { return 0; }

  // Posts as if the open had succeeded, whatever the script said.
  void PostLateOpened() { PostMessageW(window_, message_, serial_, 1); }

 private:
  void PostLater(News news) {
    WPARAM tag = serial_;
    HWND window = window_;
    UINT message = message_;
    threads_.emplace_back([window, message, tag, news] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      PostMessageW(window, message, tag, LPARAM(news));
    });
  }

  std::string name_;
  HWND window_;
  UINT message_;
  Outcome outcome_;
  Log& log_;
  WPARAM serial_ = 0, open_ = 0;
  std::vector<std::thread> threads_;
};

struct Chain : Surface {
  Chain(Outcome mf, Outcome dshow) {
    auto first =
        std::make_unique<ScriptedEngine>("mf", hwnd, WM_APP + 2, mf, log);
    auto second =
        std::make_unique<ScriptedEngine>("dshow", hwnd, WM_APP + 3, dshow, log);
    preferred = first.get();
    std::vector<std::unique_ptr<VideoEngine>> engines;
    engines.push_back(std::move(first));
    engines.push_back(std::move(second));
    Use(std::move(engines));
  }
  Log log;
  ScriptedEngine* preferred;
};

TEST(EngineChain, EachClipGoesToTheFirstEngineThatOpensIt) {
  struct Case {
    Outcome mf, dshow;
    Log news, log;
  };
  const Case cases[] = {
      {Outcome::Opens, Outcome::Opens, {"opened 7 2x9"}, {"mf open a.avi"}},
      {Outcome::FailsLater,
       Outcome::Opens,
       {"opened 7 5x9"},
       {"mf open a.avi", "mf close", "dshow open a.avi"}},
      {Outcome::FailsAtOnce,
       Outcome::Opens,
       {"opened 7 5x9"},
       {"mf open a.avi", "dshow open a.avi"}},
      // When none opens it, the preferred engine's error is the one told.
      {Outcome::FailsLater,
       Outcome::FailsLater,
       {"failed 7 42"},
       {"mf open a.avi", "mf close", "dshow open a.avi", "dshow close"}},
      {Outcome::FailsAtOnce,
       Outcome::FailsAtOnce,
       {"failed 7 42"},
       {"mf open a.avi", "dshow open a.avi"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log.back());
    Chain chain(c.mf, c.dshow);
    chain.Call([](EngineChain& e) { e.Open(7, "a.avi"); });
    chain.Pump(1);
    chain.Pump(2, 100);  // nothing more comes
    EXPECT_EQ(chain.events.news, c.news);
    EXPECT_EQ(chain.log, c.log);
  }
}

TEST(EngineChain, TheNextClipTriesThePreferredEngineAgainAndPlays) {
  Chain chain(Outcome::FailsLater, Outcome::Opens);
  chain.Call([](EngineChain& e) { e.Open(1, "a.avi"); });
  chain.Pump(1);
  chain.Call([](EngineChain& e) { e.Open(2, "b.avi"); });
  chain.Pump(2);
  chain.Call([](EngineChain& e) { e.Play(); });
  chain.Pump(3);
  EXPECT_EQ(chain.events.news,
            (Log{"opened 1 5x9", "opened 2 5x9", "ended 2"}));
  EXPECT_EQ(chain.log, (Log{"mf open a.avi", "mf close", "dshow open a.avi",
                            "dshow close", "mf open b.avi", "mf close",
                            "dshow open b.avi", "dshow play"}));
}

TEST(EngineChain, NewsOfAStoppedClipIsDropped) {
  for (Outcome outcome : {Outcome::Opens, Outcome::FailsAtOnce}) {
    Chain chain(outcome, Outcome::FailsAtOnce);
    chain.Call([](EngineChain& e) {
      e.Open(3, "a.avi");
      e.Stop();
    });
    chain.preferred->PostLateOpened();
    chain.Pump(1, 300);
    EXPECT_TRUE(chain.events.news.empty()) << chain.events.news.front();
    EXPECT_THROW(chain.chain->Play(), PlatformError);
  }
}

}  // namespace
}  // namespace tarnlight::win32
