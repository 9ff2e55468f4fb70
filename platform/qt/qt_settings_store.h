#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/services.h"

namespace tarnlight::qt {

// One INI file per application, $XDG_CONFIG_HOME/<app>/<app>.ini (or
// ~/.config/...), the section as its group, read and written as ini_text.h
// says. Every save reaches the file before SaveSetting returns: the new text
// goes into a file beside it that is renamed over it, so the file is always
// whole, and a lock file beside it keeps two programs from saving at once.
// A save waits at most 250 ms for another program's lock, and the GUI
// thread waits for a save at most `wait` in all (300 ms; tests give it
// longer, since on a loaded machine a thread's start or a sync alone can
// take that long): the file's own work runs on a thread that a home on a
// share that stopped answering may keep, and until it is done every further
// save fails at once. A save that fails raises PlatformError 75 naming the
// file and the reason, and leaves the file as it was. A path that holds
// anything but a regular file (a folder, a FIFO, a device) is never opened:
// it reads as empty and takes no save. Reads never raise. GUI thread only.
class QtSettingsStore final : public SettingsStore {
 public:
  explicit QtSettingsStore(
      std::chrono::milliseconds wait = std::chrono::milliseconds(300))
      : wait_(wait) {}
  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key) override;
  void SaveSetting(const std::string& app, const std::string& section,
                   const std::string& key, const std::string& value) override;

  static std::string FilePath(const std::string& app);

 private:
  struct Save;
  std::chrono::milliseconds wait_;
  std::shared_ptr<Save> pending_;
};

}  // namespace tarnlight::qt
