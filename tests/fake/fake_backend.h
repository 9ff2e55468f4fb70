#pragma once

// A scripted back end for tests: each service records what it was asked,
// and time moves only when a test runs the loop on.

#include <algorithm>
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

// Thrown by End, so that nothing after the end-program call runs, as with
// the real operation.
struct ProgramEnded {};

// Keys are "app/section/key"; `log` holds "get key" and "save key=value".
struct FakeStore : SettingsStore {
  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key) override {
    log.push_back("get " + key);
    return values[app + "/" + section + "/" + key];
  }
  void SaveSetting(const std::string& app, const std::string& section,
                   const std::string& key, const std::string& value) override {
    log.push_back("save " + key + "=" + value);
    if (writeFailure) throw *writeFailure;
    values[app + "/" + section + "/" + key] = value;
  }
  std::string& operator[](const std::string& key) {
    return values["Tarnlight/settings/" + key];
  }

  std::optional<PlatformError> writeFailure;  // raised by every save
  std::vector<std::string> log;
  std::map<std::string, std::string> values;
};

// The services with no state worth a class of their own. `said` records the
// pointer, the shell and the message box in order: "pointer 11",
// "open <address> <owner>", "box <text> | <title>".
struct FakeSystem : Clock, Random, Cursor, Shell, MessageBox, Pointer, Program {
  LocalTime Now() override { return now; }
  std::uint64_t Ticks() override { return 0; }
  void Reseed(std::uint64_t clockTicks) override {
    ++reseeds;
    generator.Reseed(clockTicks);
  }
  float Draw() override {
    if (draws.empty()) return generator.Draw();
    float r = draws.front();
    draws.pop_front();
    return r;
  }
  int ShowCursor(bool show) override {
    ++cursorCalls;
    return cursorCount += show ? 1 : -1;
  }
  void Open(const std::string& address, std::uintptr_t owner) override {
    if (shellFailure) throw *shellFailure;
    said.push_back("open " + address + " " + std::to_string(owner));
  }
  void MsgBox(const std::string& text, const std::string& title) override {
    said.push_back("box " + text + " | " + title);
  }
  void SetMousePointer(int code) override {
    said.push_back("pointer " + std::to_string(code));
  }
  std::string Command() override { return command; }
  [[noreturn]] void End() override {
    ended = true;
    throw ProgramEnded{};
  }

  LocalTime now{12, 0, 0};
  std::deque<float> draws;  // drawn first, then the seeded generator
  int reseeds = 0;
  SeededRandom generator{42, 0};
  int cursorCount = 0, cursorCalls = 0;
  std::optional<PlatformError> shellFailure;
  std::vector<std::string> said;
  std::string command;
  bool ended = false;
};

// The GUI thread's queue on a simulated clock: work runs in the order of
// its due time, and time moves only when a test runs the loop on.
struct FakeLoop : EventLoop {
  void After(int ms, std::function<void()> work) override {
    queue_.emplace(nowMs + ms, std::move(work));  // after others due then
  }
  // Runs `work` after `ms`, or never when `ms` is -1.
  void Later(int ms, std::function<void()> work) {
    if (ms >= 0) After(ms, std::move(work));
  }
  // Runs whatever falls due in the next `seconds`, moving the time on.
  void Advance(int seconds) {
    const std::int64_t until = nowMs + seconds * 1000LL;
    while (!queue_.empty() && queue_.begin()->first <= until) {
      auto due = queue_.extract(queue_.begin());
      nowMs = due.key();
      due.mapped()();
    }
    nowMs = until;
  }
  std::int64_t nowMs = 0;

 private:
  std::multimap<std::int64_t, std::function<void()>> queue_;  // by due time
};

// A folder as scripted: what its listing finds and what each name is.
struct FilesScript {
  std::string folder = "d:\\clips\\";
  std::vector<std::string> names{"a.avi"};  // listed with attr::kNormal
  FileKind kind = FileKind::Regular;        // of any name in it; others missing
  int probeAfterMs = 0, listAfterMs = 0;    // -1: never answers
  std::optional<PlatformError> listFailure = std::nullopt;
};

