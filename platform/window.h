#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/controls.h"
#include "platform/engine.h"
#include "platform/form_layout.h"

namespace tarnlight {

// The mouse over a control: buttons (bit 0 left, 1 right, 2 middle), shift
// state (bit 0 Shift, 1 Ctrl, 2 Alt) and the position in twips.
struct MouseInfo {
  int button, shift, x, y;
};

// What a window reports, in generic terms; a control is named as its layout
// names it, and the window itself by the empty name. The back end calls
// these on the GUI thread, one at a time; none of them raises. A form
// overrides the events it handles; the others do nothing.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  // Once, inside the call that shows the window, before it is visible.
  virtual void Load() {}
  virtual void Click(std::string_view /*control*/) {}
  // Only for keys that produce a character.
  virtual void KeyPress(std::string_view /*control*/, int /*character*/) {}
  // Only for controls whose layout asks for the mouse.
  virtual void MouseDown(std::string_view /*control*/, MouseInfo /*mouse*/) {}
  virtual void MouseMove(std::string_view /*control*/, MouseInfo /*mouse*/) {}
  // The window's timer.
  virtual void Tick() {}
  // The window system closed the window; the back end delivers nothing
  // after it.
  virtual void Closed() {}
  // The display the window is on went dark (its power saving turned it
  // off) or came back. Only the saver window reports it.
  virtual void DisplayPower(bool /*on*/) {}
};

// Design values of the saver window: its player, named as in key presses,
// and its timer.
struct SaverLayout {
  std::string_view playerName;
  int playerLeft, playerTop, playerWidth, playerHeight;  // twips
  int timerIntervalMs;
};

// The borderless, black window over the whole screen, with a surface in
// which its engine draws the clip.
class SaverWindow {
 public:
  virtual ~SaverWindow() = default;
  // Outer size in twips.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual double TwipsPerPixel() const = 0;
  virtual Timer& timer() = 0;
  virtual Engine& engine() = 0;
  // Non-modal: runs Load, shows the window and returns at once.
  virtual void Show(WindowEvents& events) = 0;
  // Delivers no more events and takes the window off the screen, without
  // waiting for anything.
  virtual void Close() = 0;
};

// The setup dialog, built from its layout. Controls are reached by the
// names the layout gives them; an unknown name raises PlatformError.
class SetupWindow {
 public:
  virtual ~SetupWindow() = default;
  virtual TextBox& TextBoxNamed(std::string_view name) = 0;
  virtual ListBox& ListNamed(std::string_view name) = 0;
  virtual Label& LabelNamed(std::string_view name) = 0;
  // The native handle, as the shell's owner window.
  virtual std::uintptr_t NativeHandle() const = 0;
  // Modal: runs Load, shows the dialog and returns when it has gone.
  virtual void ShowModal(WindowEvents& events) = 0;
  // Delivers no more events and takes the dialog off the screen.
  virtual void Close() = 0;
};

class WindowFactory {
 public:
  virtual ~WindowFactory() = default;
  virtual std::unique_ptr<SaverWindow> CreateSaverWindow(
      const SaverLayout& layout) = 0;
  virtual std::unique_ptr<SetupWindow> CreateSetupWindow(
      const FormLayout& layout) = 0;
};

}  // namespace tarnlight
