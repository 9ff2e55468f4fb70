#pragma once

#include <memory>

#include "platform/services.h"
#include "shared/dispatch.h"
#include "shared/lifecycle.h"
#include "shared/module1.h"

namespace tarnlight {

// The setup dialog's handlers: load fills the controls from the store and
// the in-memory times, OK saves all four settings and ends, Cancel ends.
// An error in any handler is shown in a message box and the dialog goes on.
class frmSetup final : public WindowEvents, private Dispatcher {
 public:
  frmSetup(const Module1& m, Services& s, Lifecycle& lifecycle);

  // Modal: returns when the dialog has gone.
  void ShowModal();

  void Load() override;
  void Click(std::string_view control) override;
  void MouseDown(std::string_view control, MouseInfo mouse) override;
  void MouseMove(std::string_view control, MouseInfo mouse) override;

 private:
  // The form's own handlers.
  void Form_Load();
  void Command1_Click();
  void cmdClose_Click();
  void Label4_MouseDown(int button, int shift, int x, int y);
  void Label4_MouseMove(int button, int shift, int x, int y);

  void Run(const std::function<void()>& handler) override;
  void FillTimes(ListBox& list, const std::string& current);
  void OpenLink();

  const Module1& m_;
  Services& s_;
  Lifecycle& lifecycle_;
  std::unique_ptr<SetupWindow> window_;
};

}  // namespace tarnlight
