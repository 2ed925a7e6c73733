#pragma once

#include <QString>

namespace platform {

// One plain line that names what this system knows to be behind a
// remote-access error code, and what to install or start; empty where it
// knows nothing more (always on Windows, whose own texts already say it).
QString remoteAccessCause(unsigned long code);

} // namespace platform
