#pragma once

// A scripted back end for tests: each service records what it was asked,
// and time moves only when a test advances it, one second at a time.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/seeded_random.h"
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

  std::vector<std::string> log;     // "get key" and "save key=value", in order
  std::vector<std::string> writes;  // "key=value", in order
  std::map<std::string, std::string> values;  // "app/section/key"
};

class FakeClock final : public Clock {
 public:
  LocalTime Now() override { return now; }
  std::uint64_t Ticks() override { return ++ticks; }
  void Set(int hour, int minute, int second) { now = {hour, minute, second}; }
  void AdvanceSecond();

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
  void ShellExecute(std::uintptr_t owner, const std::string& operation,
                    const std::string& file, int showCommand) override;
  struct Call {
    std::uintptr_t owner;
    std::string operation, file;
    int showCommand;
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

class FakeTimer final : public Timer {
 public:
  bool Enabled() const override { return enabled; }
  void SetEnabled(bool on) override;
  bool enabled = false;
  std::int64_t enabledAt = 0;
  const std::int64_t* now = nullptr;
};

class FakePlayer final : public Player {
 public:
  int Left() const override { return left; }
  int Top() const override { return top; }
  int Width() const override { return width; }
  int Height() const override { return height; }
  bool Visible() const override { return visible; }
  void SetLeft(int twips) override { left = twips; }
  void SetTop(int twips) override { top = twips; }
  void SetVisible(bool on) override { visible = on; }
  void SetFileName(const std::string& path) override;
  void SetEnabled(bool on) override { enabledMember = on; }
  void Play() override;

  int left = 0, top = 0, width = 0, height = 0;
  bool visible = true;
  bool enabledMember = false;
  // What the next clip will be: its size, and how long it plays.
  int clipWidth = 3585, clipHeight = 2685;
  int clipSeconds = 10;
  bool refuseFile = false;
  bool failPlay = false;

  std::string fileName;
  struct Attempt {
    std::int64_t second;
    std::string file;
  };
  std::vector<Attempt> fileNames;     // every file name set, with its time
  std::vector<std::int64_t> plays;    // seconds at which playback started
  std::optional<std::int64_t> endsAt;
  const std::int64_t* now = nullptr;
};

class FakeSaverWindow final : public SaverWindow {
 public:
  FakeSaverWindow(const SaverLayout& layout, int width, int height,
                  const std::int64_t* now);
  int Width() const override { return width; }
  int Height() const override { return height; }
  Player& vid() override { return player; }
  Timer& timTimer() override { return timer; }
  void Show(SaverEvents& sink) override;

  SaverLayout layout;
  int width, height;
  FakePlayer player;
  FakeTimer timer;
  SaverEvents* events = nullptr;
  bool shown = false;
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
  std::vector<int> selections;  // every index set, in order
};

class FakeLabel final : public Label {
 public:
  void SetMousePointer(int code) override { pointer = code; }
  int pointer = 0;
};

class FakeSetupWindow final : public SetupWindow {
 public:
  explicit FakeSetupWindow(const FormLayout& layout);
  TextBox& TextBoxNamed(std::string_view name) override;
  ListBox& ListNamed(std::string_view name) override;
  Label& LabelNamed(std::string_view name) override;
  std::uintptr_t hWnd() const override { return 0x5e7; }
  void ShowModal(SetupEvents& sink) override;

  FakeTextBox& text(std::string_view name) { return texts.at(std::string(name)); }
  FakeListBox& list(std::string_view name) { return lists.at(std::string(name)); }
  FakeLabel& label(std::string_view name) { return labels.at(std::string(name)); }

  const FormLayout& layout;
  std::map<std::string, FakeTextBox> texts;
  std::map<std::string, FakeListBox> lists;
  std::map<std::string, FakeLabel> labels;
  SetupEvents* events = nullptr;
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
  const std::int64_t* now = nullptr;
};

// All of it, wired together.
class FakeBackend {
 public:
  FakeBackend();

  // Moves time on by `seconds`, one second at a time: each second first
  // delivers a due timer tick, then the end of a clip that has run out.
  void Advance(int seconds);

  FakeStore store;
  std::unique_ptr<DirListing> listing;
  FakeClock clock;
  FakeRandom random;
  FakeCursor cursor;
  FakeShell shell;
  FakeMessageBox messageBox;
  FakePointer pointer;
  FakeProgram program;
  FakeWindows windows;
  Services services;
  std::int64_t second = 0;  // seconds since the test began
};

}  // namespace tarnlight::fake
