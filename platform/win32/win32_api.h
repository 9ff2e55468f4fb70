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
