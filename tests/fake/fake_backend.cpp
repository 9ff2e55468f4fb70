#include "tests/fake/fake_backend.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/system_listing.h"

namespace tarnlight::fake {
namespace {

std::string Address(const std::string& app, const std::string& section,
                    const std::string& key) {
  return app + "/" + section + "/" + key;
}

}  // namespace

std::string FakeStore::GetSetting(const std::string& app,
                                  const std::string& section,
                                  const std::string& key) {
  log.push_back("get " + key);
  auto it = values.find(Address(app, section, key));
  return it == values.end() ? "" : it->second;
}

void FakeStore::SaveSetting(const std::string& app, const std::string& section,
                            const std::string& key, const std::string& value) {
  log.push_back("save " + key + "=" + value);
  if (writeFailure) throw *writeFailure;
  writes.push_back(key + "=" + value);
  values[Address(app, section, key)] = value;
}

std::optional<std::string> FakeStore::Value(const std::string& key) const {
  auto it = values.find(Address("Tarnlight", "settings", key));
  if (it == values.end()) return std::nullopt;
  return it->second;
}

void FakeStore::Put(const std::string& key, const std::string& value) {
  values[Address("Tarnlight", "settings", key)] = value;
}

void FakeRandom::Reseed(std::uint64_t clockTicks) {
  ++reseeds;
  generator.Reseed(clockTicks);
}

float FakeRandom::Draw() {
  if (script.empty()) return generator.Draw();
  float r = script.front();
  script.pop_front();
  return r;
}

int FakeCursor::ShowCursor(bool show) {
  ++calls;
  count += show ? 1 : -1;
  return count;
}

void FakeShell::Open(const std::string& address, std::uintptr_t owner) {
  if (pointerCodes && !pointerCodes->empty())
    pointerAtCall.push_back(pointerCodes->back());
  if (failure) throw *failure;
  calls.push_back({address, owner});
}

void FakeMessageBox::MsgBox(const std::string& text, const std::string& title) {
  shown.emplace_back(text, title);
}

void FakeProgram::End() {
  ended = true;
  throw ProgramEnded{};
}

void FakeLoop::After(int ms, std::function<void()> work) {
  queue_.emplace(nowMs + ms, std::move(work));  // after others due then
}

void FakeLoop::RunUntil(std::int64_t untilMs) {
  while (!queue_.empty() && queue_.begin()->first <= untilMs) {
    nowMs = std::max(queue_.begin()->first, nowMs);
    std::function<void()> work = std::move(queue_.begin()->second);
    queue_.erase(queue_.begin());
    work();
  }
  nowMs = untilMs;
}

FakeFiles::FakeFiles(FakeLoop& loop)
    : loop_(loop), listing_(CreateSystemListing()) {}

void FakeFiles::Answer(int afterMs, std::function<void()> answer) {
  mostOut = std::max(mostOut, ++out);
  if (afterMs < 0) return;
  loop_.After(afterMs, [this, answer] {
    --out;
    answer();
  });
}

void FakeFiles::List(const std::string& pattern, int mask,
                     std::function<void(FolderListing)> answer) {
  lists.push_back({loop_.nowMs / 1000, pattern});
  FolderListing found;
  if (listFailure)
    found.error = listFailure;
  else
    found.names = ListAll(*listing_, pattern, mask);
  Answer(listAfterMs, [answer, found] { answer(found); });
}

void FakeFiles::Probe(const std::string& path,
                      std::function<void(FileKind)> answer) {
  probes.push_back({loop_.nowMs / 1000, path});
  // Folder texts in these tests name POSIX or Windows paths with "\" as
  // the separator.
  std::string native = path;
  if (std::filesystem::path::preferred_separator == '/')
    std::replace(native.begin(), native.end(), '\\', '/');
  std::error_code ec;
  auto status = std::filesystem::status(native, ec);
  FileKind kind = ec || !std::filesystem::exists(status)     ? FileKind::Missing
                  : std::filesystem::is_regular_file(status) ? FileKind::Regular
                                                             : FileKind::Other;
  Answer(neverAnswer ? -1 : 0, [answer, kind] { answer(kind); });
}

void FakeTimer::SetEnabled(bool on) {
  if (on && !enabled) {
    enabled = true;
    Schedule();
  }
  if (!on && enabled) {
    enabled = false;
    ++generation_;
  }
}

void FakeTimer::Schedule() {
  std::uint64_t generation = generation_;
  loop_.After(interval_, [this, generation] {
    if (generation != generation_ || !enabled) return;
    Schedule();
    if (events) events->Tick();
  });
}

void FakeEngine::Open(std::uint64_t clip, const std::string& path) {
  Stop();
  current_ = clip;
  busy = true;
  opens.push_back({loop_.nowMs / 1000, clip, path});
  if (answerAfterMs < 0) return;
  auto failure = openFailure;
  PixelSize size = clipSize;
  loop_.After(answerAfterMs, [this, clip, failure, size] {
    if (!events) return;
    if (failure)
      events->Failed(clip, *failure);
    else
      events->Opened(clip, size);
  });
}

void FakeEngine::Play() {
  if (failPlay) throw PlatformError(5, "Invalid procedure call or argument");
  if (failPlayStd) throw std::length_error("vector");
  plays.push_back(loop_.nowMs / 1000);
  playingSince_ = loop_.nowMs;
  if (clipSeconds < 0) return;
  std::uint64_t clip = current_;
  loop_.After(clipSeconds * 1000, [this, clip] {
    if (clip != current_ || playingSince_ < 0) return;
    playingSince_ = -1;
    if (events) events->Ended(clip);
  });
}

void FakeEngine::Stop() {
  busy = false;
  current_ = 0;
  playingSince_ = -1;
}

// One frame in 40 ms while playing, as a 25 fps clip would.
std::uint64_t FakeEngine::Progress() const {
  if (playingSince_ < 0 || stalls) return 0;
  return std::uint64_t((loop_.nowMs - playingSince_) / 40);
}

void FakeSaverWindow::Show(WindowEvents& sink) {
  events = &sink;
  timTimer.events = &sink;
  sink.Load();
  shown = true;
}

void FakeSaverWindow::Close() {
  closed = true;
  engineBusyAtClose = vid.busy;
  events = nullptr;
  timTimer.events = nullptr;
}

int FakeListBox::AddItem(const std::string& text) {
  items.push_back(text);
  return static_cast<int>(items.size()) - 1;
}

std::string FakeListBox::List(int i) const {
  CheckListEntry(i, ListCount());
  return items[static_cast<std::size_t>(i)];
}

void FakeListBox::SetListIndex(int i) {
  CheckListSelection(i, ListCount());
  index = i;
}

FakeSetupWindow::FakeSetupWindow(const FormLayout& layout) {
  for (const ControlLayout& c : layout.controls) {
    std::string name(c.name);
    if (c.kind == ControlKind::TextBox) texts[name];
    if (c.kind == ControlKind::DropDownList) lists[name];
    if (c.kind == ControlKind::Label) labels[name];
  }
}

void FakeSetupWindow::ShowModal(WindowEvents& sink) {
  events = &sink;
  sink.Load();
  shownModal = true;
}

std::unique_ptr<SaverWindow> FakeWindows::CreateSaverWindow(
    const SaverLayout& layout) {
  ++saverCreated;
  auto window =
      std::make_unique<FakeSaverWindow>(layout, saverWidth, saverHeight, *loop);
  saver = window.get();
  return window;
}

std::unique_ptr<SetupWindow> FakeWindows::CreateSetupWindow(
    const FormLayout& layout) {
  ++setupCreated;
  auto window = std::make_unique<FakeSetupWindow>(layout);
  setup = window.get();
  return window;
}

FakeBackend::FakeBackend()
    : services{store,   clock,   random,  cursor, shell, messageBox,
               pointer, program, windows, loop,   files} {
  windows.loop = &loop;
  shell.pointerCodes = &pointer.codes;
}

}  // namespace tarnlight::fake
