#include "platform/win32/engine_chain.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace tarnlight::win32 {
namespace {

// An engine that opens only the clips it is told it can, and keeps a log
// shared with the other engines of the chain.
class ScriptedEngine final : public VideoEngine {
 public:
  ScriptedEngine(std::string name, std::vector<std::string>& log,
                 bool opens = true)
      : name_(std::move(name)), log_(log), opens_(opens) {}
  PixelSize Open(const std::string& path) override {
    log_.push_back(name_ + " open " + path);
    if (!opens_) throw PlatformError(40 + int(name_.size()), name_ + " fails");
    return {int(name_.size()), 1};
  }
  void Place(PixelSize) override {}
  void Play() override {}
  void Close() override { log_.push_back(name_ + " close"); }
  bool Notified(unsigned, std::uintptr_t, std::intptr_t) override {
    return false;
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
  bool opens_;
};

struct Chain {
  std::vector<std::string> log;
  std::unique_ptr<EngineChain> chain;
  VideoEngine* first = nullptr;
  VideoEngine* second = nullptr;

  Chain(bool firstOpens, bool secondOpens) {
    std::vector<std::unique_ptr<VideoEngine>> engines;
    engines.push_back(std::make_unique<ScriptedEngine>("mf", log, firstOpens));
    engines.push_back(
        std::make_unique<ScriptedEngine>("dshow", log, secondOpens));
    first = engines[0].get();
    second = engines[1].get();
    chain = std::make_unique<EngineChain>(std::move(engines));
  }
};

TEST(EngineChain, ThePreferredEngineOpensWhatItCan) {
  Chain c(true, true);
  PixelSize size = c.chain->Open("a.mp4");
  EXPECT_EQ(size.width, 2);
  EXPECT_EQ(c.chain->Current(), c.first);
  EXPECT_EQ(c.log, std::vector<std::string>{"mf open a.mp4"});
}

TEST(EngineChain, FallsBackAndTriesThePreferredEngineAgainNextClip) {
  Chain c(false, true);
  EXPECT_EQ(c.chain->Open("a.avi").width, 5);
  EXPECT_EQ(c.chain->Current(), c.second);
  c.chain->Open("b.avi");
  EXPECT_EQ(c.log,
            (std::vector<std::string>{
                "mf open a.avi", "mf close", "dshow open a.avi", "dshow close",
                "mf open b.avi", "mf close", "dshow open b.avi"}));
}

TEST(EngineChain, WhenNoEngineOpensTheClipThePreferredOnesErrorIsRaised) {
  Chain c(false, false);
  try {
    c.chain->Open("x.bin");
    FAIL() << "opened a clip no engine can open";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), 42);
    EXPECT_EQ(e.description(), "mf fails");
  }
  EXPECT_EQ(c.chain->Current(), nullptr);
  c.chain->Close();
  EXPECT_EQ(c.log.back(), "dshow close");
}

TEST(EngineChain, WithoutEnginesOpeningIsAnInvalidCall) {
  EngineChain chain({});
  try {
    chain.Open("a.avi");
    FAIL() << "opened a clip without an engine";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), err::kInvalidCall);
  }
  EXPECT_EQ(chain.Current(), nullptr);
}

}  // namespace
}  // namespace tarnlight::win32
