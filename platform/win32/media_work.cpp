#include "platform/win32/media_work.h"

#include <algorithm>
#include <atomic>

namespace tarnlight::win32::media_work {
namespace {

std::atomic<int> pending{0};

}  // namespace

void Begin() { ++pending; }
void End() { --pending; }

bool WaitUntilDone(DWORD ms) {
  ULONGLONG end = GetTickCount64() + ms;
  while (pending > 0) {
    ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE,
                              DWORD(std::min<ULONGLONG>(end - now, 10)),
                              QS_SENDMESSAGE);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return true;
}

}  // namespace tarnlight::win32::media_work
