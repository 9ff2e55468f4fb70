#include "saver/frm_vid.h"

#include <cstdint>

#include "platform/error.h"
#include "platform/time_of_day.h"
#include "saver/clip_picker.h"
#include "saver/frm_vid_layout.h"
#include "saver/random_integer.h"
#include "saver/restore_cursor.h"

namespace tarnlight {

frmVid::frmVid(Module1& m, Services& s)
    : m_(m), s_(s), window_(s.windows.CreateSaverWindow(kFrmVidLayout)) {}

void frmVid::Show() { window_->Show(*this); }

void frmVid::Form_Load() { WaitForNextClip(); }

void frmVid::Form_KeyPress(int) { EndSaver(); }

void frmVid::vid_KeyPress(int) { EndSaver(); }

void frmVid::vid_EndOfStream() { WaitForNextClip(); }

void frmVid::timTimer_Timer() {
  ++tickCount_;
  if (tickCount_ == m_.intervalTime) PlayNextClip();
}

void frmVid::WaitForNextClip() {
  window_->vid().SetVisible(false);
  tickCount_ = 0;
  window_->timTimer().SetEnabled(true);
}

// Any platform error on the way to a playing clip, from an unreadable time
// text to a player that refuses the file, only starts a new pause.
void frmVid::PlayNextClip() {
  tickCount_ = 0;
  window_->timTimer().SetEnabled(false);
  Player& vid = window_->vid();
  vid.SetVisible(false);
  try {
    if (!InPlayWindow()) {
      WaitForNextClip();
      return;
    }
    vid.SetFileName(PickRandomClip(m_, s_, m_.vidFolder));
    PlaceRandomly(vid);
    vid.SetEnabled(true);
    vid.Play();
    vid.SetVisible(true);
  } catch (const PlatformError&) {
    WaitForNextClip();
  }
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

void frmVid::PlaceRandomly(Player& vid) {
  std::int32_t spanX = Span(window_->Width(), vid.Width());
  vid.SetLeft(RandomInteger(s_.random, s_.clock, 0, spanX));
  std::int32_t spanY = Span(window_->Height(), vid.Height());
  vid.SetTop(RandomInteger(s_.random, s_.clock, 0, spanY));
}

void frmVid::EndSaver() {
  RestoreCursor(s_.cursor);
  s_.program.End();
}

}  // namespace tarnlight
