#pragma once

#include <cstdint>
#include <string_view>

namespace tarnlight {

// Preview: the saver inside a window named on the command line.
enum class Mode { Setup, Saver, Preview, None };

// How the system that starts the program words its command lines; the back
// end knows which one it runs under.
enum class Convention {
  // Case-sensitive substrings: "/c" anywhere opens the dialog, else "/s"
  // anywhere runs the saver; nothing else opens a window.
  Substrings,
  // The Windows shell's: a whole argument text of one of its forms (no
  // argument, "/s", "/S", "/c", "/C", "/c:N", "/c N", "/p N", "/P N",
  // "/p:N", "/a") means what the shell means by it; any other text is read
  // as Substrings reads it.
  WindowsShell,
};

struct Choice {
  Mode mode = Mode::None;
  // The window the command line names, as an unsigned number: the dialog's
  // owner (Setup) or the preview's host (Preview); 0 when none is named.
  std::uintptr_t window = 0;
};

Choice ChooseMode(std::string_view arguments,
                  Convention convention = Convention::Substrings);

}  // namespace tarnlight
