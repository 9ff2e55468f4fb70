#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tarnlight::test {

// A temporary clip folder, removed again at the end of the test.
struct ClipFolder {
  ClipFolder() { std::filesystem::create_directories(path_); }
  ~ClipFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  // The folder as a stored setting names it, with its trailing backslash.
  std::string text() const { return path_.string() + "\\"; }
  void File(const std::string& name) { std::ofstream(path_ / name) << "x"; }

 private:
  std::filesystem::path path_ =
      std::filesystem::temp_directory_path() /
      ("tarnlight-test-" + std::to_string(std::random_device()()) +
       std::to_string(std::random_device()()));
};

}  // namespace tarnlight::test
