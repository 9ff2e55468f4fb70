#pragma once

// A scripted back end for tests: each service records what it was asked,
// and time moves only when a test runs the loop on.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "helpers/seeded_random.h"
#include "platform/error.h"
#include "platform/form_rules.h"
#include "platform/services.h"

namespace tarnlight::fake {

// Thrown by FakeProgram::End, so that nothing after the end-program call
// runs, as with the real operation.
struct ProgramEnded {};

class FakeStore final : public SettingsStore {
 public:
  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key) override;
  void SaveSetting(const std::string& app, const std::string& section,
                   const std::string& key, const std::string& value) override;

  // Under Tarnlight/settings.
  std::optional<std::string> Value(const std::string& key) const;
  void Put(const std::string& key, const std::string& value);

  std::optional<PlatformError> writeFailure;  // raised by every save
  std::vector<std::string> log;     // "get key" and "save key=value", in order
  std::vector<std::string> writes;  // "key=value", in order
  std::map<std::string, std::string> values;  // "app/section/key"
};

class FakeClock final : public Clock {
 public:
  LocalTime Now() override { return now; }
  std::uint64_t Ticks() override { return ++ticks; }
  void Set(int hour, int minute, int second) { now = {hour, minute, second}; }

  LocalTime now{12, 0, 0};
  std::uint64_t ticks = 0;
};

class FakeRandom final : public Random {
 public:
  void Reseed(std::uint64_t clockTicks) override;
  float Draw() override;

  std::deque<float> script;  // drawn first, then the seeded generator
  int reseeds = 0;
  SeededRandom generator{42, 0};
};

class FakeCursor final : public Cursor {
 public:
  int ShowCursor(bool show) override;
  int count = 0;
  int calls = 0;
};

class FakeShell final : public Shell {
 public:
  void Open(const std::string& address, std::uintptr_t owner) override;
  struct Call {
    std::string address;
    std::uintptr_t owner;
  };
  std::vector<Call> calls;
  std::optional<PlatformError> failure;
  // The program-wide pointer at each call, read from `pointerCodes`.
  const std::vector<int>* pointerCodes = nullptr;
  std::vector<int> pointerAtCall;
};

class FakeMessageBox final : public MessageBox {
 public:
  void MsgBox(const std::string& text, const std::string& title) override;
  std::vector<std::pair<std::string, std::string>> shown;  // text, title
};

class FakePointer final : public Pointer {
 public:
  void SetMousePointer(int code) override { codes.push_back(code); }
  std::vector<int> codes;
};

class FakeProgram final : public Program {
 public:
  std::string Command() override { return command; }
  [[noreturn]] void End() override;
  std::string command;
  bool ended = false;
};

// The GUI thread's queue on a simulated clock: work runs in the order of
// its due time, and time moves only when a test runs the loop on.
class FakeLoop final : public EventLoop {
 public:
  void After(int ms, std::function<void()> work) override;
  // Runs everything due up to `untilMs`, moving the time forward.
  void RunUntil(std::int64_t untilMs);
  // Runs what is due now, such as the answers posted by the last event.
  void RunDue() { RunUntil(nowMs); }

  std::int64_t nowMs = 0;

 private:
  std::multimap<std::int64_t, std::function<void()>> queue_;  // by due time
};

// Answers from the real file system as the next work of the loop, or as
// scripted: late, never, or with an error.
class FakeFiles final : public Files {
 public:
  explicit FakeFiles(FakeLoop& loop);
  void Probe(const std::string& path,
             std::function<void(FileKind)> answer) override;
  void List(const std::string& pattern, int mask,
            std::function<void(FolderListing)> answer) override;
  struct Asked {
    std::int64_t second;
    std::string path;
  };
  std::vector<Asked> probes, lists;
  bool neverAnswer = false;  // probes
  int listAfterMs = 0;       // -1: never answers
  std::optional<PlatformError> listFailure;
  int out = 0, mostOut = 0;  // questions not yet answered, now and at most

 private:
  void Answer(int afterMs, std::function<void()> answer);
  FakeLoop& loop_;
  std::unique_ptr<DirListing> listing_;
};

class FakeTimer final : public Timer {
 public:
  FakeTimer(FakeLoop& loop, int intervalMs)
      : loop_(loop), interval_(intervalMs) {}
  bool Enabled() const override { return enabled; }
  void SetEnabled(bool on) override;
  bool enabled = false;
  WindowEvents* events = nullptr;

 private:
  void Schedule();
  FakeLoop& loop_;
  int interval_;
  std::uint64_t generation_ = 0;
};

