#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tarnlight::test {

// A temporary clip folder, removed again at the end of the test.
class ClipFolder {
 public:
  ClipFolder() {
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() /
            ("tarnlight-test-" + std::to_string(device()) + std::to_string(device()));
    std::filesystem::create_directories(path_);
  }
  ~ClipFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ClipFolder(const ClipFolder&) = delete;
  ClipFolder& operator=(const ClipFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as a stored setting would name it, with its trailing
  // backslash.
  std::string text() const { return path_.string() + "\\"; }

  void File(const std::string& name) { std::ofstream(path_ / name) << "x"; }
  void Folder(const std::string& name) {
    std::filesystem::create_directory(path_ / name);
  }
  void Remove(const std::string& name) { std::filesystem::remove(path_ / name); }

 private:
  std::filesystem::path path_;
};

}  // namespace tarnlight::test
