#pragma once

#include <string>
#include <string_view>

namespace tarnlight {

// Positions and sizes are twips: 1/1440 inch, 15 to a pixel at 96 dpi.
class Control {
 public:
  virtual ~Control() = default;
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Visible() const = 0;
  virtual void SetLeft(int twips) = 0;
  virtual void SetTop(int twips) = 0;
  virtual void SetVisible(bool visible) = 0;
};

class Timer {
 public:
  virtual ~Timer() = default;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
};

class TextBox {
 public:
  virtual ~TextBox() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
};

// A selection-only drop-down list; indices count from 0, -1 is no selection.
class ListBox {
 public:
  virtual ~ListBox() = default;
  // Appends at the end and returns the index of the new entry.
  virtual int AddItem(const std::string& text) = 0;
  virtual int ListCount() const = 0;
  virtual std::string List(int index) const = 0;
  virtual int ListIndex() const = 0;
  virtual void SetListIndex(int index) = 0;
};

class Label {
 public:
  virtual ~Label() = default;
  // Its own pointer, shown while the program-wide pointer is 0.
  virtual void SetMousePointer(int code) = 0;
};

// Pointer codes shared by the program-wide pointer and each control's own.
namespace pointer {
inline constexpr int kDefault = 0;
inline constexpr int kHourglass = 11;
inline constexpr int kArrowQuestion = 14;
}  // namespace pointer

// What a pointer code shows; each back end has its own cursor for each.
enum class PointerShape { Default, Busy, Help };

// Codes without a shape of their own show the default.
constexpr PointerShape ShapeOfPointer(int code) {
  switch (code) {
    case pointer::kHourglass:
      return PointerShape::Busy;
    case pointer::kArrowQuestion:
      return PointerShape::Help;
    default:
      return PointerShape::Default;
  }
}

}  // namespace tarnlight
