#pragma once

#include <memory>

#include "platform/services.h"
#include "startup/module1.h"

namespace tarnlight {

class frmVid;
class frmSetup;

// The program's own logic: owns the shared values and each window, which
// is created on first use and lives until the program ends.
class Tarnlight {
 public:
  explicit Tarnlight(Services& services);
  ~Tarnlight();

  // Loads the settings and opens the window the command line asks for.
  // Returns at once for the saver, after the dialog has gone for setup, and
  // at once with nothing shown otherwise.
  void Main();

  const Module1& module1() const { return m_; }

 private:
  Services& s_;
  Module1 m_;
  std::unique_ptr<frmVid> vid_;
  std::unique_ptr<frmSetup> setup_;
};

}  // namespace tarnlight
