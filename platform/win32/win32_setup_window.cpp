#include "platform/win32/win32_setup_window.h"

#include <cmath>
#include <exception>
#include <vector>

#include "platform/form_rules.h"
#include "platform/win32/dpi.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_api.h"

namespace tarnlight::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnlightSetup";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
constexpr int kFirstId = 100;

std::wstring Wide(std::string_view s) { return Widen(s); }

std::string WindowText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::wstring text(std::size_t(n) + 1, L'\0');
  GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(std::size_t(n));
  return Narrow(text);
}

// The resource compiled from the same layout; shared, so never destroyed.
HICON LayoutIcon() {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                       MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16,
                                       LR_DEFAULTCOLOR | LR_SHARED));
}

int ButtonsOf(WPARAM wp) {
  return (wp & MK_LBUTTON ? 1 : 0) | (wp & MK_RBUTTON ? 2 : 0) |
         (wp & MK_MBUTTON ? 4 : 0);
}

int ShiftOf(WPARAM wp) {
  return (wp & MK_SHIFT ? 1 : 0) | (wp & MK_CONTROL ? 2 : 0) |
         (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

}  // namespace

std::string Win32TextBox::Text() const { return WindowText(edit_); }
void Win32TextBox::SetText(const std::string& text) {
  SetWindowTextW(edit_, Widen(text).c_str());
}

int Win32ListBox::AddItem(const std::string& text) {
  return int(SendMessageW(combo_, CB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(Widen(text).c_str())));
}
int Win32ListBox::ListCount() const {
  return int(SendMessageW(combo_, CB_GETCOUNT, 0, 0));
}
std::string Win32ListBox::List(int index) const {
  CheckListEntry(index, ListCount());
  int n = int(SendMessageW(combo_, CB_GETLBTEXTLEN, WPARAM(index), 0));
  std::wstring text(std::size_t(n) + 1, L'\0');
  SendMessageW(combo_, CB_GETLBTEXT, WPARAM(index),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::size_t(n));
  return Narrow(text);
}
int Win32ListBox::ListIndex() const {
  return int(SendMessageW(combo_, CB_GETCURSEL, 0, 0));
}
void Win32ListBox::SetListIndex(int index) {
  CheckListSelection(index, ListCount());
  SendMessageW(combo_, CB_SETCURSEL, WPARAM(index), 0);
}

// Made on the monitor it is centred on, so that it is laid out at that
// monitor's DPI from the start.
Win32SetupWindow::Win32SetupWindow(const FormLayout& layout,
                                   Win32Pointer& pointer, HWND owner)
    : layout_(layout),
      pointer_(pointer),
      owner_(owner && IsWindow(owner) ? owner : nullptr) {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterWindowClass(kClass, &Win32SetupWindow::WndProc,
                      GetSysColorBrush(COLOR_BTNFACE));

  HMONITOR monitor =
      owner_ ? MonitorFromWindow(owner_, MONITOR_DEFAULTTOPRIMARY)
             : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO area{};
  area.cbSize = sizeof area;
  GetMonitorInfoW(monitor, &area);
  dpi_ = DpiOfMonitor(monitor);
  hwnd_ =
      CreateWindowExW(kExStyle, kClass, Wide(layout.caption).c_str(), kStyle,
                      area.rcMonitor.left, area.rcMonitor.top,
                      Pixels(layout.clientWidth), Pixels(layout.clientHeight),
                      owner_, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) ThrowLastError("The setup dialog could not be created");
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  dpi_ = DpiOfWindow(hwnd_);
  try {
    Populate();
    FitClientArea();
  } catch (...) {
    DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
    if (dialogFont_) DeleteObject(dialogFont_);
    throw;
  }
}

int Win32SetupWindow::Pixels(int twips) const { return PixelsOf(twips, dpi_); }

void Win32SetupWindow::Populate() {
  if (layout_.icon && (icon_ = LayoutIcon()))
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(icon_));
  MakeFonts();
  tooltip_ =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                      nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!tooltip_) ThrowLastError("The dialog's tooltips could not be created");

  // Creation order is the tab order.
  int id = kFirstId;
  for (const ControlLayout* c : InTabOrder(layout_.controls)) Build(*c, id++);
}

// Verdana at its size in points, and the system's dialog font, made for the
// system DPI, scaled to the window's.
void Win32SetupWindow::MakeFonts() {
  font_ = CreateFontW(-int(std::lround(layout_.font.points * dpi_ / 72.0)), 0,
                      0, 0, layout_.font.weight, FALSE, FALSE, FALSE,
                      ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                      Wide(layout_.font.family).c_str());
  LOGFONTW dialog{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof dialog, &dialog);
  dialog.lfHeight = MulDiv(dialog.lfHeight, int(dpi_), int(SystemDpi()));
  dialogFont_ = CreateFontIndirectW(&dialog);
}

