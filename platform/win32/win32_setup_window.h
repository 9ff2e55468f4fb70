#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/form_layout.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_services.h"
#include "platform/window.h"

namespace tarnlight::win32 {

class Win32TextBox final : public TextBox {
 public:
  explicit Win32TextBox(HWND edit) : edit_(edit) {}
  std::string Text() const override;
  void SetText(const std::string& text) override;

 private:
  HWND edit_;
};

class Win32ListBox final : public ListBox {
 public:
  explicit Win32ListBox(HWND combo) : combo_(combo) {}
  int AddItem(const std::string& text) override;
  int ListCount() const override;
  std::string List(int index) const override;
  int ListIndex() const override;
  void SetListIndex(int index) override;

 private:
  HWND combo_;
};

class Win32Label final : public Label {
 public:
  void SetMousePointer(int code) override { code_ = code; }
  int code() const { return code_; }

 private:
  int code_ = 0;
};

// The setup dialog built from its layout with standard controls: a fixed
// tool window, centred on its monitor, IsDialogMessage for Tab, Enter and
// Escape. Enter clicks the button whose role is Default, Escape the one
// whose role is Cancel. Laid out at the DPI of the monitor it is on, and
// again when it moves to one of another DPI. With an owner (another
// program's window, or null) it opens on the owner's monitor and is modal
// to it: the owner takes no input while the dialog shows.
class Win32SetupWindow final : public SetupWindow {
 public:
  Win32SetupWindow(const FormLayout& layout, Win32Pointer& pointer, HWND owner);
  ~Win32SetupWindow() override;

  TextBox& TextBoxNamed(std::string_view name) override;
  ListBox& ListNamed(std::string_view name) override;
  Label& LabelNamed(std::string_view name) override;
  std::uintptr_t NativeHandle() const override {
    return reinterpret_cast<std::uintptr_t>(hwnd_);
  }
  void ShowModal(WindowEvents& events) override;
  void Close() override;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  // For the controls whose layout asks for the mouse.
  static LRESULT CALLBACK MouseProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                                    UINT_PTR id, DWORD_PTR data);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  bool HandleMouse(HWND control, UINT msg, WPARAM wp, LPARAM lp);
  void Populate();
  void Build(const ControlLayout& control, int id);
  int Pixels(int twips) const;
  RECT Bounds(const ControlLayout& control) const;
  HFONT FontOf(const ControlLayout& control) const;
  void MakeFonts();
  void FitClientArea();
  void CentreOnMonitor();
  void Rescale(UINT dpi, const RECT& suggested);
  void Destroy();

  const FormLayout& layout_;
  Win32Pointer& pointer_;
  const HWND owner_;
  // The owner while this dialog keeps it from input.
  HWND disabledOwner_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND first_ = nullptr;
  bool hasDefault_ = false;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  HFONT dialogFont_ = nullptr;
  HICON icon_ = nullptr;
  WindowEvents* events_ = nullptr;
  std::vector<std::pair<HWND, const ControlLayout*>> placed_;
  std::map<HWND, COLORREF> colours_;
  // Each control's name in the layout, by its command id and by its
  // window.
  std::map<int, std::string> commandNames_;
  std::map<HWND, std::string> mouseNames_;
  std::map<std::string, std::unique_ptr<Win32TextBox>, std::less<>> texts_;
  std::map<std::string, std::unique_ptr<Win32ListBox>, std::less<>> lists_;
  std::map<std::string, std::unique_ptr<Win32Label>, std::less<>> labels_;
};

}  // namespace tarnlight::win32
