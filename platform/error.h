#pragma once

#include <stdexcept>
#include <string>

namespace tarnlight {

// The one error type every platform service raises. The number follows the
// classic runtime error numbers where one fits (5 invalid call, 6 overflow,
// 7 out of memory, 13 type mismatch, 51 internal error, 53 file not found,
// 75 path/file access error, 380 invalid property value, 381 invalid
// property array index, 424 object required).
class PlatformError : public std::runtime_error {
 public:
  PlatformError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  int number() const noexcept { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

namespace err {
inline constexpr int kInvalidCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kFileNotFound = 53;
inline constexpr int kInternal = 51;
inline constexpr int kPathAccess = 75;
inline constexpr int kInvalidValue = 380;
inline constexpr int kInvalidIndex = 381;
inline constexpr int kObjectRequired = 424;
}  // namespace err

}  // namespace tarnlight