HFONT Win32SetupWindow::FontOf(const ControlLayout& c) const {
  return c.font == FontChoice::Verdana ? font_ : dialogFont_;
}

// The frame is whatever the system draws at the window's DPI; the client
// area is the layout's.
void Win32SetupWindow::FitClientArea() {
  RECT window{}, client{};
  GetWindowRect(hwnd_, &window);
  GetClientRect(hwnd_, &client);
  SetWindowPos(
      hwnd_, nullptr, 0, 0,
      Pixels(layout_.clientWidth) + (window.right - window.left) - client.right,
      Pixels(layout_.clientHeight) + (window.bottom - window.top) -
          client.bottom,
      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Win32SetupWindow::~Win32SetupWindow() {
  Destroy();
  if (font_) DeleteObject(font_);
  if (dialogFont_) DeleteObject(dialogFont_);
}

RECT Win32SetupWindow::Bounds(const ControlLayout& c) const {
  // A combo box's height includes its dropped list; the closed height
  // follows from the font.
  int height = c.kind == ControlKind::DropDownList ? 3000 : c.height;
  int left = Pixels(c.left), top = Pixels(c.top);
  return {left, top, left + Pixels(c.width), top + Pixels(height)};
}

void Win32SetupWindow::Build(const ControlLayout& c, int id) {
  const wchar_t* cls = L"STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE;
  switch (c.kind) {
    case ControlKind::Label:
      style |= (c.align == TextAlign::Centre ? SS_CENTER : SS_LEFT) |
               SS_NOPREFIX | SS_NOTIFY;
      break;
    case ControlKind::TextBox:
      cls = L"EDIT";
      style |= WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
      break;
    case ControlKind::DropDownList:
      cls = L"COMBOBOX";
      style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
      break;
    case ControlKind::CommandButton:
      cls = L"BUTTON";
      style |= WS_TABSTOP | (c.role == ButtonRole::Default ? BS_DEFPUSHBUTTON
                                                           : BS_PUSHBUTTON);
      break;
  }
  // IsDialogMessage turns Enter and Escape into clicks of these two ids.
  if (c.role == ButtonRole::Default) {
    id = IDOK;
    hasDefault_ = true;
  }
  if (c.role == ButtonRole::Cancel) id = IDCANCEL;
  RECT r = Bounds(c);
  HWND control = CreateWindowExW(
      c.kind == ControlKind::TextBox ? WS_EX_CLIENTEDGE : 0, cls,
      Wide(c.text).c_str(), style, r.left, r.top, r.right - r.left,
      r.bottom - r.top, hwnd_, reinterpret_cast<HMENU>(INT_PTR(id)),
      GetModuleHandleW(nullptr), nullptr);
  std::string name(c.name);
  if (!control)
    ThrowLastError(("The control " + name + " could not be created").c_str());
  placed_.emplace_back(control, &c);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(c)), FALSE);
  if (c.hasColour)
    colours_[control] = RGB(c.colour.red, c.colour.green, c.colour.blue);
  if (!c.tooltip.empty()) {
    std::wstring tip = Wide(c.tooltip);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = hwnd_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = tip.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }
  if (!first_ && (style & WS_TABSTOP)) first_ = control;
  commandNames_[id] = name;
  if (c.reportsMouse) {
    mouseNames_[control] = name;
    SetWindowSubclass(control, &Win32SetupWindow::MouseProc, 1,
                      reinterpret_cast<DWORD_PTR>(this));
  }
  switch (c.kind) {
    case ControlKind::TextBox:
      texts_[name] = std::make_unique<Win32TextBox>(control);
      break;
    case ControlKind::DropDownList:
      lists_[name] = std::make_unique<Win32ListBox>(control);
      break;
    case ControlKind::Label:
      labels_[name] = std::make_unique<Win32Label>();
      break;
    case ControlKind::CommandButton:
      break;
  }
}

TextBox& Win32SetupWindow::TextBoxNamed(std::string_view name) {
  return *ControlNamed(texts_, name);
}
ListBox& Win32SetupWindow::ListNamed(std::string_view name) {
  return *ControlNamed(lists_, name);
}
Label& Win32SetupWindow::LabelNamed(std::string_view name) {
  return *ControlNamed(labels_, name);
}

