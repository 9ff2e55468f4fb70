#include "saver/frm_vid.h"

#include <cstdint>

#include "helpers/time_of_day.h"
#include "platform/error.h"
#include "saver/clip_picker.h"
#include "saver/frm_vid_layout.h"
#include "saver/random_integer.h"
#include "saver/restore_cursor.h"

namespace tarnlight {

frmVid::frmVid(Module1& m, Services& s, Lifecycle& lifecycle)
    : m_(m),
      s_(s),
      lifecycle_(lifecycle),
      files_(s.files),
      window_(s.windows.CreateSaverWindow(kFrmVidLayout)),
      vid_(std::make_unique<VidPlayer>(*window_, kFrmVidLayout, files_, s.loop,
                                       static_cast<Dispatcher&>(*this))) {
  vid_->OnEndOfStream([this] { vid_EndOfStream(); });
  lifecycle_.AtEnd([this] { TakeDown(); });
}

void frmVid::Show() { window_->Show(*this); }

// Whatever fails on the way to a playing clip, from an unreadable time text
// to a player that refuses the file, only starts a new pause.
void frmVid::Run(const std::function<void()>& handler) {
  Dispatch(handler, [this](const PlatformError&) { WaitForNextClip(); });
}

void frmVid::Load() {
  Run([this] { Form_Load(); });
}

void frmVid::KeyPress(std::string_view control, int character) {
  if (control == kFrmVidLayout.playerName)
    Run([this, character] { vid_KeyPress(character); });
  else
    Run([this, character] { Form_KeyPress(character); });
}

void frmVid::Tick() {
  Run([this] { timTimer_Timer(); });
}

// The window system took the window away: no window of the run remains.
void frmVid::Closed() { lifecycle_.EndProgram(); }

void frmVid::DisplayPower(bool on) {
  Run([this, on] { on ? DisplayOn() : DisplayOff(); });
}

void frmVid::Form_Load() { WaitForNextClip(); }

void frmVid::Form_KeyPress(int) { EndSaver(); }

void frmVid::vid_KeyPress(int) { EndSaver(); }

void frmVid::vid_EndOfStream() { WaitForNextClip(); }

void frmVid::timTimer_Timer() {
  ++tickCount_;
  if (tickCount_ == m_.intervalTime) PlayNextClip();
}

void frmVid::WaitForNextClip() {
  if (step_ == Step::Down || step_ == Step::Dark) return;
  step_ = Step::Pause;
  vid_->SetVisible(false);
  tickCount_ = 0;
  window_->timer().SetEnabled(true);
}

// Runs up to asking for the folder's names; the rest waits for them, and
// then for the clip to open, with the timer off. A listing takes as long as
// the folder needs. A clip that cannot be opened gives a full new pause.
void frmVid::PlayNextClip() {
  tickCount_ = 0;
  window_->timer().SetEnabled(false);
  vid_->SetVisible(false);
  if (!InPlayWindow()) {
    WaitForNextClip();
    return;
  }
  step_ = Step::Listing;
  files_.List(m_.vidFolder, attr::kNormal, [this](FolderListing found) {
    Run([this, &found] { ClipsListed(found); });
  });
}

void frmVid::ClipsListed(const FolderListing& found) {
  if (step_ != Step::Listing) return;
  step_ = Step::Clip;
  if (found.error) throw *found.error;
  vid_->SetFileName(
      PickRandomClip(m_, s_.random, s_.clock, m_.vidFolder, found.names),
      [this] { StartOpenedClip(); },
      [this](const PlatformError&) { WaitForNextClip(); });
}

void frmVid::StartOpenedClip() {
  PlaceRandomly();
  vid_->SetEnabled(true);
  vid_->Play();
  vid_->SetVisible(true);
}

// Both ends are inclusive to the minute; the window never wraps past
// midnight.
bool frmVid::InPlayWindow() {
  std::string now = FormatHhNn(s_.clock.Now());
  return MinutesFromTo(m_.timeFrom, now) >= 0 &&
         MinutesFromTo(now, m_.timeUntil) >= 0;
}

namespace {

// The free room along one axis; negative when the player is the larger.
std::int32_t Span(int outer, int inner) {
  std::int64_t span = std::int64_t{outer} - inner;
  if (span > INT32_MAX || span < INT32_MIN)
    throw PlatformError(err::kOverflow, "Overflow");
  return static_cast<std::int32_t>(span);
}

}  // namespace

void frmVid::PlaceRandomly() {
  std::int32_t spanX = Span(window_->Width(), vid_->Width());
  vid_->SetLeft(RandomInteger(s_.random, s_.clock, 0, spanX));
  std::int32_t spanY = Span(window_->Height(), vid_->Height());
  vid_->SetTop(RandomInteger(s_.random, s_.clock, 0, spanY));
}

// Nobody sees a clip on a dark display: none plays, and none starts, so
// that nothing is decoded for nothing.
void frmVid::DisplayOff() {
  if (step_ == Step::Down) return;
  step_ = Step::Dark;
  window_->timer().SetEnabled(false);
  vid_->Stop();
  vid_->SetVisible(false);
}

// Back on, the cycle starts over with a full pause.
void frmVid::DisplayOn() {
  if (step_ != Step::Dark) return;
  step_ = Step::Pause;
  WaitForNextClip();
}

void frmVid::EndSaver() {
  RestoreCursor(s_.cursor);
  lifecycle_.EndProgram();
}

// The engine stops before its window goes, so nothing it still reports
// can reach a window that no longer exists.
void frmVid::TakeDown() {
  step_ = Step::Down;
  window_->timer().SetEnabled(false);
  vid_->Stop();
  vid_->SetVisible(false);
  window_->Close();
}

}  // namespace tarnlight
