#pragma once

namespace tarnlight::win32 {

// Drops one reference to a COM object and forgets it.
template <typename T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace tarnlight::win32
