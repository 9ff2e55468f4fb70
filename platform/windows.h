#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/controls.h"
#include "platform/form_layout.h"

namespace tarnlight {

// Events of the saver window; the back end calls them on the GUI thread,
// one at a time. Key presses come only for keys that produce a character.
class SaverEvents {
 public:
  virtual ~SaverEvents() = default;
  virtual void Form_Load() = 0;
  virtual void Form_KeyPress(int keyAscii) = 0;
  virtual void timTimer_Timer() = 0;
  virtual void vid_EndOfStream() = 0;
  virtual void vid_KeyPress(int keyAscii) = 0;
};

// Design values of the saver window's player and timer.
struct SaverLayout {
  int vidLeft, vidTop, vidWidth, vidHeight;
  int timerIntervalMs;
};

// The borderless, black, full-screen saver window with its player and timer.
class SaverWindow {
 public:
  virtual ~SaverWindow() = default;
  // Outer size in twips.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual Player& vid() = 0;
  virtual Timer& timTimer() = 0;
  // Non-modal: runs Form_Load, shows the window and returns at once.
  virtual void Show(SaverEvents& events) = 0;
};

class SetupEvents {
 public:
  virtual ~SetupEvents() = default;
  virtual void Form_Load() = 0;
  virtual void Command1_Click() = 0;
  virtual void cmdClose_Click() = 0;
  virtual void Label4_MouseDown(int button, int shift, int x, int y) = 0;
  virtual void Label4_MouseMove(int button, int shift, int x, int y) = 0;
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
  virtual std::uintptr_t hWnd() const = 0;
  // Modal: runs Form_Load, shows the dialog and returns when it has gone.
  virtual void ShowModal(SetupEvents& events) = 0;
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
