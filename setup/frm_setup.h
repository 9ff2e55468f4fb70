#pragma once

#include <memory>

#include "platform/services.h"
#include "startup/module1.h"

namespace tarnlight {

// The setup dialog's handlers: load fills the controls from the store and
// the in-memory times, OK saves all four settings and ends, Cancel ends.
class frmSetup final : public SetupEvents {
 public:
  frmSetup(const Module1& m, Services& s);

  void ShowModal();

  void Form_Load() override;
  void Command1_Click() override;
  void cmdClose_Click() override;
  void Label4_MouseDown(int button, int shift, int x, int y) override;
  void Label4_MouseMove(int button, int shift, int x, int y) override;

 private:
  void FillTimes(ListBox& list, const std::string& current);
  void OpenLink();

  const Module1& m_;
  Services& s_;
  std::unique_ptr<SetupWindow> window_;
};

}  // namespace tarnlight
