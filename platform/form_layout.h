#pragma once

#include <array>
#include <span>
#include <string_view>

namespace tarnlight {

// Twips per pixel at `dpi` dots per inch: a twip is 1/1440 inch, 15 to a
// pixel at 96 dpi.
constexpr double TwipsPerPixelAt(int dpi) {
  return 1440.0 / (dpi > 0 ? dpi : 96);
}

// A window and its controls as plain data; each back end builds real widgets
// from it. All positions and sizes are in twips, relative to the client area.

enum class ControlKind { Label, TextBox, DropDownList, CommandButton };
enum class FontChoice { DialogDefault, Verdana };
enum class TextAlign { Left, Centre };
enum class ButtonRole { None, Default, Cancel };

struct Rgb {
  unsigned char red, green, blue;
  friend constexpr bool operator==(Rgb, Rgb) = default;
};

struct ControlLayout {
  std::string_view name;
  ControlKind kind;
  std::string_view text;
  int left, top, width, height;
  int tabIndex;
  FontChoice font;
  std::string_view tooltip;  // empty: none
  bool hasColour;            // false: the window system's text colour
  Rgb colour;
  TextAlign align;
  ButtonRole role;
  bool reportsMouse;  // mouse down and move reach the handlers
};

// Verdana 8.25 pt, weight 400, Western character set.
struct FontLayout {
  std::string_view family;
  double points;
  int weight;
};

// A 16 x 16 icon: one character per pixel, indexing `palette` by its
// position in `paletteKeys`; ' ' is transparent.
struct IconLayout {
  std::string_view paletteKeys;
  std::span<const Rgb> palette;
  std::array<std::string_view, 16> rows;
};

struct FormLayout {
  std::string_view name;
  std::string_view caption;
  int clientWidth, clientHeight;
  bool fixedToolWindow;  // not resizable, no minimise/maximise, no taskbar
  bool centred;
  FontLayout font;
  const IconLayout* icon;  // may be null
  std::span<const ControlLayout> controls;
};

}  // namespace tarnlight
