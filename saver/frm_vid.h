#pragma once

#include <cstdint>
#include <memory>

#include "platform/services.h"
#include "startup/module1.h"

namespace tarnlight {

// The saver: pauses intervalTime seconds, plays a random clip at a random
// spot, pauses again when it ends, and ends the program on a character key.
// Every handler runs on the GUI thread.
class frmVid final : public SaverEvents {
 public:
  frmVid(Module1& m, Services& s);

  void Show();

  void Form_Load() override;
  void Form_KeyPress(int keyAscii) override;
  void timTimer_Timer() override;
  void vid_EndOfStream() override;
  void vid_KeyPress(int keyAscii) override;

 private:
  void WaitForNextClip();
  void PlayNextClip();
  bool InPlayWindow();
  void PlaceRandomly(Player& vid);
  void EndSaver();

  Module1& m_;
  Services& s_;
  std::unique_ptr<SaverWindow> window_;
  std::int64_t tickCount_ = 0;
};

}  // namespace tarnlight
