#pragma once

#include <functional>

namespace tarnlight::qt {

// Turns SIGTERM and SIGINT into a call of `ending` on the GUI thread, from
// whichever event loop runs then, the modal dialog's included. The handler
// only writes to a pipe that the loop watches. Call once, on the GUI thread,
// after the application object exists; false when the pipe could not be
// made, and the signals keep their default action.
bool EndOnSignals(std::function<void()> ending);

}  // namespace tarnlight::qt
