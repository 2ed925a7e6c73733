#pragma once

#include <functional>

class QObject;

namespace platform {

// Calls `end` on the event loop of `context` when the system asks the program
// to end (on Linux SIGINT, SIGTERM and SIGHUP: Ctrl-C, the session's log-out,
// a closed terminal), so it ends as its own Quit does: the tunnel is taken
// down, the input files are removed, the settings are written. Without this a
// signal kills the process and leaves all of that behind.
void onEndRequest(QObject* context, std::function<void()> end);

} // namespace platform
