#include "startup/mode.h"

#include <limits>
#include <optional>

namespace tarnlight {
namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
  return text;
}

// Decimal digits only, as the shell writes a window handle; nothing for any
// other text or a number too wide for a handle.
std::optional<std::uintptr_t> Handle(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  constexpr std::uintptr_t kLargest =
      std::numeric_limits<std::uintptr_t>::max();
  std::uintptr_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    std::uintptr_t digit = std::uintptr_t(c - '0');
    if (value > (kLargest - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

Choice BySubstrings(std::string_view arguments) {
  if (arguments.find("/c") != std::string_view::npos) return {Mode::Setup};
  if (arguments.find("/s") != std::string_view::npos) return {Mode::Saver};
  return {};
}

// "/x", "/x:N" or "/x N" (blanks before N), x in either case; nothing when
// the text is not of that form.
std::optional<std::uintptr_t> SwitchWithWindow(std::string_view text,
                                               char letter) {
  if (text.size() < 2 || text[0] != '/' ||
      (text[1] != letter && text[1] != letter - 'a' + 'A'))
    return std::nullopt;
  std::string_view rest = text.substr(2);
  if (rest.empty()) return 0;
  if (rest.front() == ':') return Handle(rest.substr(1));
  if (!Blank(rest.front())) return std::nullopt;
  return Handle(Trimmed(rest));
}

std::optional<Choice> ByShellForm(std::string_view arguments) {
  std::string_view text = Trimmed(arguments);
  if (text.empty()) return Choice{Mode::Setup};
  if (text == "/s" || text == "/S") return Choice{Mode::Saver};
  if (text == "/a") return Choice{};
  if (auto owner = SwitchWithWindow(text, 'c'))
    return Choice{Mode::Setup, *owner};
  // "/p" with no window names none: the preview has nothing to draw in.
  if (auto host = SwitchWithWindow(text, 'p'))
    return Choice{Mode::Preview, *host};
  return std::nullopt;
}

}  // namespace

Choice ChooseMode(std::string_view arguments, Convention convention) {
  if (convention == Convention::WindowsShell)
    if (std::optional<Choice> shell = ByShellForm(arguments)) return *shell;
  return BySubstrings(arguments);
}

}  // namespace tarnlight