// Answers as scripted, as the next work of the loop, late or never.
struct FakeFiles : Files {
  explicit FakeFiles(FakeLoop& loop) : loop_(loop) {}
  void Probe(const std::string& path,
             std::function<void(FileKind)> answer) override {
    bool named = path.starts_with(script.folder) && path != script.folder;
    Answer(script.probeAfterMs,
           [answer, kind = named ? script.kind : FileKind::Missing] {
             answer(kind);
           });
  }
  void List(const std::string& pattern, int mask,
            std::function<void(FolderListing)> answer) override {
    lists.push_back(loop_.nowMs / 1000);
    FolderListing found{{}, script.listFailure};
    if (pattern == script.folder && mask == attr::kNormal && !found.error)
      found.names = script.names;
    Answer(script.listAfterMs, [answer, found] { answer(found); });
  }

  FilesScript script;
  std::vector<std::int64_t> lists;  // seconds at which each was asked
  int out = 0, mostOut = 0;  // questions not yet answered, now and at most

 private:
  void Answer(int ms, std::function<void()> answer) {
    mostOut = std::max(mostOut, ++out);
    loop_.Later(ms, [this, answer] {
      --out;
      answer();
    });
  }
  FakeLoop& loop_;
};

// How the engine answers every open from now on, how long a clip plays,
// and how it ends.
struct EngineScript {
  PixelSize clipSize{239, 179};  // pixels
  int answerAfterMs = 0;         // -1: never answers
  std::optional<PlatformError> openFailure = std::nullopt;
  std::function<void()> play = nullptr;  // runs at each play; may raise
  int clipSeconds = 10;                  // -1: never ends
  bool failsAtEnd = false;               // ends with an error
  bool stalls = false;                   // plays, but its clock stands still
};

struct FakeEngine : Engine {
  explicit FakeEngine(FakeLoop& loop) : loop_(loop) {}
  void SetEvents(EngineEvents* sink) override { events = sink; }
  void Open(std::uint64_t clip, const std::string&) override {
    Stop();
    current = clip;
    loop_.Later(script.answerAfterMs, [this, clip, s = script] {
      if (events)
        s.openFailure ? events->Failed(clip, *s.openFailure)
                      : events->Opened(clip, s.clipSize);
    });
  }
  void Play() override {
    if (script.play) script.play();
    plays.push_back(loop_.nowMs / 1000);
    playingSince_ = loop_.nowMs;
    loop_.Later(script.clipSeconds * 1000,
                [this, clip = current, fails = script.failsAtEnd] {
                  if (clip != current || playingSince_ < 0 || !events) return;
                  playingSince_ = -1;
                  fails ? events->Failed(clip, PlatformError(5, "decoder"))
                        : events->Ended(clip);
                });
  }
  void Stop() override {
    current = 0;
    playingSince_ = -1;
  }
  void Show(PixelRect where) override { shown = where; }
  void Hide() override { shown.reset(); }
  // One frame in 40 ms while playing, as a 25 fps clip would.
  std::uint64_t Progress() const override {
    if (playingSince_ < 0 || script.stalls) return 0;
    return std::uint64_t((loop_.nowMs - playingSince_) / 40);
  }

  EngineScript script;
  std::vector<std::int64_t> plays;  // seconds at which playback started
  std::optional<PixelRect> shown;
  std::uint64_t current = 0;  // the clip opening or playing, 0 once stopped
  EngineEvents* events = nullptr;

 private:
  FakeLoop& loop_;
  std::int64_t playingSince_ = -1;
};

// The saver window, with its timer: while on, it ticks every interval from
// the moment it was turned on.
struct FakeSaverWindow : SaverWindow, Timer {
  FakeSaverWindow(int width, int height, FakeLoop& loop, int timerMs)
      : width(width), height(height), vid(loop), loop_(loop), ms_(timerMs) {}
  int Width() const override { return width; }
  int Height() const override { return height; }
  double TwipsPerPixel() const override { return 15.0; }
  Timer& timer() override { return *this; }
  Engine& engine() override { return vid; }
  void Show(WindowEvents& sink) override {
    events = &sink;
    sink.Load();
  }
  void Close() override {
    closed = true;
    engineBusyAtClose = vid.current != 0;
    events = nullptr;
  }
  bool Enabled() const override { return timerOn; }
  void SetEnabled(bool on) override {
    if (on != timerOn) Tick(++generation_);
    timerOn = on;
  }