// An engine with a script: how the next opens answer, how long a clip
// plays, and whether it stalls. It records what it was asked.
class FakeEngine final : public Engine {
 public:
  explicit FakeEngine(FakeLoop& loop) : loop_(loop) {}
  void SetEvents(EngineEvents* sink) override { events = sink; }
  void Open(std::uint64_t clip, const std::string& path) override;
  void Play() override;
  void Stop() override;
  void Show(PixelRect where) override { shown = where; }
  void Hide() override { shown.reset(); }
  std::uint64_t Progress() const override;

  // The script for every open from now on.
  PixelSize clipSize{239, 179};  // pixels
  int answerAfterMs = 0;         // -1: never answers
  std::optional<PlatformError> openFailure;
  bool failPlay = false;     // raises PlatformError
  bool failPlayStd = false;  // raises a standard library error
  int clipSeconds = 10;      // -1: never ends
  bool stalls = false;       // plays, but shows nothing new

  struct Opened {
    std::int64_t second;
    std::uint64_t clip;
    std::string path;
  };
  std::vector<Opened> opens;
  std::vector<std::int64_t> plays;  // seconds at which playback started
  std::optional<PixelRect> shown;
  bool busy = false;  // opening or playing a clip not stopped since
  EngineEvents* events = nullptr;

 private:
  FakeLoop& loop_;
  std::uint64_t current_ = 0;
  std::int64_t playingSince_ = -1;
};

class FakeSaverWindow final : public SaverWindow {
 public:
  FakeSaverWindow(const SaverLayout& layout, int width, int height,
                  FakeLoop& loop)
      : width(width),
        height(height),
        timTimer(loop, layout.timerIntervalMs),
        vid(loop) {}
  int Width() const override { return width; }
  int Height() const override { return height; }
  double TwipsPerPixel() const override { return 15.0; }
  Timer& timer() override { return timTimer; }
  Engine& engine() override { return vid; }
  void Show(WindowEvents& sink) override;
  void Close() override;

  int width, height;
  FakeTimer timTimer;
  FakeEngine vid;
  WindowEvents* events = nullptr;
  bool shown = false;
  bool closed = false;
  bool engineBusyAtClose = false;
};

class FakeTextBox final : public TextBox {
 public:
  std::string Text() const override { return text; }
  void SetText(const std::string& t) override { text = t; }
  std::string text;
};

class FakeListBox final : public ListBox {
 public:
  int AddItem(const std::string& text) override;
  int ListCount() const override { return static_cast<int>(items.size()); }
  std::string List(int index) const override;
  int ListIndex() const override { return index; }
  void SetListIndex(int i) override;
  std::vector<std::string> items;
  int index = -1;
};

class FakeLabel final : public Label {
 public:
  void SetMousePointer(int code) override { pointer = code; }
  int pointer = 0;
};

class FakeSetupWindow final : public SetupWindow {
 public:
  explicit FakeSetupWindow(const FormLayout& layout);
  TextBox& TextBoxNamed(std::string_view name) override { return text(name); }
  ListBox& ListNamed(std::string_view name) override { return list(name); }
  Label& LabelNamed(std::string_view name) override { return label(name); }
  std::uintptr_t hWnd() const override { return 0x5e7; }
  void ShowModal(WindowEvents& sink) override;
  void Close() override {}

  FakeTextBox& text(std::string_view name) { return ControlNamed(texts, name); }
  FakeListBox& list(std::string_view name) { return ControlNamed(lists, name); }
  FakeLabel& label(std::string_view name) { return ControlNamed(labels, name); }

  std::map<std::string, FakeTextBox, std::less<>> texts;
  std::map<std::string, FakeListBox, std::less<>> lists;
  std::map<std::string, FakeLabel, std::less<>> labels;
  WindowEvents* events = nullptr;
  bool shownModal = false;
};

class FakeWindows final : public WindowFactory {
 public:
  std::unique_ptr<SaverWindow> CreateSaverWindow(
      const SaverLayout& layout) override;
  std::unique_ptr<SetupWindow> CreateSetupWindow(
      const FormLayout& layout) override;

  // Size of the next saver window, in twips (1,024 x 768 pixels).
  int saverWidth = 15360, saverHeight = 11520;
  FakeSaverWindow* saver = nullptr;
  FakeSetupWindow* setup = nullptr;
  int saverCreated = 0, setupCreated = 0;
  FakeLoop* loop = nullptr;
};

// All of it, wired together.
class FakeBackend {
 public:
  FakeBackend();

  // Moves time on by `seconds`, running whatever falls due on the way.
  void Advance(int seconds) { loop.RunUntil(loop.nowMs + seconds * 1000LL); }

  FakeStore store;
  FakeClock clock;
  FakeRandom random;
  FakeCursor cursor;
  FakeShell shell;
  FakeMessageBox messageBox;
  FakePointer pointer;
  FakeProgram program;
  FakeWindows windows;
  FakeLoop loop;
  FakeFiles files{loop};
  Services services;
};

}  // namespace tarnlight::fake