void Win32SetupWindow::ShowModal(WindowEvents& events) {
  events_ = &events;
  events.Load();
  if (!IsWindow(hwnd_)) return;
  CentreOnMonitor();
  // EnableWindow answers whether the owner was disabled already; one that
  // was stays so.
  if (owner_ && !EnableWindow(owner_, FALSE)) disabledOwner_ = owner_;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  if (first_) SetFocus(first_);
  MSG msg;
  while (IsWindow(hwnd_) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  events_ = nullptr;
  Destroy();
}

void Win32SetupWindow::CentreOnMonitor() {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &info);
  const RECT& m = info.rcMonitor;
  RECT r{};
  GetWindowRect(hwnd_, &r);
  SetWindowPos(
      hwnd_, HWND_TOP, m.left + (m.right - m.left - (r.right - r.left)) / 2,
      m.top + (m.bottom - m.top - (r.bottom - r.top)) / 2, 0, 0, SWP_NOSIZE);
}

// On a monitor of another DPI: the system suggests the place, the layout
// gives every size again.
void Win32SetupWindow::Rescale(UINT dpi, const RECT& suggested) {
  HFONT oldVerdana = font_, oldDialog = dialogFont_;
  dpi_ = dpi;
  MakeFonts();
  for (const auto& [control, layout] : placed_) {
    RECT r = Bounds(*layout);
    SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left,
                 r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(*layout)),
                 TRUE);
  }
  DeleteObject(oldVerdana);
  DeleteObject(oldDialog);
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top,
               suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea();
}

void Win32SetupWindow::Close() {
  events_ = nullptr;
  Destroy();
}

// The owner takes input again before the dialog goes, so that the
// activation passes back to it.
void Win32SetupWindow::Destroy() {
  if (disabledOwner_) EnableWindow(disabledOwner_, TRUE);
  disabledOwner_ = nullptr;
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

LRESULT CALLBACK Win32SetupWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp,
                                           LPARAM lp) {
  try {
    auto* self = reinterpret_cast<Win32SetupWindow*>(
        GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) return self->Handle(msg, wp, lp);
  } catch (const std::exception&) {
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT Win32SetupWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case DM_GETDEFID:
      if (hasDefault_) return MAKELRESULT(IDOK, DC_HASDEFID);
      break;
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED) {
        auto it = commandNames_.find(LOWORD(wp));
        if (events_ && it != commandNames_.end()) events_->Click(it->second);
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      auto it = colours_.find(reinterpret_cast<HWND>(lp));
      if (it != colours_.end()) SetTextColor(dc, it->second);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (HCURSOR shape = Win32Pointer::CursorOf(pointer_.code())) {
        SetCursor(shape);
        return TRUE;
      }
      break;
    case WM_CLOSE:
      // The close box writes nothing: the dialog goes, and ShowModal
      // returns.
      if (WindowEvents* events = events_) events->Closed();
      Destroy();
      return 0;
    case WM_DPICHANGED:
      Rescale(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

// Returns true when the message has been answered in full.
bool Win32SetupWindow::HandleMouse(HWND control, UINT msg, WPARAM wp,
                                   LPARAM lp) {
  auto name = mouseNames_.find(control);
  if (name == mouseNames_.end()) return false;
  double twips = TwipsPerPixelAt(dpi_);
  MouseInfo mouse{0, ShiftOf(wp), int(GET_X_LPARAM(lp) * twips),
                  int(GET_Y_LPARAM(lp) * twips)};
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      mouse.button = msg == WM_LBUTTONDOWN ? 1 : msg == WM_RBUTTONDOWN ? 2 : 4;
      if (events_) events_->MouseDown(name->second, mouse);
      return true;
    case WM_MOUSEMOVE:
      mouse.button = ButtonsOf(wp);
      if (events_) events_->MouseMove(name->second, mouse);
      return false;
    case WM_SETCURSOR: {
      int code = pointer_.code();
      auto label = labels_.find(name->second);
      if (!code && label != labels_.end()) code = label->second->code();
      if (HCURSOR shape = Win32Pointer::CursorOf(code)) {
        SetCursor(shape);
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK Win32SetupWindow::MouseProc(HWND hwnd, UINT msg, WPARAM wp,
                                             LPARAM lp, UINT_PTR,
                                             DWORD_PTR data) {
  try {
    auto* self = reinterpret_cast<Win32SetupWindow*>(data);
    if (self->HandleMouse(hwnd, msg, wp, lp))
      return msg == WM_SETCURSOR ? TRUE : 0;
  } catch (const std::exception&) {
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace tarnlight::win32