  int width, height;
  FakeEngine vid;
  WindowEvents* events = nullptr;
  bool closed = false, engineBusyAtClose = false;
  bool timerOn = false;

 private:
  void Tick(std::uint64_t generation) {
    loop_.After(ms_, [this, generation] {
      if (generation != generation_ || !timerOn) return;
      Tick(generation);
      if (events) events->Tick();
    });
  }
  FakeLoop& loop_;
  int ms_;
  std::uint64_t generation_ = 0;
};

// Any control of the dialog; the window hands it out only as the kind its
// layout gives it.
struct FakeControl : TextBox, ListBox, Label {
  std::string Text() const override { return text; }
  void SetText(const std::string& t) override { text = t; }
  int AddItem(const std::string& item) override {
    items.push_back(item);
    return ListCount() - 1;
  }
  int ListCount() const override { return static_cast<int>(items.size()); }
  std::string List(int i) const override {
    CheckListEntry(i, ListCount());
    return items[static_cast<std::size_t>(i)];
  }
  int ListIndex() const override { return index; }
  void SetListIndex(int i) override {
    CheckListSelection(i, ListCount());
    index = i;
  }
  void SetMousePointer(int code) override { pointer = code; }

  ControlKind kind{};
  std::string text;
  std::vector<std::string> items;
  int index = -1, pointer = 0;
};

struct FakeSetupWindow : SetupWindow {
  static constexpr std::uintptr_t kHandle = 0x5e7;
  explicit FakeSetupWindow(const FormLayout& layout) {
    for (const ControlLayout& c : layout.controls)
      controls[std::string(c.name)].kind = c.kind;
  }
  TextBox& TextBoxNamed(std::string_view name) override {
    return Named(name, ControlKind::TextBox);
  }
  ListBox& ListNamed(std::string_view name) override {
    return Named(name, ControlKind::DropDownList);
  }
  Label& LabelNamed(std::string_view name) override {
    return Named(name, ControlKind::Label);
  }
  std::uintptr_t NativeHandle() const override { return kHandle; }
  void ShowModal(WindowEvents& sink) override {
    events = &sink;
    sink.Load();
  }
  void Close() override {}
  FakeControl& operator[](std::string_view name) {
    return ControlNamed(controls, name);
  }

  std::map<std::string, FakeControl, std::less<>> controls;
  WindowEvents* events = nullptr;  // set once shown

 private:
  FakeControl& Named(std::string_view name, ControlKind kind) {
    FakeControl& control = ControlNamed(controls, name);
    if (control.kind != kind) NoSuchControl(name);
    return control;
  }
};

// All of it, wired together; it makes the windows itself.
struct FakeBackend : WindowFactory {
  std::unique_ptr<SaverWindow> CreateSaverWindow(
      const SaverLayout& layout) override {
    return Made(saver, saverWidth, saverHeight, loop, layout.timerIntervalMs);
  }
  std::unique_ptr<SetupWindow> CreateSetupWindow(
      const FormLayout& layout) override {
    return Made(setup, layout);
  }
  template <typename Window, typename... Args>
  std::unique_ptr<Window> Made(Window*& made, Args&&... args) {
    ++created;
    auto window = std::make_unique<Window>(std::forward<Args>(args)...);
    made = window.get();
    return window;
  }

  FakeStore store;
  FakeSystem system;
  FakeLoop loop;
  FakeFiles files{loop};
  int saverWidth = 15360, saverHeight = 11520;  // twips: 1,024 x 768 pixels
  FakeSaverWindow* saver = nullptr;
  FakeSetupWindow* setup = nullptr;
  int created = 0;
  Services services{store,  system, system, system, system, system,
                    system, system, *this,  loop,   files};
};

}  // namespace tarnlight::fake
