#include "platform/endrequests.h"

// Windows ends a window program with a message, not a signal: a log-off reaches
// Qt as a session end and the window's own close path. Nothing to catch here.
void platform::onEndRequest(QObject*, std::function<void()>) { }
