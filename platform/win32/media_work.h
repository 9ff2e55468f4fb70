#pragma once

#include "platform/win32/win32_api.h"

namespace tarnlight::win32::media_work {

// Work of the media libraries that goes on after its clip was closed: a
// clip thread still tearing its graph down, a media engine still finishing
// an open. Ending the process while a thread of theirs is inside a decoder
// makes Wine's exit crash, so the end of the program waits for it, for a
// while. Any thread.
void Begin();
void End();

// GUI thread: true when all of it finished within `ms`. Meanwhile it
// answers the messages other threads send to this thread's windows (a
// closing graph sends some), but dispatches nothing posted.
bool WaitUntilDone(DWORD ms);

}  // namespace tarnlight::win32::media_work
