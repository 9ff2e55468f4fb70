#pragma once

#include <memory>

#include "platform/services.h"
#include "shared/lifecycle.h"
#include "shared/module1.h"
#include "startup/mode.h"

namespace tarnlight {

class frmVid;
class frmSetup;

// The program's own logic: owns the shared values and each window, which
// is created on first use and lives until the program ends.
class Tarnlight {
 public:
  explicit Tarnlight(Services& services);
  ~Tarnlight();

  // Loads the settings and opens the window the command line asks for, read
  // in the back end's convention. A preview is the saver to this side: its
  // window is the back end's to place, and its host's to end. Returns true
  // when a window of the run remains, so the back end runs its event loop
  // until the end-program operation; false when none does (the dialog has
  // gone, or no mode was asked for) and the run ends now.
  bool Main(Convention convention = Convention::Substrings);

  // The end-program operation, for a request from outside the windows
  // (a signal): every window is taken down and the process ends.
  [[noreturn]] void End() { lifecycle_.EndProgram(); }

  const Module1& module1() const { return m_; }
  // The saver form, once "/s" (or a preview) has made it.
  const frmVid* saver() const { return vid_.get(); }

 private:
  Services& s_;
  Module1 m_;
  Lifecycle lifecycle_;
  std::unique_ptr<frmVid> vid_;
  std::unique_ptr<frmSetup> setup_;
};

}  // namespace tarnlight
