#include "tests/fake/fake_backend.h"

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

void FakeClock::AdvanceSecond() {
  ticks += 1000;
  if (++now.second < 60) return;
  now.second = 0;
  if (++now.minute < 60) return;
  now.minute = 0;
  now.hour = (now.hour + 1) % 24;
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

void FakeShell::ShellExecute(std::uintptr_t owner, const std::string& operation,
                             const std::string& file, int showCommand) {
  if (pointerCodes && !pointerCodes->empty())
    pointerAtCall.push_back(pointerCodes->back());
  if (failure) throw *failure;
  calls.push_back({owner, operation, file, showCommand});
}

void FakeMessageBox::MsgBox(const std::string& text, const std::string& title) {
  shown.emplace_back(text, title);
}

void FakeProgram::End() {
  ended = true;
  throw ProgramEnded{};
}

void FakeTimer::SetEnabled(bool on) {
  if (on && !enabled) enabledAt = *now;
  enabled = on;
}

void FakePlayer::SetFileName(const std::string& path) {
  fileNames.push_back({*now, path});
  if (refuseFile) throw PlatformError(53, "File not found");
  fileName = path;
  width = clipWidth;
  height = clipHeight;
}

void FakePlayer::Play() {
  if (failPlay) throw PlatformError(5, "Invalid procedure call or argument");
  plays.push_back(*now);
  endsAt = *now + clipSeconds;
}

FakeSaverWindow::FakeSaverWindow(const SaverLayout& l, int w, int h,
                                 const std::int64_t* now)
    : layout(l), width(w), height(h) {
  player.left = l.vidLeft;
  player.top = l.vidTop;
  player.width = l.vidWidth;
  player.height = l.vidHeight;
  player.now = now;
  timer.now = now;
}

void FakeSaverWindow::Show(SaverEvents& sink) {
  events = &sink;
  sink.Form_Load();
  shown = true;
}

int FakeListBox::AddItem(const std::string& text) {
  items.push_back(text);
  return static_cast<int>(items.size()) - 1;
}

std::string FakeListBox::List(int i) const {
  if (i < 0 || i >= ListCount()) throw PlatformError(381, "Invalid property array index");
  return items[static_cast<std::size_t>(i)];
}

void FakeListBox::SetListIndex(int i) {
  if (i < -1 || i >= ListCount()) throw PlatformError(380, "Invalid property value");
  index = i;
  selections.push_back(i);
}

FakeSetupWindow::FakeSetupWindow(const FormLayout& l) : layout(l) {
  for (const ControlLayout& c : l.controls) {
    std::string name(c.name);
    if (c.kind == ControlKind::TextBox) texts[name];
    if (c.kind == ControlKind::DropDownList) lists[name];
    if (c.kind == ControlKind::Label) labels[name];
  }
}

template <typename Map>
auto& Named(Map& map, std::string_view name) {
  auto it = map.find(std::string(name));
  if (it == map.end()) throw PlatformError(424, "Object required");
  return it->second;
}

TextBox& FakeSetupWindow::TextBoxNamed(std::string_view name) {
  return Named(texts, name);
}
ListBox& FakeSetupWindow::ListNamed(std::string_view name) {
  return Named(lists, name);
}
Label& FakeSetupWindow::LabelNamed(std::string_view name) {
  return Named(labels, name);
}

void FakeSetupWindow::ShowModal(SetupEvents& sink) {
  events = &sink;
  sink.Form_Load();
  shownModal = true;
}

std::unique_ptr<SaverWindow> FakeWindows::CreateSaverWindow(
    const SaverLayout& layout) {
  ++saverCreated;
  auto window =
      std::make_unique<FakeSaverWindow>(layout, saverWidth, saverHeight, now);
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
    : listing(CreateSystemListing()),
      services{store, *listing,   clock,   random,  cursor,
               shell, messageBox, pointer, program, windows} {
  windows.now = &second;
  shell.pointerCodes = &pointer.codes;
}

void FakeBackend::Advance(int seconds) {
  for (int i = 0; i < seconds; ++i) {
    ++second;
    clock.AdvanceSecond();
    FakeSaverWindow* w = windows.saver;
    if (!w || !w->events) continue;
    if (w->timer.enabled && w->timer.enabledAt < second) w->events->timTimer_Timer();
    FakePlayer& p = w->player;
    if (p.endsAt && *p.endsAt <= second) {
      p.endsAt.reset();
      w->events->vid_EndOfStream();
    }
  }
}

}  // namespace tarnlight::fake
