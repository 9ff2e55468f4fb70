#include "platform/qt/qt_settings_store.h"

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/error.h"
#include "platform/qt/ini_text.h"
#include "platform/qt/lock_file.h"
#include "platform/qt/settings_file.h"

namespace tarnlight::qt {
namespace {

using namespace std::chrono_literals;

[[noreturn]] void SaveFailed(const std::string& path,
                             const std::string& reason) {
  throw PlatformError(err::kPathAccess,
                      "Unable to save the settings to " + path + ": " + reason);
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  const passwd* user = ::getpwuid(::getuid());
  return user && user->pw_dir ? user->pw_dir : "";
}

// The file that a save replaces: the one a symbolic link points to, so that
// the link stays.
std::string WrittenPath(const std::string& path) {
  std::error_code error;
  std::filesystem::path target = std::filesystem::canonical(path, error);
  return error ? path : target.string();
}

}  // namespace

std::string QtSettingsStore::FilePath(const std::string& app) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base = config && *config == '/' ? config : "";
  if (base.empty()) base = HomeFolder() + "/.config";
  return base + "/" + app + "/" + app + ".ini";
}

std::string QtSettingsStore::GetSetting(const std::string& app,
                                        const std::string& section,
                                        const std::string& key) {
  std::string why;
  const std::optional<std::string> text = ReadRegularFile(FilePath(app), why);
  if (!text) return {};
  return ini::Find(*text, section, key).value_or(std::string());
}

namespace {

// Any thread. What kept the value from the file, or "" once it is there.
std::string SaveNow(const std::string& path, const std::string& section,
                    const std::string& key, const std::string& value) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(),
                                      error);
  if (error) return "the folder cannot be created (" + error.message() + ")";
  LockFile lock(path + ".lock");
  std::string problem = lock.Take(250ms);
  if (!problem.empty()) return problem;
  const std::optional<std::string> text = ReadRegularFile(path, problem);
  if (!text) return problem;
  const std::string changed = ini::Set(*text, section, key, value);
  if (changed == *text) return {};
  return ReplaceFile(WrittenPath(path), changed);
}

}  // namespace

struct QtSettingsStore::Save {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::string problem;
};

void QtSettingsStore::SaveSetting(const std::string& app,
                                  const std::string& section,
                                  const std::string& key,
                                  const std::string& value) {
  const std::string path = FilePath(app);
  if (pending_) {
    std::lock_guard<std::mutex> lock(pending_->mutex);
    if (!pending_->done) SaveFailed(path, "an earlier save has not finished");
  }
  auto save = std::make_shared<Save>();
  pending_ = save;
  // Detached: the program's end does not wait for a share.
  std::thread([save, path, section, key, value] {
    std::string problem;
    try {
      problem = SaveNow(path, section, key, value);
    } catch (const std::exception& e) {
      problem = e.what();
    }
    std::lock_guard<std::mutex> lock(save->mutex);
    save->problem = problem;
    save->done = true;
    save->finished.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(save->mutex);
  if (!save->finished.wait_for(lock, wait_, [&] { return save->done; })) {
    SaveFailed(path, "the file system did not answer within " +
                         std::to_string(wait_.count()) + " ms");
  }
  if (!save->problem.empty()) SaveFailed(path, save->problem);
}

}  // namespace tarnlight::qt
