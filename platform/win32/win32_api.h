#pragma once

// Every Win32 header the back end uses, with the A/W macros undone that
// would otherwise rename the portable interfaces' members (MessageBox)
// inside this folder only.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>
#include <dshow.h>
#include <shellapi.h>
#include <windowsx.h>
// clang-format on

#undef MessageBox

namespace tarnlight::win32 {

// A function of `module` bound by name, null where the module lacks it: for
// the calls that Windows versions or editions may not have.
template <typename Fn>
Fn BoundIn(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(
                      GetProcAddress(module, name)))
                : nullptr;
}

}  // namespace tarnlight::win32
