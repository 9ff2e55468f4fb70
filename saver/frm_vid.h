#pragma once

#include <cstdint>
#include <memory>

#include "platform/services.h"
#include "saver/serial_files.h"
#include "saver/vid_player.h"
#include "shared/dispatch.h"
#include "shared/lifecycle.h"
#include "shared/module1.h"

namespace tarnlight {

// The saver: pauses intervalTime seconds, plays a random clip at a random
// spot, pauses again when it ends, and ends the program on a character key.
// Every handler runs on the GUI thread; an error in any of them only starts
// a new pause.
class frmVid final : public WindowEvents, private Dispatcher {
 public:
  frmVid(Module1& m, Services& s, Lifecycle& lifecycle);

  // Non-modal: returns at once, the window showing.
  void Show();
  const VidPlayer& vid() const { return *vid_; }

  void Load() override;
  void KeyPress(std::string_view control, int character) override;
  void Tick() override;
  void Closed() override;
  void DisplayPower(bool on) override;

 private:
  // The form's own handlers.
  void Form_Load();
  void Form_KeyPress(int keyAscii);
  void timTimer_Timer();
  void vid_EndOfStream();
  void vid_KeyPress(int keyAscii);

  void Run(const std::function<void()>& handler) override;
  void WaitForNextClip();
  void PlayNextClip();
  void ClipsListed(const FolderListing& found);
  void StartOpenedClip();
  bool InPlayWindow();
  void PlaceRandomly();
  void DisplayOff();
  void DisplayOn();
  void EndSaver();
  void TakeDown();

  // Where the cycle stands: only a listing the saver still waits for may
  // go on to a clip, and nothing starts while the display is dark.
  enum class Step { Pause, Listing, Clip, Dark, Down };

  Module1& m_;
  Services& s_;
  Lifecycle& lifecycle_;
  SerialFiles files_;
  std::unique_ptr<SaverWindow> window_;
  std::unique_ptr<VidPlayer> vid_;
  std::int64_t tickCount_ = 0;
  Step step_ = Step::Pause;
};

}  // namespace tarnlight
